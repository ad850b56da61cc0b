// The options of a run as typed values, each with whether the command line
// gave it (the options listing prints both), and the command-line grammar.
#pragma once

#include <array>
#include <climits>
#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "report/report.h"
#include "tarvo/calibration.h"
#include "tarvo/limits.h"

namespace tarvo::cli {

// A failure of the command line itself (or of opening an output file): the
// message is written, the run ends with this status.
struct Exit {
  int status = 1;
};

template <typename T>
struct Setting {
  T value{};
  bool given = false;
};

// The output files, in the order of -o1 .. -o9.
enum class Output { Freq, Miss, Pair, Pop, Stat, Simm, Join, Loci, Log };
inline constexpr int OUTPUTS = 9;

// -e and -E are held as whole multiples of 1/ERROR_SCALE.
inline constexpr double ERROR_SCALE = 10000.0;

// The defaults live in the option table below.
struct Options {
  Options();
  Setting<int> mask_resampling;         // -b
  Setting<int> iterations;              // -c
  Setting<std::string> prefix;          // -d
  Setting<int> error_scaled;            // -e, x ERROR_SCALE
  Setting<int> retype_error_scaled;     // -E, x ERROR_SCALE
  bool own_format = false;              // -f, replaced by the layout of a -1 file
  bool genalex_format = false;          // the layout detected is a GenAlEx export
  Setting<int> second_population;       // -H
  Setting<std::string> genotype_file;   // -1
  Setting<std::string> frequency_file;  // -2
  bool composites = false;              // -j
  Setting<std::string> separator;       // -k
  Setting<int> min_population;          // -m
  Setting<int> simulated_samples;       // -M
  Setting<int> sets;                    // -n
  bool create_only = false;             // -p
  Setting<std::uint32_t> seed{0};       // -r, any unsigned 32-bit value
  Setting<int> recaptures;              // -R
  Setting<int> runs;                    // -s
  Setting<int> threads;                 // -t; results never depend on it
  bool leave_out_misses = false;        // -w
  bool quiet = false;                   // -q, --quiet
  bool fast = false;                    // --fast
  Setting<int> score_percent;           // -Y, x 100
  Setting<int> level;                   // -z, as a level index
  std::array<std::string, OUTPUTS> outputs{};

  // Exact integers behind the decimal options keep 0.57 at its digits.
  [[nodiscard]] double error() const { return error_scaled.value / ERROR_SCALE; }
  [[nodiscard]] double retype_error() const { return retype_error_scaled.value / ERROR_SCALE; }
  [[nodiscard]] double score_fraction() const { return score_percent.value / 100.0; }
  [[nodiscard]] const std::string& output(Output o) const { return outputs[static_cast<int>(o)]; }
  // The level as numbered for the user.
  [[nodiscard]] int shown_level(int index) const { return tarvo::shown_level(index, sets.value); }
};

enum class OptionKind {
  Integer,  // digits
  Decimal,  // digits and one '.', held as value x scale
  Text,     // a word that does not begin with '-'
  Flag,     // no value
  Seed,     // digits, any unsigned 32-bit value
  Level,    // digits, held as the level index
};

// How a value outside its range is told (the historical wordings).
enum class RangeText {
  None,     // no range of its own
  AtMost,   // "should be less than or equal to" the maximum
  AtLeast,  // "should be greater or equal to" the minimum
  Choices,  // "0,1 or 2"
  Between,  // "Accepted range is: min..max"
};

// A set of models by number, 1 to 10.
using ModelSet = std::uint16_t;
[[nodiscard]] constexpr ModelSet models(std::initializer_list<int> numbers) {
  ModelSet set = 0;
  for (int m : numbers) set = static_cast<ModelSet>(set | (1u << m));
  return set;
}

// One option letter: how its value is read and held, its default, its range,
// the models that refuse it and its lines of the help text.
struct OptionEntry {
  char letter = 0;
  OptionKind kind = OptionKind::Integer;
  Setting<int> Options::*number = nullptr;  // Integer, Decimal, Level
  Setting<std::string> Options::*text = nullptr;
  bool Options::*flag = nullptr;
  int default_number = 0;  // as held: scaled, or a level index
  const char* default_text = "";
  double scale = 1;                   // Decimal
  const char* shown = nullptr;        // Decimal: the value's format in the options listing
  bool count_optional = false;        // may stand without its value, meaning the default
  RangeText range = RangeText::None;  // checked only when the option is given
  int min = 0;                        // as held
  int max = INT_MAX;
  ModelSet refused_by = 0;
  const char* notice = "";     // said to standard output whenever the letter is used
  const char* help = nullptr;  // its lines of --help; none for a hidden letter
  // A word that stands for the option on its own, never clustered. An option
  // with no letter has only this word: a flag listed only when set (so runs
  // without it list as they always have), and given twice it is still set.
  const char* long_name = nullptr;
};

// In the order of the help text; an input file is a letter digit.
inline constexpr OptionEntry OPTION_TABLE[] = {
    {.letter = '1',
     .kind = OptionKind::Text,
     .text = &Options::genotype_file,
     .help = "  -1 FILE     genotypes, GENEPOP or the program's own comma-separated layout\n"
             "              or a GenAlEx export; spreadsheet files comma- or semicolon-\n"
             "              separated; the layout is detected from the file\n"},
    {.letter = '2',
     .kind = OptionKind::Text,
     .text = &Options::frequency_file,
     .help = "  -2 FILE     allele frequencies\n"},
    {.letter = 'b',
     .number = &Options::mask_resampling,
     .default_number = 1,
     .range = RangeText::Choices,
     .max = 2,
     .refused_by = models({3, 4, 5, 6, 7, 8, 9, 10}),
     .help = "  -b NUM      missing loci of the standard-error simulations: 0 the samples' own,\n"
             "              1 resampled from all samples, 2 from the sample's population [1]\n"},
    {.letter = 'c',
     .number = &Options::iterations,
     .default_number = 10,
     .range = RangeText::AtMost,
     .max = 10,
     .refused_by = models({7, 8, 9, 10}),
     .help = "  -c NUM      convergence iterations, 0 to 10; 0 also switches off the standard\n"
             "              errors [10]\n"},
    {.letter = 'd',
     .kind = OptionKind::Text,
     .text = &Options::prefix,
     .default_text = "TARVO",
     .help = "  -d STR      prefix of the output file names [TARVO]\n"},
    {.letter = 'e',
     .kind = OptionKind::Decimal,
     .number = &Options::error_scaled,
     .default_number = 100,
     .scale = ERROR_SCALE,
     .shown = "%6.4f",
     .range = RangeText::Between,
     .min = 1,
     .max = 2000,
     .refused_by = models({7, 8, 9, 10}),
     .help = "  -e NUM      genotyping error rate of the likelihood, 0.0001 to 0.2 [0.01]\n"},
    {.letter = 'E',
     .kind = OptionKind::Decimal,
     .number = &Options::retype_error_scaled,
     .default_number = 100,
     .scale = ERROR_SCALE,
     .shown = "%6.4f",
     .range = RangeText::Between,
     .min = 1,
     .max = 2000,
     .refused_by = models({1, 2}),
     .help = "  -E NUM      error rate of simulated genotypes [the -e value]\n"},
    {.letter = 'f',
     .kind = OptionKind::Flag,
     .flag = &Options::own_format,
     .help = "  -f          accepted for older command lines: the layout is always detected\n"},
    {.letter = 'H',
     .number = &Options::second_population,
     .help = "  -H NUM      samples of a second simulated population, at least 20 [0]\n"},
    {.letter = 'j',
     .kind = OptionKind::Flag,
     .flag = &Options::composites,
     .refused_by = models({7, 8, 9, 10}),
     .help = "  -j          write the composite genotype file\n"},
    {.letter = 'k',
     .kind = OptionKind::Text,
     .text = &Options::separator,
     .default_text = "POP",
     .help = "  -k STR      population keyword of genotype files [POP]\n"},
    {.letter = 'm',
     .number = &Options::min_population,
     .default_number = 10,
     .range = RangeText::AtLeast,
     .min = 3,
     .refused_by = models({3, 4, 5, 7, 8, 9, 10}),
     .help = "  -m NUM      drop populations with fewer samples when reading [10, only with -m]\n"},
    {.letter = 'M',
     .number = &Options::simulated_samples,
     .range = RangeText::Between,
     .min = 50,
     .max = ANIM,
     .help = "  -M NUM      samples to simulate, 50 to 30000\n"},
    {.letter = 'n',
     .number = &Options::sets,
     .default_number = 200,
     .range = RangeText::Between,
     .min = 100,
     .max = MAX_SETS,
     .refused_by = models({7, 8, 9, 10}),
     .help = "  -n NUM      simulated data sets for the false-positive calibration, 100 to 1000 "
             "[200]\n"},
    {.letter = 'p',
     .kind = OptionKind::Flag,
     .flag = &Options::create_only,
     .help = "  -p          create simulated data only\n"},
    {.letter = 'q',
     .kind = OptionKind::Flag,
     .flag = &Options::quiet,
     .help = "  -q, --quiet standard output keeps the opening block, warnings, errors and the\n"
             "              summary; the log keeps every line\n",
     .long_name = "--quiet"},
    {.letter = 'r',
     .kind = OptionKind::Seed,
     .help = "  -r NUM      seed of the random number generator [the time]\n"},
    {.letter = 'R',
     .number = &Options::recaptures,
     .refused_by = models({1, 2}),
     .help = "  -R NUM      recaptures to simulate, at most M/2 [0]\n"},
    {.letter = 's',
     .number = &Options::runs,
     .default_number = 100,
     .count_optional = true,
     .refused_by = models({7, 8, 9, 10}),
     .help = "  -s [NUM]    simulation runs for the standard errors, 10 to 10000 [100]\n"},
    {.letter = 't',
     .number = &Options::threads,
     .range = RangeText::Between,
     .min = 1,
     .max = MAX_THREADS,
     .help = "  -t NUM      threads, 1 to 1024; results never depend on it [every core]\n"},
    {.letter = 'T',
     .kind = OptionKind::Decimal,
     .number = &Options::score_percent,
     .default_number = 100,
     .scale = 100.0,
     .range = RangeText::Between,
     .min = 50,
     .max = 100,
     .notice = "Option -T in version 1 has been replaced by option -Y in version 1.10\n"
               "Option -T is backward compatible in this version.\n"},
    {.letter = 'w',
     .kind = OptionKind::Flag,
     .flag = &Options::leave_out_misses,
     .refused_by = models({7, 8, 9, 10}),
     .help =
         "  -w          leave pairs that miss the match criterion out of the pairwise report\n"},
    {.letter = 'Y',
     .kind = OptionKind::Decimal,
     .number = &Options::score_percent,
     .default_number = 100,
     .scale = 100.0,
     .shown = "%4.2f",
     .range = RangeText::Between,
     .min = 50,
     .max = 100,
     .refused_by = models({1, 2, 6, 10}),
     .help =
         "  -Y NUM      probability that a locus is scored in a simulated sample, 0.50 to 1.00\n"
         "              [1.00]\n"},
    {.letter = 'z',
     .kind = OptionKind::Level,
     .number = &Options::level,
     .default_number = 5,
     .refused_by = models({7, 8, 9, 10}),
     .help = "  -z NUM      starting false-positive level, 1 to 50 (0 to 49 with -n 1000) [6]\n"},
    // Counter-based draws: the same laws, not the bytes of a default run.
    {.kind = OptionKind::Flag,
     .flag = &Options::fast,
     .help = "  --fast      counter-based draws on every core: the same laws, other bytes than\n"
             "              a default run (large studies)\n",
     .long_name = "--fast"},
};

// The letter's entry, or nullptr for a letter that is no option.
[[nodiscard]] const OptionEntry* find_option(char letter);
// The entry a whole word names ("--quiet", "--fast"), or nullptr.
[[nodiscard]] const OptionEntry* find_long_option(std::string_view word);

// Reads the arguments (args[0] is the program) into options; -E defaults to
// -e and -z counts from 0 with 1000 sets. A grammar failure writes its
// message and the usage table and throws Exit{1}.
[[nodiscard]] Options parse_options(std::span<const std::string> args, const std::string& progname,
                                    report::Console& console);

// The output names from the prefix, once the options are accepted. Throws
// Exit{1} for a prefix too long for a file name.
void complete_options(Options& options, const std::string& progname, report::Console& console);

// Table 1 of the run: every option with its status and value.
void list_options(std::ostream& out, const Options& options, std::uint32_t seed);

}  // namespace tarvo::cli
