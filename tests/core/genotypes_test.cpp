// The loci mask across its inline word and its heap words: the set
// operations, equality as sets, and iteration in locus order.
#include "tarvo/genotypes.h"

#include <gtest/gtest.h>

#include <unordered_set>
#include <vector>

namespace {

using tarvo::LociMask;

std::vector<int> loci_of(const LociMask& m, int end) {
  std::vector<int> out;
  m.for_each(end, [&](int k) { out.push_back(k); });
  return out;
}

TEST(LociMask, SetsAcrossWordsCompareAsSets) {
  LociMask a;
  for (const int k : {0, 63, 64, 130, 299}) a.set(k);
  EXPECT_EQ(a.count(), 5);
  EXPECT_EQ(a.words(), 5);
  EXPECT_TRUE(a.has(64) && a.has(299) && !a.has(65) && !a.has(1000));
  EXPECT_EQ(loci_of(a, 300), (std::vector<int>{0, 63, 64, 130, 299}));
  EXPECT_EQ(loci_of(a, 130), (std::vector<int>{0, 63, 64}));
  EXPECT_EQ(loci_of(a, 63), (std::vector<int>{0}));

  LociMask b = a;
  for (const int k : {64, 130, 299}) b.reset(k);
  b.reset(5000);  // past every word: nothing to clear
  // Heap words of zeros left behind compare and hash like no words.
  EXPECT_EQ(b, LociMask(std::uint64_t{1} | std::uint64_t{1} << 63));
  EXPECT_EQ(std::hash<LociMask>{}(b), std::hash<LociMask>{}(LociMask(b.word(0))));
  EXPECT_NE(a, b);

  LociMask high;
  high.set(130);
  EXPECT_TRUE((b & high).empty());
  EXPECT_FALSE(tarvo::intersects(b, high));
  EXPECT_TRUE(tarvo::intersects(a, high));
  EXPECT_EQ((a & high), high);
  EXPECT_EQ((b | high).count(), 3);
  LociMask c = a;
  c &= LociMask(1);  // a one-word mask clears every heap word
  EXPECT_EQ(c, LociMask(1));

  for (const int n : {1, 32, 63, 64, 65, 128, 300}) {
    const LociMask all = tarvo::all_loci(n);
    EXPECT_EQ(all.count(), n) << n;
    EXPECT_TRUE(all.has(n - 1) && !all.has(n)) << n;
  }
  EXPECT_EQ(tarvo::all_loci(32), LociMask(0xffffffffu));
  EXPECT_TRUE(tarvo::all_loci(0).empty());

  const std::unordered_set<LociMask> set = {a, b, high, b | LociMask(0)};
  EXPECT_EQ(set.size(), 3u);
}

}  // namespace
