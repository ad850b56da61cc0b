// Standard errors by simulation: the spread helpers, Table 2 of the
// statistics file and the stage itself on a small data set.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "tarvo.h"

namespace tarvo {
void write_sim_table2(Run& run, int nBlocks, double total, int iteration, const LevelTable& se,
                      int best);
std::string fixed_or_nan(double x, int width, int precision);
}  // namespace tarvo

using namespace tarvo;

namespace {

std::string slurp(FILE* f) {
  std::string text;
  std::fflush(f);
  std::rewind(f);
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  return text;
}

void ladder(Run& run) {
  const double low[8] = {0.01, 0.05, 0.125, 0.25, 0.5, 0.75, 1.0, 1.25};
  for (int k = 0; k < LEVELS; ++k) run.est.alphaCut[k] = k < 8 ? low[k] : (k - 5) * 0.5;
}

// Adds one run's value x at level k to a two-row sum table.
void add(LevelSums& sums, int k, double x) {
  sums[0][k] += x;
  sums[1][k] += x * x;
}

// The line of Table 2 that starts with the given level as displayed.
std::string row_of(const std::string& table, const std::string& lead) {
  const size_t at = table.find("\n" + lead);
  if (at == std::string::npos) return "";
  const size_t end = table.find('\n', at + 1);
  return table.substr(at + 1, end - at);
}

TEST(SESpread, StdDevOfRuns) {
  EXPECT_EQ(std_dev(2, 3.0, 5.0), 0.0);  // two runs give no spread
  EXPECT_EQ(std_dev(0, 0.0, 0.0), 0.0);
  // Runs 1, 2, 3, 4: variance 5/3.
  EXPECT_DOUBLE_EQ(std_dev(4, 10.0, 30.0), std::sqrt(5.0 / 3.0));
  // Identical runs whose sums round below zero variance.
  EXPECT_EQ(std_dev(3, 0.3, 0.0299999), 0.0);
}

TEST(SESpread, RoundingVarianceIsRemoved) {
  auto run = std::make_unique<Run>();
  run->opt.s_value = 10;
  run->est.simBlock = {{0, 0, 2.3, 9}, {1, 0, 4.3, 3}};
  // Ten runs: R_hat 4 five times and 5 five times (variance 5/18).
  const double sum = 45, sumsq = 5 * 16 + 5 * 25;
  const double sd = std_dev(10, sum, sumsq);
  const double h = 10 * 0.3 * 0.7 / 9;
  double acc = 0.5;
  EXPECT_DOUBLE_EQ(get_se(*run, 1, 0, 2, sum, sumsq, acc), std::sqrt(sd * sd - h));
  EXPECT_DOUBLE_EQ(acc, 0.5 + h);

  // A pair without a plan row has no rounding variance: the plain spread.
  acc = 0;
  EXPECT_DOUBLE_EQ(get_se(*run, 1, 1, 2, sum, sumsq, acc), sd);
  EXPECT_EQ(acc, 0.0);
  // Rows beyond the count in use are not looked at.
  EXPECT_DOUBLE_EQ(get_se(*run, 1, 0, 1, sum, sumsq, acc), sd);

  // Rounding variance larger than the spread: 0, not a negative root.
  acc = 0;
  EXPECT_EQ(get_se(*run, 1, 0, 2, 40, 160, acc), 0.0);
  EXPECT_DOUBLE_EQ(acc, h);
}

TEST(SESpread, FewRuns) {
  auto run = std::make_unique<Run>();
  run->est.simBlock = {{0, 0, 2.5, 1}};
  double acc = 0;
  run->opt.s_value = 2;
  EXPECT_EQ(get_se(*run, 0, 0, 1, 7, 25, acc), 0.0);
  EXPECT_DOUBLE_EQ(acc, 2 * 0.5 * 0.5 / 1);
  acc = 0;
  run->opt.s_value = 1;
  EXPECT_EQ(get_se(*run, 0, 0, 1, 3, 9, acc), 0.0);
  EXPECT_EQ(acc, 0.0);  // no spread, and no division by zero either
}

TEST(SENumbers, NotANumberPrintsPlainNan) {
  EXPECT_EQ(fixed_or_nan(std::nan(""), 5, 2), "  nan");
  EXPECT_EQ(fixed_or_nan(-std::nan(""), 5, 2), "  nan");
  EXPECT_EQ(fixed_or_nan(std::sqrt(-1.0), 5, 2), "  nan");
  EXPECT_EQ(fixed_or_nan(0.249, 5, 2), " 0.25");
  EXPECT_EQ(fixed_or_nan(-0.001, 6, 2), " -0.00");
}

struct SETableFixture : ::testing::Test {
  std::unique_ptr<Run> run = std::make_unique<Run>();
  LevelTable se{};

  void SetUp() override {
    run->io.fp3 = std::tmpfile();
    run->opt.s_value = 4;
    run->opt.z_value = 5;
    run->opt.o_value[3] = "TARVO_pop.txt";
    ladder(*run);
    Estimates& e = run->est;
    for (int k = 0; k < LEVELS; ++k) se[k] = 1.0;
    for (int r = 0; r < 4; ++r) {
      // Level 1: ten matches in every run.
      add(e.ngood, 0, 10);
      add(e.R, 0, 9.99);
      add(e.Rcor, 0, 10);
      add(e.Ex, 0, 104);
      add(e.pctR, 0, 10);
      // Level 6 (the level used): three matches.
      add(e.ngood, 5, 3);
      add(e.R, 5, 2.25);
      add(e.Rcor, 5, 2.5);
      add(e.Ex, 5, 104);
      add(e.pctR, 5, 2.5);
      // Level 7: half a match on average against one false positive.
      add(e.ngood, 6, r % 2);
      add(e.Ex, 6, 104);
    }
    se[0] = 0.25;
    se[5] = 0.5;
    se[6] = std::nan("");
  }
  void TearDown() override { std::fclose(run->io.fp3); }
  std::string table(int nBlocks = 1, int best = 5) {
    write_sim_table2(*run, nBlocks, 9.63, 0, se, best);
    return slurp(run->io.fp3);
  }
};

TEST_F(SETableFixture, HeadOfTable) {
  const std::string u53(53, '_'), u96(96, '_');
  const std::string head =
      "\n\n\n" + u53 + "\nConvergence iteration 1 with 0.750 false positives\n" + u53 + "\n\n" +
      u96 +
      "\nTable 2  Recaptures found when simulating 9.63 pairwise comparisons with given fale "
      "positives. \n"
      "         Standard error (s.e.) estimated from 4 simulation runs\n"
      "         '*' indicates the estimate with minimum variance\n"
      "         '#' indicates the z value used to estimate recaptures from reference data\n" +
      u96 + "\n\n\n" +
      "  z    False     Matches     Recaps.  False      Effective      Corrected       "
      "Percentage\n"
      "       positives                      negatives  size           recaptures      "
      "recaptures\n"
      "       (V)       (M)           (M-V)    (T)      (E)            (M-V+T)                   "
      "\n" +
      u96 + "\n";
  const std::string text = table();
  EXPECT_EQ(text.substr(0, head.size()), head);
  // One row per level after the head.
  size_t rows = 0;
  for (size_t i = head.size(); i < text.size(); ++i) rows += text[i] == '\n';
  EXPECT_EQ(rows, 50u);
}

TEST_F(SETableFixture, SeveralPopulationsNameThePopulationReport) {
  EXPECT_NE(table(2).find("\n         For recapture estimates within populations see: "
                          "TARVO_pop.txt\n         Standard error"),
            std::string::npos);
}

TEST_F(SETableFixture, RowFormats) {
  const std::string text = table();
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

TEST_F(SETableFixture, WarningRowNeverCarriesTheStar) {
  const std::string text = table(1, 6);
  EXPECT_EQ(text.find('*', text.find("(M-V+T)")), std::string::npos);
  EXPECT_EQ(row_of(text, "  6#").find('*'), std::string::npos);
}

}  // namespace
