// The scan over all pairs of a data set, the level estimator and the
// per-pair comparisons of the reports.
#include "tarvo/scan.h"

#include <algorithm>
#include <cmath>

namespace tarvo {

int rank_in_descending(std::span<const double> v, double x) {
  const int hi_end = int(v.size()) - 1;
  if (x >= v[0]) return 0;
  if (x <= v[std::size_t(hi_end)]) return -1;
  int lo = 0, hi = hi_end;
  while (lo <= hi) {
    const int mid = (lo + hi) / 2;
    if (x < v[std::size_t(mid)])
      lo = mid + 1;
    else if (x > v[std::size_t(mid)])
      hi = mid - 1;
    else
      return mid;
  }
  return lo;
}

LevelEstimate estimate_level(double M, double S, double N, double V) {
  LevelEstimate e{};
  e.matches = M;
  e.net = M - V;
  if (e.net < 0) e.net = 0;
  e.effective = 0.5 + 0.5 * std::sqrt(1 + 4 * S);
  const double h = 1 - e.net / e.effective;
  if (h <= 0) {
    e.recaptures = 0;
  } else {
    const double l = 1 - std::exp(std::log(h) / e.effective);
    e.recaptures = N * (1 - std::pow(1 - l, N));
  }
  e.percent = 100 * e.recaptures / (N - e.recaptures);
  return e;
}

namespace {

// First level whose threshold the self-score exceeds; LEVELS when none.
int first_level_below(const LevelTable& cut, double x) {
  int lo = 0, hi = LEVELS;
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    if (x > cut[std::size_t(mid)])
      hi = mid;
    else
      lo = mid + 1;
  }
  return lo;
}

// Counts by the level at which a pair or a self-score is first counted; the
// counts at a level are the running sums.
struct LevelCounts {
  std::array<std::int64_t, LEVELS + 1> match_from{};
  std::array<std::int64_t, LEVELS + 1> detect_from{};
};

class Scan {
 public:
  Scan(const PairScorer& scorer, const ScanSettings& settings, Rng& rng)
      : scorer_(scorer), table_(scorer.table()), settings_(settings), rng_(rng) {
    if (settings.count_mismatches) {
      out_.mismatches.comparable.assign(std::size_t(table_.loci()) + 1, 0);
      out_.mismatches.mismatching.assign(std::size_t(table_.loci()) + 1, 0);
    }
  }

  PairScan run() {
    for (int i = 1; i < table_.size(); ++i)
      for (int j = 0; j < i; ++j) pair(i, j);
    levels();
    std::stable_sort(out_.pairs.begin(), out_.pairs.end(),
                     [](const MatchPair& a, const MatchPair& b) { return a.llr > b.llr; });
    return std::move(out_);
  }

 private:
  void pair(int i, int j) {
    const Sample& si = table_.samples[std::size_t(i)];
    const Sample& sj = table_.samples[std::size_t(j)];
    const LociMask mask = sj.loci & si.loci;
    if (mask.empty()) return;
    if (settings_.count_mismatches) {
      const LocusComparison c = compare_loci(table_, i, j);
      out_.mismatches.comparable[std::size_t(c.compared)] += 1;
      out_.mismatches.mismatching[std::size_t(c.mismatching)] += 1;
    }
    const double L = scorer_.score(i, j, mask);
    const double Lj = scorer_.self_score(j, mask, settings_.retype_error, rng_);
    const double Li = scorer_.self_score(i, mask, settings_.retype_error, rng_);
    const LevelTable& cut = settings_.thresholds;
    const int k = rank_in_descending(cut, L);
    if (k >= 0) {
      counts_.match_from[std::size_t(k)] += 1;
      if (out_.pairs_full())
        out_.matches_beyond_kept += 1;
      else
        out_.pairs.push_back(MatchPair{i, j, si.population, sj.population, L, mask});
    }
    counts_.detect_from[std::size_t(first_level_below(cut, Li))] += 1;
    counts_.detect_from[std::size_t(first_level_below(cut, Lj))] += 1;
  }

  void levels() {
    std::int64_t M = 0, S = 0;
    for (std::size_t z = 0; z < std::size_t(LEVELS); ++z) {
      M += counts_.match_from[z];
      S += counts_.detect_from[z];
      out_.levels[z] =
          estimate_level(double(M), double(S), double(table_.size()), settings_.false_positives[z]);
    }
  }

  const PairScorer& scorer_;
  const GenotypeTable& table_;
  const ScanSettings& settings_;
  Rng& rng_;
  LevelCounts counts_;
  PairScan out_;
};

}  // namespace

PairScan scan_pairs(const PairScorer& scorer, const ScanSettings& settings, Rng& rng) {
  return Scan(scorer, settings, rng).run();
}

LocusComparison compare_loci(const GenotypeTable& table, int i, int j) {
  LocusComparison out;
  const LociMask both = table.samples[std::size_t(i)].loci & table.samples[std::size_t(j)].loci;
  const std::int32_t* a = table.row(i);
  const std::int32_t* b = table.row(j);
  for (int k = 0; k < table.loci(); ++k) {
    if (!has_locus(both, k)) continue;
    out.compared += 1;
    const bool same = (a[2 * k] == b[2 * k] && a[2 * k + 1] == b[2 * k + 1]) ||
                      (a[2 * k] == b[2 * k + 1] && a[2 * k + 1] == b[2 * k]);
    if (!same) out.mismatching += 1;
  }
  return out;
}

AlleleComparison compare_alleles(const GenotypeTable& table, int i, int j) {
  AlleleComparison out;
  int shared = 0;
  const LociMask both = table.samples[std::size_t(i)].loci & table.samples[std::size_t(j)].loci;
  const std::int32_t* a = table.row(i);
  const std::int32_t* b = table.row(j);
  for (int k = 0; k < table.loci(); ++k) {
    if (!has_locus(both, k)) continue;
    out.alleles += 2;
    const int s = shared_alleles(a[2 * k], a[2 * k + 1], b[2 * k], b[2 * k + 1]);
    shared += s;
    const bool homozygous = a[2 * k] == a[2 * k + 1] || b[2 * k] == b[2 * k + 1];
    // One allele shared at a homozygous-looking locus: a dropped allele.
    if (s <= 1 && homozygous && a[2 * k] != 0) out.dropouts += 1;
  }
  out.mismatches = out.alleles - shared;
  return out;
}

}  // namespace tarvo
