// The loops are written so that the compiler vectorises them; each clone
// differs only in the instructions it may use, never in the arithmetic (no
// contraction, every product in the same order), so all give the same bits.
#include "core/kernels.h"

#include <immintrin.h>

#include <algorithm>
#include <bit>
#include <cstring>

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
                            double mismatch, const LaneProducts& out,
                            const RowOverrides& overrides) {
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
    SelfOverride* const first_override = overrides.list + overrides.starts[t];
    SelfOverride* const end_override = overrides.list + overrides.starts[t + 1];
    for (SelfOverride* o = first_override; o != end_override; ++o)
      o->before = (o->later ? later : earlier)[o->lane];
    // The choices as bit selects, which vectorise as plain logic.
    const std::uint64_t match_bits = std::bit_cast<std::uint64_t>(match);
    const std::uint64_t mismatch_bits = std::bit_cast<std::uint64_t>(mismatch);
    const std::uint64_t one_bits = std::bit_cast<std::uint64_t>(1.0);
    for (int j = 0; j < count; ++j) {
      const std::uint64_t same = 0 - std::uint64_t(c[j] == code);
      const std::uint64_t present = 0 - std::uint64_t(c[j] != ABSENT);
      const std::uint64_t other = (mismatch_bits & present) | (one_bits & ~present);
      const std::uint64_t pair = (match_bits & same) | (other & ~same);
      const std::uint64_t own = (match_bits & present) | (one_bits & ~present);
      pairs[j] = pairs[j] * std::bit_cast<double>(pair);
      earlier[j] = earlier[j] * f[j];
      later[j] = later[j] * std::bit_cast<double>(own);
    }
    for (SelfOverride* o = first_override; o != end_override; ++o)
      (o->later ? later : earlier)[o->lane] = o->before * o->factor;
  }
}

namespace {

// Sixteen lanes as the compiler's vectors: one register of AVX-512, two of
// AVX2, four of SSE2.
constexpr int LANES = BOUND_LANES;
using Codes16 = std::int16_t __attribute__((vector_size(2 * LANES)));
using Sums16 = std::int32_t __attribute__((vector_size(4 * LANES)));

}  // namespace

// Runs of LANES samples, each sum kept in a register over the row's loci;
// every CHECK loci a run whose every sum has fallen short stops. The last
// run reads past count (the columns end in LANES spare codes) and keeps
// only its first lanes.
TARVO_CLONES
void bound_sums(const RowLoci& row, const RowBounds& bounds, const std::uint16_t* columns,
                std::size_t column_stride, std::size_t first, int count, std::int32_t* out) {
  constexpr int CHECK = 8;
  const auto absent = std::int16_t(ABSENT);
  for (int j = 0; j < count; j += LANES) {
    Sums16 acc = {};
    for (int t = 0; t < row.count; ++t) {
      Codes16 c;
      std::memcpy(&c, columns + std::size_t(row.loci[t]) * column_stride + first + std::size_t(j),
                  sizeof c);
      const Sums16 same = __builtin_convertvector(c == std::int16_t(row.codes[t]), Sums16);
      const Sums16 held = ~__builtin_convertvector(c == absent, Sums16);
      acc += (same & bounds.weights[t]) | (~same & held & bounds.mismatch);
      if (t % CHECK != CHECK - 1) continue;
      const Sums16 alive = acc + bounds.rest[t] >= bounds.reach;
      std::uint64_t words[LANES / 2];
      std::memcpy(words, &alive, sizeof words);
      std::uint64_t any = 0;
      for (const std::uint64_t w : words) any |= w;
      if (any == 0) break;
    }
    std::memcpy(out + j, &acc, sizeof(std::int32_t) * std::size_t(std::min(LANES, count - j)));
  }
}

TARVO_CLONES
void locus_counts(const RowLoci& row, const std::uint16_t* columns, std::size_t column_stride,
                  std::size_t first, int count, std::int32_t* compared, std::int32_t* differing) {
  std::int32_t* __restrict held = compared;
  std::int32_t* __restrict differ = differing;
  for (int j = 0; j < count; ++j) held[j] = differ[j] = 0;
  for (int t = 0; t < row.count; ++t) {
    const std::uint16_t* __restrict c = columns + std::size_t(row.loci[t]) * column_stride + first;
    const std::uint16_t code = row.codes[t];
    for (int j = 0; j < count; ++j) {
      const int present = int(c[j] != ABSENT);
      held[j] += present;
      differ[j] += present & int(c[j] != code);
    }
  }
}

TARVO_CLONES
int positions_at_least(const std::int32_t* v, int count, std::int32_t bound, int* out) {
  constexpr int STEP = 16;
  int found = 0, at = 0;
  // Whole steps are tested at once: few sums reach the bound.
  for (; at + STEP <= count; at += STEP) {
    int any = 0;
    for (int j = 0; j < STEP; ++j) any |= int(v[at + j] >= bound);
    if (!any) continue;
    for (int j = at; j < at + STEP; ++j)
      if (v[j] >= bound) out[found++] = j;
  }
  for (; at < count; ++at)
    if (v[at] >= bound) out[found++] = at;
  return found;
}

TARVO_CLONES
void add_shared_loci(const std::uint64_t* masks, int count, std::uint64_t mask, int* out) {
  for (int j = 0; j < count; ++j) out[j] += std::popcount(masks[j] & mask);
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

namespace {

// x < bound as min(x, bound - 1) == x, unsigned.
__attribute__((target("avx512f"))) void mark_below_avx512(const std::uint32_t* v,
                                                          std::uint64_t count, std::uint32_t bound,
                                                          std::uint64_t* out) {
  const __m512i limit = _mm512_set1_epi32(int(bound - 1));
  for (std::uint64_t at = 0; at < count; at += 64) {
    std::uint64_t bits = 0;
    for (int part = 0; part < 4; ++part) {
      const __m512i x = _mm512_loadu_si512(v + at + 16 * part);
      bits |= std::uint64_t(_mm512_cmple_epu32_mask(x, limit)) << (16 * part);
    }
    out[at / 64] = bits;
  }
}

__attribute__((target("avx2"))) void mark_below_avx2(const std::uint32_t* v, std::uint64_t count,
                                                     std::uint32_t bound, std::uint64_t* out) {
  const __m256i limit = _mm256_set1_epi32(int(bound - 1));
  for (std::uint64_t at = 0; at < count; at += 64) {
    std::uint64_t bits = 0;
    for (int part = 0; part < 8; ++part) {
      const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(v + at + 8 * part));
      const __m256i below = _mm256_cmpeq_epi32(_mm256_min_epu32(x, limit), x);
      bits |= std::uint64_t(unsigned(_mm256_movemask_ps(_mm256_castsi256_ps(below)))) << (8 * part);
    }
    out[at / 64] = bits;
  }
}

void mark_below_plain(const std::uint32_t* v, std::uint64_t count, std::uint32_t bound,
                      std::uint64_t* out) {
  for (std::uint64_t at = 0; at < count; at += 64) {
    std::uint64_t bits = 0;
    for (int j = 0; j < 64; ++j) bits |= std::uint64_t(v[at + std::uint64_t(j)] < bound) << j;
    out[at / 64] = bits;
  }
}

__attribute__((target("bmi2"))) int nth_set_bit_bmi2(std::uint64_t bits, int n) {
  return std::countr_zero(_pdep_u64(std::uint64_t{1} << n, bits));
}

int nth_set_bit_plain(std::uint64_t bits, int n) {
  for (; n > 0; --n) bits &= bits - 1;
  return std::countr_zero(bits);
}

using NthSetBit = int (*)(std::uint64_t, int);

NthSetBit choose_nth_set_bit() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("bmi2") ? nth_set_bit_bmi2 : nth_set_bit_plain;
}

const NthSetBit nth_set_bit_chosen = choose_nth_set_bit();

using MarkBelow = void (*)(const std::uint32_t*, std::uint64_t, std::uint32_t, std::uint64_t*);

MarkBelow choose_mark_below() {
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f")) return mark_below_avx512;
  if (__builtin_cpu_supports("avx2")) return mark_below_avx2;
  return mark_below_plain;
}

const MarkBelow mark_below_chosen = choose_mark_below();

}  // namespace

int nth_set_bit(std::uint64_t bits, int n) {
  return nth_set_bit_chosen(bits, n);
}

void mark_below(const std::uint32_t* v, std::uint64_t count, std::uint64_t bound,
                std::uint64_t* out) {
  if (bound == 0 || bound > 0xffffffffu) {
    std::fill(out, out + count / 64, bound == 0 ? 0 : ~std::uint64_t{0});
    return;
  }
  mark_below_chosen(v, count, std::uint32_t(bound), out);
}

}  // namespace tarvo::detail
