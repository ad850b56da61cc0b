// The ten models a command line can ask for, how the options present select
// one, the checks of the option values, and the usage table.
#pragma once

#include <string>

#include "cli/options.h"
#include "report/report.h"

namespace tarvo::cli {

enum class Model {
  None = 0,
  Analyse = 1,              // -1
  AnalyseWithFrequencies,   // -1 -2
  SimulateFromGenotypes,    // -1 -M -Y
  SimulateFromFrequencies,  // -2 -M -Y
  SimulateWithOwnMasks,     // -1 -M
  SimulateWithFileMasks,    // -1 -2 -M
  CreateFromGenotypes,      // -1 -M -Y -p
  CreateFromFrequencies,    // -2 -M -Y -p
  CreateWithOwnMasks,       // -1 -M -p
  CreateWithFileMasks,      // -1 -2 -M -p
};

[[nodiscard]] inline int number(Model m) {
  return static_cast<int>(m);
}
// Models 1 and 2 analyse real genotypes; 3-6 simulate and analyse; 7-10
// only create the simulated data.
[[nodiscard]] inline bool real_data(Model m) {
  return m == Model::Analyse || m == Model::AnalyseWithFrequencies;
}
[[nodiscard]] inline bool analyses(Model m) {
  return number(m) >= 1 && number(m) <= 6;
}
// Odd models count their frequencies from the genotype file.
[[nodiscard]] inline bool counts_frequencies(Model m) {
  return number(m) % 2 == 1;
}

// The model the options select, or Model::None after saying why.
[[nodiscard]] Model select_model(const Options& options, report::Console& console);
// False after the messages of every value out of range. A -s out of range
// falls back to its default.
[[nodiscard]] bool check_values(Options& options, const std::string& progname,
                                report::Console& console);
void usage(const std::string& progname, report::Console& console);

}  // namespace tarvo::cli
