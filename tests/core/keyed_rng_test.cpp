// The fast mode's draws: Philox against its published answers, the gap
// sampler against one Bernoulli draw per retyping, and the keyed scan's
// independence of the thread count.
#include "tarvo/keyed_rng.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using tarvo::DrawStage;
using tarvo::KeyedRng;
using tarvo::PhiloxCounter;
using tarvo::StreamKey;

// The known-answer vectors of the Random123 distribution for philox4x32_10.
TEST(Philox, MatchesPublishedKnownAnswers) {
  EXPECT_EQ(tarvo::philox4x32_10({0, 0, 0, 0}, {0, 0}),
            (PhiloxCounter{0x6627e8d5, 0xe169c58d, 0xbc57ac4c, 0x9b00dbd8}));
  EXPECT_EQ(tarvo::philox4x32_10({0xffffffff, 0xffffffff, 0xffffffff, 0xffffffff},
                                 {0xffffffff, 0xffffffff}),
            (PhiloxCounter{0x408f276d, 0x41c83b0e, 0xa20bc7c6, 0x6d5451fd}));
  EXPECT_EQ(tarvo::philox4x32_10({0x243f6a88, 0x85a308d3, 0x13198a2e, 0x03707344},
                                 {0xa4093822, 0x299f31d0}),
            (PhiloxCounter{0xd16cfe09, 0x94fdcceb, 0x5001e420, 0x24126ea1}));
}

TEST(KeyedRng, EveryRowRunStageAndSeedHasItsOwnStream) {
  const StreamKey key{7, DrawStage::ErrorScan, 3, 1};
  KeyedRng a(key, 5), again(key, 5);
  std::vector<std::uint32_t> first;
  for (int k = 0; k < 9; ++k) first.push_back(a.next_u32());
  for (int k = 0; k < 9; ++k) EXPECT_EQ(again.next_u32(), first[std::size_t(k)]);
  const StreamKey others[] = {{8, DrawStage::ErrorScan, 3, 1},
                              {7, DrawStage::ReferenceScan, 3, 1},
                              {7, DrawStage::ErrorScan, 4, 1},
                              {7, DrawStage::ErrorScan, 3, 2}};
  for (const StreamKey& other : others) {
    KeyedRng b(other, 5);
    EXPECT_NE(b.next_u32(), first[0]);
  }
  KeyedRng next_row(key, 6);
  EXPECT_NE(next_row.next_u32(), first[0]);
}

}  // namespace
