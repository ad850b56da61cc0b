#include "tarvo/calibration.h"

#include <gtest/gtest.h>

namespace {

using tarvo::GenotypeTable;

tarvo::FrequencyTable two_loci() {
  tarvo::FrequencyTable f;
  for (const char* name : {"A", "B"}) {
    tarvo::LocusFrequencies L;
    L.name = name;
    L.alleles = {10, 20, 30};
    L.freqs = {0.2, 0.3, 0.5};
    L.cumulative = {0.2, 0.5, 1.0};
    f.loci.push_back(L);
  }
  return f;
}

GenotypeTable reference(int n) {
  GenotypeTable t(2, n);
  t.populations = {{"P", 0, n}};
  for (int s = 0; s < n; ++s) t.sample(s).loci = 1 + std::uint32_t(s % 3);
  return t;
}

TEST(Calibration, LadderAndFalsePositives) {
  const tarvo::LevelTable v = tarvo::false_positive_ladder(200);
  EXPECT_EQ(v[0], 0.01);
  EXPECT_EQ(v[7], 1.25);
  EXPECT_EQ(v[8], 1.5);
  EXPECT_EQ(v[49], 22);
  const tarvo::LevelTable w = tarvo::false_positive_ladder(1000);
  EXPECT_EQ(w[0], 0.001);
  EXPECT_EQ(w[1], 0.01);
  EXPECT_EQ(w[49], 21.5);

  tarvo::Calibration c;
  c.sets = 2;
  c.pooled = {5, 4, 3, 2};
  EXPECT_EQ(c.false_positives_above(6), 0);
  EXPECT_EQ(c.false_positives_above(3), 1);
  EXPECT_EQ(c.false_positives_above(2), 999999);
}

TEST(Calibration, OnePairSetByHand) {
  // Two samples at 100 percent: four mask draws, then two draws per sample
  // and locus, locus by locus; the one pair scores first, the floor fills.
  const auto f = two_loci();
  tarvo::CalibrationSettings s;
  s.sets = 1;
  s.resample_reference_masks = false;
  tarvo::Rng rng(21), mirror(21);
  const tarvo::Calibration c = tarvo::calibrate(reference(2), f, s, rng);

  for (int d = 0; d < 4; ++d) (void)mirror.uniform();
  GenotypeTable t(2, 2);
  for (int k = 0; k < 2; ++k)
    for (int j = 0; j < 2; ++j)
      for (int slot = 0; slot < 2; ++slot) {
        const double u = mirror.uniform();
        t.row(j)[2 * k + slot] = u <= 0.2 ? 10 : (u <= 0.5 ? 20 : 30);
      }
  t.sample(0).loci = t.sample(1).loci = 3;
  ASSERT_EQ(c.pooled.size(), 50u);
  EXPECT_EQ(c.pooled[0], tarvo::PairScorer(t, f, 0.01).score(1, 0, 3));
  EXPECT_EQ(c.pooled[1], tarvo::FLOOR_LLR);
  EXPECT_EQ(rng.calls(), mirror.calls());
}

TEST(Calibration, DeterministicForASeed) {
  const auto f = two_loci();
  tarvo::CalibrationSettings s;
  s.sets = 5;
  int dots = 0;
  tarvo::Rng a(3), b(3);
  const tarvo::Calibration c = tarvo::calibrate(reference(14), f, s, a, [&] { ++dots; });
  const tarvo::Calibration d = tarvo::calibrate(reference(14), f, s, b);
  EXPECT_EQ(dots, 5);
  EXPECT_EQ(c.pooled, d.pooled);
  EXPECT_EQ(c.thresholds, d.thresholds);
  ASSERT_EQ(c.pooled.size(), 250u);
  EXPECT_TRUE(std::is_sorted(c.pooled.rbegin(), c.pooled.rend()));
  for (std::size_t k = 0; k < 50; ++k)
    EXPECT_EQ(c.thresholds[k], c.pooled[std::size_t(int(5 * c.false_positives[k]))]);
}

}  // namespace
