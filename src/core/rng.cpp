// MT19937's published initialisation; the state transition and tempering
// are done a whole state (624 words) at a time by a vector kernel: several
// times cheaper per draw than tempering each output on demand, and the pair
// scans draw four numbers per pair and locus.
#include "tarvo/rng.h"

#include <algorithm>
#include <cmath>

#include "core/kernels.h"

namespace tarvo {

namespace {
constexpr std::uint32_t SEED_MULTIPLIER = 1812433253u;
}  // namespace

void Rng::seed_with(std::uint32_t seed) {
  state_[0] = seed;
  for (int i = 1; i < N; ++i)
    state_[i] = SEED_MULTIPLIER * (state_[i - 1] ^ (state_[i - 1] >> 30)) + std::uint32_t(i);
  next_ = N;
  calls_ = 0;
}

std::uint64_t retype_bound(double rate) {
  constexpr double RANGE = 4294967296.0;
  if (std::isnan(rate)) return std::uint64_t(RANGE);
  const double scaled = rate * RANGE;  // exact: a power of two
  if (!(scaled > 0)) return 0;
  if (scaled >= RANGE) return std::uint64_t(RANGE);
  return std::uint64_t(std::ceil(scaled));
}

void Rng::discard(std::uint64_t n) {
  while (n > 0) {
    if (next_ >= N) regenerate();
    const int step = int(std::min<std::uint64_t>(n, std::uint64_t(N - next_)));
    next_ += step;
    calls_ += std::uint64_t(step);
    n -= std::uint64_t(step);
  }
}

void Rng::skip_retypings(std::uint64_t count, std::uint64_t bound) {
  if (bound > 0xffffffffu) {
    discard(3 * count);
    return;
  }
  while (count > 0) {
    if (next_ >= N) regenerate();
    const int span = int(std::min<std::uint64_t>(count, std::uint64_t(N - next_)));
    const int clear = detail::first_below(tempered_ + next_, span, std::uint32_t(bound));
    next_ += clear;
    calls_ += std::uint64_t(clear);
    count -= std::uint64_t(clear);
    if (clear < span) {
      // A retyping: its draw, then the coin and the allele.
      ++next_;
      ++calls_;
      --count;
      discard(2);
    }
  }
}

static_assert(Rng::words() == detail::MT_WORDS);

void Rng::regenerate() {
  detail::mt_regenerate(state_, tempered_);
  next_ = 0;
}

}  // namespace tarvo
