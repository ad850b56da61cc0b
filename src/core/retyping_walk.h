// The retyping draws of the self-comparisons of pairs, read pair after pair
// from the stream of generator outputs. A pair sharing m loci draws 4m
// retypings (two copies of each of its two samples, the earlier sample's
// first), each one output, and two more (a coin and an allele) after an
// output below the retyping bound. Finding the next such output is a vector
// search over the stream's marks.
#pragma once

#include <cstdint>
#include <vector>

#include "core/kernels.h"
#include "core/output_stream.h"
#include "tarvo/scorer.h"

namespace tarvo::detail {

// The most outputs a pair sharing every one of nloci loci can draw.
[[nodiscard]] inline std::size_t pair_reach(int nloci) {
  return 12 * std::size_t(nloci > 0 ? nloci : 1);
}

class RetypingWalk {
 public:
  RetypingWalk(OutputStream& stream, int nloci)
      : stream_(stream),
        position_(stream.start()),
        errors_(4 * std::size_t(nloci > 0 ? nloci : 1)) {}

  // The draws of the next pair; its errors are then those of errors(),
  // the earlier sample's first.
  void pair(int shared) {
    const std::uint32_t* w = stream_.at(position_);
    const int window = 4 * shared, half = 2 * shared;
    int done = 0, count = 0, earlier = 0;
    std::size_t at = 0;
    for (;;) {
      const int clear = stream_.first_below(position_ + at, window - done);
      at += std::size_t(clear);
      done += clear;
      if (done == window) break;
      const bool later = done >= half;
      const int within = later ? done - half : done;
      errors_[std::size_t(count++)] =
          PairScorer::Retyping{within >> 1, within & 1, w[at + 1], w[at + 2]};
      if (!later) earlier = count;
      at += 3;
      done += 1;
    }
    position_ += at;
    count_ = count;
    earlier_ = earlier;
  }
  [[nodiscard]] const PairScorer::Retyping* earlier_errors() const { return errors_.data(); }
  [[nodiscard]] int earlier_count() const { return earlier_; }
  [[nodiscard]] const PairScorer::Retyping* later_errors() const {
    return errors_.data() + earlier_;
  }
  [[nodiscard]] int later_count() const { return count_ - earlier_; }
  // Position after the draws of the pairs walked.
  [[nodiscard]] std::uint64_t position() const { return position_; }

 private:
  OutputStream& stream_;
  std::uint64_t position_;
  std::vector<PairScorer::Retyping> errors_;
  int count_ = 0;
  int earlier_ = 0;
};

}  // namespace tarvo::detail
