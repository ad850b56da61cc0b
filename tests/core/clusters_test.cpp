#include "tarvo/clusters.h"

#include <gtest/gtest.h>

using namespace tarvo;

namespace {

MatchPair pair(int later, int earlier) {
  return MatchPair{later, earlier, 0, 0, 9.0, 1u};
}

TEST(Clusters, DepthFirstInPairOrder) {
  const std::vector<MatchPair> pairs{pair(5, 2), pair(9, 7), pair(3, 2), pair(7, 5), pair(8, 6)};
  const Clusters c = cluster_pairs(pairs);
  EXPECT_EQ(c.samples, (std::vector<int>{5, 2, 9, 7, 3, 8, 6}));
  EXPECT_EQ(c.cluster_of, (std::vector<int>{0, 0, 0, 0, 0, 1, 1}));
  ASSERT_EQ(c.count(), 2);
  // From 5: 2, then 2's other link 3, then back to 5's next link 7, then 9.
  EXPECT_EQ(c.groups[0], (std::vector<int>{5, 2, 3, 7, 9}));
  EXPECT_EQ(c.groups[1], (std::vector<int>{8, 6}));
  EXPECT_TRUE(c.contains(9));
  EXPECT_FALSE(c.contains(4));
  EXPECT_EQ(cluster_pairs(std::vector<MatchPair>{pair(1, 0)}).count(), 1);
}

TEST(Clusters, CompositeGenotypes) {
  // Cluster {1, 0, 2} and cluster {4, 3}; three loci.
  GenotypeTable t(3, 5);
  const std::int32_t g[5][6] = {
      {0, 0, 10, 10, 30, 30},    // 0
      {12, 12, 10, 14, 30, 30},  // 1
      {0, 0, 16, 18, 30, 36},    // 2
      {0, 0, 0, 0, 0, 0},        // 3
      {0, 0, 20, 22, 0, 0},      // 4
  };
  for (int s = 0; s < 5; ++s) std::copy(g[s], g[s] + 6, t.row(s));
  const Clusters c = cluster_pairs(std::vector<MatchPair>{pair(1, 0), pair(2, 1), pair(4, 3)});
  const std::vector<std::int32_t> k = composite_genotypes(c, t);
  // A scored genotype fills a missing one; the first heterozygote found
  // stays; a heterozygote replaces a homozygote; all missing stays (0, 0).
  EXPECT_EQ(k, (std::vector<std::int32_t>{12, 12, 10, 14, 30, 36, 0, 0, 20, 22, 0, 0}));
}

}  // namespace
