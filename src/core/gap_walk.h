// The retyping draws of the self-comparisons of a row's pairs in the fast
// mode: the row draws from a stream of its own, and its retypings, pair after
// pair in the order of the sequential walk, are passed over a geometric gap
// at a time. Each error takes a coin and an allele, as there, but only when
// asked: errors that cannot move a self-comparison off its level need none.
#pragma once

#include <cstdint>
#include <vector>

#include "tarvo/keyed_rng.h"
#include "tarvo/scorer.h"

namespace tarvo::detail {

class GapWalk {
 public:
  GapWalk(double rate, int nloci) : gaps_(rate), errors_(4 * std::size_t(nloci > 0 ? nloci : 1)) {}

  // The draws of the pairs of row i, from the row's own stream.
  void start_row(const StreamKey& key, int i) {
    rng_.start(key, std::uint32_t(i));
    gap_ = gaps_.next(rng_);
  }
  // The draws of the next pair sharing `shared` loci; its errors are then
  // those of errors(), the earlier sample's first.
  void pair(int shared) {
    const int window = 4 * shared, half = 2 * shared;
    int done = 0, count = 0, earlier = 0;
    while (gap_ < window - done) {
      done += int(gap_);
      const bool later = done >= half;
      const int within = later ? done - half : done;
      errors_[std::size_t(count++)] = PairScorer::Retyping{within >> 1, within & 1, 0, 0};
      if (!later) earlier = count;
      done += 1;
      gap_ = gaps_.next(rng_);
    }
    if (gap_ != ErrorGaps::NEVER) gap_ -= window - done;
    count_ = count;
    earlier_ = earlier;
  }
  [[nodiscard]] const PairScorer::Retyping* earlier_errors() const { return errors_.data(); }
  [[nodiscard]] int earlier_count() const { return earlier_; }
  [[nodiscard]] const PairScorer::Retyping* later_errors() const {
    return errors_.data() + earlier_;
  }
  [[nodiscard]] int later_count() const { return count_ - earlier_; }
  // Draws the coin and the allele of the errors of the earlier (0) or the
  // later (1) sample's copies.
  void draw_alleles(int later) {
    const int from = later ? earlier_ : 0, end = later ? count_ : earlier_;
    for (int e = from; e < end; ++e) {
      errors_[std::size_t(e)].coin = rng_.next_u32();
      errors_[std::size_t(e)].allele = rng_.next_u32();
    }
  }

 private:
  ErrorGaps gaps_;
  KeyedRng rng_;
  std::int64_t gap_ = 0;
  std::vector<PairScorer::Retyping> errors_;
  int count_ = 0;
  int earlier_ = 0;
};

}  // namespace tarvo::detail
