#include "tarvo/power.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// L1: 0.5/0.5 over four samples, two heterozygous. L2: 0.5/0.25/0.25 over the
// two samples scored. L3: a copy of L1 (a tie). L4: scored nowhere.
TEST(Power, HandComputedLociAndCumulativeOrder) {
  tarvo::GenotypeTable t(4, 4);
  const std::int32_t rows[4][8] = {{1, 2, 10, 20, 1, 2, 0, 0},
                                   {1, 1, 10, 30, 1, 1, 0, 0},
                                   {2, 2, 0, 0, 2, 2, 0, 0},
                                   {1, 2, 0, 0, 1, 2, 0, 0}};
  for (int s = 0; s < 4; ++s) {
    for (int c = 0; c < 8; ++c) t.row(s)[c] = rows[s][c];
    t.sample(s).loci = s < 2 ? 0x7u : 0x5u;
  }
  const tarvo::PanelPower p = tarvo::panel_power(tarvo::count_frequencies(t), t, 0, 4);
  const tarvo::LocusPower &a = p.loci[0], &b = p.loci[1], &c = p.loci[2], &d = p.loci[3];
  EXPECT_DOUBLE_EQ(a.pid, 0.375);
  EXPECT_DOUBLE_EQ(a.pid_sib, 0.59375);
  EXPECT_DOUBLE_EQ(b.pid, 0.2109375);
  EXPECT_DOUBLE_EQ(b.pid_sib, 0.490234375);
  EXPECT_DOUBLE_EQ(a.observed_het + b.observed_het, 1.5);
  EXPECT_DOUBLE_EQ(b.expected_het_unbiased, 0.625 * 4 / 3);
  // L2 first, L1 before its tie L3, L4 unranked and out of the products.
  EXPECT_EQ(std::vector<int>({a.rank, b.rank, c.rank, d.rank}), std::vector<int>({2, 1, 3, 0}));
  EXPECT_TRUE(std::isnan(d.pid) && std::isnan(d.observed_het) && std::isnan(d.cumulative_pid));
  EXPECT_DOUBLE_EQ(a.cumulative_pid, 0.2109375 * 0.375);
  EXPECT_DOUBLE_EQ(c.cumulative_pid_sib, 0.490234375 * 0.59375 * 0.59375);
  const std::vector<int> needed = {tarvo::loci_needed(p, 0.5), tarvo::loci_needed(p, 0.2),
                                   tarvo::loci_needed(p, 0.01)};
  EXPECT_EQ(needed, std::vector<int>({1, 3, 0}));
}

}  // namespace
