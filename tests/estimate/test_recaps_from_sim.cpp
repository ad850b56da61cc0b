// Standard errors by simulation: the spread helpers, Table 2 of the
// statistics file and the stage itself on a small data set.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "common/estimate_helpers.h"

namespace tarvo {
void write_sim_table2(Run& run, int nBlocks, double total, int iteration, const LevelTable& se,
                      int best);
std::string fixed_or_nan(double x, int width, int precision);
}  // namespace tarvo

using namespace tarvo;
using namespace testutil;

namespace {

// Adds one run's value x at level k to a two-row sum table.
void add(LevelSums& sums, int k, double x) {
  sums[0][k] += x;
  sums[1][k] += x * x;
}

// The line of Table 2 that starts with the given level as displayed.
std::string row_of(const std::string& table, const std::string& lead) {
  const size_t at = table.find("\n" + lead);
  if (at == std::string::npos) return "";
  return table.substr(at + 1, table.find('\n', at + 1) - at);
}

TEST(SESpread, StdDevAndRoundingVariance) {
  EXPECT_EQ(std_dev(2, 3.0, 5.0), 0.0);  // two runs give no spread
  EXPECT_EQ(std_dev(0, 0.0, 0.0), 0.0);
  EXPECT_DOUBLE_EQ(std_dev(4, 10.0, 30.0), std::sqrt(5.0 / 3.0));  // runs 1 to 4
  EXPECT_EQ(std_dev(3, 0.3, 0.0299999), 0.0);  // identical runs rounding below zero variance

  TestRun t;
  t.r.est.simBlock = {{0, 0, 2.5, 1}, {1, 0, 4.3, 3}};
  // Ten runs, R_hat 4 five times and 5 five times; pair (1, 0) rounded up in 3.
  const double sd = std_dev(10, 45, 205), h = 10 * 0.3 * 0.7 / 9;
  struct Case {
    int s, p, q, nrows;
    double sum, sumsq, se, h;
  } cases[] = {
      {10, 1, 0, 2, 45, 205, std::sqrt(sd * sd - h), h},
      {10, 1, 1, 2, 45, 205, sd, 0},  // a pair without a plan row: the plain spread
      {10, 1, 0, 1, 45, 205, sd, 0},  // rows beyond the count in use are not looked at
      {10, 1, 0, 2, 40, 160, 0, h},   // rounding variance above the spread: 0, no root
      {2, 0, 0, 2, 7, 25, 0, 2 * 0.5 * 0.5 / 1},
      {1, 0, 0, 2, 3, 9, 0, 0},  // no spread, and no division by zero either
  };
  for (const Case& c : cases) {
    t.r.opt.s_value = c.s;
    double acc = 0.5;
    SCOPED_TRACE("s " + std::to_string(c.s) + ", pair " + std::to_string(c.p) +
                 std::to_string(c.q));
    EXPECT_DOUBLE_EQ(get_se(t.r, c.p, c.q, c.nrows, c.sum, c.sumsq, acc), c.se);
    EXPECT_DOUBLE_EQ(acc, 0.5 + c.h);
  }
}

TEST(SENumbers, NotANumberPrintsPlainNan) {
  EXPECT_EQ(fixed_or_nan(std::nan(""), 5, 2), "  nan");
  EXPECT_EQ(fixed_or_nan(-std::nan(""), 5, 2), "  nan");
  EXPECT_EQ(fixed_or_nan(std::sqrt(-1.0), 5, 2), "  nan");
  EXPECT_EQ(fixed_or_nan(0.249, 5, 2), " 0.25");
  EXPECT_EQ(fixed_or_nan(-0.001, 6, 2), " -0.00");
}

struct SETableFixture : ::testing::Test {
  FileRun t;
  tarvo::Run& run = t.r;
  LevelTable se{};

  SETableFixture() {
    run.io.fp3 = std::tmpfile();
    run.opt.s_value = 4;
    run.opt.o_value[3] = "TARVO_pop.txt";
    ladder(run);
    Estimates& e = run.est;
    se.fill(1.0);
    for (int r = 0; r < 4; ++r) {
      for (int k : {0, 5}) {
        // Level 1: ten matches in every run; level 6 (the level used): three.
        add(e.ngood, k, k ? 3 : 10);
        add(e.R, k, k ? 2.25 : 9.99);
        add(e.Rcor, k, k ? 2.5 : 10);
        add(e.Ex, k, 104);
        add(e.pctR, k, k ? 2.5 : 10);
      }
      // Level 7: half a match on average against one false positive.
      add(e.ngood, 6, r % 2);
      add(e.Ex, 6, 104);
    }
    se[0] = 0.25;
    se[5] = 0.5;
    se[6] = std::nan("");
  }
  std::string table(int nBlocks, int best) {
    write_sim_table2(run, nBlocks, 9.63, 0, se, best);
    return slurp(run.io.fp3);
  }
};

TEST_F(SETableFixture, HeadAndRows) {
  const std::string head =
      "\n\n\n" + rule(53) + "Convergence iteration 1 with 0.750 false positives\n" + rule(53) +
      "\n" + rule(96) +
      "Table 2  Recaptures found when simulating 9.63 pairwise comparisons with given fale "
      "positives. \n"
      "         Standard error (s.e.) estimated from 4 simulation runs\n"
      "         '*' indicates the estimate with minimum variance\n"
      "         '#' indicates the z value used to estimate recaptures from reference data\n" +
      rule(96) + "\n\n" +
      "  z    False     Matches     Recaps.  False      Effective      Corrected       "
      "Percentage\n"
      "       positives                      negatives  size           recaptures      "
      "recaptures\n"
      "       (V)       (M)           (M-V)    (T)      (E)            (M-V+T)                   "
      "\n" +
      rule(96);
  const std::string text = table(1, 5);
  EXPECT_EQ(text.substr(0, head.size()), head);
  EXPECT_EQ(std::count(text.begin() + head.size(), text.end(), '\n'), 50);  // a row per level
  EXPECT_EQ(row_of(text, "  1 "),
            "  1    0.010     10.00 ( 0.00)   9.99     0.01  104.00 ( 0.00)  10.00 ( 0.25)  10.00 "
            "( 0.00) \n");
  // The level used carries '#', the minimum-variance level '*'.
  EXPECT_EQ(row_of(text, "  6#"),
            "  6#   0.75       3.00 ( 0.00)   2.25     0.25  104.00 ( 0.00)   2.50 ( 0.50)*  2.50 "
            "( 0.00) \n");
  // Fewer matches than false positives: the warning row, s.e. not a number.
  EXPECT_EQ(row_of(text, "  7 "),
            "  7    1.00       0.50 ( 0.58)   0.00     0.00  104.00 ( 0.00)   0.00 (  nan)  0.00 "
            "( 0.00)    Warning: Shadows > Matches \n");
  EXPECT_EQ(row_of(text, " 50 ").substr(0, 16), " 50   22.00     ");
  EXPECT_EQ(text.find("-nan"), std::string::npos);
}

TEST_F(SETableFixture, SeveralPopulationsAndAWarningRowAsBest) {
  const std::string text = table(2, 6);
  EXPECT_NE(text.find("\n         For recapture estimates within populations see: "
                      "TARVO_pop.txt\n         Standard error"),
            std::string::npos);
  // The warning row never carries the star.
  EXPECT_EQ(text.find('*', text.find("(M-V+T)")), std::string::npos);
}

// A small data set: populations of 24 samples, 6 loci of 8 equally frequent
// alleles, a few samples missing the last locus. Exact copies score about 20
// and unrelated pairs far below the thresholds.
constexpr int kLoci = 6, kSamples = 24;

void populations(tarvo::Run& run, int n) {
  for (int p = 0; p <= n; ++p) run.store.nBlock[p] = p * kSamples / n;
  for (int i = 0; i < kSamples; ++i) {
    run.store.rec[i].block = i * n / kSamples;
    run.store.rec[i].loci_mask = i % 5 == 0 ? 0x1Fu : 0x3Fu;
  }
}

void stage_data(FileRun& t) {
  tarvo::Run& run = t.r;
  run.io.fp3 = std::tmpfile();
  run.opt.i_option[0] = 1;
  run.opt.s_value = 4;
  run.opt.c_value = 3;
  run.rng.init_genrand(11);
  ladder(run);
  for (int k = 0; k < LEVELS; ++k) run.est.LLRcut[k] = 12.0 - 0.2 * k;
  Locus& L = run.store.loc[0];
  L.nallele = 8;
  for (int m = 0; m < 8; ++m) {
    L.allele[m] = 100 + m;
    L.freq[m] = 0.125;
    L.cumfreq[m] = (m + 1) * 0.125;
  }
  std::fill_n(run.store.loc.begin() + 1, kLoci - 1, L);
  populations(run, 2);
  run.store.b_name[0] = "A";
  run.store.b_name[1] = "B";
  run.est.simBlock = {{0, 0, 2.0, 0}, {1, 1, 1.0, 0}};
}

struct SEStageFixture : ::testing::Test {
  FileRun t;
  tarvo::Run& run = t.r;
  SEStageFixture() { stage_data(t); }
  // Leftovers of an earlier stage, which must not survive into this one.
  void stale_results() {
    Estimates& e = run.est;
    for (LevelSums* s : {&e.ngood, &e.R, &e.Ex, &e.Rcor, &e.pctR})
      (*s)[0].fill(99), (*s)[1].fill(99);
    for (size_t c : {size_t(0), size_t(BLOCK + 1), size_t(5 * BLOCK + 5)}) {
      e.count[c] = 7;
      e.sum_rlist[c] = e.sum_A[c] = e.sum_E12[c] = e.sum_N12[c] = 7;
      e.sd_corR12[c] = {7, 49};
    }
  }
  int stage(int nBlocks, int nrows, double total, int iteration = 0) {
    return get_recaps_from_sim(run, 1, kLoci, kSamples, nBlocks, nrows, total, 0, iteration);
  }
};

TEST_F(SEStageFixture, SeveralPopulations) {
  stale_results();
  run.opt.b_value = 2;
  run.est.Rse[0][9] = 0.4;  // iteration 0 forgets earlier records
  const int next = stage(2, 2, 3.0);
  const Estimates& e = run.est;
  EXPECT_EQ(e.count[5 * BLOCK + 5], 0);
  EXPECT_EQ(e.sum_rlist[5 * BLOCK + 5], 0.0);
  // The planted copies are found within each population, in at most s runs.
  EXPECT_TRUE(e.count[0] > 0 && e.count[0] <= 4 && e.count[BLOCK + 1] > 0);
  EXPECT_LT(e.ngood[0][5], 99.0);
  for (int k = 0; k < LEVELS; ++k) EXPECT_TRUE(k == 5 || e.Rse[0][k] == -1.0) << k;
  EXPECT_DOUBLE_EQ(e.Rse[1][5], e.Rcor[0][5] / 4);
  for (int i = 0; i < kSamples; ++i)  // the reference masks are back
    EXPECT_EQ(run.store.rec[i].loci_mask, i % 5 == 0 ? 0x1Fu : 0x3Fu);

  const std::string out = t.out();
  EXPECT_EQ(out.rfind("\n\n          Convergence_iteration=1      run= 1/4\n", 0), 0u);
  EXPECT_NE(
      out.find("\n          Convergence_iteration=1      run= 4/4\n             (Simulating   "
               "2 recaptures in populations  1 'A' and 1 'A')"),
      std::string::npos);
  const std::string stat = slurp(run.io.fp3);
  EXPECT_NE(stat.find("simulating 3.00 pairwise comparisons"), std::string::npos);
  EXPECT_TRUE(next == 5 || stat.find("NOTE:   ") != std::string::npos);

  // The same seed gives the same table.
  FileRun again;
  stage_data(again);
  again.r.opt.b_value = 2;
  EXPECT_EQ(get_recaps_from_sim(again.r, 1, kLoci, kSamples, 2, 2, 3.0, 0, 0), next);
  EXPECT_EQ(slurp(again.r.io.fp3), stat);
}

TEST_F(SEStageFixture, OnePopulationSeIsPlainSpread) {
  populations(run, 1);
  run.opt.b_value = 0;
  run.opt.c_value = 1;
  run.est.simBlock = {{0, 0, 2.5, 0}};
  run.est.Rse[0].fill(0.3);
  stage(1, 1, 2.5, 1);
  const Estimates& e = run.est;
  // No rounding variance with one population, whatever the round-ups.
  EXPECT_DOUBLE_EQ(e.Rse[0][5], std_dev(4, e.Rcor[0][5], e.Rcor[1][5]));
  EXPECT_EQ(e.Rse[0][4], 0.3);  // later iterations keep the other records
  EXPECT_EQ(e.count[0], 0);     // no per-pair tallies with one population
  const std::string out = t.out();
  EXPECT_EQ(out.rfind("\n\n          run= 1/4  (Simulating   ", 0), 0u);
  EXPECT_NE(out.find(" recaptures)  2.50\n          run= 2/4  (Simulating"), std::string::npos);
  EXPECT_EQ(out.find("Convergence_iteration"), std::string::npos);
}

TEST_F(SEStageFixture, NoPlanWithSeveralPopulations) {
  stale_results();
  const uint64_t before = run.rng.calls;
  EXPECT_EQ(stage(2, 0, 0.0), 0);
  EXPECT_EQ(slurp(run.io.fp3), "   There were no matches \n");
  EXPECT_EQ(t.out(), "\n");
  EXPECT_EQ(run.rng.calls, before);
  EXPECT_EQ(run.est.count[0], 0);  // stale tallies are not reported
  EXPECT_EQ(run.est.Rse[0][9], -1.0);
}

TEST_F(SEStageFixture, FailedFirstRunEndsTheStage) {
  stale_results();
  populations(run, 1);
  run.opt.c_value = 1;
  run.est.simBlock = {{0, 0, -2.0, 0}};
  stage(1, 1, -2.0);
  const std::string out = t.out();
  EXPECT_NE(out.find("\n          run= 1/4    No matches found:   Recap estimate is -2 "
                     "parent-offspring pairs \n"),
            std::string::npos);
  EXPECT_EQ(out.find("run= 2/4"), std::string::npos);
  // The sums hold the one scanned run and nothing older.
  const Estimates& e = run.est;
  for (int k = 0; k < LEVELS; ++k) {
    EXPECT_DOUBLE_EQ(e.ngood[1][k], e.ngood[0][k] * e.ngood[0][k]) << k;
    EXPECT_DOUBLE_EQ(e.Ex[1][k], e.Ex[0][k] * e.Ex[0][k]) << k;
  }
  EXPECT_NE(slurp(run.io.fp3).find("Table 2"), std::string::npos);
}

// Tallies of one run: with the thresholds far above any self-comparison no
// sample counts as detectable, so every effective size is at its floor and
// the expected values follow from the matches alone.
TEST_F(SEStageFixture, TalliesOfOneRun) {
  for (int k = 0; k < LEVELS; ++k) run.est.LLRcut[k] = 1000.0;
  for (int i = 0; i < kSamples; ++i)
    for (int k = 0; k < 2 * kLoci; ++k) run.store.row(1, i)[k] = 100 + (i + k) % 8;
  prepare_scores(run, 1, kSamples, kLoci);
  std::vector<MatchPair>& bank = run.est.mat_pairs[1];
  bank[0] = {2, 1, 1, 1, 3000.0, 0x3F};
  bank[1] = {14, 3, 2, 1, 4000.0, 0x3F};
  bank[2] = {20, 13, 2, 2, -5.0, 0x3F};  // below the threshold
  bank[3] = {5, 4, 1, 1, 5000.0, 0x3F};

  simBlockRecaps(run, 1, kLoci, kSamples, 0, 4, 2, 2, 1.0);
  const Estimates& e = run.est;
  // Count, matches, false positives, effective and block size, corrected R_hat.
  auto expect_cell = [&](size_t c, std::array<double, 6> want) {
    const std::array<double, 6> got = {double(e.count[c]), e.sum_rlist[c], e.sum_A[c],
                                       e.sum_E12[c],       e.sum_N12[c],   e.sd_corR12[c][0]};
    for (size_t f = 0; f < 6; ++f) EXPECT_NEAR(got[f], want[f], 1e-9) << c << " " << f;
    EXPECT_NEAR(e.sd_corR12[c][1], want[5] * want[5], 1e-9) << c;
  };
  const double W = 24.0 * 23 / 2, Vu = 0.75 * 66 / W, Vut = 0.75 * 144 / W;
  // Within population 1 the effective size is raised to the matches; between
  // populations 2 and 1 (cell [1][0]) it stays as found.
  expect_cell(0, {1, 2, Vu, 2, 12, 12 * (1 - std::pow(Vu / 2, 6))});
  expect_cell(BLOCK, {1, 1, Vut, 0, 12, 12 * (1 - std::pow(Vut, 12))});
  expect_cell(BLOCK + 1, {0, 0, 0, 0, 0, 0});
  // Sorted by descending score.
  EXPECT_EQ(bank[0].llr, 5000.0);
  EXPECT_EQ(bank[3].llr, -5.0);
  // A run with a single stored pair adds nothing.
  simBlockRecaps(run, 1, kLoci, kSamples, 1, 1, 2, 2, 1.0);
  EXPECT_EQ(e.count[0], 1);
}

}  // namespace
