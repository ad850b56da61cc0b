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

}  // namespace
