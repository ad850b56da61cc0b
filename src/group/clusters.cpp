// Clusters of accepted matches (the connected sets of the match graph) and,
// with -j, one composite genotype per cluster.
#include <algorithm>
#include <unordered_map>

#include "tarvo.h"

namespace tarvo {

namespace {

struct Entry {
  int sample = 0;
  int cluster = 0;  // 0 while not yet reached
};

// The grouping's working state, rebuilt on every call.
struct Grouping {
  Run& run;
  const std::vector<MatchPair>& pairs;  // the copy in bank 1
  std::vector<Entry> one_list;
  std::unordered_map<int, int> where;   // sample -> position in one_list
  std::vector<std::vector<int>> links;  // per entry: the samples across its pairs, in scan order
};

int entry_of(const Grouping& gr, int sample, int k) {
  auto it = gr.where.find(sample);
  return it != gr.where.end() && it->second < k ? it->second : -1;
}

int in_one_list(const Grouping& gr, int sample, int k) {
  return entry_of(gr, sample, k) >= 0;
}

int used_one_list(const Grouping& gr, int sample, int k) {
  const int e = entry_of(gr, sample, k);
  return e >= 0 && gr.one_list[e].cluster != 0;
}

void reach(Grouping& gr, int e, int mode, int cluster) {
  if (mode == 1 && gr.run.io.fp5) {
    std::fprintf(gr.run.io.fp5, "%s ", gr.run.store.rec[gr.one_list[e].sample].name.c_str());
    std::fflush(gr.run.io.fp5);
  }
  gr.one_list[e].cluster = cluster;
}

// Depth first from entry index, as the recursion over the pairs would go: each
// newly reached sample is explored at once, and the scan then resumes where it
// was. Each entry keeps its links in scan order (pair by pair, sample1 side
// before sample2 side), so the scan only visits the pairs that hold it; the
// explicit stack spares the call stack on clusters of thousands of samples.
void do_rec_search(Grouping& gr, int index, int k, int /*n*/, int mode, int& cluster) {
  struct Frame {
    int entry;
    size_t next;  // next link of the entry to follow
  };
  std::vector<Frame> stack{{index, 0}};
  while (!stack.empty()) {
    Frame& f = stack.back();
    const std::vector<int>& links = gr.links[f.entry];
    if (f.next >= links.size()) {
      stack.pop_back();
      continue;
    }
    const int other = links[f.next++];
    if (used_one_list(gr, other, k)) continue;
    const int e = entry_of(gr, other, k);
    reach(gr, e, mode, cluster);
    stack.push_back(Frame{e, 0});  // f is not used after this
  }
}

void pair_groups(Grouping& gr, int n, int mode, int& ngroups, int& nsamples) {
  gr.one_list.clear();
  gr.where.clear();
  ngroups = 0;
  for (int r = 0; r < n; ++r) {
    for (int s : {gr.pairs[r].sample1, gr.pairs[r].sample2}) {
      if (gr.where.emplace(s, int(gr.one_list.size())).second) gr.one_list.push_back(Entry{s, 0});
    }
  }
  const int k = int(gr.one_list.size());
  gr.links.assign(k, {});
  for (int r = 0; r < n; ++r) {
    const MatchPair& mp = gr.pairs[r];
    gr.links[gr.where[mp.sample1]].push_back(mp.sample2);
    gr.links[gr.where[mp.sample2]].push_back(mp.sample1);
  }
  FILE* fp = gr.run.io.fp5;
  if (mode == 1 && fp) {
    std::fprintf(fp, "\n\n");
    for (int c = 0; c < 96; ++c) std::fputc('_', fp);
    std::fprintf(fp, "\nClustered groups of pairwise matches\n");
    for (int c = 0; c < 96; ++c) std::fputc('_', fp);
    std::fprintf(fp, "\nGroup\n");
    std::fflush(fp);
  }
  for (int e = 0; e < k; ++e) {
    // A sample already in a cluster was explored when it was reached.
    if (gr.one_list[e].cluster != 0) continue;
    ngroups += 1;
    if (mode == 1 && fp) {
      std::fprintf(fp, "\nGP%-4d  %s ", ngroups,
                   gr.run.store.rec[gr.one_list[e].sample].name.c_str());
      std::fflush(fp);
    }
    gr.one_list[e].cluster = ngroups;
    do_rec_search(gr, e, k, n, mode, ngroups);
  }
  nsamples = k;
}

void write_genotype(FILE* fp, const int32_t* g, int nloci) {
  // Alleles above 999 keep all their digits: nothing is lost, and a reader
  // expecting three digits per allele refuses the field rather than misread it.
  for (int l = 0; l < nloci; ++l) std::fprintf(fp, " %03d%03d", g[2 * l], g[2 * l + 1]);
  std::fprintf(fp, "\n");
}

void write_composites(Grouping& gr, int nloci, int anim, int nsamples, int ngroups,
                      const std::vector<int32_t>& cells) {
  Run& run = gr.run;
  const std::string& name = run.opt.o_value[6];
  FILE* fp = std::fopen(name.c_str(), "w");
  if (!fp) {
    log_out(run, "write_composites: Cannot open output file %s\n", name.c_str());
    stop(255);
  }
  std::fprintf(fp, "GENEPOP data file created using TARVO simulation\n");
  for (int l = 1; l < nloci; ++l) std::fprintf(fp, "L%d, ", l);
  std::fprintf(fp, "L%d\n", nloci);
  std::fprintf(fp, "%s\n", run.opt.k_value.c_str());
  for (int g = 1; g <= ngroups; ++g) {
    std::fprintf(fp, "GP%-13d,", g);
    write_genotype(fp, &cells[size_t(g - 1) * nloci * 2], nloci);
  }
  for (int s = 0; s < anim; ++s) {
    if (in_one_list(gr, s, nsamples)) continue;
    std::fprintf(fp, "%-15s,", run.store.rec[s].name.c_str());
    write_genotype(fp, run.store.row(0, s), nloci);
  }
  std::fflush(fp);
  std::fclose(fp);
}

void composite(Grouping& gr, int nloci, int ngroups, int nsamples, int anim) {
  // cells[(cluster - 1) * nloci * 2 + 2 * locus + allele]; (0, 0) is unset.
  std::vector<int32_t> cells(size_t(ngroups) * nloci * 2, 0);
  // Members of each cluster in one_list order; clusters do not share cells,
  // so visiting the ordered pairs cluster by cluster keeps their order.
  std::vector<std::vector<int>> members(ngroups);
  for (int e = 0; e < nsamples; ++e) members[gr.one_list[e].cluster - 1].push_back(e);
  for (int c = 0; c < ngroups; ++c) {
    int32_t* K = &cells[size_t(c) * nloci * 2];
    for (int i : members[c]) {
      for (int j : members[c]) {
        if (i == j) continue;
        const int32_t* X = gr.run.store.row(0, gr.one_list[i].sample);
        const int32_t* Y = gr.run.store.row(0, gr.one_list[j].sample);
        for (int l = 0; l < nloci; ++l) {
          int32_t* cell = K + 2 * l;
          const int32_t* x = X + 2 * l;
          const int32_t* y = Y + 2 * l;
          const int32_t* take = nullptr;
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
      }
    }
  }
  write_composites(gr, nloci, anim, nsamples, ngroups, cells);
}

}  // namespace

void clusterPairs(Run& run, int nloci, int anim, int n, int& ngroups, int mode) {
  n = std::min(n, PAIRS);  // only stored pairs can be grouped
  if (n < 2) {
    // Too few pairs to group; one pair is one cluster.
    ngroups = n == 1 ? 1 : 0;
    return;
  }
  auto& bank1 = run.est.mat_pairs[1];
  std::copy_n(run.est.mat_pairs[0].begin(), n, bank1.begin());
  Grouping gr{run, bank1, {}, {}, {}};
  int nsamples = 0;
  pair_groups(gr, n, mode, ngroups, nsamples);
  if (mode == 1 && run.opt.j_option) composite(gr, nloci, ngroups, nsamples, anim);
}

}  // namespace tarvo
