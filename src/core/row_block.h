// The pairs of one row of a block scan: a later sample against a run of
// earlier ones. Their retyping draws are walked first, in pair order; then
// the pair products and the self-comparison products over the loci each
// pair shares are taken in vector lanes, the factors of the loci where a copy
// drew an error put in place of the error-free ones as each product passes
// them, so every product is still taken in locus order.
#pragma once

#include <cstdint>
#include <limits>
#include <vector>

#include "core/kernels.h"
#include "core/retyping_walk.h"
#include "tarvo/scorer.h"

namespace tarvo::detail {

// Scores that products certainly give, without their log: a margin far
// beyond the log's rounding separates the products whose score is above hi
// and those whose score is at most lo from the rest.
class ProductBounds {
 public:
  ProductBounds(double lo, double hi);
  // Score above hi.
  [[nodiscard]] bool surely_above(double product) const { return product >= above_; }
  // Score at most lo.
  [[nodiscard]] bool surely_at_most(double product) const {
    return product <= below_ && product >= PRODUCT_FLOOR;
  }

 private:
  double above_ = std::numeric_limits<double>::infinity();
  double below_ = -1;
};

class RowBlock {
 public:
  RowBlock(const PairScorer& scorer, RetypingWalk& walk);
  // Without a walk of its own: the draws are given to each walk.
  explicit RowBlock(const PairScorer& scorer);
  // Walks the pairs of sample i with samples first..end-1, in this order.
  void walk(int i, int first, int end) { walk_with(*walk_, i, first, end); }
  // The same, drawing from draws.
  void walk_with(RetypingWalk& draws, int i, int first, int end);
  // Of sample first + j: loci shared with i (0: the pair is not compared),
  // and the pair's products.
  [[nodiscard]] int shared(int j) const { return shared_[std::size_t(j)]; }
  [[nodiscard]] double pair(int j) const { return pairs_[std::size_t(j)]; }
  [[nodiscard]] double earlier_self(int j) const { return earlier_[std::size_t(j)]; }
  [[nodiscard]] double later_self(int j) const { return later_[std::size_t(j)]; }

 private:
  void add_overrides(int i, int other, int lane, int which, const PairScorer::Retyping* errors,
                     int count);
  [[nodiscard]] int shared_locus(int i, int j, int ordinal) const;
  void count_shared(int i, int first, int count);
  [[nodiscard]] int number_row_loci(int i);
  void sort_overrides(int row_loci);

  const PairScorer& scorer_;
  RetypingWalk* walk_ = nullptr;
  int n_ = 0;
  int words_ = 1;
  std::vector<std::uint64_t> masks_;  // mask words, word by word (masks_[w * n + s])
  std::vector<int> shared_;
  std::vector<double> pairs_, earlier_, later_;
  std::vector<int> row_index_;  // of each locus among the row's loci
  struct Found {
    int locus;
    SelfOverride override;
  };
  std::vector<Found> found_;  // in pair order
  std::vector<SelfOverride> overrides_;
  std::vector<int> starts_;
};

}  // namespace tarvo::detail
