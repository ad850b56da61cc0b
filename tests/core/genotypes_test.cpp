// The loci mask past its inline word: set operations, equality as sets,
// iteration in locus order.
#include "tarvo/genotypes.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using tarvo::LociMask;

TEST(LociMask, WordsPastTheFirstBehaveAsSets) {
  LociMask a;
  for (const int k : {0, 63, 64, 130, 299}) a.set(k);
  std::vector<int> seen;
  a.for_each(131, [&](int k) { seen.push_back(k); });
  EXPECT_EQ(seen, (std::vector<int>{0, 63, 64, 130}));
  EXPECT_EQ(a.count(), 5);
  LociMask b = a;
  for (const int k : {64, 130, 299, 5000}) b.reset(k);
  // Heap words of zeros compare and hash as no words.
  EXPECT_EQ(b, LociMask(a.word(0)));
  EXPECT_EQ(std::hash<LociMask>{}(b), std::hash<LociMask>{}(LociMask(a.word(0))));
  LociMask high;
  high.set(130);
  EXPECT_TRUE((b & high).empty() && !tarvo::intersects(b, high));
  EXPECT_TRUE(tarvo::intersects(a, high) && (a & high) == high);
  EXPECT_EQ((b | high).count(), 3);
  for (const int n : {32, 64, 65, 300}) EXPECT_EQ(tarvo::all_loci(n).count(), n);
  EXPECT_TRUE(tarvo::all_loci(65).has(64) && !tarvo::all_loci(65).has(65));
  EXPECT_EQ(tarvo::all_loci(32), LociMask(0xffffffffu));
}

}  // namespace
