// Population estimates at the current level: the pair-of-populations list, the
// effective sizes, the corrected matches of a simulated run and the temporary
// file with the recapture plan.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "common/estimate_helpers.h"

using namespace tarvo;
using namespace testutil;

namespace {

const std::string HEAD_ONE =
    "\n\n\nTable 1  Within population recapture estimate from reference data\n" + rule(100) +
    "  Population    Population                 Effective       False       Matches  "
    "Recaptures__________\n"
    "  number        size                       sample size     positives   found    Corrected   "
    "(%) \n"
    "  n1            s1                          E               V          M        R_hat        "
    "P        \n" +
    rule(100);

const std::string HEAD_SEVERAL =
    "\n\n\nTable 1  Within and between population recapture estimates from data\n" + rule(100) +
    "  Population    Population    Effective    Effective       False       Matches  "
    "Recaptures__________\n"
    "  number        size          block size   sample size     positives   found    Corrected   "
    "(%) \n"
    "  n1   n2       s1   s2        b            e               V          M        R_hat        "
    "P  \n" +
    rule(100);

const std::string NOTE = "    NOTE: Shadows (S) were greater than matches found (M)  \n";

struct EstBlockRecaps : ::testing::Test {
  FileRun t;
  tarvo::Run& run = t.r;
  int nsamples = 0, nrows = -1;

  EstBlockRecaps() {
    run.opt.d_value = t.path("T");
    run.opt.o_value[3] = t.path("T_pop.txt");
    run.est.LLRcut[5] = 1.0;
    run.est.alphaCut[5] = 0.5;
  }
  void populations(std::vector<int> bounds) {
    for (size_t i = 0; i < bounds.size(); ++i) run.store.nBlock[i] = bounds[i];
    nsamples = bounds.back();
  }
  // A stored match: later sample s1 in population number p1, earlier s2 in p2.
  void add_pair(int s1, int s2, int p1, int p2, double llr) {
    run.est.mat_pairs[0][run.totalPairs++] = MatchPair{s1, s2, p1, p2, llr, 1u};
  }
  // One locus: allele 10 is common (0.9), allele 20 rare (0.1). With -e 0.01 a
  // sample homozygous for the rare allele scores ln(98.03) = 4.59 against itself,
  // one homozygous for the common allele ln(1.23) = 0.21; the threshold 1.0 lies
  // between. -E 0 keeps the copies free of errors. Kinds: S strong, W weak,
  // x nothing scored. Populations of 4, 3 and 2 samples.
  void tiny_data(int set, const char* kinds = "SWSxSSWSW") {
    t.set_locus(0, {{10, 0.9}, {20, 0.1}});
    run.opt.E_value = 0;
    populations({0, 4, 7, 9});
    for (int i = 0; i < 9; ++i) {
      const int a = kinds[i] == 'S' ? 20 : kinds[i] == 'W' ? 10 : 0;
      t.set_genotype(set, i, 0, a, a);
      run.store.rec[i].loci_mask = a ? 1u : 0u;
    }
    prepare_scores(run, set, 9, 1);
  }
  // The stored matches, all above the threshold.
  void set_pairs(std::vector<std::array<int, 4>> pairs) {
    run.totalPairs = 0;
    for (auto [s1, s2, p1, p2] : pairs) add_pair(s1, s2, p1, p2, 9.0);
  }
  // Matches k+1 : k within population 1, over stale records that must not be read.
  void one_population(int N, double V, int matches, double llr) {
    run.totalPairs = 0;
    populations({0, N});
    run.est.alphaCut[5] = V;
    for (int k = 0; k < 10; ++k) run.est.mat_pairs[0][k] = MatchPair{9, 8, 7, 7, 50.0, 1u};
    for (int k = 0; k < matches; ++k) add_pair(k + 1, k, 1, 1, llr);
  }
  double call(int goodPairs, double Etotal, int nBlocks, int iteration = 0) {
    return dataBlockRecaps(run, 1, nBlocks, nsamples, goodPairs, Etotal, nrows, 1, iteration);
  }
  std::string temp_text() { return read_file(t.dir / "T_temp.txt"); }
  // The rows of the table in the temporary file, checking the total returned.
  std::string rows(int goodPairs, double E, int nBlocks, double total) {
    EXPECT_NEAR(call(goodPairs, E, nBlocks), total, 1e-9);
    const std::string text = temp_text(), start = "false positives\n" + rule(56) + "\n" +
                                                  (nBlocks > 1 ? HEAD_SEVERAL : HEAD_ONE);
    const size_t at = text.find(start), from = at + start.size();
    if (at == std::string::npos || !text.ends_with(rule(100))) return "bad table:\n" + text;
    return text.substr(from, text.size() - 101 - from);
  }
  // The plan left behind: ia, ib and R_hat to the two decimals printed.
  void expect_plan(const std::vector<SimBlockRow>& want) {
    EXPECT_EQ(nrows, int(want.size()));
    ASSERT_EQ(run.est.simBlock.size(), want.size());
    for (size_t m = 0; m < want.size(); ++m) {
      const SimBlockRow& got = run.est.simBlock[m];
      EXPECT_EQ(got.ia, want[m].ia) << m;
      EXPECT_EQ(got.ib, want[m].ib) << m;
      EXPECT_NEAR(got.rhat, want[m].rhat, 0.005) << m;
    }
  }
};

TEST(EstCorrectedMatch, EffectiveSizeBoundedByMatchesAndBlockSize) {
  auto R = [](std::vector<int> rlist, int pos, double V, double E12, double N12) {
    double R12 = -1;
    EXPECT_EQ(get_corrected_match(pos, 0, 0, rlist, V, E12, N12, R12), R12);
    return R12;
  };
  // h = 1 - (m - V) / w with w = E12 bounded by m and N12, R = N12 (1 - h^(N12 / w)).
  EXPECT_NEAR(R({5}, 0, 1.0, 10, 20), 12.8, 1e-9);   // w = E12 = 10
  EXPECT_NEAR(R({5}, 0, 1.0, 2, 20), 19.968, 1e-9);  // w raised to m = 5
  EXPECT_NEAR(R({5}, 0, 1.0, 50, 10), 4.0, 1e-9);    // w lowered to N12 = 10
  EXPECT_EQ(R({3, 1}, 1, 2.0, 10, 20), 0.0);         // fewer matches than false positives
}

TEST_F(EstBlockRecaps, PairListKeysCountsThresholdAndBank) {
  add_pair(7, 0, 3, 1, 9.0);  // earlier in 1, later in 3
  add_pair(2, 0, 1, 1, 8.0);
  add_pair(8, 1, 3, 1, 7.0);
  add_pair(5, 4, 2, 2, 1.0);  // at the threshold: not listed
  add_pair(6, 2, 2, 1, 0.5);  // below it
  std::vector<int> blist{42}, rlist{42};
  int len = -1;
  get_blist_rlist(run, 5, blist, rlist, len, 0);
  EXPECT_EQ(len, 2);
  EXPECT_EQ(blist, (std::vector<int>{1003, 1001}));
  EXPECT_EQ(rlist, (std::vector<int>{2, 1}));
  get_blist_rlist(run, 1, blist, rlist, len, 0);  // only the first n pairs count
  EXPECT_EQ(blist, (std::vector<int>{1003}));
  EXPECT_EQ(rlist, (std::vector<int>{1}));

  run.est.mat_pairs[1][0] = MatchPair{5, 4, 2, 2, 3.0, 1u};
  run.est.mat_pairs[1][1] = MatchPair{4, 0, 2, 1, 3.0, 1u};
  get_blist_rlist(run, 2, blist, rlist, len, 1);
  EXPECT_EQ(blist, (std::vector<int>{2002, 1002}));
  for (auto& mp : run.est.mat_pairs[1]) mp = MatchPair{1, 0, 1, 1, 5.0, 1u};
  get_blist_rlist(run, PAIRS + 500, blist, rlist, len, 1);  // stops at the bank's end
  EXPECT_EQ(rlist, (std::vector<int>{PAIRS}));
}

TEST_F(EstBlockRecaps, EffectiveSizeWithinAndBetweenPopulations) {
  tiny_data(0);
  double g = -1;
  // Population 0: pairs (1,0) 0.5, (2,0) 1, (2,1) 0.5; sample 3 shares no locus.
  uint64_t before = run.rng.calls;
  EXPECT_NEAR(effectiveBlockSize(run, 1, 1, 9, 0, 0, 0, g), 0.5 + 0.5 * std::sqrt(17.0), 1e-12);
  EXPECT_EQ(g, 2.0);
  EXPECT_EQ(run.rng.calls - before, 3u * 4u);  // two copies per self-LLR, skipped pairs draw none
  // Populations 1 and 0: samples 4, 5 strong (2.5 each), 6 weak (1).
  before = run.rng.calls;
  EXPECT_NEAR(effectiveBlockSize(run, 1, 1, 9, 1, 0, 0, g), std::sqrt(6.0), 1e-12);
  EXPECT_EQ(g, 6.0);
  EXPECT_EQ(run.rng.calls - before, 9u * 4u);
  EXPECT_NEAR(effectiveBlockSize(run, 1, 1, 9, 2, 1, 0, g), std::sqrt(3.5), 1e-12);
  EXPECT_EQ(g, 3.5);
  // Set 1 reads the simulated store, here with strong and weak swapped in population 0.
  tiny_data(1, "WSWxSSWSW");
  effectiveBlockSize(run, 1, 1, 9, 0, 0, 1, g);
  EXPECT_EQ(g, 1.0);
  // A population without comparable pairs has size 1.
  run.store.rec[7].loci_mask = 0;
  EXPECT_EQ(effectiveBlockSize(run, 1, 1, 9, 2, 2, 0, g), 1.0);
  EXPECT_EQ(g, 0.0);
}

TEST_F(EstBlockRecaps, OnePopulationTemporaryFileAndPlan) {
  EXPECT_EQ(temp_file_name(tarvo::Run{}), "TARVO_temp.txt");
  one_population(100, 2.0, 12, 5.0);
  run.opt.i_option = {1, 1};
  run.opt.i_value = {"geno.csv", "freq.txt"};
  // N 100, E 50, V 2, M 12: h = 0.8, R_hat = 100 (1 - 0.64), P = 36 / 64.
  EXPECT_NEAR(call(12, 50.0, 1, 2), 36.0, 1e-9);
  expect_plan({{0, 0, 36.0}});
  EXPECT_EQ(run.io.fp8, nullptr);
  EXPECT_EQ(temp_text(),
            date_line(run) + "\nExecutable file: TARVO Version 2.00\nInput data file: geno.csv\n" +
                "Input data file: freq.txt\nOutput     file: " + run.opt.o_value[3] +
                "\n\n\n\n\n\n\n\n\n\n" + rule(56) +
                "Convergence iteration 3 with 2.000 false positives\n" + rule(56) + "\n" +
                HEAD_ONE +
                "   1           100                          50.00          2.000      12        "
                "36.00       56.25  \n" +
                rule(100));
}

TEST_F(EstBlockRecaps, OnePopulationRows) {
  // M does not exceed V: the note row, nothing planned.
  one_population(100, 2.0, 2, 5.0);
  EXPECT_EQ(rows(2, 50.0, 1, 0.0),
            "   1 : 1       100 : 100       100.00       50.00          2.000       2" + NOTE);
  expect_plan({});
  // M - V >= E: E becomes max(M, min(E, N)) = 12.
  one_population(20, 2.0, 12, 5.0);
  EXPECT_EQ(
      rows(12, 5.0, 1, 20 * (1 - std::pow(1.0 / 6, 20.0 / 12))),
      "   1            20                          12.00          2.000      12        18.99     "
      "1881.16  \n");
  expect_plan({{0, 0, 18.99}});
  // Matches only at the threshold: an empty table.
  one_population(100, 0.5, 1, 1.0);
  EXPECT_EQ(rows(1, 50.0, 1, 0.0), "");
  expect_plan({});
  // More matches counted than stored: the stale records beyond are not read.
  one_population(100, 2.0, 3, 5.0);
  EXPECT_EQ(
      rows(10, 50.0, 1, 100 * (1 - std::pow(0.98, 2))),
      "   1           100                          50.00          2.000       3         3.96      "
      "  4.12  \n");
  expect_plan({{0, 0, 3.96}});
}

TEST_F(EstBlockRecaps, NoMatchesAtTheLevel) {
  populations({0, 100});
  run.est.simBlock.assign(3, SimBlockRow{1, 1, 4.0, 2});
  EXPECT_EQ(call(0, 50.0, 1, 0), 0.0);
  expect_plan({});
  EXPECT_TRUE(temp_text().ends_with("\n\n" + rule(100) +
                                    "Convergence iteration 1 with 0.500 false positives\n"
                                    "No recaptures found: \n" +
                                    rule(100)));
}

TEST_F(EstBlockRecaps, SeveralPopulationsRowsKeysPlanAndPercentages) {
  tiny_data(0);
  set_pairs({{7, 0, 3, 1}, {2, 0, 1, 1}, {5, 4, 2, 2}, {1, 0, 1, 1}, {4, 2, 2, 1}});
  // Key 1003 comes first and is printed later population first.
  EXPECT_EQ(
      rows(5, 4.0, 3, 8.324424991287948),
      "   3 : 1         2 : 4           2.83        1.87          0.075       1         1.82  "
      "     64.34 \n"
      "   1 : 1         4 : 4           4.00        2.56          0.067       2         3.55  "
      "    797.76  \n"
      "   2 : 2         3 : 3           3.00        2.56          0.017       1         1.30  "
      "     76.33  \n"
      "   2 : 1         3 : 4           3.46        2.45          0.100       1         1.65  "
      "     47.67 \n");
  expect_plan({{2, 0, 1.82}, {0, 0, 3.55}, {1, 1, 1.30}, {1, 0, 1.65}});
  // Percentages between populations are of the block size sqrt(N_u N_t), within
  // a population of the distinct individuals N_u - R_hat.
  ASSERT_EQ(run.est.simBlock.size(), 4u);
  const double between = run.est.simBlock[0].rhat, within = run.est.simBlock[1].rhat;
  EXPECT_NEAR(100 * between / std::sqrt(2.0 * 4), 64.34, 0.005);
  EXPECT_NEAR(100 * within / (4 - within), 797.76, 0.005);
}

TEST_F(EstBlockRecaps, SeveralPopulationsRows) {
  tiny_data(0);
  // Key 1003 with 2 matches: E1 = 1.32 and E12 = 1.87 are raised, E2 = 2.65 is not.
  set_pairs({{7, 0, 3, 1}, {8, 1, 3, 1}});
  EXPECT_EQ(
      rows(2, 4.0, 3, 2.8012050844330894),
      "dataBlockRecaps: Warning E1=1.322876 < rlist[0]=2\n"
      "dataBlockRecaps: Warning E12=1.870829 < rlist[0]=2\n"
      "   3 : 1         2 : 4           2.83        2.00          0.075       2         2.80  "
      "     99.04 \n");
  // V_ut = 5 (12 - 6) / 30 = 1 = M: the note row.
  set_pairs({{4, 2, 2, 1}});
  run.est.alphaCut[5] = 5.0;
  EXPECT_EQ(rows(1, 4.0, 3, 0.0),
            "   2 : 1         3 : 4           3.46        2.45          1.000       1" + NOTE);
  expect_plan({});
  // Et = N: W = 0, so V is shared out by the pairs of each cell.
  set_pairs({{2, 0, 1, 1}, {1, 0, 1, 1}, {4, 2, 2, 1}});
  run.est.alphaCut[5] = 0.5;
  EXPECT_EQ(
      rows(3, 9.0, 3, 5.0759979977649801),
      "   1 : 1         4 : 4           4.00        2.56          0.083       2         3.54  "
      "    761.79  \n"
      "   2 : 1         3 : 4           3.46        2.45          0.167       1         1.54  "
      "     44.46 \n");
}

TEST_F(EstBlockRecaps, CannotGetLogStopsTheRun) {
  tiny_data(0);
  run.est.alphaCut[5] = 0.0;  // no false positives: E1 raised to M leaves log(0)
  set_pairs({{7, 0, 3, 1}, {8, 1, 3, 1}});
  EXPECT_EQ(exit_status([&] { call(2, 4.0, 3); }), 1);
  const char* msg =
      "Cannot get log of 0.000000 in dataBlockRecaps() j=0 rlist[j]=2 alpha=0.000000  "
      "E1=2.000000\n";
  EXPECT_EQ(t.out(), msg);
  EXPECT_EQ(t.log(), msg);
  EXPECT_EQ(t.err(), "");
}

TEST_F(EstBlockRecaps, TemporaryFileThatCannotBeCreated) {
  run.opt.d_value = t.path("missing/T");
  populations({0, 10});
  EXPECT_EQ(exit_status([&] { call(0, 5.0, 1); }), 255);
  EXPECT_EQ(t.err(),
            "dataBlockRecaps(): Cannot open <" + run.opt.d_value + "_temp.txt> for writing\n");
  EXPECT_EQ(t.out(), "");
}

}  // namespace
