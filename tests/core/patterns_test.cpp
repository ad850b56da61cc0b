#include "tarvo/patterns.h"

#include <gtest/gtest.h>

#include "tarvo/error.h"

namespace {

using tarvo::LociMask;

TEST(Patterns, TallyKeepsFirstAppearanceOrder) {
  const std::vector<LociMask> masks = {5, 3, 5, 7, 3, 5};
  const auto p = tarvo::tally_patterns(masks);
  ASSERT_EQ(p.size(), 3u);
  EXPECT_EQ(p[0].mask, 5u);
  EXPECT_EQ(p[0].count, 3);
  EXPECT_EQ(p[1].mask, 3u);
  EXPECT_EQ(p[1].count, 2);
  EXPECT_EQ(p[2].mask, 7u);
  EXPECT_EQ(p[2].count, 1);
}

TEST(Patterns, TallyRefusesOnePatternPastPerm) {
  std::vector<LociMask> masks;
  for (int m = 1; m <= tarvo::PERM; ++m) masks.push_back(LociMask(m));
  masks.push_back(1);
  EXPECT_EQ(tarvo::tally_patterns(masks).size(), std::size_t(tarvo::PERM));
  masks.push_back(LociMask(tarvo::PERM + 1));
  try {
    (void)tarvo::tally_patterns(masks);
    FAIL();
  } catch (const tarvo::Error& e) {
    EXPECT_EQ(e.code(), tarvo::ErrorCode::TooManyPatterns);
    EXPECT_EQ(e.details<tarvo::LimitDetails>().count, tarvo::PERM + 1);
  }
  // The fast mode holds no table of patterns: every pattern is tallied.
  const auto unlimited = tarvo::tally_patterns(masks, true);
  ASSERT_EQ(unlimited.size(), std::size_t(tarvo::PERM) + 1);
  EXPECT_EQ(unlimited.front().count, 2);
  EXPECT_EQ(unlimited.back().mask, LociMask(tarvo::PERM + 1));
}

TEST(Patterns, RandomMasksRedrawEmptyMasks) {
  tarvo::Rng rng(3);
  const auto full = tarvo::random_masks(10, 4, 100, rng);
  EXPECT_EQ(rng.calls(), 40u);
  for (LociMask m : full) EXPECT_EQ(m, 0xfu);

  tarvo::Rng a(9), b(9);
  const auto masks = tarvo::random_masks(200, 3, 20, a);
  for (LociMask m : masks) {
    LociMask expect = 0;
    while (expect == 0) {
      expect = 7;
      for (int k = 0; k < 3; ++k)
        if (b.uniform() > 0.2) expect &= ~(1u << k);
    }
    ASSERT_EQ(m, expect);
  }
  EXPECT_EQ(a.calls(), b.calls());
}

TEST(Patterns, DrawsWithNothingToDrawAreRefused) {
  // Each of these would redraw forever or read past an empty source.
  tarvo::Rng rng(1);
  EXPECT_THROW((void)tarvo::random_masks(5, 0, 100, rng), tarvo::Error);
  EXPECT_THROW((void)tarvo::random_masks(5, 3, 0, rng), tarvo::Error);
  EXPECT_THROW((void)tarvo::resample_masks(5, {}, rng), tarvo::Error);
}

TEST(Patterns, ResampleDrawsFromSourceOrPopulation) {
  const std::vector<LociMask> source = {1, 2, 3, 4, 5};
  tarvo::Rng a(11), b(11);
  const auto any = tarvo::resample_masks(50, source, a);
  for (LociMask m : any) ASSERT_EQ(m, source[std::size_t(int(5 * b.uniform()))]);

  tarvo::GenotypeTable t(1, 5);
  t.populations = {{"A", 0, 2}, {"B", 2, 5}};
  for (int s = 0; s < 5; ++s) t.sample(s).population = s < 2 ? 0 : 1;
  for (int round = 0; round < 20; ++round) {
    const auto own = tarvo::resample_masks_by_population(t, source, a);
    for (int s = 0; s < 5; ++s) EXPECT_EQ(own[std::size_t(s)].word(0) <= 2, s < 2);
  }
}

}  // namespace
