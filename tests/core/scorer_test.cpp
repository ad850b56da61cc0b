#include "tarvo/scorer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tarvo/error.h"

namespace {

using tarvo::GenotypeTable;

// Two loci with alleles 10, 20, 30 at frequencies 0.2, 0.3, 0.5.
tarvo::FrequencyTable three_alleles() {
  tarvo::FrequencyTable f;
  for (const char* name : {"A", "B"}) {
    tarvo::LocusFrequencies L;
    L.name = name;
    L.alleles = {10, 20, 30};
    L.freqs = {0.2, 0.3, 0.5};
    L.cumulative = {0.2, 0.5, 1.0};
    f.loci.push_back(L);
  }
  return f;
}

GenotypeTable table_of(const std::vector<std::array<std::int32_t, 4>>& rows) {
  GenotypeTable t(2, int(rows.size()));
  for (std::size_t s = 0; s < rows.size(); ++s) {
    for (int c = 0; c < 4; ++c) t.row(int(s))[c] = rows[s][std::size_t(c)];
    t.sample(s).loci = 3;
  }
  return t;
}

TEST(Scorer, ScoreOfHandComputedPairs) {
  const auto f = three_alleles();
  const GenotypeTable t = table_of({{10, 20, 30, 30}, {20, 10, 30, 30}, {10, 30, 30, 30}});
  const tarvo::PairScorer scorer(t, f, 0.01);
  const double eb = 0.01 * 1.99;
  const double het = eb + 0.9801 / (0.2 * 0.3 * 2);  // 8.1874
  const double hom = eb + 0.9801 / (0.5 * 0.5);      // 3.9403
  EXPECT_NEAR(scorer.score(1, 0, 1), std::log(8.1874), 1e-12);
  EXPECT_NEAR(scorer.score(1, 0, 3), std::log(het * hom), 1e-12);
  EXPECT_NEAR(scorer.score(2, 0, 3), std::log(eb * hom), 1e-12);
  EXPECT_EQ(scorer.score(1, 0, 0), 0.0);
  EXPECT_EQ(tarvo::PairScorer::score_of_product(1e-201), tarvo::FLOOR_LLR);
  EXPECT_EQ(tarvo::PairScorer::score_of_product(1e-199), std::log(1e-199));
}

TEST(Scorer, SelfScoreDraws) {
  const auto f = three_alleles();
  const GenotypeTable t = table_of({{10, 20, 30, 30}});
  const tarvo::PairScorer scorer(t, f, 0.01);
  tarvo::Rng rng(1);
  // No error: one draw per copy and locus, and the genotype matches itself.
  EXPECT_EQ(scorer.self_score(0, 3, 0.0, rng), scorer.score(0, 0, 3));
  EXPECT_EQ(rng.calls(), 4u);
  // Always an error: two more draws per copy.
  (void)scorer.self_score(0, 3, 1.0, rng);
  EXPECT_EQ(rng.calls(), 16u);
}

TEST(Scorer, LookupPathAgreesWithFastPath) {
  const auto f = three_alleles();
  // Sample 2 holds 99, unknown to the frequencies, at the scored locus 1:
  // its pairs go through the lookup path.
  const GenotypeTable odd = table_of({{10, 20, 30, 30}, {20, 30, 20, 30}, {20, 10, 99, 30}});
  const GenotypeTable known = table_of({{10, 20, 30, 30}, {20, 30, 20, 30}, {20, 10, 30, 30}});
  const tarvo::PairScorer slow(odd, f, 0.02), fast(known, f, 0.02);
  for (int j = 0; j < 2; ++j) {
    EXPECT_EQ(slow.score(2, j, 1), fast.score(2, j, 1));
    EXPECT_EQ(slow.score(j, 2, 1), fast.score(j, 2, 1));
  }
  for (std::uint32_t seed = 1; seed < 40; ++seed) {
    tarvo::Rng a(seed), b(seed);
    ASSERT_EQ(slow.self_score(2, 1, 0.5, a), fast.self_score(2, 1, 0.5, b));
    ASSERT_EQ(a.calls(), b.calls());
  }
  try {
    (void)slow.score(0, 2, 3);
    FAIL();
  } catch (const tarvo::Error& e) {
    EXPECT_EQ(e.code(), tarvo::ErrorCode::UnknownAllele);
    EXPECT_EQ(e.details<tarvo::AlleleDetails>().allele, 99);
    EXPECT_EQ(e.details<tarvo::AlleleDetails>().locus, 1);
    EXPECT_EQ(e.details<tarvo::AlleleDetails>().locus_name, "B");
  }
  tarvo::Rng rng;
  EXPECT_THROW((void)slow.self_score(2, 3, 0.0, rng), tarvo::Error);
}

// 150 biallelic loci, three mask words: products of blocks of any start and
// width agree with the pair score, and a self-score draws at every compared
// locus.
TEST(Scorer, ProductsOfBlocksMatchScoreOnWidePanels) {
  const int nloci = 150, n = 23;
  tarvo::FrequencyTable f;
  f.loci.assign(nloci, {.name = "",
                        .alleles = {1, 2},
                        .counts = {},
                        .freqs = {0.3, 0.7},
                        .cumulative = {0.3, 1},
                        .missing = 0});
  tarvo::Rng rng(5);
  GenotypeTable t(nloci, n);
  for (int s = 0; s < n; ++s)
    for (int k = 0; k < nloci; ++k) {
      if (rng.uniform() > 0.2) t.sample(s).loci.set(k);
      for (int a = 0; a < 2; ++a) t.row(s)[2 * k + a] = rng.uniform() < 0.3 ? 1 : 2;
    }
  const tarvo::PairScorer scorer(t, f, 0.01);
  std::vector<double> products(static_cast<std::size_t>(n), 0.0);
  for (int i = 1; i < n; ++i) {
    const int first = i % 3;
    scorer.products(i, first, i - first, products.data());
    for (int j = first; j < i; ++j)
      ASSERT_EQ(tarvo::PairScorer::score_of_product(products[std::size_t(j - first)]),
                scorer.score(i, j, t.sample(i).loci & t.sample(j).loci));
  }
  tarvo::Rng draws(3);
  (void)scorer.self_score(0, t.sample(0).loci, 0.0, draws);
  EXPECT_EQ(draws.calls(), 2u * std::uint64_t(t.sample(0).loci.count()));
}

// The bound sums of every pair stay above its score, so a pair whose score
// exceeds a threshold always reaches the threshold's bound; the pair
// product is the very double of the row's products. On the wide panel and
// on one whose rare alleles give large factors; a sample holding an allele
// of frequency 0 (an infinite factor) has no bounds.
TEST(Scorer, BoundSumsStayAboveEveryScore) {
  const int nloci = 150, n = 40;
  tarvo::FrequencyTable f;
  f.loci.assign(nloci, {.name = "",
                        .alleles = {1, 2, 3},
                        .counts = {},
                        .freqs = {0.001, 0.999, 0.0},
                        .cumulative = {0.001, 1, 1},
                        .missing = 0});
  tarvo::Rng rng(8);
  GenotypeTable t(nloci, n);
  for (int s = 0; s < n; ++s)
    for (int k = 0; k < nloci; ++k) {
      if (rng.uniform() > 0.3) t.sample(s).loci.set(k);
      for (int a = 0; a < 2; ++a) t.row(s)[2 * k + a] = rng.uniform() < 0.5 ? 1 : 2;
    }
  t.row(n - 1)[0] = 3;
  t.sample(n - 1).loci.set(0);
  const tarvo::PairScorer scorer(t, f, 0.01);
  ASSERT_GT(scorer.bound_scale(), 0);
  std::vector<double> products(static_cast<std::size_t>(n));
  std::vector<std::int32_t> sums(static_cast<std::size_t>(n));
  int reached = 0;
  for (int i = 1; i < n; ++i) {
    scorer.products(i, 0, i, products.data());
    scorer.score_bounds(i, 0, i, tarvo::PairScorer::NO_BOUND, sums.data());
    for (int j = 0; j < i; ++j) {
      const double product = scorer.pair_product(i, j);
      ASSERT_EQ(product, products[std::size_t(j)]);
      const double score = tarvo::PairScorer::score_of_product(product);
      if (i == n - 1) {
        ASSERT_EQ(sums[std::size_t(j)], std::numeric_limits<std::int32_t>::max());
        continue;
      }
      ASSERT_GE(double(sums[std::size_t(j)]), std::log(product) * scorer.bound_scale()) << i << j;
      // The threshold just below the score: the closest a bound can be.
      ASSERT_GE(sums[std::size_t(j)], scorer.bound_reach(std::nextafter(score, -1e9)));
      reached += int(sums[std::size_t(j)] < scorer.bound_reach(score + 1));
    }
    // Sums cut short stay below the reach they were cut at; the pairs above
    // the threshold still reach it.
    const std::int32_t reach = scorer.bound_reach(-20.0);
    scorer.score_bounds(i, 0, i, reach, sums.data());
    for (int j = 0; j < i && i < n - 1; ++j) {
      if (tarvo::PairScorer::score_of_product(products[std::size_t(j)]) > -20.0) {
        ASSERT_GE(sums[std::size_t(j)], reach) << i << " " << j;
      }
    }
  }
  EXPECT_GT(reached, 0);  // the bounds do pass over pairs
  EXPECT_EQ(scorer.bound_reach(std::nan("")), tarvo::PairScorer::NO_BOUND);
  EXPECT_EQ(scorer.bound_reach(1e300), std::numeric_limits<std::int32_t>::max());
}

}  // namespace
