// MT19937's published initialisation, state transition and tempering, done a
// whole state (624 words) at a time: several times cheaper per draw than
// tempering each output on demand, and the pair scans draw four numbers per
// pair and locus.
#include "tarvo/rng.h"

namespace tarvo {

namespace {
constexpr int SHIFT = 397;
constexpr std::uint32_t MATRIX_A = 0x9908b0dfu;
constexpr std::uint32_t UPPER_MASK = 0x80000000u;
constexpr std::uint32_t LOWER_MASK = 0x7fffffffu;
constexpr std::uint32_t SEED_MULTIPLIER = 1812433253u;

inline std::uint32_t twist(std::uint32_t upper, std::uint32_t lower, std::uint32_t far) {
  const std::uint32_t y = (upper & UPPER_MASK) | (lower & LOWER_MASK);
  return far ^ (y >> 1) ^ ((0u - (y & 1u)) & MATRIX_A);
}

inline std::uint32_t temper(std::uint32_t y) {
  y ^= y >> 11;
  y ^= (y << 7) & 0x9d2c5680u;
  y ^= (y << 15) & 0xefc60000u;
  y ^= y >> 18;
  return y;
}
}  // namespace

void Rng::seed_with(std::uint32_t seed) {
  state_[0] = seed;
  for (int i = 1; i < N; ++i)
    state_[i] = SEED_MULTIPLIER * (state_[i - 1] ^ (state_[i - 1] >> 30)) + std::uint32_t(i);
  next_ = N;
  calls_ = 0;
}

void Rng::regenerate() {
  int k = 0;
  for (; k < N - SHIFT; ++k) state_[k] = twist(state_[k], state_[k + 1], state_[k + SHIFT]);
  for (; k < N - 1; ++k) state_[k] = twist(state_[k], state_[k + 1], state_[k + SHIFT - N]);
  state_[N - 1] = twist(state_[N - 1], state_[0], state_[SHIFT - 1]);
  for (int i = 0; i < N; ++i) tempered_[i] = temper(state_[i]);
  next_ = 0;
}

}  // namespace tarvo
