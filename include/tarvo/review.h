// What a biologist needs to judge the matches of a level: which samples make
// one individual, how sure each accepted pair is, and which of them another
// explanation fits as well (genotyping errors beyond the error rate, close
// relatives, a chain of matches, populations pooled that differ). Values in,
// values out: the reports decide how to say it.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "tarvo/frequencies.h"
#include "tarvo/genotypes.h"
#include "tarvo/scan.h"

namespace tarvo {

// A mismatch count this unlikely under the error rate alone is flagged.
inline constexpr double MISMATCH_TAIL_LIMIT = 0.001;
// Populations this differentiated make chance matches within one likelier
// than the pooled frequencies say.
inline constexpr double FST_LIMIT = 0.05;
// Fewer samples than this give the estimates little to stand on.
inline constexpr int FEW_SAMPLES = 10;

// Reasons to look at an accepted pair again, as bits.
enum PairFlag : unsigned {
  FlagMismatches = 1u,       // more mismatching alleles than the error rate explains
  FlagFullSiblings = 2u,     // full siblings explain the genotypes better
  FlagParentOffspring = 4u,  // a parent and its offspring explain them better
  FlagChain = 8u,            // its individual is held together by a chain
  FlagFewLoci = 16u,         // a sample typed at fewer than half the loci
};
inline constexpr unsigned PAIR_FLAGS[] = {FlagMismatches, FlagFullSiblings, FlagParentOffspring,
                                          FlagChain, FlagFewLoci};

// P(X >= k) for X binomial with n trials of probability p.
[[nodiscard]] double binomial_upper_tail(int n, int k, double p);

// ln of the likelihood that samples i and j are one individual over that of
// their being related with the given identity-by-descent probabilities
// (k0, k1, k2), over the loci both are typed at, with the error model of the
// pair score: either typing is wrong with probability e(2 - e) and then shows
// a genotype drawn from the frequencies.
struct Relatedness {
  double k0 = 0, k1 = 0, k2 = 0;
};
inline constexpr Relatedness FULL_SIBLINGS{0.25, 0.5, 0.25};
inline constexpr Relatedness PARENT_OFFSPRING{0, 1, 0};
[[nodiscard]] double llr_same_against(const GenotypeTable& table, const FrequencyTable& freqs,
                                      int i, int j, double error, Relatedness relatives);

// Weir and Cockerham's theta over all loci and populations, from the
// genotypes each population holds; NaN with fewer than two populations
// holding typed samples.
[[nodiscard]] double weir_cockerham_fst(const GenotypeTable& table);

struct PairReview {
  int alleles = 0;              // alleles compared
  int mismatching_alleles = 0;  // alleles not shared
  double mismatch_tail = 1;     // P(that many or more) at the error rate
  double llr_vs_full_siblings = 0;
  double llr_vs_parent_offspring = 0;
  unsigned flags = 0;  // PairFlag bits; accepted pairs only
};

// One individual: a group of samples joined by accepted pairs, or a sample
// no accepted pair joins.
struct Individual {
  std::vector<int> samples;  // as the groups list them; a lone sample alone
  int accepted_pairs = 0;
  [[nodiscard]] int possible_pairs() const {
    const int n = static_cast<int>(samples.size());
    return n * (n - 1) / 2;
  }
  // Not every pair of its samples accepted: it rests on a chain of matches.
  [[nodiscard]] bool chain() const { return accepted_pairs < possible_pairs(); }
  double weakest_llr = 0;            // of its accepted pairs; NaN alone
  int most_mismatching_alleles = 0;  // in one accepted pair; -1 alone
};

struct Review {
  std::vector<PairReview> pairs;  // per stored pair, in their order
  // The groups of the accepted pairs first, in the order clustering finds
  // them, then every other sample in file order.
  std::vector<Individual> individuals;
  std::vector<int> individual_of;  // per sample, into individuals
  int samples = 0;
  int sampled_more_than_once = 0;  // individuals with two samples or more
  [[nodiscard]] int repeat_samples() const {
    return samples - static_cast<int>(individuals.size());
  }
  int flagged_pairs = 0;             // accepted pairs with any flag
  std::vector<int> flag_counts;      // accepted pairs per entry of PAIR_FLAGS
  int chained_individuals = 0;       // individuals resting on a chain
  std::vector<int> untyped_samples;  // typed at no locus
  std::vector<int> sparse_samples;   // typed at some but fewer than half the loci
  double fst = 0;                    // NaN with one population
  [[nodiscard]] bool differentiated() const { return fst > FST_LIMIT; }
  [[nodiscard]] bool few_samples() const { return samples < FEW_SAMPLES; }
};

// The review of the stored pairs, of which the first `accepted` are the
// matches of the level; `error` is the error rate of the pair scores.
[[nodiscard]] Review review_matches(const GenotypeTable& table, const FrequencyTable& freqs,
                                    std::span<const MatchPair> stored, int accepted, double error);

}  // namespace tarvo
