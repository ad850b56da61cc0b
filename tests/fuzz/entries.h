// The fuzz targets' entries: one input each, from memory, with every refusal
// of the program caught. A crash, a hang or a sanitizer report is a finding.
// The libFuzzer targets and the replay of the corpora share them:
// - genepop, own_format: format detection, then that genotype reader;
// - frequencies: the frequency reader;
// - load_genotypes, load_frequencies, load_both: the loading stage of each
//   model family, the input being the genotype file (models 1, 3 and 5, one
//   per input by its length), the frequency file (model 4), or both, the
//   genotype file first and a line "%%" before the frequency file (models 2
//   and 6). The simulated data has 20 samples, 3 of them recaptures.
#pragma once

#include <array>
#include <string_view>

namespace tarvo::fuzz {

struct Target {
  const char* name;  // also the folder of its corpus in tests/fuzz/corpus
  void (*entry)(std::string_view input);
};

extern const std::array<Target, 6> TARGETS;

}  // namespace tarvo::fuzz
