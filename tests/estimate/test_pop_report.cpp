// The population report: the copied temporary file and Table 2 of the
// simulated averages with their standard errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "common/estimate_helpers.h"

using namespace tarvo;
using namespace testutil;

namespace {

const std::string RULE = rule(100);
const char* const TEMP = "header of the reference estimates\n\ttable\nlast line without newline";

const std::string HEAD_ONE =
    "\n\n\n\n\nTable 2  Within population recapture estimate from 10 simulation runs\n" + RULE +
    "  Population    Population                 Effective       False       Matches  "
    "Recaptures__________\n"
    "  number        size                       sample size     poitives    found    Corrected   "
    "\n"
    "  n1            s1                          E               V          M        R_sim       "
    "s.e.    \n" +
    RULE;

const std::string HEAD_SEVERAL =
    "\n\n\n\n\nTable 2  Within and between population recapture estimates from 10 simulation "
    "runs\n" +
    RULE +
    "  Population    Population    Effective    Effective       False       Matches  "
    "Recaptures__________\n"
    "  number        size          block size   sample size     positives   found    Corrected   "
    "\n"
    "  n1   n2       s1   s2        b            e               V          M        R_sim       "
    "s.e.    \n" +
    RULE;

struct PopReport : ::testing::Test {
  FileRun t;
  tarvo::Run& run = t.r;

  PopReport() {
    run.opt.d_value = t.path("T");
    run.opt.o_value[3] = t.path("T_pop.txt");
    run.opt.s_value = 10;
    run.est.alphaCut[5] = 0.5;
    std::ofstream(t.dir / "T_temp.txt", std::ios::binary) << TEMP;
  }
  std::string report(int nBlocks, int nrows = 0) {
    tarvo_pop_report(run, nBlocks, nrows);
    return read_file(run.opt.o_value[3]);
  }
  void populations(std::initializer_list<int> bounds) {
    std::copy(bounds.begin(), bounds.end(), run.store.nBlock.begin());
  }
  void cell(int p, int q, int count, double rlist, double A, double E12, double N12, double sum,
            double sumsq) {
    const size_t c = size_t(p) * BLOCK + q;
    Estimates& e = run.est;
    e.count[c] = count;
    e.sum_rlist[c] = rlist;
    e.sum_A[c] = A;
    e.sum_E12[c] = E12;
    e.sum_N12[c] = N12;
    e.sd_corR12[c] = {sum, sumsq};
  }
};

TEST_F(PopReport, WithoutStandardErrorsTheReportIsTheTemporaryFile) {
  run.opt.c_value = 0;
  run.io.fp6 = std::fopen(run.opt.o_value[3].c_str(), "w");
  std::fputs("population names written earlier\n", run.io.fp6);
  EXPECT_EQ(report(1), TEMP);
  EXPECT_FALSE(fs::exists(t.dir / "T_temp.txt"));
  EXPECT_NE(run.io.fp6, nullptr);  // left open for the end of the run
}

TEST_F(PopReport, OnePopulationRowFromTheLevelSums) {
  populations({0, 40});
  EXPECT_EQ(report(1), TEMP + HEAD_ONE + RULE);  // no matches: no row
  std::ofstream(t.dir / "T_temp.txt", std::ios::binary) << TEMP;
  run.est.ngood[0][5] = 30;
  run.est.Ex[0][5] = 250;
  run.est.Rcor[0][5] = 50;
  run.est.Rcor[1][5] = 270;  // s.e. sqrt((270 - 250) / 9)
  EXPECT_EQ(report(1), TEMP + HEAD_ONE +
                           "   1            40                          25.00          0.500     "
                           "  3.00      5.00       1.49 \n" +
                           RULE);
}

TEST_F(PopReport, SeveralPopulationsAveragedOverRunsWithMatchesAndOverAllRuns) {
  populations({0, 4, 7, 9});
  cell(0, 0, 10, 20, 1.0, 30, 40, 30, 100);
  // Matches in 3 of 10 runs: sizes and V over 3, matches and R_sim over 10.
  cell(1, 0, 3, 3, 0.6, 6, 3 * std::sqrt(12.0), 6, 14);
  cell(2, 1, 2, 0, 0.4, 4, 4, 0, 0);  // no matches: no row
  // The s.e. loses the rounding variance of a planned pair, rounded up in 5 of
  // 10 runs: sqrt(1.0750^2 - 10 * 0.25 / 9) = 0.94.
  run.est.simBlock = {SimBlockRow{1, 0, 0.6, 5}};
  EXPECT_EQ(report(3, 1),
            TEMP + HEAD_SEVERAL +
                "   1 : 1         4 : 4           4.00        3.00          0.100     "
                "  2.00      3.00       1.05\n"
                "   2 : 1         3 : 4           3.46        2.00          0.200     "
                "  0.30      0.60       0.94 \n" +
                RULE);
}

TEST_F(PopReport, ReportThatCannotBeOpened) {
  run.opt.o_value[3] = t.path("missing/T_pop.txt");
  EXPECT_EQ(exit_status([&] { report(1); }), 255);
  EXPECT_EQ(t.err(), "open_files(): Cannot open <" + run.opt.o_value[3] + "> for writing\n");
  EXPECT_TRUE(fs::exists(t.dir / "T_temp.txt"));
}

TEST_F(PopReport, TemporaryFileThatCannotBeRead) {
  fs::remove(t.dir / "T_temp.txt");
  EXPECT_EQ(exit_status([&] { report(1); }), 255);
  EXPECT_EQ(t.err(),
            "tarvo_pop_report(): Cannot open <" + t.path("T_temp.txt") + "> for reading\n");
  EXPECT_EQ(t.out(), "");
}

}  // namespace
