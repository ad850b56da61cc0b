// The choice of the next false-positive level and the notes that report it.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "common/estimate_helpers.h"

using namespace tarvo;
using namespace testutil;

namespace {

// Level k simulated with the given s.e., mean simulated and reference R_hat.
struct Record {
  int k;
  double se, sim = 0, ref = 0;
};

struct Levels {
  FileRun t;
  explicit Levels(const std::vector<Record>& records, int c_value = 10) {
    t.r.io.fp3 = std::tmpfile();
    t.r.opt.c_value = c_value;
    ladder(t.r);
    t.r.est.Rse[0].fill(-1.0);
    for (const Record& x : records) {
      t.r.est.Rse[0][x.k] = x.se;
      t.r.est.Rse[1][x.k] = x.sim;
      t.r.est.d_Rcor[x.k] = x.ref;
    }
  }
  // Every note goes to the statistics file, the log and standard output alike.
  std::string notes() {
    const std::string text = slurp(t.r.io.fp3);
    EXPECT_EQ(t.log(), text);
    EXPECT_EQ(t.out(), text);
    return text;
  }
};

const std::string SUMMARY_END = "____________________________________________________________ \n";

// The convergence note at the level shown as "-z <z> (V=<v>", with its summary rows.
std::string converged(const std::string& z_v, const std::string& rows) {
  return "\n\nNOTE:   Convergence found with '-z " + z_v + " false positives)\n\n\n" + SUMMARY_END +
         "Convergence summary of total corrected recaptures (R_hat)        \n" + SUMMARY_END +
         "                    Reference       Simulated   \n"
         "                    data            data        \n" +
         SUMMARY_END +
         " -z      False      R_hat           R_hat   s.e. \n"
         "         positives                               \n" +
         SUMMARY_END + rows + SUMMARY_END;
}

std::string moving(const std::string& from, const std::string& verb, const std::string& to) {
  return "\n\nNOTE:   Above run initiated with      '-z " + from + " False positives)\n" + verb +
         "'-z " + to + " False positives)\n";
}

const std::string TRYING = "        Trying another run with       ";

// next_level(z, b) over the given records: the level returned and the notes.
void expect_next(const std::vector<Record>& records, int z, int b, int next,
                 const std::string& notes, int c_value = 10) {
  SCOPED_TRACE(notes);
  Levels levels(records, c_value);
  EXPECT_EQ(next_level(levels.t.r, z, b), next);
  EXPECT_EQ(levels.notes(), notes);
}

const Record AT6{5, 0.979, 9.45, 9.25};
const std::string ROW6 = "  6       0.750      9.250           9.450  0.979";

TEST(ConvergeNextLevel, MovesToTheMinimumVarianceLevelOrConvergesThere) {
  expect_next({{5, 0.979}}, 5, 0, 0, moving(" 6' (V=0.750", TRYING, " 1' (V=0.010"));
  // A single iteration only suggests the level.
  expect_next({{5, 0.979}}, 5, 12, 12,
              moving(" 6' (V=0.750", "        Possibly try another run with ", "13' (V=3.500"), 1);
  expect_next({AT6}, 5, 5, 5, converged(" 6' (V=0.750", ROW6 + " (min s.e.)\n"));
  // Iteration 1 ran at index 5 and proposed index 0, which turned out worse
  // with index 5 again as its own minimum-variance level.
  expect_next({AT6, {0, 1.2, 5.99, 5.99}}, 0, 5, 0,
              converged(" 6' (V=0.750", "  1       0.010      5.990           5.990  1.200\n" +
                                            ROW6 + " (min s.e.)\n"));
}

TEST(ConvergeNextLevel, StepsFromTheBestLevelTowardsTheMinimum) {
  // The best recorded level is index 0, this stage prefers index 5: the next
  // try is the neighbour of index 0 on that side, downwards as well.
  expect_next({{5, 0.979}, {0, 0.235}}, 0, 5, 1, moving(" 1' (V=0.010", TRYING, " 2' (V=0.050"));
  expect_next({{9, 0.2}, {3, 0.5}}, 3, 3, 8, moving(" 4' (V=0.250", TRYING, " 9' (V=1.500"));
  // When that neighbour was tried the search ends with the best level named.
  expect_next({{0, 0.235, 5.99, 5.99}, {1, 0.3, 6.9, 6.95}, AT6}, 1, 5, 1,
              converged(" 1' (V=0.010",
                        "  1       0.010      5.990           5.990  0.235 (min s.e.)\n"
                        "  2       0.050      6.950           6.900  0.300\n" +
                            ROW6 + "\n"));
}

// Every run finding the same estimate gives a standard error of exactly 0:
// that level has been simulated and is the best, so the run converges there
// (and writes its final reports) instead of proposing it again forever.
TEST(ConvergeNextLevel, ZeroStandardErrorIsTheBestLevel) {
  expect_next({{5, 0.4}, {0, 0.0}}, 0, 0, 0,
              converged(" 1' (V=0.010",
                        "  1       0.010      0.000           0.000  0.000 (min s.e.)\n"
                        "  6       0.750      0.000           0.000  0.400\n"));
  // A stage whose own level has no usable s.e. proposes nothing and stops.
  expect_next({{7, std::nan("")}}, 7, 7, 7, "");
}

TEST(ConvergeNextLevel, BestAndTriedLevels) {
  Levels none({}), levels({{7, std::nan("")}, {20, 0.5}, {12, 0.5}, {30, 0.7}});
  EXPECT_EQ(find_best_z(none.t.r), 0);         // nothing recorded
  EXPECT_EQ(z_done_before(levels.t.r, 7), 0);  // not a number counts as untried
  EXPECT_EQ(z_done_before(levels.t.r, 9), 0);
  EXPECT_EQ(z_done_before(levels.t.r, 20), 1);
  EXPECT_EQ(find_best_z(levels.t.r), 12);  // a tie keeps the lower level
}

TEST(ConvergeNextLevel, SummaryWithoutSimulatedLevelsAndThousandSets) {
  Levels levels({});
  z_converge_note2(levels.t.r, 3, levels.t.r.io.fp3);
  EXPECT_EQ(slurp(levels.t.r.io.fp3), converged(" 4' (V=0.250", ""));
  // With -n 1000 the level shown is the index itself.
  Levels thousand({{5, 0.9}});
  thousand.t.r.opt.n_value = 1000;
  z_warning(thousand.t.r, 0, 5);
  EXPECT_NE(thousand.notes().find("'-z  5'"), std::string::npos);
}

}  // namespace
