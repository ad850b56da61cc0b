// The generator: MT19937's published initialisation, state transition and
// tempering, done a whole state (624 words) at a time.
#include "tarvo.h"

namespace tarvo {

namespace {
constexpr int M = 397;
constexpr uint32_t MATRIX_A = 0x9908b0dfu;
constexpr uint32_t UPPER_MASK = 0x80000000u;
constexpr uint32_t LOWER_MASK = 0x7fffffffu;

inline uint32_t twist(uint32_t upper, uint32_t lower, uint32_t far) {
  const uint32_t y = (upper & UPPER_MASK) | (lower & LOWER_MASK);
  return far ^ (y >> 1) ^ ((0u - (y & 1u)) & MATRIX_A);
}
}  // namespace

void Rng::init_genrand(uint32_t seed) {
  mt[0] = seed;
  for (int i = 1; i < N; ++i) mt[i] = 1812433253u * (mt[i - 1] ^ (mt[i - 1] >> 30)) + uint32_t(i);
  next = N;
  calls = 0;
}

void Rng::regenerate() {
  int k = 0;
  for (; k < N - M; ++k) mt[k] = twist(mt[k], mt[k + 1], mt[k + M]);
  for (; k < N - 1; ++k) mt[k] = twist(mt[k], mt[k + 1], mt[k + M - N]);
  mt[N - 1] = twist(mt[N - 1], mt[0], mt[M - 1]);
  for (int i = 0; i < N; ++i) {
    uint32_t y = mt[i];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9d2c5680u;
    y ^= (y << 15) & 0xefc60000u;
    y ^= y >> 18;
    tempered[i] = y;
  }
  next = 0;
}

}  // namespace tarvo
