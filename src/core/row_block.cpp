#include "core/row_block.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace tarvo::detail {

ProductBounds::ProductBounds(double lo, double hi) {
  constexpr double MARGIN = 1e-6;
  if (!std::isfinite(lo) || !std::isfinite(hi)) return;
  above_ = std::exp(hi) * (1 + MARGIN);
  below_ = std::exp(lo) * (1 - MARGIN);
}

RowBlock::RowBlock(const PairScorer& scorer, RetypingWalk& walk) : RowBlock(scorer) {
  walk_ = &walk;
}

RowBlock::RowBlock(const PairScorer& scorer) : scorer_(scorer), n_(scorer.table().size()) {
  const GenotypeTable& table = scorer.table();
  words_ = std::max(1, (table.loci() + LociMask::WORD - 1) / LociMask::WORD);
  const LociMask all = all_loci(table.loci());
  masks_.assign(std::size_t(words_) * std::size_t(n_), 0);
  for (int s = 0; s < n_; ++s) {
    const LociMask m = table.sample(s).loci & all;
    for (int w = 0; w < words_; ++w)
      masks_[std::size_t(w) * std::size_t(n_) + std::size_t(s)] = m.word(w);
  }
  const auto n = std::size_t(n_);
  shared_.assign(n, 0);
  pairs_.assign(n, 0);
  earlier_.assign(n, 0);
  later_.assign(n, 0);
  row_index_.assign(std::size_t(std::max(table.loci(), 1)), 0);
  starts_.assign(std::size_t(table.loci()) + 2, 0);
}

void RowBlock::walk_with(RetypingWalk& draws, int i, int first, int end) {
  const int count = end - first;
  if (count <= 0) return;
  count_shared(i, first, count);
  found_.clear();
  for (int j = 0; j < count; ++j) {
    const int shared = shared_[std::size_t(j)];
    if (shared == 0) continue;
    draws.pair(shared);
    if (draws.earlier_count() > 0)
      add_overrides(first + j, i, j, 0, draws.earlier_errors(), draws.earlier_count());
    if (draws.later_count() > 0)
      add_overrides(i, first + j, j, 1, draws.later_errors(), draws.later_count());
  }
  sort_overrides(number_row_loci(i));
  scorer_.row_products(i, first, count, LaneProducts{pairs_.data(), earlier_.data(), later_.data()},
                       RowOverrides{overrides_.data(), starts_.data()});
}

void RowBlock::count_shared(int i, int first, int count) {
  std::fill(shared_.begin(), shared_.begin() + count, 0);
  for (int w = 0; w < words_; ++w) {
    const std::uint64_t* word = masks_.data() + std::size_t(w) * std::size_t(n_);
    add_shared_loci(word + first, count, word[i], shared_.data());
  }
}

// Numbers the loci of row i; returns how many it has.
int RowBlock::number_row_loci(int i) {
  int row_loci = 0;
  scorer_.table().sample(i).loci.for_each(scorer_.table().loci(),
                                          [&](int k) { row_index_[std::size_t(k)] = row_loci++; });
  return row_loci;
}

// The errors of one sample's copies, locus by locus.
void RowBlock::add_overrides(int s, int other, int lane, int which,
                             const PairScorer::Retyping* errors, int count) {
  for (int e = 0; e < count;) {
    int end = e + 1;
    while (end < count && errors[end].locus == errors[e].locus) ++end;
    const int k = shared_locus(s, other, errors[e].locus);
    double factor = 0;
    if (scorer_.retyped_factor(s, k, errors + e, end - e, factor))
      found_.push_back(Found{k, SelfOverride{lane, which, factor, 0}});
    e = end;
  }
}

int RowBlock::shared_locus(int i, int j, int ordinal) const {
  for (int w = 0; w < words_; ++w) {
    const std::size_t at = std::size_t(w) * std::size_t(n_);
    const std::uint64_t bits = masks_[at + std::size_t(i)] & masks_[at + std::size_t(j)];
    if (words_ == 1) return nth_set_bit(bits, ordinal);
    const int here = std::popcount(bits);
    if (ordinal < here) return w * LociMask::WORD + nth_set_bit(bits, ordinal);
    ordinal -= here;
  }
  return 0;  // not reached: the walk counts only shared loci
}

// Overrides by their place among the row's loci.
void RowBlock::sort_overrides(int row_loci) {
  std::fill(starts_.begin(), starts_.begin() + row_loci + 2, 0);
  for (const Found& f : found_) starts_[std::size_t(row_index_[std::size_t(f.locus)]) + 2] += 1;
  for (int t = 0; t < row_loci; ++t) starts_[std::size_t(t) + 2] += starts_[std::size_t(t) + 1];
  overrides_.resize(found_.size());
  for (const Found& f : found_) {
    const auto t = std::size_t(row_index_[std::size_t(f.locus)]);
    overrides_[std::size_t(starts_[t + 1]++)] = f.override;
  }
}

}  // namespace tarvo::detail
