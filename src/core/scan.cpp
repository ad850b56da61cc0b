// The scan over all pairs of a data set, the level estimator and the
// per-pair comparisons of the reports.
#include "tarvo/scan.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "core/kernels.h"
#include "core/parallel.h"

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

// What the scan of a run of rows finds. Parts merge in row order into the
// scan of the whole table.
struct PartScan {
  LevelCounts counts;
  MismatchCounts mismatches;
  std::vector<MatchPair> pairs;  // the part's first PAIRS matches in scan order
  std::int64_t beyond_kept = 0;
};

class RowScanner {
 public:
  RowScanner(const PairScorer& scorer, const ScanSettings& settings, Rng& rng, PartScan& out)
      : scorer_(scorer), table_(scorer.table()), settings_(settings), rng_(rng), out_(out) {
    if (settings.count_mismatches) {
      out_.mismatches.comparable.assign(std::size_t(table_.loci()) + 1, 0);
      out_.mismatches.mismatching.assign(std::size_t(table_.loci()) + 1, 0);
    }
  }

  void rows(int first, int end) {
    for (int i = first; i < end; ++i)
      for (int j = 0; j < i; ++j) pair(i, j);
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
      out_.counts.match_from[std::size_t(k)] += 1;
      if (out_.pairs.size() >= std::size_t(PAIRS))
        out_.beyond_kept += 1;
      else
        out_.pairs.push_back(MatchPair{i, j, si.population, sj.population, L, mask});
    }
    out_.counts.detect_from[std::size_t(first_level_below(cut, Li))] += 1;
    out_.counts.detect_from[std::size_t(first_level_below(cut, Lj))] += 1;
  }

  const PairScorer& scorer_;
  const GenotypeTable& table_;
  const ScanSettings& settings_;
  Rng& rng_;
  PartScan& out_;
};

void add_counts(std::vector<std::int64_t>& to, const std::vector<std::int64_t>& from) {
  for (std::size_t k = 0; k < from.size(); ++k) to[k] += from[k];
}

// The parts in row order: the first PAIRS matches of the whole scan are
// among the parts' first PAIRS.
PairScan merge(std::vector<PartScan>& parts, const ScanSettings& settings, int n) {
  PairScan out;
  out.mismatches = std::move(parts.front().mismatches);
  LevelCounts counts = parts.front().counts;
  out.pairs = std::move(parts.front().pairs);
  out.matches_beyond_kept = parts.front().beyond_kept;
  for (std::size_t p = 1; p < parts.size(); ++p) {
    PartScan& part = parts[p];
    for (std::size_t z = 0; z <= std::size_t(LEVELS); ++z) {
      counts.match_from[z] += part.counts.match_from[z];
      counts.detect_from[z] += part.counts.detect_from[z];
    }
    add_counts(out.mismatches.comparable, part.mismatches.comparable);
    add_counts(out.mismatches.mismatching, part.mismatches.mismatching);
    const std::size_t room = std::size_t(PAIRS) - std::min(out.pairs.size(), std::size_t(PAIRS));
    const std::size_t taken = std::min(room, part.pairs.size());
    out.pairs.insert(out.pairs.end(), part.pairs.begin(), part.pairs.begin() + taken);
    out.matches_beyond_kept += std::int64_t(part.pairs.size() - taken) + part.beyond_kept;
  }
  std::int64_t M = 0, S = 0;
  for (std::size_t z = 0; z < std::size_t(LEVELS); ++z) {
    M += counts.match_from[z];
    S += counts.detect_from[z];
    out.levels[z] = estimate_level(double(M), double(S), double(n), settings.false_positives[z]);
  }
  std::stable_sort(out.pairs.begin(), out.pairs.end(),
                   [](const MatchPair& a, const MatchPair& b) { return a.llr > b.llr; });
  return out;
}

// Row bounds of parts holding about equal numbers of pairs.
std::vector<int> split_rows(int n, int parts) {
  std::vector<int> bounds{1};
  const double total = double(n) * (n - 1) / 2;
  double done = 0;
  for (int i = 1; i + 1 < n; ++i) {
    done += i;
    if (done >= total * double(bounds.size()) / parts) bounds.push_back(i + 1);
  }
  bounds.push_back(n);
  return bounds;
}

// Every sample's loci of the table as mask words, word by word
// (bits[w * n + s]).
struct MaskWords {
  int words = 1;
  int n = 0;
  std::vector<std::uint64_t> bits;
  explicit MaskWords(const GenotypeTable& table)
      : words(std::max(1, (table.loci() + LociMask::WORD - 1) / LociMask::WORD)), n(table.size()) {
    const LociMask all = all_loci(table.loci());
    bits.assign(std::size_t(words) * std::size_t(n), 0);
    for (int s = 0; s < n; ++s) {
      const LociMask m = table.samples[std::size_t(s)].loci & all;
      for (int w = 0; w < words; ++w)
        bits[std::size_t(w) * std::size_t(n) + std::size_t(s)] = m.word(w);
    }
  }
};

// Retypings of the self-comparisons of rows first..end-1: four per locus a
// pair shares (two copies of each of its samples).
std::uint64_t retypings(const MaskWords& masks, int first, int end) {
  std::uint64_t loci = 0;
  for (int w = 0; w < masks.words; ++w) {
    const std::uint64_t* word = masks.bits.data() + std::size_t(w) * std::size_t(masks.n);
    for (int i = first; i < end; ++i) loci += detail::shared_loci(word, i, word[i]);
  }
  return 4 * loci;
}

// Each part scans its rows with its own generator, placed where the whole
// scan would have reached at its first row: the parts take turns at passing
// over their draws on the run's generator, then scan at the same time.
PairScan scan_in_parts(const PairScorer& scorer, const ScanSettings& settings, Rng& rng) {
  const GenotypeTable& table = scorer.table();
  const int n = table.size();
  const std::vector<int> bounds = split_rows(n, settings.threads * 8);
  const int count = int(bounds.size()) - 1;
  std::vector<PartScan> parts(std::size_t(std::max(count, 1)));
  const MaskWords masks(table);
  const std::uint64_t bound = retype_bound(settings.retype_error);
  std::mutex mutex;
  std::condition_variable turn_changed;
  int turn = 0;
  (void)detail::parallel_for(settings.threads, count, [&](int, int p) {
    const int first = bounds[std::size_t(p)], end = bounds[std::size_t(p) + 1];
    const std::uint64_t draws = retypings(masks, first, end);
    auto own = std::make_unique<Rng>();
    {
      std::unique_lock<std::mutex> lock(mutex);
      turn_changed.wait(lock, [&] { return turn == p; });
      *own = rng;
      rng.skip_retypings(draws, bound);
      ++turn;
    }
    turn_changed.notify_all();
    RowScanner(scorer, settings, *own, parts[std::size_t(p)]).rows(first, end);
  });
  return merge(parts, settings, n);
}

}  // namespace

PairScan scan_pairs(const PairScorer& scorer, const ScanSettings& settings, Rng& rng) {
  if (settings.threads > 1 && scorer.table().size() > 2)
    return scan_in_parts(scorer, settings, rng);
  std::vector<PartScan> whole(1);
  RowScanner(scorer, settings, rng, whole.front()).rows(1, scorer.table().size());
  return merge(whole, settings, scorer.table().size());
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
