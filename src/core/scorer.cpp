// The pair score and the self-comparisons.
//
// The fast tables keep exactly the double expressions of the score as
// written (one frequency lookup per allele): a factor per sample and locus
// (the match factor of that sample's genotype) and an unordered genotype code,
// so that the pair loops need no search and no log per locus. Samples holding
// an allele the frequencies lack go through the lookup path, which throws at
// the allele where it is met.
#include "tarvo/scorer.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "core/kernels.h"
#include "core/parallel.h"

namespace tarvo {

namespace {

constexpr std::uint16_t NO_CODE = detail::ABSENT;

// b1, b2: the alleles of the genotype whose frequencies p1, p2 are.
inline double match_factor(double ea, double eb, double p1, double p2, std::int32_t b1,
                           std::int32_t b2) {
  double G = p1 * p2;
  if (b1 != b2) G = G * 2.0;
  return eb + ea / G;
}

inline bool same_genotype(int a1, int a2, int b1, int b2) {
  return (a1 == b1 && a2 == b2) || (a1 == b2 && a2 == b1);
}

// The allele an error puts in a copy, from the outputs drawn for it: a coin
// (which allele) and a draw from the frequencies. Returns false when the
// locus has no allele to draw.
inline bool replace_allele(const LocusFrequencies& L, std::uint32_t coin, std::uint32_t allele,
                           int& i1, int& i2) {
  constexpr double SCALE = 1.0 / 4294967296.0;
  const int r = coin * SCALE >= 0.5 ? 1 : 0;
  const double v = allele * SCALE;
  const int n = L.size();
  int m = 0;
  while (m < n && v > L.cumulative[std::size_t(m)]) ++m;
  // A draw above every cumulative frequency (rounding) takes the last allele.
  if (m == n) m = n - 1;
  if (m < 0) return false;
  if (r == 1)
    i1 = m;
  else
    i2 = m;
  return true;
}

constexpr int DRAW_BUCKETS = 256;
constexpr int DRAW_SHIFT = 24;
// Where the genotype factors would outgrow what they save.
constexpr std::size_t MAX_GENOTYPE_FACTORS = std::size_t(1) << 22;

// The allele a draw of v takes (before the clamp to the last).
int allele_of_draw(const LocusFrequencies& L, double v, int from) {
  const int n = L.size();
  int m = from;
  while (m < n && v > L.cumulative[std::size_t(m)]) ++m;
  return m == n ? n - 1 : m;
}

// One copy of a genotype typed again: with probability rate one of its
// alleles is replaced. Returns false when the copy keeps the sample's own
// genotype.
inline bool retype(const LocusFrequencies& L, double rate, Rng& rng, int& i1, int& i2) {
  if (rng.uniform() >= rate) return false;
  const std::uint32_t coin = rng.next_u32();
  const std::uint32_t allele = rng.next_u32();
  return replace_allele(L, coin, allele, i1, i2);
}

}  // namespace

PairScorer::PairScorer(const GenotypeTable& table, const FrequencyTable& freqs, double error,
                       int threads)
    : table_(&table), freqs_(&freqs), stride_(table.loci()) {
  ea_ = (1.0 - error) * (1.0 - error);
  eb_ = error * (2.0 - error);
  const int n = table.size();
  const std::size_t cells = std::size_t(n) * std::size_t(stride_);
  code_.assign(cells, NO_CODE);
  factor_.assign(cells, 0.0);
  index_.assign(cells * 2, 0);
  unknown_.assign(std::size_t(n), 0);
  // Spare codes at the end for the bound sums' last run of lanes.
  columns_.assign(cells + detail::BOUND_LANES, detail::ABSENT);
  factor_columns_.assign(cells, 1.0);
  detail::for_each_row(threads, n, [this](int s) { prepare_sample(s); });
  row_start_.assign(std::size_t(n) + 1, 0);
  for (int s = 0; s < n; ++s) {
    std::size_t held = 0;
    table.sample(s).loci.for_each(stride_, [&held](int) { ++held; });
    row_start_[std::size_t(s) + 1] = row_start_[std::size_t(s)] + held;
  }
  row_loci_.resize(row_start_.back());
  row_codes_.resize(row_start_.back());
  row_factors_.resize(row_start_.back());
  detail::for_each_row(threads, n, [this](int s) {
    std::size_t t = row_start_[std::size_t(s)];
    table_->sample(s).loci.for_each(stride_, [&](int k) {
      const std::size_t c = std::size_t(s) * std::size_t(stride_) + std::size_t(k);
      row_loci_[t] = k;
      row_codes_[t] = code_[c];
      row_factors_[t++] = factor_[c];
    });
  });
  prepare_retypings();
  prepare_bounds();
}

// The bound of a factor: floor(scale ln f) + 2 stays above scale ln f
// whatever the rounding of the log; logs of factors that vanish are taken
// as -LARGEST_LOG, still above them. A row holding a factor whose log is
// beyond LARGEST_LOG (an allele of frequency 0) has no bounds.
void PairScorer::prepare_bounds() {
  constexpr double LARGEST_LOG = 1000, FINEST = 65536, ROOM = 536870912.0;  // 2^29
  if (genotype_factors_.empty() || stride_ == 0) return;
  // Logs of the genotypes the samples hold, each taken once.
  std::vector<double> logs(genotype_factors_.size(), std::numeric_limits<double>::quiet_NaN());
  const auto genotype = [this](std::size_t t, int s) {
    const auto k = std::size_t(row_loci_[t]);
    const std::size_t c = std::size_t(s) * std::size_t(stride_) + k;
    const std::size_t n = std::size_t(freqs_->loci[k].size());
    return factor_start_[k] + index_[2 * c] * n + index_[2 * c + 1];
  };
  const auto log_of = [](double f) {
    return f > 0 ? std::max(std::log(f), -LARGEST_LOG) : -LARGEST_LOG;
  };
  double largest = std::abs(log_of(eb_));
  for (int s = 0; s < table_->size(); ++s)
    for (std::size_t t = row_start_[std::size_t(s)]; t < row_start_[std::size_t(s) + 1]; ++t) {
      double& l = logs[genotype(t, s)];
      if (std::isnan(l)) l = log_of(genotype_factors_[genotype(t, s)]);
      if (l <= LARGEST_LOG) largest = std::max(largest, std::abs(l));
    }
  // Sums over every locus stay far inside 32 bits.
  bound_scale_ = std::min(FINEST, ROOM / (double(stride_) * (largest + 2)));
  const auto bound = [this](double log) {
    return std::int32_t(std::floor(log * bound_scale_)) + 2;
  };
  bound_mismatch_ = bound(log_of(eb_));
  row_bounds_.resize(row_loci_.size());
  row_rest_.resize(row_loci_.size());
  unbounded_.assign(std::size_t(table_->size()), 0);
  for (int s = 0; s < table_->size(); ++s) {
    std::int32_t rest = 0;
    for (std::size_t t = row_start_[std::size_t(s) + 1]; t-- > row_start_[std::size_t(s)];) {
      const double l = logs[genotype(t, s)];
      if (!(l <= LARGEST_LOG)) unbounded_[std::size_t(s)] = 1;
      row_bounds_[t] = l <= LARGEST_LOG ? bound(l) : 0;
      row_rest_[t] = rest;
      rest += std::max(row_bounds_[t], 0);
    }
  }
}

// Sample s's cells; samples write apart, so they can be filled on several
// threads.
void PairScorer::prepare_sample(int s) {
  const std::size_t n = std::size_t(table_->size());
  const std::int32_t* row = table_->row(s);
  const LociMask& mask = table_->sample(s).loci;
  for (int k = 0; k < stride_; ++k) {
    const std::size_t c = std::size_t(s) * std::size_t(stride_) + std::size_t(k);
    const LocusFrequencies& L = freqs_->loci[std::size_t(k)];
    const int i1 = L.index_of(row[2 * k]);
    const int i2 = L.index_of(row[2 * k + 1]);
    if (i1 < 0 || i2 < 0) {
      if (has_locus(mask, k)) unknown_[std::size_t(s)] = 1;
      continue;
    }
    index_[2 * c] = std::uint8_t(i1);
    index_[2 * c + 1] = std::uint8_t(i2);
    code_[c] = std::uint16_t(std::min(i1, i2) * 256 + std::max(i1, i2));
    factor_[c] = match_factor(ea_, eb_, L.freqs[std::size_t(i1)], L.freqs[std::size_t(i2)],
                              row[2 * k], row[2 * k + 1]);
    if (has_locus(mask, k)) {
      columns_[std::size_t(k) * n + std::size_t(s)] = code_[c];
      factor_columns_[std::size_t(k) * n + std::size_t(s)] = factor_[c];
    }
  }
}

void PairScorer::prepare_retypings() {
  const int nloci = freqs_->size();
  draw_first_.assign(std::size_t(nloci) * DRAW_BUCKETS, 0);
  draw_last_.assign(std::size_t(nloci) * DRAW_BUCKETS, 0xff);
  std::size_t total = 0;
  for (const LocusFrequencies& L : freqs_->loci)
    total += std::size_t(L.size()) * std::size_t(L.size());
  const bool tabulate = total <= MAX_GENOTYPE_FACTORS;
  for (int k = 0; k < nloci; ++k) {
    const LocusFrequencies& L = freqs_->loci[std::size_t(k)];
    const int n = L.size();
    factor_start_.push_back(genotype_factors_.size());
    if (tabulate)
      for (int d1 = 0; d1 < n; ++d1)
        for (int d2 = 0; d2 < n; ++d2)
          genotype_factors_.push_back(
              match_factor(ea_, eb_, L.freqs[std::size_t(d1)], L.freqs[std::size_t(d2)],
                           L.alleles[std::size_t(d1)], L.alleles[std::size_t(d2)]));
    // A draw's allele grows with the draw only when the cumulative
    // frequencies do; otherwise every draw searches from the first allele.
    if (n == 0 || !std::is_sorted(L.cumulative.begin(), L.cumulative.end())) continue;
    constexpr double SCALE = 1.0 / 4294967296.0;
    for (int b = 0; b < DRAW_BUCKETS; ++b) {
      const std::uint64_t low = std::uint64_t(b) << DRAW_SHIFT;
      const std::uint64_t high = low + (std::uint64_t{1} << DRAW_SHIFT) - 1;
      const std::size_t at = std::size_t(k) * DRAW_BUCKETS + std::size_t(b);
      draw_first_[at] = std::uint8_t(allele_of_draw(L, double(low) * SCALE, 0));
      draw_last_[at] = std::uint8_t(allele_of_draw(L, double(high) * SCALE, 0));
    }
  }
}

double PairScorer::score_of_product(double product) {
  return product < PRODUCT_FLOOR ? FLOOR_LLR : std::log(product);
}

double PairScorer::score(int i, int j, const LociMask& mask) const {
  if (unknown_[std::size_t(i)] || unknown_[std::size_t(j)]) return score_by_lookup(i, j, mask);
  const std::uint16_t* ci = &code_[std::size_t(i) * std::size_t(stride_)];
  const std::uint16_t* cj = &code_[std::size_t(j) * std::size_t(stride_)];
  const double* fj = &factor_[std::size_t(j) * std::size_t(stride_)];
  // 1.0 times the first factor is that factor exactly.
  double like = 1.0;
  bool any = false;
  mask.for_each(stride_, [&](int k) {
    like = like * (ci[k] == cj[k] ? fj[k] : eb_);
    any = true;
  });
  return any ? score_of_product(like) : 0;
}

double PairScorer::score_by_lookup(int i, int j, const LociMask& mask) const {
  const std::int32_t* a = table_->row(i);
  const std::int32_t* b = table_->row(j);
  double like = 0;
  bool first = true;
  for (int k = 0; k < stride_; ++k) {
    if (!has_locus(mask, k)) continue;
    const double p1 = freqs_->frequency(k, b[2 * k]);
    const double p2 = freqs_->frequency(k, b[2 * k + 1]);
    const double f = same_genotype(a[2 * k], a[2 * k + 1], b[2 * k], b[2 * k + 1])
                         ? match_factor(ea_, eb_, p1, p2, b[2 * k], b[2 * k + 1])
                         : eb_;
    like = first ? f : like * f;
    first = false;
  }
  return first ? 0 : score_of_product(like);
}

double PairScorer::self_score(int s, const LociMask& mask, double retype_error, Rng& rng) const {
  if (unknown_[std::size_t(s)]) return self_score_by_lookup(s, mask, retype_error, rng);
  double like = 0;
  bool first = true;
  mask.for_each(stride_, [&](int k) {
    const LocusFrequencies& L = freqs_->loci[std::size_t(k)];
    const std::size_t c = std::size_t(s) * std::size_t(stride_) + std::size_t(k);
    int c1 = index_[2 * c], c2 = index_[2 * c + 1];
    int d1 = c1, d2 = c2;
    const bool err1 = retype(L, retype_error, rng, c1, c2);
    const bool err2 = retype(L, retype_error, rng, d1, d2);
    double f;
    if (!err1 && !err2) {
      f = factor_[c];
    } else {
      const auto u1 = std::size_t(d1), u2 = std::size_t(d2);
      f = same_genotype(c1, c2, d1, d2)
              ? match_factor(ea_, eb_, L.freqs[u1], L.freqs[u2], L.alleles[u1], L.alleles[u2])
              : eb_;
    }
    like = first ? f : like * f;
    first = false;
  });
  return first ? 0 : score_of_product(like);
}

// The self-comparison as written, for a sample holding an allele the
// frequencies lack: the lookup of the copy's alleles throws.
double PairScorer::self_score_by_lookup(int s, const LociMask& mask, double retype_error,
                                        Rng& rng) const {
  const std::int32_t* a = table_->row(s);
  double like = 0;
  bool first = true;
  for (int k = 0; k < stride_; ++k) {
    if (!has_locus(mask, k)) continue;
    const LocusFrequencies& L = freqs_->loci[std::size_t(k)];
    std::int32_t c[2] = {a[2 * k], a[2 * k + 1]}, d[2] = {a[2 * k], a[2 * k + 1]};
    for (std::int32_t* g : {c, d}) {
      int i1 = -1, i2 = -1;
      if (!retype(L, retype_error, rng, i1, i2)) continue;
      if (i1 >= 0) g[0] = L.alleles[std::size_t(i1)];
      if (i2 >= 0) g[1] = L.alleles[std::size_t(i2)];
    }
    const double p1 = freqs_->frequency(k, d[0]);
    const double p2 = freqs_->frequency(k, d[1]);
    const double f =
        same_genotype(c[0], c[1], d[0], d[1]) ? match_factor(ea_, eb_, p1, p2, d[0], d[1]) : eb_;
    like = first ? f : like * f;
    first = false;
  }
  return first ? 0 : score_of_product(like);
}

void PairScorer::products(int i, int first, int count, double* out) const {
  // Loci the row lacks multiply every product by 1, which is exact: they are
  // left out. Equal codes are the same unordered genotype, whose match factor
  // is the same double from either sample.
  const std::size_t at = row_start_[std::size_t(i)];
  const detail::RowLoci row{int(row_start_[std::size_t(i) + 1] - at), row_loci_.data() + at,
                            row_codes_.data() + at, row_factors_.data() + at};
  detail::column_products(row, columns_.data(), std::size_t(table_->size()), std::size_t(first),
                          count, eb_, out);
}

void PairScorer::score_bounds(int i, int first, int count, std::int32_t reach,
                              std::int32_t* out) const {
  if (unbounded_.empty() || unbounded_[std::size_t(i)]) {
    std::fill(out, out + count, std::numeric_limits<std::int32_t>::max());
    return;
  }
  const std::size_t at = row_start_[std::size_t(i)];
  const detail::RowLoci row{int(row_start_[std::size_t(i) + 1] - at), row_loci_.data() + at,
                            row_codes_.data() + at, row_factors_.data() + at};
  const detail::RowBounds bounds{row_bounds_.data() + at, row_rest_.data() + at, bound_mismatch_,
                                 reach};
  detail::bound_sums(row, bounds, columns_.data(), std::size_t(table_->size()), std::size_t(first),
                     count, out);
}

void PairScorer::locus_counts(int i, int first, int count, std::int32_t* compared,
                              std::int32_t* differing) const {
  const std::size_t at = row_start_[std::size_t(i)];
  const detail::RowLoci row{int(row_start_[std::size_t(i) + 1] - at), row_loci_.data() + at,
                            row_codes_.data() + at, row_factors_.data() + at};
  detail::locus_counts(row, columns_.data(), std::size_t(table_->size()), std::size_t(first), count,
                       compared, differing);
}

std::int32_t PairScorer::bound_reach(double score) const {
  // A product below the floor scores FLOOR_LLR, never above another score.
  if (!(bound_scale_ > 0) || !std::isfinite(score)) return NO_BOUND;
  const double reach = std::floor(std::max(score, std::log(PRODUCT_FLOOR)) * bound_scale_) - 2;
  if (reach <= double(NO_BOUND)) return NO_BOUND;
  // No sum comes near the top of 32 bits (but those of rows without bounds).
  return reach >= double(std::numeric_limits<std::int32_t>::max())
             ? std::numeric_limits<std::int32_t>::max()
             : std::int32_t(reach);
}

double PairScorer::pair_product(int i, int j) const {
  const std::size_t n = std::size_t(table_->size());
  double product = 1.0;
  for (std::size_t t = row_start_[std::size_t(i)]; t < row_start_[std::size_t(i) + 1]; ++t) {
    const std::uint16_t c = columns_[std::size_t(row_loci_[t]) * n + std::size_t(j)];
    const double f = c == row_codes_[t] ? row_factors_[t] : (c == detail::ABSENT ? 1.0 : eb_);
    product = product * f;
  }
  return product;
}

void PairScorer::row_products(int i, int first, int count, const detail::LaneProducts& out,
                              const detail::RowOverrides& overrides) const {
  const std::size_t at = row_start_[std::size_t(i)];
  const detail::RowLoci row{int(row_start_[std::size_t(i) + 1] - at), row_loci_.data() + at,
                            row_codes_.data() + at, row_factors_.data() + at};
  detail::pair_and_self_products(row, columns_.data(), factor_columns_.data(),
                                 std::size_t(table_->size()), std::size_t(first), count, eb_, out,
                                 overrides);
}

bool PairScorer::alleles_known() const {
  return std::find(unknown_.begin(), unknown_.end(), std::uint8_t(1)) == unknown_.end();
}

bool PairScorer::retyped_factor(int s, int k, const Retyping* errors, int count,
                                double& factor) const {
  constexpr double SCALE = 1.0 / 4294967296.0;
  const LocusFrequencies& L = freqs_->loci[std::size_t(k)];
  const int n = L.size();
  if (n == 0) return false;
  const std::size_t c = std::size_t(s) * std::size_t(stride_) + std::size_t(k);
  int copies[2][2] = {{index_[2 * c], index_[2 * c + 1]}, {index_[2 * c], index_[2 * c + 1]}};
  for (int e = 0; e < count; ++e) {
    const Retyping& r = errors[e];
    const std::size_t bucket = std::size_t(k) * DRAW_BUCKETS + (r.allele >> DRAW_SHIFT);
    int m = draw_first_[bucket];
    if (m != draw_last_[bucket]) m = allele_of_draw(L, r.allele * SCALE, m);
    // The coin replaces the first allele when its draw is at least one half.
    copies[r.copy][r.coin * SCALE >= 0.5 ? 0 : 1] = m;
  }
  const int c1 = copies[0][0], c2 = copies[0][1], d1 = copies[1][0], d2 = copies[1][1];
  const auto u1 = std::size_t(d1), u2 = std::size_t(d2);
  if (!same_genotype(c1, c2, d1, d2))
    factor = eb_;
  else if (!genotype_factors_.empty())
    factor = genotype_factors_[factor_start_[std::size_t(k)] + u1 * std::size_t(n) + u2];
  else
    factor = match_factor(ea_, eb_, L.freqs[u1], L.freqs[u2], L.alleles[u1], L.alleles[u2]);
  return true;
}

double PairScorer::smallest_retyped_factor() const {
  if (genotype_factors_.empty()) return 0;
  const double genotypes = *std::min_element(genotype_factors_.begin(), genotype_factors_.end());
  const double smallest = std::min(eb_, genotypes);
  return smallest > 0 ? smallest : 0;
}

int shared_alleles(int a1, int a2, int b1, int b2) {
  return std::max(int(a1 == b1) + int(a2 == b2), int(a1 == b2) + int(a2 == b1));
}

}  // namespace tarvo
