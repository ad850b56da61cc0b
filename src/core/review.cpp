// The review of the matches of a level: per pair the mismatches against the
// error rate and the likelihood of one individual against close relatives;
// per individual how its samples are joined; per data set the weak samples
// and the differentiation of its populations.
#include "tarvo/review.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

#include "tarvo/clusters.h"

namespace tarvo {

namespace {

constexpr double NOT_A_NUMBER = std::numeric_limits<double>::quiet_NaN();

// Frequencies of a genotype's two alleles; false when either is missing or
// absent from the table, which leaves the locus out.
bool allele_frequencies(const FrequencyTable& freqs, int k, std::int32_t b1, std::int32_t b2,
                        double& p1, double& p2) {
  if (b1 == 0 || b2 == 0 || k >= freqs.size()) return false;
  const LocusFrequencies& locus = freqs.loci[std::size_t(k)];
  const int i1 = locus.index_of(b1), i2 = locus.index_of(b2);
  if (i1 < 0 || i2 < 0) return false;
  p1 = locus.freqs[std::size_t(i1)];
  p2 = locus.freqs[std::size_t(i2)];
  return p1 > 0 && p2 > 0;
}

// P(G2 | G1, one allele shared by descent) / P(G2): the shared allele is
// either of G1's, the other drawn from the frequencies.
double one_shared_ratio(std::int32_t a1, std::int32_t a2, std::int32_t b1, std::int32_t b2,
                        double p1, double p2) {
  const auto given = [&](std::int32_t x) {
    if (b1 == b2) return x == b1 ? p1 : 0.0;
    return (x == b1 ? p2 : 0.0) + (x == b2 ? p1 : 0.0);
  };
  const double g = b1 == b2 ? p1 * p1 : 2 * p1 * p2;
  return 0.5 * (given(a1) + given(a2)) / g;
}

double log_choose(int n, int k) {
  return std::lgamma(n + 1.0) - std::lgamma(k + 1.0) - std::lgamma(n - k + 1.0);
}

}  // namespace

double binomial_upper_tail(int n, int k, double p) {
  if (k <= 0) return 1;
  if (k > n || p <= 0) return 0;
  if (p >= 1) return 1;
  double tail = 0;
  for (int x = k; x <= n; ++x)
    tail += std::exp(log_choose(n, x) + x * std::log(p) + (n - x) * std::log1p(-p));
  return std::min(tail, 1.0);
}

double llr_same_against(const GenotypeTable& table, const FrequencyTable& freqs, int i, int j,
                        double error, Relatedness relatives) {
  const double ea = (1 - error) * (1 - error), eb = error * (2 - error);
  const std::int32_t* a = table.row(i);
  const std::int32_t* b = table.row(j);
  const LociMask both = table.sample(i).loci & table.sample(j).loci;
  double llr = 0;
  both.for_each(table.loci(), [&](int k) {
    const std::int32_t a1 = a[2 * k], a2 = a[2 * k + 1], b1 = b[2 * k], b2 = b[2 * k + 1];
    double p1 = 0, p2 = 0;
    if (a1 == 0 || a2 == 0 || !allele_frequencies(freqs, k, b1, b2, p1, p2)) return;
    const bool match = (a1 == b1 && a2 == b2) || (a1 == b2 && a2 == b1);
    const double identical = match ? 1 / (b1 == b2 ? p1 * p1 : 2 * p1 * p2) : 0;
    const double same = ea * identical + eb;
    const double related =
        ea * (relatives.k0 + relatives.k1 * one_shared_ratio(a1, a2, b1, b2, p1, p2) +
              relatives.k2 * identical) +
        eb;
    llr += std::log(same) - std::log(related);
  });
  return llr;
}

namespace {

// The genotypes one population holds at one locus.
struct LocusSample {
  int typed = 0;                             // samples with both alleles
  std::map<std::int32_t, int> copies;        // allele copies
  std::map<std::int32_t, int> heterozygous;  // heterozygotes carrying the allele
};

std::vector<LocusSample> locus_samples(const GenotypeTable& table, int k) {
  std::vector<LocusSample> pops(table.populations.size());
  for (int s = 0; s < table.size(); ++s) {
    const Sample& sample = table.sample(s);
    const std::int32_t* row = table.row(s);
    const std::int32_t x = row[2 * k], y = row[2 * k + 1];
    if (!sample.loci.has(k) || x == 0 || y == 0) continue;
    if (sample.population < 0 || std::size_t(sample.population) >= pops.size()) continue;
    LocusSample& p = pops[std::size_t(sample.population)];
    ++p.typed;
    ++p.copies[x];
    ++p.copies[y];
    if (x != y) {
      ++p.heterozygous[x];
      ++p.heterozygous[y];
    }
  }
  std::erase_if(pops, [](const LocusSample& p) { return p.typed == 0; });
  return pops;
}

// The numerator and denominator sums of theta at one locus.
void add_locus_theta(const std::vector<LocusSample>& pops, double& num, double& den) {
  const double r = static_cast<double>(pops.size());
  double total = 0, squares = 0;
  std::map<std::int32_t, int> alleles;
  for (const LocusSample& p : pops) {
    total += p.typed;
    squares += double(p.typed) * p.typed;
    for (const auto& [allele, n] : p.copies) alleles[allele] += n;
  }
  const double nbar = total / r;
  if (r < 2 || nbar <= 1) return;
  const double nc = (total - squares / total) / (r - 1);
  for (const auto& entry : alleles) {
    const std::int32_t u = entry.first;
    double pbar = 0, hbar = 0, s2 = 0;
    const auto at = [u](const std::map<std::int32_t, int>& m) {
      const auto it = m.find(u);
      return it == m.end() ? 0.0 : double(it->second);
    };
    for (const LocusSample& p : pops) {
      pbar += at(p.copies) / 2;
      hbar += at(p.heterozygous);
    }
    pbar /= total;
    hbar /= total;
    for (const LocusSample& p : pops) {
      const double pi = at(p.copies) / (2.0 * p.typed);
      s2 += p.typed * (pi - pbar) * (pi - pbar);
    }
    s2 /= (r - 1) * nbar;
    const double within = pbar * (1 - pbar) - (r - 1) / r * s2;
    const double a = nbar / nc * (s2 - (within - hbar / 4) / (nbar - 1));
    const double b = nbar / (nbar - 1) * (within - (2 * nbar - 1) / (4 * nbar) * hbar);
    num += a;
    den += a + b + hbar / 2;
  }
}

}  // namespace

double weir_cockerham_fst(const GenotypeTable& table) {
  if (table.populations.size() < 2) return NOT_A_NUMBER;
  double num = 0, den = 0;
  for (int k = 0; k < table.loci(); ++k) add_locus_theta(locus_samples(table, k), num, den);
  return den > 0 ? num / den : NOT_A_NUMBER;
}

namespace {

// The groups of the accepted pairs, then every other sample alone.
void group_individuals(Review& r, std::span<const MatchPair> accepted) {
  const Clusters clusters = cluster_pairs(accepted);
  r.individual_of.assign(std::size_t(r.samples), -1);
  for (const std::vector<int>& group : clusters.groups) {
    for (const int s : group) r.individual_of[std::size_t(s)] = int(r.individuals.size());
    r.individuals.push_back(Individual{group, 0, NOT_A_NUMBER, -1});
  }
  for (int s = 0; s < r.samples; ++s)
    if (r.individual_of[std::size_t(s)] < 0) {
      r.individual_of[std::size_t(s)] = int(r.individuals.size());
      r.individuals.push_back(Individual{{s}, 0, NOT_A_NUMBER, -1});
    }
  for (std::size_t p = 0; p < accepted.size(); ++p) {
    Individual& ind = r.individuals[std::size_t(r.individual_of[std::size_t(accepted[p].later)])];
    const double llr = accepted[p].llr;
    ind.weakest_llr = ind.accepted_pairs == 0 ? llr : std::min(ind.weakest_llr, llr);
    ind.most_mismatching_alleles =
        std::max(ind.most_mismatching_alleles, r.pairs[p].mismatching_alleles);
    ++ind.accepted_pairs;
  }
  for (const Individual& ind : r.individuals) {
    if (ind.samples.size() > 1) ++r.sampled_more_than_once;
    if (ind.chain()) ++r.chained_individuals;
  }
}

void weak_samples(Review& r, const GenotypeTable& table) {
  for (int s = 0; s < table.size(); ++s) {
    const int typed = table.sample(s).loci.count();
    if (typed == 0)
      r.untyped_samples.push_back(s);
    else if (2 * typed < table.loci())
      r.sparse_samples.push_back(s);
  }
}

unsigned pair_flags(const Review& r, const PairReview& p, const MatchPair& m,
                    const std::vector<bool>& sparse) {
  unsigned flags = 0;
  if (p.mismatch_tail < MISMATCH_TAIL_LIMIT) flags |= FlagMismatches;
  if (p.llr_vs_full_siblings < 0) flags |= FlagFullSiblings;
  if (p.llr_vs_parent_offspring < 0) flags |= FlagParentOffspring;
  if (r.individuals[std::size_t(r.individual_of[std::size_t(m.later)])].chain()) flags |= FlagChain;
  if (sparse[std::size_t(m.later)] || sparse[std::size_t(m.earlier)]) flags |= FlagFewLoci;
  return flags;
}

}  // namespace

Review review_matches(const GenotypeTable& table, const FrequencyTable& freqs,
                      std::span<const MatchPair> stored, int accepted, double error) {
  Review r;
  r.samples = table.size();
  for (const MatchPair& m : stored) {
    PairReview p;
    const AlleleComparison alleles = compare_alleles(table, m.later, m.earlier);
    p.alleles = alleles.alleles;
    p.mismatching_alleles = alleles.mismatches;
    p.mismatch_tail = binomial_upper_tail(alleles.alleles, alleles.mismatches, error);
    p.llr_vs_full_siblings =
        llr_same_against(table, freqs, m.later, m.earlier, error, FULL_SIBLINGS);
    p.llr_vs_parent_offspring =
        llr_same_against(table, freqs, m.later, m.earlier, error, PARENT_OFFSPRING);
    r.pairs.push_back(p);
  }
  const std::size_t n_accepted = std::min(std::size_t(std::max(accepted, 0)), stored.size());
  group_individuals(r, stored.first(n_accepted));
  weak_samples(r, table);
  std::vector<bool> sparse(std::size_t(r.samples), false);
  for (const int s : r.sparse_samples) sparse[std::size_t(s)] = true;
  r.flag_counts.assign(std::size(PAIR_FLAGS), 0);
  for (std::size_t p = 0; p < n_accepted; ++p) {
    PairReview& review = r.pairs[p];
    review.flags = pair_flags(r, review, stored[p], sparse);
    if (review.flags != 0) ++r.flagged_pairs;
    for (std::size_t f = 0; f < std::size(PAIR_FLAGS); ++f)
      if (review.flags & PAIR_FLAGS[f]) ++r.flag_counts[f];
  }
  r.fst = weir_cockerham_fst(table);
  return r;
}

}  // namespace tarvo
