// Recapture estimates per population and per pair of populations at one
// false-positive level, and the recapture plan that the standard-error runs
// follow.
#pragma once

#include <span>
#include <vector>

#include "tarvo/rng.h"
#include "tarvo/scan.h"
#include "tarvo/scorer.h"
#include "tarvo/simulation.h"

namespace tarvo {

// Accepted matches of one cell.
struct CellCount {
  PopulationPair cell;
  int matches = 0;
};
// Pairs scoring above threshold, counted per cell in order of first appearance.
[[nodiscard]] std::vector<CellCount> count_cells(std::span<const MatchPair> pairs,
                                                 double threshold);

// The effective size of a cell from the self-comparisons of its pairs:
// detectable is the weight of pairs whose self-scores exceed threshold.
struct EffectiveSize {
  double size = 0;
  double detectable = 0;
};
[[nodiscard]] EffectiveSize effective_size(const PairScorer& scorer, PopulationPair cell,
                                           double threshold, double retype_error, Rng& rng);

// An effective size below the matches found, raised to them.
struct SizeWarning {
  const char* name = "";  // "E1", "E2" or "E12"
  double size = 0;
  int index = 0;  // the cell's position among the counted cells
  int matches = 0;
};

struct CellEstimate {
  PopulationPair cell;
  bool within = true;
  int later_size = 0;
  int earlier_size = 0;
  double size = 0;             // the population size, or sqrt of the two sizes
  double effective = 0;        // E (E12 between populations)
  double false_positives = 0;  // V of the cell
  int matches = 0;             // M
  bool shadowed = false;       // M not above V: no estimate
  double recaptures = 0;       // R_hat
  double percent = 0;          // P
  std::vector<SizeWarning> warnings;
};

struct CellSettings {
  double false_positives = 0;  // V of the level
  double threshold = 0;        // LLR threshold of the level
  double retype_error = 0;
  double effective_total = 0;  // E of the pooled data at the level
  bool pooled = true;          // one population: its E is the pooled one
};

struct CellEstimates {
  std::vector<CellEstimate> cells;
  RecapturePlan plan;  // a row per estimated cell
  double total = 0;    // sum of R_hat
};

// pairs: the stored reference pairs, highest first, already cut to the
// matches of the level. Throws Error(CellLogUndefined).
[[nodiscard]] CellEstimates estimate_cells(const PairScorer& reference,
                                           std::span<const MatchPair> pairs,
                                           const CellSettings& settings, Rng& rng);

// The false positives expected among the pairs of one cell.
[[nodiscard]] double cell_false_positives(double V, double cell_pairs, double detectable,
                                          double undetectable_weight, double N);

}  // namespace tarvo
