// The two ways of running the scan with self-comparisons, for the tests that
// hold one against the other.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "core/row_block.h"
#include "tarvo/scan.h"

namespace tarvo::detail {

// First level whose threshold the self-score exceeds; LEVELS when none.
inline int first_level_below(const LevelTable& cut, double x) {
  int lo = 0, hi = LEVELS;
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    if (x > cut[std::size_t(mid)])
      hi = mid;
    else
      lo = mid + 1;
  }
  return lo;
}

// The levels of a score from the product it is the log of, without the log
// where the bounds settle them.
class ProductLevels {
 public:
  explicit ProductLevels(const LevelTable& cut)
      : cut_(cut),
        bounds_(*std::min_element(cut.begin(), cut.end()),
                *std::max_element(cut.begin(), cut.end())) {}
  // rank_in_descending of the score.
  [[nodiscard]] int rank(double product) const {
    if (bounds_.surely_above(product)) return 0;
    if (bounds_.surely_at_most(product)) return -1;
    return rank_in_descending(cut_, PairScorer::score_of_product(product));
  }
  // first_level_below of the score.
  [[nodiscard]] int first_exceeded(double product) const {
    if (bounds_.surely_above(product)) return 0;
    if (bounds_.surely_at_most(product)) return LEVELS;
    return first_level_below(cut_, PairScorer::score_of_product(product));
  }

 private:
  const LevelTable& cut_;
  ProductBounds bounds_;
};

// Self-comparisons by the first level whose threshold they exceed (LEVELS:
// none), over both samples of every pair sharing a locus.
using SelfLevelCounts = std::array<std::int64_t, LEVELS + 1>;
// The fast mode's count, each sample's from its own keyed stream.
[[nodiscard]] SelfLevelCounts count_self_levels(const PairScorer& scorer,
                                                const ScanSettings& settings);

// Draws each retyping from the generator as it comes, pair by pair: the
// reference, and the scan of tables holding alleles the frequencies lack.
[[nodiscard]] PairScan scan_pairs_one_by_one(const PairScorer& scorer, const ScanSettings& settings,
                                             Rng& rng);
// Reads the draws from blocks of generator outputs of chunk_states states
// each, generated on a thread of their own when settings.threads > 1.
[[nodiscard]] PairScan scan_pairs_in_blocks(const PairScorer& scorer, const ScanSettings& settings,
                                            Rng& rng, int chunk_states);
// The fast mode's scan: the pairs' scores in parts of rows shared among
// settings.threads threads, the self-comparisons counted sample by sample.
[[nodiscard]] PairScan scan_pairs_keyed(const PairScorer& scorer, const ScanSettings& settings);
// The first row of each part of rows 1..n-1 and, last, n: parts of about
// equal numbers of pairs, several per thread.
[[nodiscard]] std::vector<int> balanced_rows(int n, int threads);

}  // namespace tarvo::detail
