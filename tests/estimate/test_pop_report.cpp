// The population report: the copied temporary file and Table 2 of the
// simulated averages with their standard errors.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "tarvo.h"

using namespace tarvo;
namespace fs = std::filesystem;

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

std::string read_file(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

const std::string RULE = std::string(100, '_') + "\n";
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
  std::unique_ptr<tarvo::Run> run = std::make_unique<tarvo::Run>();
  fs::path dir;

  void SetUp() override {
    static int serial = 0;
    dir = fs::temp_directory_path() /
          ("tarvo_pop_" + std::to_string(::getpid()) + "_" + std::to_string(serial++));
    fs::create_directories(dir);
    run->io.out = std::tmpfile();
    run->io.err = std::tmpfile();
    run->io.fp7 = std::tmpfile();
    run->opt.d_value = (dir / "T").string();
    run->opt.o_value[3] = (dir / "T_pop.txt").string();
    run->opt.z_value = 5;
    run->opt.s_value = 10;
    run->opt.c_value = 10;
    run->est.alphaCut[5] = 0.5;
    std::ofstream(dir / "T_temp.txt", std::ios::binary) << TEMP;
  }
  void TearDown() override {
    std::fclose(run->io.out);
    std::fclose(run->io.err);
    std::fclose(run->io.fp7);
    if (run->io.fp6) std::fclose(run->io.fp6);
    fs::remove_all(dir);
  }
  std::string report(int nBlocks, int nrows = 0) {
    tarvo_pop_report(*run, nBlocks, nrows);
    return read_file(run->opt.o_value[3]);
  }
  void cell(int p, int q, int count, double rlist, double A, double E12, double N12, double sum,
            double sumsq) {
    const size_t c = size_t(p) * BLOCK + q;
    run->est.count[c] = count;
    run->est.sum_rlist[c] = rlist;
    run->est.sum_A[c] = A;
    run->est.sum_E12[c] = E12;
    run->est.sum_N12[c] = N12;
    run->est.sd_corR12[c] = {sum, sumsq};
  }
  int status_of(int nBlocks) {
    try {
      tarvo_pop_report(*run, nBlocks, 0);
    } catch (const Exit& e) {
      return e.status;
    }
    return -1;
  }
};

TEST_F(PopReport, WithoutStandardErrorsTheReportIsTheTemporaryFile) {
  run->opt.c_value = 0;
  run->io.fp6 = std::fopen(run->opt.o_value[3].c_str(), "w");
  std::fputs("population names written earlier\n", run->io.fp6);
  EXPECT_EQ(report(1), TEMP);
  EXPECT_FALSE(fs::exists(dir / "T_temp.txt"));
  EXPECT_NE(run->io.fp6, nullptr);  // left open for the end of the run
}

TEST_F(PopReport, OnePopulationWithoutMatchesHasHeadAndClosingLineOnly) {
  run->store.nBlock[1] = 40;
  EXPECT_EQ(report(1), TEMP + HEAD_ONE + RULE);
}

TEST_F(PopReport, OnePopulationRowFromTheLevelSums) {
  run->store.nBlock[1] = 40;
  run->est.ngood[0][5] = 30;
  run->est.Ex[0][5] = 250;
  run->est.Rcor[0][5] = 50;
  run->est.Rcor[1][5] = 270;  // s.e. sqrt((270 - 250) / 9)
  EXPECT_EQ(report(1), TEMP + HEAD_ONE +
                           "   1            40                          25.00          0.500     "
                           "  3.00      5.00       1.49 \n" +
                           RULE);
}

TEST_F(PopReport, SeveralPopulationsAveragedOverRunsWithMatchesAndOverAllRuns) {
  run->store.nBlock[1] = 4;
  run->store.nBlock[2] = 7;
  run->store.nBlock[3] = 9;
  cell(0, 0, 10, 20, 1.0, 30, 40, 30, 100);
  // Matches in 3 of 10 runs: sizes and V over 3, matches and R_sim over 10.
  cell(1, 0, 3, 3, 0.6, 6, 3 * std::sqrt(12.0), 6, 14);
  cell(2, 1, 2, 0, 0.4, 4, 4, 0, 0);  // no matches: no row
  EXPECT_EQ(report(3), TEMP + HEAD_SEVERAL +
                           "   1 : 1         4 : 4           4.00        3.00          0.100     "
                           "  2.00      3.00       1.05\n"
                           "   2 : 1         3 : 4           3.46        2.00          0.200     "
                           "  0.30      0.60       1.07 \n" +
                           RULE);
}

TEST_F(PopReport, StandardErrorsLoseTheRoundingVarianceOfThePlan) {
  run->store.nBlock[1] = 4;
  run->store.nBlock[2] = 7;
  cell(1, 0, 3, 3, 0.6, 6, 3 * std::sqrt(12.0), 6, 14);
  run->est.simBlock = {SimBlockRow{1, 0, 0.6, 5}};
  // Rounded up in 5 of 10 runs: sqrt(1.0750^2 - 10 * 0.25 / 9).
  EXPECT_NE(report(2, 1).find("      0.30      0.60       0.94 \n"), std::string::npos);
}

TEST_F(PopReport, TemporaryFileThatCannotBeRead) {
  fs::remove(dir / "T_temp.txt");
  EXPECT_EQ(status_of(1), 255);
  EXPECT_EQ(slurp(run->io.err), "tarvo_pop_report(): Cannot open <" +
                                    (dir / "T_temp.txt").string() + "> for reading\n");
}

TEST_F(PopReport, ReportThatCannotBeOpened) {
  run->opt.o_value[3] = (dir / "missing" / "T_pop.txt").string();
  EXPECT_EQ(status_of(1), 255);
  EXPECT_EQ(slurp(run->io.err),
            "open_files(): Cannot open <" + run->opt.o_value[3] + "> for writing\n");
  EXPECT_TRUE(fs::exists(dir / "T_temp.txt"));
}

}  // namespace
