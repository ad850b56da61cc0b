// The one exception type of the library. The library never prints and never
// ends the process: a failure is thrown with a code and the values its
// message needs, in the details of the code's family; describe()
// (tarvo/messages.h) gives its words, what() the same words joined, and the
// command line decides where they go and the exit status.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace tarvo {

enum class ErrorCode {
  // Genotype readers (both layouts unless noted).
  SeparatorMissing,        // sample before the first population separator: PopulationDetails
  LocusNameTooLong,        // longer than SOL: HeaderDetails
  SecondLocusNameMissing,  // HeaderDetails
  NoLoci,                  // own layout header without loci
  TooManyPopulations,      // more than BLOCK
  SecondAlleleMissing,     // GenotypeDetails
  HalfMissingGenotype,     // GenotypeDetails: allele = the non-missing one
  AllelePairCount,         // GenotypeDetails: found = pairs read, expected = loci
  TooManySamples,          // LimitDetails
  EmptyPopulation,         // own layout: a separator right after another
  LocusNamesDiffer,        // own layout header: HeaderDetails
  GenepopNoSeparator,      // GENEPOP: no population separator in the file: HeaderDetails
  GenepopNoLocusNames,     // GENEPOP: separator before any locus name
  NoCommaAfterName,        // LineDetails
  NoAllelesAfterName,      // GenotypeDetails
  GenotypeWidth,           // GenotypeDetails: found = characters of the field
  GenotypeCount,           // GenotypeDetails: found = genotypes read, expected = loci
  GenotypeWidthDiffers,    // GENEPOP: GenotypeDetails, text = the field
  GenotypeSurplus,         // GENEPOP: GenotypeDetails, text = the first surplus field
  EmptyPopulations,        // GENEPOP: PopulationDetails
  NotANumber,              // integer field: LineDetails
  NumberTooLarge,          // integer field: LineDetails
  TwoDecimalPoints,        // decimal field: LineDetails
  NotADecimal,             // decimal field: LineDetails
  TabsAndCommas,           // a line holds both separators
  TooFewLines,             // format detection: LimitDetails
  NoCommaInLine4,          // format detection
  GenalexCounts,           // GenAlEx: DeclaredCounts
  // Allele frequency file.
  FrequencyTooManyAlleles,  // more than NOA alleles: LimitDetails
  AllelesNotAscending,      // FrequencyDetails
  FrequencyAlleleZero,      // FrequencyDetails
  FrequencyCount,           // FrequencyDetails
  FrequencySum,             // FrequencyDetails
  NoFrequencyLine,          // FrequencyDetails
  // Library.
  TooManyAlleles,     // counted frequencies: LimitDetails, count = distinct values
  UnknownAllele,      // AlleleDetails
  TooManyPatterns,    // LimitDetails
  NoLocusCompared,    // MaskDetails
  CellLogUndefined,   // CellDetails
  RecaptureCapacity,  // RecaptureDetails
  AlleleTooWide,      // GENEPOP writer: AlleleDetails
  // Inputs with nothing to analyse, and failed or unreadable input.
  NoSamplesRead,    // a genotype file or mask source without samples
  NoLociRead,       // a genotype or frequency file without loci; random masks over no loci
  NoLocusScorable,  // random masks with a score percentage of 0 or less
  ReadFailed,       // SystemDetails
  NulCharacter,     // a NUL byte in a line: LineDetails
  GenepopTabs,      // a tab in a GENEPOP line: LineDetails
  Count,            // not a failure: the number of codes, kept last
};

inline constexpr int ERROR_CODES = static_cast<int>(ErrorCode::Count);

// The details of each family of codes. A code's details are those of its
// family; an error built without them reads as a default of the family.
// Every member has an initializer, so that a throw site names only the
// fields it knows (designated initializers) without a warning.

// A place in an input text and what was read there.
struct LineDetails {
  int line = 0;        // from 1
  int field = 0;       // from 1
  std::string text{};  // the field, or the whole line, as read
  char character = 0;  // the offending character
};

// A line of locus names.
struct HeaderDetails {
  int line = 0;
  std::string text{};    // the line as read
  std::string first{};   // the first name of a pair
  std::string second{};  // the second name, when it differs from the first
  int locus = 0;         // the pair's locus, from 1
  // An earlier line of names that starts with the population separator in
  // another letter case ("Pop North" for POP), and its line.
  std::string separator_word{};
  int separator_line = 0;
};

// A genotype and its place.
struct GenotypeDetails {
  int line = 0;
  int field = 0;
  std::string text{};  // the line, or the field, as read
  std::string sample{};
  std::string locus{};
  std::string allele{};    // the allele as read
  long long found = 0;     // genotypes, allele pairs or characters read
  long long expected = 0;  // what the header or the file's first genotype gives
  int expected_line = 0;   // the line that set the width expected
};

// More than the build or the input allows.
struct LimitDetails {
  long long count = 0;  // how many were met, the refused one included
  long long limit = 0;  // how many are allowed
  std::string text{};   // the last line read
  std::string locus{};
};

// Populations: the one read without its separator, those left empty.
struct PopulationDetails {
  int population = 0;                // from 0
  std::vector<std::string> empty{};  // names of the populations without samples
};

// What the first line of a GenAlEx file declares against what was read.
struct DeclaredCounts {
  long long samples_declared = 0;
  long long samples_read = 0;
  long long populations_declared = 0;
  long long populations_read = 0;
};

// A fault in an allele frequency file.
struct FrequencyDetails {
  std::string locus{};
  int line = 0;
  int field = 0;
  long long alleles = 0;
  long long frequencies = 0;
  double total = 0;  // the sum of a line's frequencies
};

// An allele of a locus.
struct AlleleDetails {
  long long allele = 0;
  int locus = 0;  // from 0
  std::string locus_name{};
};

// The loci of a comparison, as a bit per locus.
struct MaskDetails {
  std::uint32_t mask = 0;
};

// An undefined logarithm in the recapture estimate of a cell.
struct CellDetails {
  double argument = 0;
  int cell = 0;
  long long matches = 0;
  double false_positives = 0;
  std::string size_name{};  // the effective size whose logarithm was taken
  double size = 0;
};

// Simulated recaptures beyond the room of their populations.
struct RecaptureDetails {
  int warning = 0;  // 1, 2 or 3: which copy overflowed
  long long position = 0;
  long long first = 0;  // the population's first sample
  long long end = 0;    // and its end
  int plan_rows = 0;
  long long position_a = 0;
  long long position_b = 0;
};

// A failure of the system.
struct SystemDetails {
  int error = 0;  // errno (0: unknown)
};

using ErrorDetails =
    std::variant<std::monostate, LineDetails, HeaderDetails, GenotypeDetails, LimitDetails,
                 PopulationDetails, DeclaredCounts, FrequencyDetails, AlleleDetails, MaskDetails,
                 CellDetails, RecaptureDetails, SystemDetails>;

class Error : public std::exception {
 public:
  explicit Error(ErrorCode code, ErrorDetails details = {});
  [[nodiscard]] ErrorCode code() const noexcept { return code_; }
  [[nodiscard]] const ErrorDetails& details() const noexcept { return details_; }
  // The details of the family given; a default one when the error holds
  // another family's.
  template <typename Family>
  [[nodiscard]] const Family& details() const noexcept {
    static const Family none{};
    const Family* held = std::get_if<Family>(&details_);
    return held != nullptr ? *held : none;
  }
  // The message, as describe() gives it without context.
  [[nodiscard]] const char* what() const noexcept override { return message_->c_str(); }

 private:
  ErrorCode code_;
  ErrorDetails details_;
  std::shared_ptr<const std::string> message_;  // shared: copies of an exception cannot throw
};

}  // namespace tarvo
