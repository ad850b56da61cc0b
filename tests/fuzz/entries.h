// The fuzz targets' entries: one input each, from memory, with every refusal
// of the program caught. A crash, a hang or a sanitizer report is a finding.
// The libFuzzer targets and the replay of the corpora share them:
// - genepop, own_format, genalex: format detection, then that genotype reader;
// - frequencies: the frequency reader;
// - load_genotypes, load_frequencies, load_both: the loading stage of each
//   model family, the input being the genotype file (models 1, 3 and 5, one
//   per input by its length), the frequency file (model 4), or both, the
//   genotype file first and a line "%%" before the frequency file (models 2
//   and 6). The simulated data has 20 samples, 3 of them recaptures.
// - options: the command line, its words separated by NUL bytes: the grammar,
//   the model selection, the value checks, the output names and the options
//   listing, or the help text.
// - run: a whole small run (see run_entry below).
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "cli/loading.h"
#include "cli/models.h"
#include "cli/outputs.h"
#include "report/report.h"
#include "tarvo/rng.h"

namespace tarvo::fuzz {

struct Target {
  const char* name;  // also the folder of its corpus in tests/fuzz/corpus
  void (*entry)(std::string_view input);
};

extern const std::span<const Target> TARGETS;

// The target of that name; null when there is none.
[[nodiscard]] const Target* find_target(std::string_view name);

// What a loading stage needs besides the options, set up as the program
// does, its messages written to nowhere.
struct LoadingBench {
  report::Console console{nullptr, nullptr};
  Rng rng{1};
  int stage = 2;
  std::string reading;
  cli::OutputSet outputs;  // kept in memory, never written
};

// The loading stage of the model, its refusals reported through the
// program's messages; false when the data was refused.
[[nodiscard]] bool load(cli::Options& options, cli::Model model, const cli::MemoryFiles& files,
                        LoadingBench& bench, cli::LoadedData& data);

// A whole run from memory: loading, calibration, the reference scan, the
// estimates and standard errors of each iteration, the clusters, and every
// report and table the program writes, all to memory. The input is a line of
// settings, then the genotype file and, after a line "%%", the frequency
// file. Each character of the settings line sets one value, a digit standing
// for itself (other characters by their code), in this order: the model (0
// for 10), the starting level, the iterations (0 to 2), composites, pairs
// that miss left out, the mask resampling (0 to 2), a second population of
// 20, the recaptures (0 to 9), the error rate ((digit + 1) / 200), the sets
// of the calibration (2 to 11), a minimum population size of 3; an option
// the model's command line would refuse keeps its default. The sizes
// are kept small (at most 48 samples, 32 loci, 11 sets, 4 runs) so that an
// input runs in milliseconds; larger data ends after loading.
void run_entry(std::string_view input);

}  // namespace tarvo::fuzz
