// The pair score: worked factors, the error model's edge cases, and the fast
// tables against the score computed as written, on every pair of real data.
#include <gtest/gtest.h>

#include <cmath>

#include "common/test_run.h"

namespace {

using testutil::TestRun;

// The score as written: a frequency lookup per allele, like_ind per locus.
double oracle_score(tarvo::Run& r, int simulated, int i, int j, int nloci, uint32_t mask) {
  tarvo::LikeState st;
  int first = 0;
  double result = 0;
  const double E = r.opt.e_value / 10000.0;
  const int32_t* a = r.store.row(simulated, i);
  const int32_t* b = r.store.row(simulated, j);
  for (int k = 0; k < nloci; ++k) {
    if (!tarvo::locus_missing_bit(k, mask)) continue;
    const double p1 = tarvo::binsrch(r, k, b[2 * k]);
    const double p2 = tarvo::binsrch(r, k, b[2 * k + 1]);
    result = tarvo::like_ind(st, E, p1, p2, a[2 * k], a[2 * k + 1], b[2 * k], b[2 * k + 1], first);
  }
  return result;
}

TEST(LikeInd, WorkedFactors) {
  struct Case {
    double p1, p2;
    int a1, a2, b1, b2;
    double factor;
  } cases[] = {
      {0.1, 0.2, 200, 204, 200, 204, 24.5224},  // heterozygote, G = 0.04
      {0.5, 0.5, 200, 200, 200, 200, 3.9403},   // homozygote, G = 0.25
      {0.1, 0.2, 204, 200, 200, 204, 24.5224},  // opposite allele order matches
      {0.1, 0.2, 200, 208, 200, 204, 0.0199},   // differing genotypes: E(2 - E)
  };
  for (const Case& c : cases) {
    tarvo::LikeState st;
    int first = 0;
    const double L = tarvo::like_ind(st, 0.01, c.p1, c.p2, c.a1, c.a2, c.b1, c.b2, first);
    EXPECT_EQ(first, 1);
    EXPECT_NEAR(std::exp(L), c.factor, 1e-10);
  }
}

TEST(LikeInd, ProductOverLociThenOneLogAndTheFloor) {
  tarvo::LikeState st;
  int first = 0;
  tarvo::like_ind(st, 0.01, 0.1, 0.2, 200, 204, 200, 204, first);
  const double L = tarvo::like_ind(st, 0.01, 0.1, 0.2, 200, 208, 200, 204, first);
  EXPECT_NEAR(L, std::log(24.5224) + std::log(0.0199), 1e-12);
  EXPECT_NEAR(std::log(0.0199), -3.917, 1e-3);

  // With E = 0 one differing locus makes the product 0.
  tarvo::LikeState zero;
  first = 0;
  tarvo::like_ind(zero, 0.0, 0.1, 0.2, 200, 204, 200, 204, first);
  EXPECT_EQ(tarvo::like_ind(zero, 0.0, 0.1, 0.2, 200, 208, 200, 204, first), tarvo::FLOOR_LLR);
}

TEST(LikelihoodInd, ComparesOnlyCommonLociAndStopsOnAnEmptyMask) {
  TestRun t;
  tarvo::Run& r = t.r;
  t.set_locus(0, {{200, 0.5}, {204, 0.5}});
  t.set_locus(1, {{120, 0.1}, {124, 0.9}});
  t.set_genotype(0, 0, 0, 200, 204);
  t.set_genotype(0, 0, 1, 120, 120);
  t.set_genotype(0, 1, 0, 204, 200);
  t.set_genotype(0, 1, 1, 124, 124);
  r.store.rec[0].loci_mask = 3;
  r.store.rec[1].loci_mask = 1;
  tarvo::prepare_scores(r, 0, 2, 2);
  EXPECT_DOUBLE_EQ(tarvo::likelihood_ind(r, 1, 0, 2, 1), std::log(0.9801 / 0.5 + 0.0199));

  EXPECT_EQ(testutil::exit_status([&] { tarvo::likelihood_ind(r, 1, 0, 2, 4); }), 1);
  const std::string shown =
      "\nSee code in:  likelihood_ind() \n\n(00004 decimal)00000000000000000000000000000100 binary";
  EXPECT_EQ(t.out(), shown);
  EXPECT_EQ(t.log(), shown);
}

TEST(LikelihoodInd, AnAlleleMissingFromTheTableStopsWithTheLookupMessage) {
  TestRun t;
  tarvo::Run& r = t.r;
  t.set_locus(0, {{200, 0.5}, {204, 0.5}});
  t.set_genotype(0, 0, 0, 200, 202);
  t.set_genotype(0, 1, 0, 200, 204);
  r.store.loc[0].name = "L1";
  r.store.rec[0].loci_mask = r.store.rec[1].loci_mask = 1;
  tarvo::prepare_scores(r, 0, 2, 1);
  EXPECT_EQ(testutil::exit_status([&] { tarvo::likelihood_ind(r, 1, 0, 1, 1); }), 1);
  EXPECT_NE(t.out().find("Did not find allele <202> in locus <L1>"), std::string::npos);
}

TEST(SelfComparison, WithoutErrorsIsTheSampleAgainstItselfWithOneDrawPerCopyAndLocus) {
  TestRun t;
  tarvo::Run& r = t.r;
  t.set_locus(0, {{200, 0.25}, {204, 0.75}});
  t.set_locus(1, {{120, 0.5}, {124, 0.5}});
  t.set_genotype(0, 0, 0, 200, 204);
  t.set_genotype(0, 0, 1, 124, 124);
  r.store.rec[0].loci_mask = 3;
  r.opt.E_value = 0;
  tarvo::prepare_scores(r, 0, 1, 2);
  r.rng.init_genrand(1);
  const double self = tarvo::likelihood_ind2(r, 1, 0, 0, 2, 3);
  EXPECT_EQ(r.rng.calls, 4u);
  EXPECT_EQ(self, tarvo::likelihood_ind(r, 0, 0, 2, 3));
}

// Every copy gets an error; the cumulative frequencies end at 0.5, so a draw
// above them takes the last allele of the locus.
TEST(SelfComparison, ErrorsDrawTheReplacementFromThePopulation) {
  TestRun t;
  tarvo::Run& r = t.r;
  t.set_locus(0, {{200, 0.25}, {204, 0.25}});
  t.set_genotype(1, 0, 0, 200, 200);
  r.store.rec[0].loci_mask = 1;
  r.opt.E_value = 10000;
  tarvo::prepare_scores(r, 1, 1, 1);
  int beyond = 0;
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    r.rng.init_genrand(seed);
    tarvo::Rng copy = r.rng;
    const double L = tarvo::likelihood_inds2(r, 4, 0, 0, 1, 1);
    EXPECT_EQ(r.rng.calls, 6u);
    // Replay the draws: u, r, v for each copy.
    int c[2] = {200, 200}, d[2] = {200, 200};
    for (int* g : {c, d}) {
      copy.drand();
      const int slot = copy.randchoice() == 1 ? 0 : 1;
      const double v = copy.drand();
      beyond += v > 0.5;
      g[slot] = v <= 0.25 ? 200 : 204;
    }
    const bool match = (c[0] == d[0] && c[1] == d[1]) || (c[0] == d[1] && c[1] == d[0]);
    const double G = d[0] == d[1] ? 0.0625 : 0.125;
    const double factor = match ? 0.9801 / G + 0.0199 : 0.0199;
    EXPECT_NEAR(L, std::log(factor), 1e-12) << seed;
  }
  EXPECT_GT(beyond, 0);
}

TEST(AlleleComparison, DropoutsAndMismatches) {
  TestRun t;
  tarvo::Run& r = t.r;
  struct Case {
    int a1, a2, b1, b2, nall, nmis, ndrop, shared;
  } cases[] = {
      {200, 200, 200, 204, 2, 1, 1, 1},
      {200, 204, 208, 212, 2, 2, 0, 0},
      {200, 204, 204, 200, 2, 0, 0, 2},
      {200, 200, 208, 208, 2, 2, 1, 0},
  };
  for (const Case& c : cases) {
    t.set_genotype(0, 0, 0, c.a1, c.a2);
    t.set_genotype(0, 1, 0, c.b1, c.b2);
    r.store.rec[0].loci_mask = r.store.rec[1].loci_mask = 1;
    int ndrop, nall, nmis;
    tarvo::allelic_dropout2(r, 1, 0, 1, ndrop, nall, nmis);
    EXPECT_EQ(nall, c.nall);
    EXPECT_EQ(nmis, c.nmis);
    EXPECT_EQ(ndrop, c.ndrop);
    EXPECT_EQ(tarvo::compare(c.a1, c.a2, c.b1, c.b2), c.shared);
  }
  // Loci scored in only one sample are not compared.
  r.store.rec[1].loci_mask = 0;
  int ncomp, nmis;
  tarvo::loci_missmatch(r, 1, 0, 1, ncomp, nmis);
  EXPECT_EQ(ncomp, 0);
}

// The fast tables give bit for bit the score computed as written, on every
// pair of the cattle data, over the loci the pair shares.
TEST(LikelihoodInd, FastTablesEqualTheScoreAsWrittenOnEveryPairOfRealData) {
  TestRun t;
  tarvo::Run& r = t.r;
  r.opt.i_option[0] = 1;
  r.opt.i_value[0] = std::string(TARVO_SOURCE_DIR) + "/tests/data/microbov.gen";
  int nloci, anim, nBlocks;
  tarvo::read_base_pairs_GENEPOP(r, nloci, anim, nBlocks, tarvo::ANIM);
  tarvo::store_loci_freq(r, nloci, anim);
  for (int e : {100, 1, 2000}) {
    r.opt.e_value = e;
    tarvo::prepare_scores(r, 0, anim, nloci);
    int64_t differing = 0, compared = 0;
    for (int i = 1; i < anim; ++i)
      for (int j = 0; j < i; ++j) {
        const uint32_t mask = r.store.rec[i].loci_mask & r.store.rec[j].loci_mask;
        if (!mask) continue;
        ++compared;
        if (tarvo::likelihood_ind(r, i, j, nloci, mask) != oracle_score(r, 0, i, j, nloci, mask))
          ++differing;
      }
    EXPECT_EQ(compared, 247456);
    EXPECT_EQ(differing, 0) << "e_value " << e;
  }
}

}  // namespace

namespace {

// The row kernel of the calibration gives, for every pair of a simulated set
// of real data, exactly the product whose log is the pair's score.
TEST(LikelihoodInd, RowProductsEqualThePairScoresOfASimulatedSet) {
  TestRun t;
  tarvo::Run& r = t.r;
  r.opt.i_option[0] = 1;
  r.opt.i_value[0] = std::string(TARVO_SOURCE_DIR) + "/tests/data/nancycats.gen";
  r.opt.k_value = "Pop";
  int nloci, anim, nBlocks;
  tarvo::read_base_pairs_GENEPOP(r, nloci, anim, nBlocks, tarvo::ANIM);
  tarvo::store_loci_freq(r, nloci, anim);
  r.rng.init_genrand(5);
  tarvo::sim_genotypes(r, 1, nloci, anim, 0, 1);
  tarvo::prepare_scores(r, 1, anim, nloci);
  std::vector<double> products(anim);
  int64_t differing = 0;
  for (int i = 1; i < anim; ++i) {
    tarvo::pair_products_row(r, 1, i, nloci, products.data());
    for (int j = 0; j < i; ++j) {
      const uint32_t mask = r.store.rec[i].loci_mask & r.store.rec[j].loci_mask;
      if (mask && tarvo::score_of_product(products[j]) != oracle_score(r, 1, i, j, nloci, mask))
        ++differing;
    }
  }
  EXPECT_EQ(differing, 0);
}

}  // namespace
