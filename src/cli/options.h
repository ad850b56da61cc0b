// The options of a run as typed values, each with whether the command line
// gave it (the options listing prints both), and the command-line grammar.
#pragma once

#include <array>
#include <cstdint>
#include <ostream>
#include <span>
#include <string>

#include "report/report.h"

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

// The long option of the fast mode: counter-based draws (see README).
inline constexpr const char* FAST_OPTION = "--fast";

// The output files, in the order of -o1 .. -o9.
enum class Output { Freq, Miss, Pair, Pop, Stat, Simm, Join, Loci, Log };
inline constexpr int OUTPUTS = 9;

struct Options {
  Setting<int> mask_resampling{1};        // -b
  Setting<int> iterations{10};            // -c
  Setting<std::string> prefix{"TARVO"};   // -d
  Setting<int> error_scaled{100};         // -e, x 10000
  Setting<int> retype_error_scaled{100};  // -E, x 10000
  bool own_format = false;                // -f, then the layout detected
  bool genalex_format = false;            // the layout detected is a GenAlEx export
  Setting<int> second_population{0};      // -H
  Setting<std::string> genotype_file;     // -1
  Setting<std::string> frequency_file;    // -2
  bool composites = false;                // -j
  Setting<std::string> separator{"POP"};  // -k
  Setting<int> min_population{10};        // -m
  Setting<int> simulated_samples{0};      // -M
  Setting<int> sets{200};                 // -n
  bool create_only = false;               // -p
  Setting<std::uint32_t> seed{0};         // -r, any unsigned 32-bit value
  Setting<int> recaptures{0};             // -R
  Setting<int> runs{100};                 // -s
  Setting<int> threads{0};                // -t; results never depend on it
  bool leave_out_misses = false;          // -w
  Setting<int> score_percent{100};        // -Y, x 100
  Setting<int> level{5};                  // -z, as a level index
  bool fast = false;                      // --fast
  std::array<std::string, OUTPUTS> outputs{};

  // Exact integers behind the decimal options keep 0.57 at its digits.
  [[nodiscard]] double error() const { return error_scaled.value / 10000.0; }
  [[nodiscard]] double retype_error() const { return retype_error_scaled.value / 10000.0; }
  [[nodiscard]] double score_fraction() const { return score_percent.value / 100.0; }
  [[nodiscard]] const std::string& output(Output o) const { return outputs[static_cast<int>(o)]; }
  // The level as numbered for the user: from 1, or from 0 with 1000 sets.
  [[nodiscard]] int shown_level(int index) const { return sets.value == 1000 ? index : index + 1; }
};

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
