// Clusters of accepted matches (the connected sets of the match graph) and
// one composite genotype per cluster.
#include "tarvo/clusters.h"

#include <algorithm>
#include <unordered_map>

namespace tarvo {

bool Clusters::contains(int sample) const {
  return std::find(samples.begin(), samples.end(), sample) != samples.end();
}

namespace {

// Depth first from entry start: each newly reached sample is explored at
// once, and the scan of the previous one then resumes where it was. Each
// entry keeps its links in pair order (later side before earlier side); the
// explicit stack spares the call stack on clusters of thousands of samples.
void reach_from(Clusters& c, const std::vector<std::vector<int>>& links, int start) {
  struct Frame {
    int entry;
    std::size_t next;  // next link of the entry to follow
  };
  const int cluster = c.count();
  c.groups.push_back({c.samples[start]});
  c.cluster_of[start] = cluster;
  std::vector<Frame> stack{{start, 0}};
  while (!stack.empty()) {
    Frame& f = stack.back();
    const std::vector<int>& out = links[f.entry];
    if (f.next >= out.size()) {
      stack.pop_back();
      continue;
    }
    const int e = out[f.next++];
    if (c.cluster_of[e] >= 0) continue;
    c.cluster_of[e] = cluster;
    c.groups[cluster].push_back(c.samples[e]);
    stack.push_back(Frame{e, 0});  // f is not used after this
  }
}

}  // namespace

Clusters cluster_pairs(std::span<const MatchPair> pairs) {
  Clusters c;
  std::unordered_map<int, int> where;  // sample -> entry
  for (const MatchPair& p : pairs)
    for (int s : {p.later, p.earlier})
      if (where.emplace(s, static_cast<int>(c.samples.size())).second) c.samples.push_back(s);
  const int n = static_cast<int>(c.samples.size());
  std::vector<std::vector<int>> links(n);
  for (const MatchPair& p : pairs) {
    const int a = where[p.later], b = where[p.earlier];
    links[a].push_back(b);
    links[b].push_back(a);
  }
  c.cluster_of.assign(n, -1);
  for (int e = 0; e < n; ++e)
    if (c.cluster_of[e] < 0) reach_from(c, links, e);
  return c;
}

namespace {

// Merges the genotype pair (x, y) of two members into the cluster's cell at
// one locus: a scored genotype fills an unset cell, a heterozygote replaces a
// homozygote. (0, 0) is unset.
void merge_locus(std::int32_t* cell, const std::int32_t* x, const std::int32_t* y) {
  const std::int32_t* take = nullptr;
  if (cell[0] == 0) {
    if (x[0] == 0) {
      if (y[0] != 0) take = y;
    } else if (y[0] != 0) {
      take = y[0] == y[1] ? x : y;
    }
  } else if (cell[0] == cell[1]) {
    if (x[0] != x[1])
      take = x;
    else if (y[0] != y[1])
      take = y;
  }
  if (take) {
    cell[0] = take[0];
    cell[1] = take[1];
  }
}

}  // namespace

std::vector<std::int32_t> composite_genotypes(const Clusters& clusters,
                                              const GenotypeTable& table) {
  const int nloci = table.loci();
  std::vector<std::int32_t> cells(std::size_t(clusters.count()) * nloci * 2, 0);
  // Members of each cluster in order of first appearance.
  std::vector<std::vector<int>> members(clusters.count());
  for (std::size_t e = 0; e < clusters.samples.size(); ++e)
    members[clusters.cluster_of[e]].push_back(clusters.samples[e]);
  for (int c = 0; c < clusters.count(); ++c) {
    std::int32_t* K = &cells[std::size_t(c) * nloci * 2];
    for (int i : members[c])
      for (int j : members[c]) {
        if (i == j) continue;
        const std::int32_t* X = table.row(i);
        const std::int32_t* Y = table.row(j);
        for (int l = 0; l < nloci; ++l) merge_locus(K + 2 * l, X + 2 * l, Y + 2 * l);
      }
  }
  return cells;
}

}  // namespace tarvo
