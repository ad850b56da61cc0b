// The ladder of false-positive levels and the thresholds read off the pooled
// top scores.
#include <gtest/gtest.h>

#include "common/test_run.h"

namespace {

using testutil::TestRun;

TEST(Ladder, UsualAndThousandSets) {
  TestRun t;
  tarvo::Run& r = t.r;
  r.opt.n_value = 200;
  tarvo::get_alphaCut(r);
  const double first[] = {0.01, 0.05, 0.125, 0.25, 0.5, 0.75, 1.0, 1.25, 1.5, 2.0};
  for (int k = 0; k < 10; ++k) EXPECT_EQ(r.est.alphaCut[k], first[k]) << k;
  EXPECT_EQ(r.est.alphaCut[49], 22.0);
  for (int k = 1; k < tarvo::LEVELS; ++k) EXPECT_GT(r.est.alphaCut[k], r.est.alphaCut[k - 1]);
  EXPECT_EQ(tarvo::shown_z(r, 0), 1);

  r.opt.n_value = 1000;
  tarvo::get_alphaCut(r);
  EXPECT_EQ(r.est.alphaCut[0], 0.001);
  for (int k = 1; k < 10; ++k) EXPECT_EQ(r.est.alphaCut[k], first[k - 1]) << k;
  EXPECT_EQ(r.est.alphaCut[49], 21.5);
  EXPECT_EQ(tarvo::shown_z(r, 1), 1);
}

// A data set of unrelated samples at one locus: the thresholds come from the
// pooled list at n x V, and the reference masks are back afterwards.
TEST(Calibration, ThresholdIndicesAndRestoredMasks) {
  TestRun t;
  tarvo::Run& r = t.r;
  const int n = 40;
  t.set_locus(0, {{1, 0.2}, {2, 0.2}, {3, 0.2}, {4, 0.2}, {5, 0.2}});
  t.set_locus(1, {{7, 0.5}, {8, 0.5}});
  for (int s = 0; s < n; ++s) r.store.rec[s].loci_mask = s % 3 == 0 ? 1 : 3;
  r.opt.i_option[0] = 1;
  for (int sets : {100, 150}) {
    r.opt.n_value = sets;
    tarvo::get_alphaCut(r);
    r.rng.init_genrand(3);
    tarvo::get_LZones(r, 1, 2, n);
    for (int s = 0; s < n; ++s) EXPECT_EQ(r.store.rec[s].loci_mask, s % 3 == 0 ? 1u : 3u);
    for (int k = 0; k < tarvo::LEVELS; ++k) {
      const int index = int(sets * r.est.alphaCut[k]);
      EXPECT_EQ(r.est.LLRcut[k], r.est.tot[index]) << k;
      if (k) {
        EXPECT_LE(r.est.LLRcut[k], r.est.LLRcut[k - 1]);
      }
    }
    EXPECT_EQ(int(sets * r.est.alphaCut[0]), 1);
    for (int i = 1; i < sets * tarvo::LEVELS; ++i) ASSERT_GE(r.est.tot[i - 1], r.est.tot[i]);
  }
  EXPECT_EQ(int(100 * r.est.alphaCut[1]), 5);
  EXPECT_EQ(t.out(), std::string(100 + 150, '.'));
}

// Fewer than 50 comparable pairs: the unfilled entries hold the floor score.
TEST(Calibration, SmallSetsFillTheTopListWithTheFloor) {
  TestRun t;
  tarvo::Run& r = t.r;
  t.set_locus(0, {{1, 0.5}, {2, 0.5}});
  for (int s = 0; s < 4; ++s) r.store.rec[s].loci_mask = 1;
  r.opt.i_option[0] = 1;
  r.opt.n_value = 100;
  tarvo::get_alphaCut(r);
  tarvo::get_LZones(r, 1, 1, 4);
  for (int set = 0; set < 100; ++set) {
    for (int m = 1; m < 6; ++m)
      ASSERT_GE(r.est.toplike[set * 50 + m - 1], r.est.toplike[set * 50 + m]);
    for (int m = 6; m < 50; ++m) ASSERT_EQ(r.est.toplike[set * 50 + m], tarvo::FLOOR_LLR);
  }
}

}  // namespace
