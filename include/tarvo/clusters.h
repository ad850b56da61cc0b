// Clusters of accepted matches (the connected sets of the match graph) and
// the composite genotype of each.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "tarvo/genotypes.h"
#include "tarvo/scan.h"

namespace tarvo {

struct Clusters {
  std::vector<int> samples;              // samples of the pairs, in order of first appearance
  std::vector<int> cluster_of;           // per entry of samples: its cluster, from 0
  std::vector<std::vector<int>> groups;  // per cluster: its samples in the order reached
  [[nodiscard]] int count() const { return static_cast<int>(groups.size()); }
  [[nodiscard]] bool contains(int sample) const;
};

// Depth first over the pairs in their order.
[[nodiscard]] Clusters cluster_pairs(std::span<const MatchPair> pairs);

// One genotype per cluster (2 alleles per locus, row-major by cluster),
// merged from its members: a scored genotype replaces a missing one, a
// heterozygote a homozygote.
[[nodiscard]] std::vector<std::int32_t> composite_genotypes(const Clusters& clusters,
                                                            const GenotypeTable& table);

}  // namespace tarvo
