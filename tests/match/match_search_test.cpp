// The descending search, the level of an LLR, the top list, the level
// estimator and the pair scan's counting and storing.
#include <gtest/gtest.h>

#include <cmath>

#include "common/test_run.h"

namespace {

using testutil::TestRun;

TEST(BinarySearch, DescendingPositions) {
  const double v[] = {9, 7, 5, 3, 1};
  struct Case {
    double x;
    int pos;
  } cases[] = {{10, 0}, {9, 0}, {8, 1}, {7, 1}, {6, 2}, {5, 2}, {2, 4}, {1, -1}, {0, -1}};
  for (const Case& c : cases) EXPECT_EQ(tarvo::binarySearch(v, 0, 4, c.x), c.pos) << c.x;
}

TEST(LLR2alpha, FalsePositivesPerSimulatedSet) {
  TestRun t;
  tarvo::Run& r = t.r;
  r.opt.n_value = 100;
  for (int i = 0; i < 5000; ++i) r.est.tot[i] = 100.0 - i * 0.01;
  EXPECT_EQ(tarvo::LLR2alpha(r, 200.0), 0.0);
  EXPECT_EQ(tarvo::LLR2alpha(r, 100.0 - 4999 * 0.01), 999999.0);
  EXPECT_NEAR(tarvo::LLR2alpha(r, 100.0 - 250 * 0.01 + 0.001), 2.5, 1e-12);
}

TEST(LevelEstimator, WorkedExamples) {
  // N = 100, M = 12, V = 2 with S = 9900 (E = 100) and S = 2450 (E = 50).
  tarvo::LevelEstimate a = tarvo::estimate_level(12, 9900, 100, 2);
  EXPECT_DOUBLE_EQ(a.E, 100);
  EXPECT_DOUBLE_EQ(a.R, 10);
  EXPECT_NEAR(a.Rhat, 10, 1e-9);
  EXPECT_NEAR(a.pct, 11.11, 0.01);
  tarvo::LevelEstimate b = tarvo::estimate_level(12, 2450, 100, 2);
  EXPECT_DOUBLE_EQ(b.E, 50);
  EXPECT_NEAR(b.Rhat, 36, 1e-9);
  EXPECT_NEAR(b.pct, 56.25, 1e-9);
  // More net matches than the effective size: h <= 0 gives no estimate.
  EXPECT_EQ(tarvo::estimate_level(60, 2450, 100, 2).Rhat, 0);
  // Fewer matches than false positives: R floors at 0.
  tarvo::LevelEstimate c = tarvo::estimate_level(1, 2450, 100, 2);
  EXPECT_EQ(c.R, 0);
  EXPECT_EQ(c.Rhat, 0);
}

TEST(TopList, KeepsTheLargestScoresInDescendingOrder) {
  TestRun t;
  tarvo::Run& r = t.r;
  tarvo::toplikelihood_inds(r, 0, 0, 0, 0, 0);
  for (double x : r.est.toplikes) EXPECT_EQ(x, tarvo::FLOOR_LLR);
  // Scores come from one-locus pairs of simulated samples: frequency p gives
  // a homozygote match factor 0.9801 / p^2 + 0.0199.
  const int n = 60;
  t.set_locus(0, {});
  tarvo::Locus& L = r.store.loc[0];
  L.nallele = n;
  for (int a = 0; a < n; ++a) {
    L.allele[a] = a + 1;
    L.freq[a] = 0.001 * (a + 1);
    t.set_genotype(1, a, 0, a + 1, a + 1);
    r.store.rec[a].loci_mask = 1;
  }
  tarvo::prepare_scores(r, 1, n, 1);
  for (int a = 0; a < n; ++a) tarvo::toplikelihood_inds(r, a, a, 1, 1, 50);
  EXPECT_EQ(r.est.is, n);
  for (int m = 0; m < 50; ++m)
    EXPECT_EQ(r.est.toplikes[m], tarvo::likelihood_inds(r, m, m, 1, 1)) << m;
}

// A reference set of five samples: two exact repeats and unrelated others.
struct SmallScan : TestRun {
  SmallScan() {
    tarvo::Run& rr = r;
    set_locus(0, {{1, 0.1}, {2, 0.2}, {3, 0.3}, {4, 0.4}});
    set_locus(1, {{5, 0.5}, {6, 0.5}});
    const int g[5][4] = {{1, 2, 5, 6}, {3, 4, 5, 5}, {1, 2, 5, 6}, {4, 4, 6, 6}, {3, 4, 5, 5}};
    for (int s = 0; s < 5; ++s) {
      set_genotype(0, s, 0, g[s][0], g[s][1]);
      set_genotype(0, s, 1, g[s][2], g[s][3]);
      rr.store.rec[s].loci_mask = 3;
    }
    rr.store.rec[3].loci_mask = 0;  // shares no locus with anyone
    rr.store.nBlock[0] = 0;
    rr.store.nBlock[1] = 5;
    rr.opt.E_value = 0;
    tarvo::get_alphaCut(rr);
    for (int k = 0; k < tarvo::LEVELS; ++k) rr.est.LLRcut[k] = 3.0 - 0.1 * k;
    rr.io.fp2 = std::tmpfile();
  }
};

TEST(ReferenceScan, CountsStoresAndWritesTheMismatchTableOnce) {
  SmallScan s;
  tarvo::Run& r = s.r;
  int npairs = 0;
  double Ez = 0;
  tarvo::find_like_recap_data(r, 1, 2, 5, 1, 0, 0, npairs, Ez);
  // The repeats (2,0) and (4,1) score ln(24.5224 * 1.9801) = 3.87 and
  // ln(4.1036 * 3.9403) = 2.78; the others far less.
  ASSERT_EQ(npairs, 2);
  EXPECT_EQ(r.est.mat_pairs[0][0].sample1, 2);
  EXPECT_EQ(r.est.mat_pairs[0][0].sample2, 0);
  EXPECT_EQ(r.est.mat_pairs[0][1].sample1, 4);
  EXPECT_EQ(r.est.mat_pairs[0][1].sample2, 1);
  EXPECT_EQ(r.est.mat_pairs[0][0].pop1, 1);
  EXPECT_EQ(r.est.d_ngood[0], 1);
  EXPECT_EQ(r.est.d_ngood[2], 1);
  EXPECT_EQ(r.est.d_ngood[3], 2);
  // Six compared pairs, twelve self-scores: samples 0 and 2 (3.87) pass every
  // threshold, samples 1 and 4 (2.78) only from level 3 on.
  EXPECT_DOUBLE_EQ(r.est.d_Ex[0], 3);  // S = 6
  EXPECT_DOUBLE_EQ(r.est.d_Ex[3], 4);  // S = 12
  EXPECT_EQ(Ez, r.est.d_Ex[r.opt.z_value]);
  const std::string table = testutil::slurp(r.io.fp2);
  EXPECT_EQ(table,
            "\n\n Pairwise missmatch analysis of loci\n"
            "____________________________________\n"
            " Number      Comparable    Mismatch\n"
            "____________________________________\n"
            "   0                0            2\n"
            "   1                0            0\n"
            "   2                6            4\n"
            "____________________________________\n");
  tarvo::find_like_recap_data(r, 1, 2, 5, 1, 0, 0, npairs, Ez);
  EXPECT_EQ(testutil::slurp(r.io.fp2), table);
}

TEST(ReferenceScan, InconsistentPopulationsStop) {
  SmallScan s;
  s.r.store.nBlock[1] = 3;  // samples 3 and 4 lie beyond the last population
  int npairs = 0;
  double Ez = 0;
  EXPECT_EQ(testutil::exit_status(
                [&] { tarvo::find_like_recap_data(s.r, 1, 2, 5, 1, 0, 0, npairs, Ez); }),
            1);
  EXPECT_EQ(s.out(),
            "\n\nShould not reach this code in function inblocks   nblocks=1  nBlock[0]=0 "
            "nBlock[1]=3 n=3\nSincere appologies. This is a program error and will terminate "
            "now\n");
  EXPECT_EQ(s.log(), s.out());
}

TEST(ReferenceScan, StoringBeyondTheBankStops) {
  TestRun t;
  EXPECT_EQ(testutil::exit_status(
                [&] { tarvo::store_match_pairs(t.r, tarvo::PAIRS, 1, 0, 0, 0, 1.0, 1, 0); }),
            1);
  EXPECT_EQ(t.out(), "\nNeed to increase variable PAIRS to hold pairwise matches (nrec+1=" +
                         std::to_string(tarvo::PAIRS) +
                         ")> PAIRS\nAlternatively increase MAX_RANK which will reduce the number "
                         "of pairs recorded in your dataset\n");
}

TEST(SimulatedScan, SumsAreClearedByRunZeroAndAccumulated) {
  SmallScan s;
  tarvo::Run& r = s.r;
  for (int i = 0; i < 5; ++i)
    for (int k = 0; k < 4; ++k) r.store.row(1, i)[k] = r.store.row(0, i)[k];
  r.est.ngood[0][0] = 99;
  int npairs = 0;
  double Ez = 0;
  tarvo::find_like_recap(r, 1, 2, 5, 1, 0, 1, npairs, Ez);
  tarvo::find_like_recap(r, 1, 2, 5, 1, 1, 1, npairs, Ez);
  EXPECT_EQ(npairs, 2);
  EXPECT_EQ(r.est.ngood[0][0], 2);
  EXPECT_EQ(r.est.ngood[1][0], 2);
  EXPECT_EQ(r.est.ngood[0][3], 4);
  EXPECT_EQ(r.est.ngood[1][3], 8);
  EXPECT_EQ(r.est.mat_pairs[1][1].sample1, 4);
}

}  // namespace

namespace {

// More matching pairs than the bank holds: the first PAIRS are stored in scan
// order, the warning is written once, and every pair is still counted.
TEST(ReferenceScan, MorePairsThanTheBankHolds) {
  TestRun t;
  tarvo::Run& r = t.r;
  t.set_locus(0, {{1, 0.5}, {2, 0.5}});
  int n = 2;
  while (n * (n - 1) / 2 <= tarvo::PAIRS) ++n;
  for (int s = 0; s < n; ++s) {
    t.set_genotype(0, s, 0, 1, 2);
    r.store.rec[s].loci_mask = 1;
  }
  r.store.nBlock[0] = 0;
  r.store.nBlock[1] = n;
  r.est.mismatch_done = 1;
  tarvo::get_alphaCut(r);
  r.est.LLRcut.fill(-100.0);
  int npairs = 0;
  double Ez = 0;
  tarvo::find_like_recap_data(r, 1, 1, n, 1, 0, 0, npairs, Ez);
  EXPECT_EQ(npairs, tarvo::PAIRS);
  EXPECT_EQ(r.est.d_ngood[0], n * (n - 1) / 2);
  const std::string warning = "Warning only first " + std::to_string(tarvo::PAIRS) +
                              " pairs recorded.\nTo read more pairs change PAIRS and recompile.";
  EXPECT_EQ(t.out(), warning);
  EXPECT_EQ(t.log(), warning);
  const tarvo::MatchPair& last = r.est.mat_pairs[0][tarvo::PAIRS - 1];
  EXPECT_EQ(last.sample1 * (last.sample1 - 1) / 2 + last.sample2, tarvo::PAIRS - 1);
}

}  // namespace
