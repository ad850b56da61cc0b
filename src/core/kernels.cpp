// The loops are written so that the compiler vectorises them; each clone
// differs only in the instructions it may use, never in the arithmetic (no
// contraction, every product in the same order), so all give the same bits.
#include "core/kernels.h"

#include <bit>

#define TARVO_CLONES __attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default")))

namespace tarvo::detail {

namespace {

constexpr int N = MT_WORDS;
constexpr int SHIFT = 397;
constexpr std::uint32_t MATRIX_A = 0x9908b0dfu;
constexpr std::uint32_t UPPER_MASK = 0x80000000u;
constexpr std::uint32_t LOWER_MASK = 0x7fffffffu;

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

// The three stretches of the state transition each read only words they do
// not write or words written at least SHIFT - 1 steps before, so each
// vectorises.
TARVO_CLONES
void mt_regenerate(std::uint32_t* state, std::uint32_t* tempered) {
  std::uint32_t* __restrict s = state;
  int k = 0;
  for (; k < N - SHIFT; ++k) s[k] = twist(s[k], s[k + 1], s[k + SHIFT]);
  for (; k < N - 1; ++k) s[k] = twist(s[k], s[k + 1], s[k + SHIFT - N]);
  s[N - 1] = twist(s[N - 1], s[0], s[SHIFT - 1]);
  for (int i = 0; i < N; ++i) tempered[i] = temper(s[i]);
}

TARVO_CLONES
void column_products(const RowLoci& row, const std::uint16_t* columns, std::size_t column_stride,
                     std::size_t first, int count, double mismatch, double* out) {
  double* __restrict o = out;
  for (int j = 0; j < count; ++j) o[j] = 1.0;
  for (int t = 0; t < row.count; ++t) {
    const std::uint16_t* __restrict c = columns + std::size_t(row.loci[t]) * column_stride + first;
    const std::uint16_t code = row.codes[t];
    const double match = row.factors[t];
    for (int j = 0; j < count; ++j) {
      const double f = c[j] == code ? match : (c[j] == ABSENT ? 1.0 : mismatch);
      o[j] = o[j] * f;
    }
  }
}

TARVO_CLONES
void pair_and_self_products(const RowLoci& row, const std::uint16_t* columns, const double* factors,
                            std::size_t column_stride, std::size_t first, int count,
                            double mismatch, const LaneProducts& out) {
  double* __restrict pairs = out.pairs;
  double* __restrict earlier = out.earlier;
  double* __restrict later = out.later;
  for (int j = 0; j < count; ++j) {
    pairs[j] = 1.0;
    earlier[j] = 1.0;
    later[j] = 1.0;
  }
  for (int t = 0; t < row.count; ++t) {
    const std::size_t at = std::size_t(row.loci[t]) * column_stride + first;
    const std::uint16_t* __restrict c = columns + at;
    const double* __restrict f = factors + at;
    const std::uint16_t code = row.codes[t];
    const double match = row.factors[t];
    for (int j = 0; j < count; ++j) {
      const bool present = c[j] != ABSENT;
      pairs[j] = pairs[j] * (c[j] == code ? match : (present ? mismatch : 1.0));
      earlier[j] = earlier[j] * f[j];
      later[j] = later[j] * (present ? match : 1.0);
    }
  }
}

TARVO_CLONES
void add_shared_loci(const std::uint64_t* masks, int count, std::uint64_t mask, int* out) {
  for (int j = 0; j < count; ++j) out[j] += std::popcount(masks[j] & mask);
}

TARVO_CLONES
bool any_at_least(const double* v, int count, double bound) {
  int any = 0;
  for (int j = 0; j < count; ++j) any |= int(v[j] >= bound);
  return any != 0;
}

TARVO_CLONES
std::uint64_t shared_loci(const std::uint64_t* masks, int count, std::uint64_t mask) {
  std::uint64_t loci = 0;
  for (int j = 0; j < count; ++j) loci += std::uint64_t(std::popcount(masks[j] & mask));
  return loci;
}

TARVO_CLONES
int first_below(const std::uint32_t* v, int count, std::uint32_t bound) {
  constexpr int STEP = 32;
  int at = 0;
  // Whole steps are tested at once; errors are rare.
  for (; at + STEP <= count; at += STEP) {
    int any = 0;
    for (int j = 0; j < STEP; ++j) any |= int(v[at + j] < bound);
    if (any) break;
  }
  for (; at < count; ++at)
    if (v[at] < bound) return at;
  return count;
}

}  // namespace tarvo::detail
