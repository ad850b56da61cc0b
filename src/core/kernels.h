// The inner loops of the pair scans, built for several instruction sets and
// chosen at run time (the same binary runs on any x86-64 and uses AVX2 or
// AVX-512 where present). Each is a plain function of its inputs.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarvo::detail {

// Words of the MT19937 state.
inline constexpr int MT_WORDS = 624;

// The MT19937 state transition of all MT_WORDS words, and their tempered
// outputs into tempered.
void mt_regenerate(std::uint32_t* state, std::uint32_t* tempered);

// A sample's code outside its loci in the locus-major code table.
inline constexpr std::uint16_t ABSENT = 0xffff;

// One sample's scored loci in increasing order, with its genotype code and
// match factor at each.
struct RowLoci {
  int count = 0;
  const int* loci = nullptr;
  const std::uint16_t* codes = nullptr;
  const double* factors = nullptr;
};

// out[j] = product over the loci of row, in their order, of the factor of the
// row against sample first + j, j < count: the row's match factor where the
// codes agree, 1 where that sample lacks the locus, mismatch elsewhere.
// columns holds column_stride codes per locus.
void column_products(const RowLoci& row, const std::uint16_t* columns, std::size_t column_stride,
                     std::size_t first, int count, double mismatch, double* out);

// column_products, and beside it the products over the same loci of the
// factors of sample first + j (factors: column_stride per locus, 1 where
// the sample lacks the locus) into earlier[j], and of the row's own factors
// at the loci sample first + j holds into later[j].
// Where a copy drew an error, the factor given replaces lane's error-free
// one at row locus t, for the overrides starts[t]..starts[t+1]-1.
struct LaneProducts {
  double* pairs;
  double* earlier;
  double* later;
};
struct SelfOverride {
  int lane = 0;
  int later = 0;  // of later[] rather than earlier[]
  double factor = 0;
  double before = 0;  // the product before the locus (work space)
};
struct RowOverrides {
  SelfOverride* list = nullptr;
  const int* starts = nullptr;
};
void pair_and_self_products(const RowLoci& row, const std::uint16_t* columns, const double* factors,
                            std::size_t column_stride, std::size_t first, int count,
                            double mismatch, const LaneProducts& out,
                            const RowOverrides& overrides);

// out[j] = sum over the loci of row of whole numbers bounding the logs of
// the factors of column_products from above: weights[t] where the codes
// agree, 0 where sample first + j lacks the locus, mismatch elsewhere. The
// sums of a run of lanes stop short, below reach, once even rest[t] (the
// most the loci after t can add) cannot lift any to reach. columns must hold
// BOUND_LANES codes past the last read.
inline constexpr int BOUND_LANES = 16;
struct RowBounds {
  const std::int32_t* weights = nullptr;
  const std::int32_t* rest = nullptr;
  std::int32_t mismatch = 0;
  std::int32_t reach = 0;
};
void bound_sums(const RowLoci& row, const RowBounds& bounds, const std::uint16_t* columns,
                std::size_t column_stride, std::size_t first, int count, std::int32_t* out);

// Of sample first + j against row: compared[j] = loci both hold,
// differing[j] = those of them whose codes differ.
void locus_counts(const RowLoci& row, const std::uint16_t* columns, std::size_t column_stride,
                  std::size_t first, int count, std::int32_t* compared, std::int32_t* differing);

// Position of each of v[0..count) at least bound, in increasing order, into
// out; returns how many.
[[nodiscard]] int positions_at_least(const std::int32_t* v, int count, std::int32_t bound,
                                     int* out);

// out[j] += loci masks[j] shares with mask, j < count.
void add_shared_loci(const std::uint64_t* masks, int count, std::uint64_t mask, int* out);

// Loci each of masks[0..count) shares with mask, summed.
[[nodiscard]] std::uint64_t shared_loci(const std::uint64_t* masks, int count, std::uint64_t mask);

// Bit j % 64 of out[j / 64]: whether v[j] < bound, for j < count (a
// multiple of 64); bound may be 2^32.
void mark_below(const std::uint32_t* v, std::uint64_t count, std::uint64_t bound,
                std::uint64_t* out);

// Position of bit n (from 0) among the bits set in bits; n is below their count.
[[nodiscard]] int nth_set_bit(std::uint64_t bits, int n);

// Position of the first of v[0..count) below bound; count when none is.
[[nodiscard]] int first_below(const std::uint32_t* v, int count, std::uint32_t bound);

}  // namespace tarvo::detail
