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

#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <string_view>

#include "cli/models.h"
#include "cli/options.h"
#include "cli/outputs.h"
#include "cli/progress.h"
#include "report/report.h"
#include "tarvo/analysis.h"

namespace tarvo::fuzz {

struct Target {
  const char* name;  // also the folder of its corpus in tests/fuzz/corpus
  void (*entry)(std::string_view input);
};

extern const std::span<const Target> TARGETS;

// The target of that name; null when there is none.
[[nodiscard]] const Target* find_target(std::string_view name);

// The input files held in memory.
struct MemoryFiles {
  std::string genotypes;
  std::string frequencies;
};

// The program's side of a run from memory: its messages and files kept in
// memory, never written.
struct Bench {
  std::ostringstream sink;
  report::Console console{&sink, &sink};
  cli::OutputSet outputs;
  cli::Doing doing;
};

// The analysis of the model (only its loading stage when `whole` is false),
// told through the program's progress lines and its refusals through the
// program's messages; none when the data was refused.
[[nodiscard]] std::optional<AnalysisResult> run_model(const cli::Options& options, cli::Model model,
                                                      const MemoryFiles& files, Bench& bench,
                                                      bool whole);

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
