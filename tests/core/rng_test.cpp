#include "tarvo/rng.h"

#include <gtest/gtest.h>

#include <random>

namespace {

TEST(Rng, MatchesStdMt19937AcrossRegenerations) {
  tarvo::Rng rng;
  std::mt19937 ref(5489u);
  for (int i = 0; i < 2000; ++i) ASSERT_EQ(rng.next_u32(), ref()) << "draw " << i;
  EXPECT_EQ(rng.calls(), 2000u);

  rng.seed_with(17u);
  ref.seed(17u);
  EXPECT_EQ(rng.calls(), 0u);
  const std::uint32_t first = ref();
  EXPECT_DOUBLE_EQ(rng.uniform(), first / 4294967296.0);
  EXPECT_EQ(rng.coin(), ref() >= 2147483648u ? 1 : 0);
  EXPECT_EQ(rng.calls(), 2u);
}

TEST(Rng, MatchesStdMt19937OverMillionsOfOutputsAndSeveralSeeds) {
  for (const std::uint32_t seed : {1u, 2024u, 4294967295u}) {
    tarvo::Rng rng(seed);
    std::mt19937 ref(seed);
    for (int i = 0; i < 3'000'000; ++i) ASSERT_EQ(rng.next_u32(), ref()) << seed << " " << i;
  }
}

// The pass over retypings lands where drawing them one by one does, for
// rates that make errors rare, common, certain and impossible.
TEST(Rng, SkippingRetypingsLandsWhereDrawingThemDoes) {
  for (const double rate : {0.01, 0.3, 1.5, 0.0, -1.0}) {
    tarvo::Rng skipped(7), drawn(7);
    const std::uint64_t bound = tarvo::retype_bound(rate);
    for (const std::uint64_t count : {1u, 5u, 700u, 100000u}) {
      skipped.skip_retypings(count, bound);
      for (std::uint64_t c = 0; c < count; ++c)
        if (!(drawn.uniform() >= rate)) drawn.discard(2);
      ASSERT_EQ(skipped.calls(), drawn.calls()) << rate << " " << count;
      ASSERT_EQ(skipped.next_u32(), drawn.next_u32());
    }
  }
  EXPECT_EQ(tarvo::retype_bound(0.5), 2147483648u);
  EXPECT_EQ(tarvo::retype_bound(0.01), 42949673u);  // 42949672.96 rounded up
}

}  // namespace
