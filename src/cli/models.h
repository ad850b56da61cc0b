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

// What sets a model apart: where its data and frequencies come from, how its
// simulated samples get their missing loci, and whether it analyses at all.
struct ModelTraits {
  bool real_data = false;       // analyses the genotypes read, nothing simulated
  bool creates_only = false;    // writes the simulated data and stops
  bool frequency_file = false;  // frequencies from the -2 file, not counted from -1
  bool drawn_masks = false;     // simulated missing loci drawn with -Y, not resampled
};

// Indexed by the model number; Model::None has no traits.
inline constexpr ModelTraits MODEL_TRAITS[] = {
    {},
    {.real_data = true},                                                  // Analyse
    {.real_data = true, .frequency_file = true},                          // AnalyseWithFrequencies
    {.drawn_masks = true},                                                // SimulateFromGenotypes
    {.frequency_file = true, .drawn_masks = true},                        // SimulateFromFrequencies
    {},                                                                   // SimulateWithOwnMasks
    {.frequency_file = true},                                             // SimulateWithFileMasks
    {.creates_only = true, .drawn_masks = true},                          // CreateFromGenotypes
    {.creates_only = true, .frequency_file = true, .drawn_masks = true},  // CreateFromFrequencies
    {.creates_only = true},                                               // CreateWithOwnMasks
    {.creates_only = true, .frequency_file = true},                       // CreateWithFileMasks
};

[[nodiscard]] constexpr const ModelTraits& traits(Model m) {
  return MODEL_TRAITS[static_cast<int>(m)];
}
[[nodiscard]] inline bool real_data(Model m) {
  return traits(m).real_data;
}
// Real data, or simulated reference data that is then analysed.
[[nodiscard]] inline bool analyses(Model m) {
  return m != Model::None && !traits(m).creates_only;
}
// Without a frequency file the frequencies are counted from the genotype file.
[[nodiscard]] inline bool counts_frequencies(Model m) {
  return m != Model::None && !traits(m).frequency_file;
}

// Whether the model takes the option of that letter (one of the table's).
[[nodiscard]] bool accepts(Model model, char letter);

// The model the options select, or Model::None after saying why.
[[nodiscard]] Model select_model(const Options& options, report::Console& console);
// False after the messages of every value out of range. A -s out of range
// falls back to its default.
[[nodiscard]] bool check_values(Options& options, const std::string& progname,
                                report::Console& console);
void usage(const std::string& progname, report::Console& console);

}  // namespace tarvo::cli
