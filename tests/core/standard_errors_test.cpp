#include "tarvo/standard_errors.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace tarvo;

namespace {

TEST(StandardErrors, StdDevFromRunningSums) {
  EXPECT_EQ(std_dev(2, 3.0, 5.0), 0.0);  // too few runs
  EXPECT_DOUBLE_EQ(std_dev(3, 6.0, 14.0), 1.0);
  EXPECT_EQ(std_dev(3, 6.0, 11.0), 0.0);  // negative variance
}

TEST(StandardErrors, CellErrorLessTheRoundingSpread) {
  // 10 runs, 4 rounded up: g = 0.4, h = 10 g (1 - g) / 9; estimates 1..10.
  const RecapturePlan plan{{{1, 0}, 2.5, 4}, {{1, 1}, 0.3, 7}};
  const double sum = 55, sumsq = 385;  // sd^2 = 82.5 / 9
  const double h = 2.4 / 9, sd = std::sqrt(82.5 / 9);
  CellError e = cell_standard_error(plan, 2, 10, {1, 0}, sum, sumsq);
  EXPECT_DOUBLE_EQ(e.rounding, h);
  EXPECT_DOUBLE_EQ(e.se, std::sqrt(80.1 / 9));
  // A cell outside the rows in use has no rounding spread.
  e = cell_standard_error(plan, 1, 10, {1, 1}, sum, sumsq);
  EXPECT_EQ(e.rounding, 0.0);
  EXPECT_DOUBLE_EQ(e.se, sd);
  // More rounding spread than spread: 0; a single run: no spread at all.
  EXPECT_EQ(cell_standard_error(plan, 2, 10, {1, 1}, 10, 10).se, 0.0);
  EXPECT_EQ(cell_standard_error(plan, 2, 1, {1, 0}, sum, sumsq).se, 0.0);
}

TEST(StandardErrors, SimulationModelRowAndStopOnNegativePlan) {
  LocusFrequencies L;
  L.alleles = {10, 20, 30};
  L.freqs = {0.5, 0.3, 0.2};
  L.cumulative = {0.5, 0.8, 1.0};
  const FrequencyTable f{{L, L, L}};
  GenotypeTable ref(3, 12);
  ref.populations = {{"a", 0, 12}};
  for (int s = 0; s < ref.size(); ++s) ref.sample(s).loci = 7u;
  Calibration cal;
  cal.thresholds.fill(1.0);
  cal.false_positives.fill(0.5);
  StandardErrorSettings st;
  st.runs = 4;
  st.plan_rows = 1;
  int runs = 0;
  std::vector<int> planted;
  StandardErrorObserver obs;
  obs.on_run = [&](int) { ++runs; };
  obs.on_row = [&](const PlantedRow& r) { planted.push_back(r.recaptures); };
  RecapturePlan plan{{{0, 0}, -1.0, 0}};
  Rng rng(5);
  StandardErrors se = simulate_standard_errors(ref, f, cal, plan, st, rng, obs);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(planted, (std::vector<int>{-1}));
  EXPECT_EQ(se.best, 0);
  // Models of simulated data plant the total through row 0 in every run.
  st.simulation_model = true;
  st.total = 2.0;
  plan.clear();
  se = simulate_standard_errors(ref, f, cal, plan, st, rng, obs);
  EXPECT_EQ(runs, 5);
  EXPECT_EQ(planted, (std::vector<int>{-1, 2, 2, 2, 2}));
  ASSERT_EQ(se.plan.size(), 1u);
  EXPECT_EQ(se.plan[0].cell, (PopulationPair{0, 0}));
  for (int k = 0; k < LEVELS; ++k)
    if (se.se[k] < se.se[se.best]) ADD_FAILURE() << "level " << k << " beats best";
}

}  // namespace
