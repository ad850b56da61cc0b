// The review of matches: the relationship likelihoods against values worked
// by hand at one locus, the binomial tail and the differentiation figure.
#include "tarvo/review.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tarvo {
namespace {

// Two samples at one locus with alleles 1, 2, 3 at 0.1, 0.2, 0.7.
struct OneLocus {
  GenotypeTable table{1, 2};
  FrequencyTable freqs;
  OneLocus(std::int32_t a1, std::int32_t a2, std::int32_t b1, std::int32_t b2) {
    for (int s = 0; s < 2; ++s) table.sample(s).loci = 1u;
    table.row(0)[0] = a1;
    table.row(0)[1] = a2;
    table.row(1)[0] = b1;
    table.row(1)[1] = b2;
    freqs.loci.resize(1);
    freqs.loci[0].alleles = {1, 2, 3};
    freqs.loci[0].freqs = {0.1, 0.2, 0.7};
  }
  double against(Relatedness r) const { return llr_same_against(table, freqs, 0, 1, 0.01, r); }
};

TEST(Review, RelationshipLikelihoodsAtOneLocus) {
  // The same heterozygote: one individual gives 0.9801 / 0.04 + 0.0199;
  // sharing one allele by descent gives P(12 | 12) / P(12) = 0.15 / 0.04.
  const OneLocus same(2, 1, 1, 2);
  EXPECT_NEAR(same.against(PARENT_OFFSPRING), std::log(24.5224 / (0.9801 * 3.75 + 0.0199)), 1e-12);
  EXPECT_NEAR(same.against(FULL_SIBLINGS),
              std::log(24.5224 / (0.9801 * (0.25 + 0.5 * 3.75 + 0.25 * 25) + 0.0199)), 1e-12);
  // 13 against 11: one individual only through an error (0.0199); a parent
  // passes its 1 (half the time), the other allele is 1 with 0.1: 0.05 / 0.01.
  const OneLocus differ(1, 3, 1, 1);
  EXPECT_NEAR(differ.against(PARENT_OFFSPRING), std::log(0.0199 / (0.9801 * 5 + 0.0199)), 1e-12);
  EXPECT_NEAR(differ.against(FULL_SIBLINGS),
              std::log(0.0199 / (0.9801 * (0.25 + 0.5 * 5) + 0.0199)), 1e-12);
  // Unrelated (0, 0, 1 would be one individual): the pair score's own ratio.
  EXPECT_NEAR(same.against({1, 0, 0}), std::log(24.5224), 1e-12);
}

TEST(Review, BinomialTailAndDifferentiation) {
  EXPECT_NEAR(binomial_upper_tail(2, 1, 0.01), 0.0199, 1e-15);
  EXPECT_NEAR(binomial_upper_tail(2, 2, 0.01), 1e-4, 1e-15);
  EXPECT_EQ(binomial_upper_tail(40, 0, 0.01), 1);
  EXPECT_EQ(binomial_upper_tail(4, 5, 0.01), 0);
  // Two populations fixed for different alleles are wholly differentiated;
  // one population has no figure.
  GenotypeTable t(1, 10);
  t.populations = {{"A", 0, 5}, {"B", 5, 10}};
  for (int s = 0; s < 10; ++s) {
    t.sample(s) = Sample{"s", 1u, s < 5 ? 0 : 1};
    t.row(s)[0] = t.row(s)[1] = s < 5 ? 1 : 2;
  }
  EXPECT_NEAR(weir_cockerham_fst(t), 1, 1e-12);
  t.populations = {{"A", 0, 10}};
  EXPECT_TRUE(std::isnan(weir_cockerham_fst(t)));
}

}  // namespace
}  // namespace tarvo
