// The scan over all pairs of a data set: every pair sharing a scored locus is
// scored with the two samples' self-comparisons, giving at every level the
// matches M, the effective sample size E and the corrected recaptures R_hat.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "tarvo/genotypes.h"
#include "tarvo/keyed_rng.h"
#include "tarvo/limits.h"
#include "tarvo/rng.h"
#include "tarvo/scorer.h"

namespace tarvo {

using LevelTable = std::array<double, LEVELS>;

struct MatchPair {
  int later = 0;    // sample i
  int earlier = 0;  // sample j < i
  int later_population = 0;
  int earlier_population = 0;
  double llr = 0;
  LociMask loci = 0;  // loci compared
};

// The estimator at one level: M matches, S self-scores above the threshold,
// N samples, V expected false positives.
struct LevelEstimate {
  double matches = 0;     // M
  double net = 0;         // R = max(M - V, 0)
  double effective = 0;   // E
  double recaptures = 0;  // R_hat
  double percent = 0;     // 100 R_hat / (N - R_hat)
};
[[nodiscard]] LevelEstimate estimate_level(double M, double S, double N, double V);

// Pairs of samples by loci compared and by loci mismatching.
struct MismatchCounts {
  std::vector<std::int64_t> comparable;   // [loci compared], 0..nloci
  std::vector<std::int64_t> mismatching;  // [loci mismatching], 0..nloci
};

struct ScanSettings {
  LevelTable false_positives{};  // V per level
  LevelTable thresholds{};       // LLR threshold per level
  double retype_error = 0;       // error rate of the self-comparisons
  bool count_mismatches = false;
  int threads = 1;  // the results never depend on it
  // The fast mode: pairs below every threshold passed over by bounds, the
  // self-comparisons counted per sample and loci shared, each sample drawing
  // from its own stream under key (the generator passed is then left
  // untouched), rows and samples shared among the threads.
  bool fast = false;
  StreamKey key{};
};

struct PairScan {
  std::array<LevelEstimate, LEVELS> levels{};
  // Pairs above the lowest threshold, highest score first (ties in scan
  // order); at most PAIRS are kept.
  std::vector<MatchPair> pairs;
  std::int64_t matches_beyond_kept = 0;  // matches not kept once PAIRS were
  MismatchCounts mismatches;             // when asked for
  [[nodiscard]] bool pairs_full() const { return pairs.size() >= std::size_t(PAIRS); }
};

// Position of x among the scores v, highest first: 0 when x >= v[0], -1 when
// x <= the last score, otherwise the position of an equal score or of the
// first lower one. A score counts at level k when its position is k or less.
[[nodiscard]] int rank_in_descending(std::span<const double> v, double x);

// Tables holding alleles the frequencies lack are scanned the sequential way
// even in the fast mode.
[[nodiscard]] PairScan scan_pairs(const PairScorer& scorer, const ScanSettings& settings, Rng& rng);

// Loci compared and loci whose genotypes differ, for one pair of a table.
struct LocusComparison {
  int compared = 0;
  int mismatching = 0;
};
[[nodiscard]] LocusComparison compare_loci(const GenotypeTable& table, int i, int j);

// Allele counts of a pair for the pair report.
struct AlleleComparison {
  int alleles = 0;     // alleles compared (two per shared locus)
  int mismatches = 0;  // alleles not shared
  int dropouts = 0;    // loci that look like allelic dropout
};
[[nodiscard]] AlleleComparison compare_alleles(const GenotypeTable& table, int i, int j);

}  // namespace tarvo
