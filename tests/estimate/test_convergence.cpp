// The choice of the next false-positive level and the notes that report it.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "tarvo.h"

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

struct ConvergeFixture : ::testing::Test {
  std::unique_ptr<tarvo::Run> run = std::make_unique<tarvo::Run>();

  void SetUp() override {
    run->io.out = std::tmpfile();
    run->io.fp3 = std::tmpfile();
    run->io.fp7 = std::tmpfile();
    // The ladder of levels for -n other than 1000.
    const double low[8] = {0.01, 0.05, 0.125, 0.25, 0.5, 0.75, 1.0, 1.25};
    for (int k = 0; k < LEVELS; ++k) run->est.alphaCut[k] = k < 8 ? low[k] : (k - 5) * 0.5;
    run->est.Rse[0].fill(-1.0);
    run->est.Rse[1].fill(0.0);
  }
  void TearDown() override {
    std::fclose(run->io.out);
    std::fclose(run->io.fp3);
    std::fclose(run->io.fp7);
  }
  // Level k simulated with the given s.e., mean simulated and reference R_hat.
  void simulated(int k, double se, double sim = 0, double ref = 0) {
    run->est.Rse[0][k] = se;
    run->est.Rse[1][k] = sim;
    run->est.d_Rcor[k] = ref;
  }
  // Every note goes to the statistics file, the log and standard output alike.
  std::string notes() {
    const std::string text = slurp(run->io.fp3);
    EXPECT_EQ(slurp(run->io.fp7), text);
    EXPECT_EQ(slurp(run->io.out), text);
    return text;
  }
};

const char* kSummaryHead =
    "\n\n____________________________________________________________ \n"
    "Convergence summary of total corrected recaptures (R_hat)        \n"
    "____________________________________________________________ \n"
    "                    Reference       Simulated   \n"
    "                    data            data        \n"
    "____________________________________________________________ \n"
    " -z      False      R_hat           R_hat   s.e. \n"
    "         positives                               \n"
    "____________________________________________________________ \n";
const char* kSummaryEnd = "____________________________________________________________ \n";

TEST_F(ConvergeFixture, FirstIterationMovesToMinimumVarianceLevel) {
  simulated(5, 0.979);
  EXPECT_EQ(next_level(*run, 5, 0), 0);
  EXPECT_EQ(notes(),
            "\n\nNOTE:   Above run initiated with      '-z  6' (V=0.750 False positives)\n"
            "        Trying another run with       '-z  1' (V=0.010 False positives)\n");
}

TEST_F(ConvergeFixture, SingleIterationOnlySuggestsTheLevel) {
  run->opt.c_value = 1;
  simulated(5, 0.979);
  EXPECT_EQ(next_level(*run, 5, 12), 12);
  EXPECT_EQ(notes(),
            "\n\nNOTE:   Above run initiated with      '-z  6' (V=0.750 False positives)\n"
            "        Possibly try another run with '-z 13' (V=3.500 False positives)\n");
}

TEST_F(ConvergeFixture, ConvergesAtCurrentLevel) {
  simulated(5, 0.979, 9.45, 9.25);
  EXPECT_EQ(next_level(*run, 5, 5), 5);
  EXPECT_EQ(notes(), std::string("\n\nNOTE:   Convergence found with '-z  6' (V=0.750 false "
                                 "positives)\n") +
                         kSummaryHead +
                         "  6       0.750      9.250           9.450  0.979 (min s.e.)\n" +
                         kSummaryEnd);
}

TEST_F(ConvergeFixture, SecondIterationReturnsToFirstLevel) {
  // Iteration 1 ran at index 5 and proposed index 0; index 0 turned out
  // worse and its own minimum-variance level is index 5 again.
  simulated(5, 0.979, 9.45, 9.25);
  simulated(0, 1.2, 5.99, 5.99);
  EXPECT_EQ(next_level(*run, 0, 5), 0);
  EXPECT_EQ(notes(), std::string("\n\nNOTE:   Convergence found with '-z  6' (V=0.750 false "
                                 "positives)\n") +
                         kSummaryHead + "  1       0.010      5.990           5.990  1.200\n" +
                         "  6       0.750      9.250           9.450  0.979 (min s.e.)\n" +
                         kSummaryEnd);
}

TEST_F(ConvergeFixture, StepsFromBestLevelTowardsMinimum) {
  simulated(5, 0.979);
  simulated(0, 0.235);
  // The best recorded level is index 0; this stage prefers index 5, so the
  // next try is the neighbour of index 0 on that side.
  EXPECT_EQ(next_level(*run, 0, 5), 1);
  EXPECT_NE(notes().find("'-z  2' (V=0.050 False positives)"), std::string::npos);
  // Downward as well.
  run->est.Rse[0].fill(-1.0);
  simulated(9, 0.2);
  simulated(3, 0.5);
  EXPECT_EQ(next_level(*run, 3, 3), 8);
}

TEST_F(ConvergeFixture, NeighbourAlreadyTriedEndsTheSearch) {
  simulated(0, 0.235, 5.99, 5.99);
  simulated(1, 0.3, 6.9, 6.95);
  simulated(5, 0.979, 9.45, 9.25);
  // Best is index 0; the step towards index 5 is index 1, which was tried,
  // so the search ends at the current level with the best one named.
  EXPECT_EQ(next_level(*run, 1, 5), 1);
  EXPECT_EQ(notes(), std::string("\n\nNOTE:   Convergence found with '-z  1' (V=0.010 false "
                                 "positives)\n") +
                         kSummaryHead +
                         "  1       0.010      5.990           5.990  0.235 (min s.e.)\n" +
                         "  2       0.050      6.950           6.900  0.300\n" +
                         "  6       0.750      9.250           9.450  0.979\n" + kSummaryEnd);
}

TEST_F(ConvergeFixture, UntriedOrUnusableLevels) {
  EXPECT_EQ(find_best_z(*run), 0);  // nothing recorded
  simulated(7, std::nan(""));
  EXPECT_EQ(z_done_before(*run, 7), 0);
  EXPECT_EQ(z_done_before(*run, 9), 0);
  EXPECT_EQ(find_best_z(*run), 0);
  simulated(20, 0.5);
  simulated(12, 0.5);
  simulated(30, 0.7);
  EXPECT_EQ(find_best_z(*run), 12);  // a tie keeps the lower level
  EXPECT_EQ(z_done_before(*run, 20), 1);
  // A stage whose own level has no usable s.e. proposes nothing new and stops.
  EXPECT_EQ(next_level(*run, 7, 7), 7);
  EXPECT_EQ(slurp(run->io.fp3), "");
}

// Every run finding the same estimate gives a standard error of exactly 0:
// that level has been simulated and is the best, so the run converges there
// (and writes its final reports) instead of proposing it again forever.
TEST_F(ConvergeFixture, ZeroStandardErrorIsTheBestLevel) {
  simulated(5, 0.4);
  simulated(0, 0.0);
  EXPECT_EQ(z_done_before(*run, 0), 1);
  EXPECT_EQ(find_best_z(*run), 0);
  EXPECT_EQ(next_level(*run, 0, 0), 0);
  EXPECT_NE(slurp(run->io.fp3).find("  1       0.010"), std::string::npos);
}

TEST_F(ConvergeFixture, SummaryMarksNoLevelWithoutPositiveSe) {
  z_converge_note2(*run, 3, run->io.fp3);
  EXPECT_EQ(slurp(run->io.fp3),
            std::string("\n\nNOTE:   Convergence found with '-z  4' (V=0.250 false positives)\n") +
                kSummaryHead + kSummaryEnd);
}

TEST_F(ConvergeFixture, ThousandSetsShowIndexAsLevel) {
  run->opt.n_value = 1000;
  simulated(5, 0.9);
  z_warning(*run, 0, 5);
  EXPECT_NE(notes().find("'-z  5'"), std::string::npos);
}

}  // namespace
