// The pair score: the log-likelihood ratio that two samples come from the
// same individual rather than from two unrelated ones, allowing each genotype
// to be wrong with probability e. The score is ln of a product of per-locus
// factors taken in locus order; thresholds are compared with equal values,
// so the order of the multiplications is part of the result.
#pragma once

#include <cstdint>
#include <vector>

#include "tarvo/frequencies.h"
#include "tarvo/genotypes.h"
#include "tarvo/rng.h"

namespace tarvo {

namespace detail {
struct LaneProducts;
struct RowOverrides;
}  // namespace detail

class PairScorer {
 public:
  // Precomputes per sample and locus what the pair loops need (allele
  // indices, unordered genotype codes, match factors), so that no pair needs
  // a search or a log per locus, samples shared among threads. Keeps
  // references to table and freqs.
  PairScorer(const GenotypeTable& table, const FrequencyTable& freqs, double error,
             int threads = 1);

  [[nodiscard]] const GenotypeTable& table() const { return *table_; }
  [[nodiscard]] const FrequencyTable& frequencies() const { return *freqs_; }

  // Score of samples i and j over the loci of mask; 0 when mask holds no
  // locus; FLOOR_LLR when the product underflows. Throws
  // Error(UnknownAllele) for an allele the frequencies lack.
  [[nodiscard]] double score(int i, int j, const LociMask& mask) const;
  // Score of sample s against a copy of itself typed again: at each locus of
  // mask, each copy has with probability retype_error one allele replaced by
  // a draw from the frequencies (draws: one per copy, two more per error).
  [[nodiscard]] double self_score(int s, const LociMask& mask, double retype_error, Rng& rng) const;
  // Products of factors of sample i against samples first..first+count-1,
  // in out[0..count) (1 for pairs sharing no locus): vector lanes over the
  // samples, each product in locus order. Only for tables without alleles
  // absent from the frequencies (simulated sets).
  void products(int i, int first, int count, double* out) const;
  // Row i against samples first..first+count-1 in vector lanes, for the
  // block scans: the products of the pair scores and of the self-comparisons
  // of the earlier and of the later sample over the loci each pair shares (1
  // for pairs sharing none), error-free but for the factors overrides put in
  // place. Same restriction as products.
  void row_products(int i, int first, int count, const detail::LaneProducts& out,
                    const detail::RowOverrides& overrides) const;
  // Whole numbers bounding the logs of pair products from above, in units of
  // 1 / bound_scale(); 0 when the table is too wide to have them.
  [[nodiscard]] double bound_scale() const { return bound_scale_; }
  // out[j] >= bound_scale() * ln of the product of row i against sample
  // first + j, for j < count (0 for pairs sharing no locus), or some sum
  // below reach when that product's is. Same restriction as products.
  void score_bounds(int i, int first, int count, std::int32_t reach, std::int32_t* out) const;
  // Loci row i and sample first + j both hold, and those where their
  // genotypes differ, for j < count. Same restriction as products.
  void locus_counts(int i, int first, int count, std::int32_t* compared,
                    std::int32_t* differing) const;
  // The least bound sum of a product whose score can exceed score;
  // NO_BOUND when the bounds cannot tell (every pair is then taken).
  static constexpr std::int32_t NO_BOUND = INT32_MIN;
  [[nodiscard]] std::int32_t bound_reach(double score) const;
  // The product of row i against sample j, the very double products gives.
  [[nodiscard]] double pair_product(int i, int j) const;
  // The error-free self-comparison factor of sample s at locus k.
  [[nodiscard]] double own_factor(int s, int k) const {
    return factor_[std::size_t(s) * std::size_t(stride_) + std::size_t(k)];
  }
  // Whether every scored allele is in the frequencies.
  [[nodiscard]] bool alleles_known() const;

  // A retyping error of a self-comparison copy, by the outputs drawn for it.
  struct Retyping {
    int locus = 0;  // among the loci compared, counted from 0
    int copy = 0;   // 0 or 1
    std::uint32_t coin = 0;
    std::uint32_t allele = 0;
  };
  // The self-comparison factor of sample s at locus k given the retyping
  // errors of its copies there (in draw order); false when they leave the
  // error-free factor.
  [[nodiscard]] bool retyped_factor(int s, int k, const Retyping* errors, int count,
                                    double& factor) const;

  // A factor no retyped copy's locus can fall below (0 when not known): with
  // the largest of a sample's error-free factors it bounds how far errors
  // can lower a self-comparison.
  [[nodiscard]] double smallest_retyped_factor() const;

  // ln of a product, or FLOOR_LLR below the floor.
  [[nodiscard]] static double score_of_product(double product);

 private:
  // The score as written, one frequency lookup per allele: for samples
  // holding an allele the frequencies lack.
  [[nodiscard]] double score_by_lookup(int i, int j, const LociMask& mask) const;
  [[nodiscard]] double self_score_by_lookup(int s, const LociMask& mask, double retype_error,
                                            Rng& rng) const;

  const GenotypeTable* table_;
  const FrequencyTable* freqs_;
  double ea_ = 0, eb_ = 0;  // (1 - e)^2 and e(2 - e)
  int stride_ = 0;          // loci per sample in the tables below
  std::vector<std::uint16_t> code_;
  std::vector<double> factor_;
  std::vector<std::uint8_t> index_;
  std::vector<std::uint8_t> unknown_;   // sample holds an allele the frequencies lack
  std::vector<std::uint16_t> columns_;  // codes locus by locus, ABSENT off a sample's loci
  std::vector<double> factor_columns_;  // match factors locus by locus, 1 off a sample's loci
  // Where a retyping's allele draw lands, by its top eight bits: the first
  // and last allele a draw in that range can take (DRAW_BUCKETS per locus).
  std::vector<std::uint8_t> draw_first_, draw_last_;
  // Match factors of the genotypes a retyped copy can take, by allele indices
  // (factor_start_[k] + d1 * alleles + d2); empty for very wide tables.
  std::vector<std::size_t> factor_start_;
  std::vector<double> genotype_factors_;
  void prepare_sample(int s);
  void prepare_retypings();
  void prepare_bounds();
  double bound_scale_ = 0;
  std::int32_t bound_mismatch_ = 0;
  std::vector<std::int32_t> row_bounds_;  // beside row_factors_
  std::vector<std::int32_t> row_rest_;    // the positive bounds after each
  std::vector<std::uint8_t> unbounded_;   // rows without bounds
  // Each sample's loci in increasing order (from row_start_[s]), for the
  // products of its row.
  std::vector<std::size_t> row_start_;
  std::vector<int> row_loci_;
  std::vector<std::uint16_t> row_codes_;
  std::vector<double> row_factors_;
};

// Alleles two genotypes share (0, 1 or 2).
[[nodiscard]] int shared_alleles(int a1, int a2, int b1, int b2);

}  // namespace tarvo
