// The one exception type of the library. The library never prints and never
// ends the process: a failure is thrown with a code and the values its
// message needs; describe() (tarvo/messages.h) gives its words, and the
// command line decides where they go and the exit status.
//
// The details of each family, beyond the per-code notes below:
// - genotype readers: line (from 1) and text (the line as read) for every
//   code that points into the file; name/other are the names compared, sample
//   and locus the place of a genotype, count the number found, limit the
//   number expected;
// - fields: text is the field, character the offending one, line and field
//   its place;
// - frequency file: locus, line and field place the fault, limit/count are
//   the alleles and frequencies, number the sum;
// - library: count is a locus index or a count, value an allele, mask or
//   position, the *_number slots the values of a failed logarithm;
// - unreadable input: value is the errno, line the place of a NUL or tab.
#pragma once

#include <exception>
#include <string>
#include <vector>

namespace tarvo {

enum class ErrorCode {
  // Genotype readers (both layouts unless noted).
  SeparatorMissing,        // sample before the first population separator: count = population index
  LocusNameTooLong,        // longer than SOL: text = line, line
  SecondLocusNameMissing,  // name = first name, text = line, line
  NoLoci,                  // own layout header without loci
  TooManyPopulations,      // more than BLOCK
  SecondAlleleMissing,     // name = first allele text, text = line, line
  HalfMissingGenotype,     // name = non-missing allele text, sample, locus, text = line, line
  AllelePairCount,         // sample, locus, text = line, count = pairs read, limit = loci, line
  TooManySamples,          // text = line, count = samples read including the refused one
  EmptyPopulation,         // own layout: a separator right after another
  LocusNamesDiffer,        // own layout header: name, other = second name, count = locus number
  GenepopNoSeparator,      // GENEPOP: no population separator in the file
  GenepopNoLocusNames,     // GENEPOP: separator before any locus name
  NoCommaAfterName,        // text = line, line
  NoAllelesAfterName,      // sample, text = line, line
  GenotypeWidth,           // count = characters of the field, line
  GenotypeCount,           // limit = loci, count = genotypes read, line
  GenotypeWidthDiffers,    // GENEPOP: text = field, count = its characters, limit = the
                           // file's, value = line of the file's first genotype, line, field
  GenotypeSurplus,         // GENEPOP: text = first surplus field, limit = loci, count = fields
                           // after the name, line, field
  EmptyPopulations,        // GENEPOP: names/counts of the populations with no samples
  NotANumber,              // integer field: text = field, character, line, field
  NumberTooLarge,          // integer field: text = field, line, field
  TwoDecimalPoints,        // decimal field: text = field, line, field
  NotADecimal,             // decimal field: character, line, field
  TabsAndCommas,           // a line holds both separators
  TooFewLines,             // format detection: count = lines read
  NoCommaInLine4,          // format detection
  GenalexCounts,           // GenAlEx: count = samples read, limit = samples declared,
                           // value = populations read, other_value = populations declared
  // Allele frequency file.
  FrequencyTooManyAlleles,  // more than NOA alleles
  AllelesNotAscending,      // locus, line
  FrequencyAlleleZero,      // locus, line, field
  FrequencyCount,           // locus, limit = alleles, count = frequencies, line
  FrequencySum,             // line, number = total
  NoFrequencyLine,          // locus
  // Library.
  TooManyAlleles,     // counted frequencies: count = distinct values at a locus
  UnknownAllele,      // value = allele, count = locus index, locus = locus name
  TooManyPatterns,    // count = patterns including the refused one
  NoLocusCompared,    // value = mask
  CellLogUndefined,   // number = argument, count = cell index, value = matches,
                      // other_number = false positives, name = size name, limit_number = size
  RecaptureCapacity,  // count = warning 1, 2 or 3, value = position, limit = first,
                      // other_value = end, line = plan rows, positions = {a, b}
  AlleleTooWide,      // GENEPOP writer: value = allele, count = locus number
  // Inputs with nothing to analyse, and failed or unreadable input.
  NoSamplesRead,    // a genotype file or mask source without samples
  NoLociRead,       // a genotype or frequency file without loci; random masks over no loci
  NoLocusScorable,  // random masks with a score percentage of 0 or less
  ReadFailed,       // value = errno of the failed read (0: unknown)
  NulCharacter,     // a NUL byte in a line: line
  GenepopTabs,      // a tab in a GENEPOP line: text = line, line
  Count,            // not a failure: the number of codes, kept last
};

inline constexpr int ERROR_CODES = static_cast<int>(ErrorCode::Count);

struct ErrorDetails {
  std::string text;    // the line or field as read
  std::string name;    // a first name or field
  std::string other;   // a second name
  std::string sample;  // sample name
  std::string locus;   // locus name
  char character = 0;  // offending character
  int line = 0;        // line number
  int field = 0;       // field number
  long long count = 0;
  long long limit = 0;
  long long value = 0;
  long long other_value = 0;
  double number = 0;
  double other_number = 0;
  double limit_number = 0;
  std::vector<long long> positions;
  std::vector<std::string> names;  // EmptyPopulations: names
  std::vector<int> counts;         // EmptyPopulations: their sample counts
};

class Error : public std::exception {
 public:
  Error(ErrorCode code, ErrorDetails details = {}) : code_(code), details_(std::move(details)) {}
  [[nodiscard]] ErrorCode code() const noexcept { return code_; }
  [[nodiscard]] const ErrorDetails& details() const noexcept { return details_; }
  [[nodiscard]] const char* what() const noexcept override { return "tarvo::Error"; }

 private:
  ErrorCode code_;
  ErrorDetails details_;
};

}  // namespace tarvo
