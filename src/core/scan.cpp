// The scan over all pairs of a data set, the level estimator and the
// per-pair comparisons of the reports.
#include "tarvo/scan.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/kernels.h"
#include "core/output_stream.h"
#include "core/parallel.h"
#include "core/recaptures.h"
#include "core/retyping_walk.h"
#include "core/row_block.h"
#include "core/scan_detail.h"

namespace tarvo {

using detail::first_level_below;

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
  e.recaptures = h <= 0 ? 0 : expected_recaptures(h, e.effective, N);
  e.percent = 100 * e.recaptures / (N - e.recaptures);
  return e;
}

namespace {

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

  // Pair i, j of table, of score llr, matches from level k on.
  void add_match(const GenotypeTable& table, int i, int j, int k, double llr) {
    counts.match_from[std::size_t(k)] += 1;
    if (pairs.size() >= std::size_t(PAIRS)) {
      beyond_kept += 1;
      return;
    }
    const Sample& si = table.sample(i);
    const Sample& sj = table.sample(j);
    pairs.push_back(MatchPair{i, j, si.population, sj.population, llr, sj.loci & si.loci});
  }
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
    const Sample& si = table_.sample(i);
    const Sample& sj = table_.sample(j);
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
    if (k >= 0) out_.add_match(table_, i, j, k, L);
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

// The scan over blocks of retyping draws from the sequential stream, row by
// row.
class BlockScanner {
 public:
  BlockScanner(const PairScorer& scorer, const ScanSettings& settings, detail::RetypingWalk& draws,
               PartScan& out)
      : table_(scorer.table()),
        settings_(settings),
        levels_(settings.thresholds),
        draws_(draws),
        block_(scorer),
        out_(out) {
    if (settings.count_mismatches) {
      out_.mismatches.comparable.assign(std::size_t(table_.loci()) + 1, 0);
      out_.mismatches.mismatching.assign(std::size_t(table_.loci()) + 1, 0);
    }
  }

  void rows(int first, int end) {
    for (int i = first; i < end; ++i) row(i);
  }

 private:
  void row(int i) {
    block_.walk_with(draws_, i, 0, i);
    for (int j = 0; j < i; ++j) {
      if (block_.shared(j) == 0) continue;
      if (settings_.count_mismatches) {
        const LocusComparison c = compare_loci(table_, i, j);
        out_.mismatches.comparable[std::size_t(c.compared)] += 1;
        out_.mismatches.mismatching[std::size_t(c.mismatching)] += 1;
      }
      const int k = levels_.rank(block_.pair(j));
      if (k >= 0) out_.add_match(table_, i, j, k, PairScorer::score_of_product(block_.pair(j)));
      out_.counts.detect_from[std::size_t(levels_.first_exceeded(block_.later_self(j)))] += 1;
      out_.counts.detect_from[std::size_t(levels_.first_exceeded(block_.earlier_self(j)))] += 1;
    }
  }

  const GenotypeTable& table_;
  const ScanSettings& settings_;
  const detail::ProductLevels levels_;
  detail::RetypingWalk& draws_;
  detail::RowBlock block_;
  PartScan& out_;
};

// The fast mode's matches. A pair's score needs no draw, and whole-number
// bounds on the logs of its factors, summed in vector lanes, pass over the
// pairs that cannot exceed the lowest threshold without taking their
// products; the rest have the products of the scan of every pair. The
// self-comparisons are counted apart (count_self_levels).
class BoundedScanner {
 public:
  BoundedScanner(const PairScorer& scorer, const ScanSettings& settings, std::int32_t reach,
                 PartScan& out)
      : scorer_(scorer),
        table_(scorer.table()),
        settings_(settings),
        levels_(settings.thresholds),
        reach_(reach),
        sums_(std::size_t(table_.size())),
        differing_(std::size_t(settings.count_mismatches ? table_.size() : 0)),
        found_(std::size_t(table_.size())),
        out_(out) {
    if (settings.count_mismatches) {
      out_.mismatches.comparable.assign(std::size_t(table_.loci()) + 1, 0);
      out_.mismatches.mismatching.assign(std::size_t(table_.loci()) + 1, 0);
    }
  }

  void rows(int first, int end) {
    for (int i = first; i < end; ++i) {
      if (settings_.count_mismatches) count_mismatches(i);
      row(i);
    }
  }

 private:
  void row(int i) {
    if (reach_ == PairScorer::NO_BOUND) {
      for (int j = 0; j < i; ++j) pair(i, j);
      return;
    }
    scorer_.score_bounds(i, 0, i, reach_, sums_.data());
    const int found = detail::positions_at_least(sums_.data(), i, reach_, found_.data());
    for (int f = 0; f < found; ++f) pair(i, found_[std::size_t(f)]);
  }

  void pair(int i, int j) {
    if (!intersects(table_.sample(i).loci, table_.sample(j).loci)) return;
    const double product = scorer_.pair_product(i, j);
    const int k = levels_.rank(product);
    if (k >= 0) out_.add_match(table_, i, j, k, PairScorer::score_of_product(product));
  }

  // compare_loci of every pair of the row, in vector lanes.
  void count_mismatches(int i) {
    scorer_.locus_counts(i, 0, i, sums_.data(), differing_.data());
    for (int j = 0; j < i; ++j) {
      const std::int32_t compared = sums_[std::size_t(j)];
      if (compared == 0) continue;
      out_.mismatches.comparable[std::size_t(compared)] += 1;
      out_.mismatches.mismatching[std::size_t(differing_[std::size_t(j)])] += 1;
    }
  }

  const PairScorer& scorer_;
  const GenotypeTable& table_;
  const ScanSettings& settings_;
  const detail::ProductLevels levels_;
  const std::int32_t reach_;
  std::vector<std::int32_t> sums_, differing_;
  std::vector<int> found_;
  PartScan& out_;
};

}  // namespace

namespace detail {

PairScan scan_pairs_one_by_one(const PairScorer& scorer, const ScanSettings& settings, Rng& rng) {
  std::vector<PartScan> whole(1);
  RowScanner(scorer, settings, rng, whole.front()).rows(1, scorer.table().size());
  return merge(whole, settings, scorer.table().size());
}

PairScan scan_pairs_in_blocks(const PairScorer& scorer, const ScanSettings& settings, Rng& rng,
                              int chunk_states) {
  const GenotypeTable& table = scorer.table();
  std::vector<PartScan> whole(1);
  OutputStream stream(rng, settings.threads > 1, pair_reach(table.loci()),
                      retype_bound(settings.retype_error), chunk_states);
  RetypingWalk walk(stream, table.loci());
  BlockScanner(scorer, settings, walk, whole.front()).rows(1, table.size());
  stream.finish(walk.position());
  return merge(whole, settings, table.size());
}

PairScan scan_pairs_keyed(const PairScorer& scorer, const ScanSettings& settings) {
  const int n = scorer.table().size();
  const std::vector<int> starts = balanced_rows(n, settings.threads);
  const int parts = int(starts.size()) - 1;
  std::vector<PartScan> whole(std::size_t(std::max(parts, 1)));
  const double lowest = *std::min_element(settings.thresholds.begin(), settings.thresholds.end());
  const std::int32_t reach = scorer.bound_reach(lowest);
  (void)parallel_for(settings.threads, parts, [&](int, int part) {
    BoundedScanner(scorer, settings, reach, whole[std::size_t(part)])
        .rows(starts[std::size_t(part)], starts[std::size_t(part) + 1]);
  });
  const SelfLevelCounts self = count_self_levels(scorer, settings);
  for (std::size_t z = 0; z <= std::size_t(LEVELS); ++z)
    whole.front().counts.detect_from[z] += self[z];
  return merge(whole, settings, n);
}

std::vector<int> balanced_rows(int n, int threads) {
  // Several parts per thread even out rows of unequal cost; parts hold
  // about equal numbers of pairs (row i holds i).
  constexpr int PARTS_PER_THREAD = 8;
  const int parts = std::clamp(threads * PARTS_PER_THREAD, 1, std::max(1, n - 1));
  std::vector<int> starts{1};
  const double pairs = 0.5 * double(n) * double(n - 1);
  for (int p = 1; p < parts; ++p) {
    const int row = int(std::sqrt(2.0 * pairs * p / parts)) + 1;
    if (row > starts.back() && row < n) starts.push_back(row);
  }
  starts.push_back(std::max(n, 1));
  return starts;
}

}  // namespace detail

PairScan scan_pairs(const PairScorer& scorer, const ScanSettings& settings, Rng& rng) {
  constexpr int CHUNK_STATES = 16;
  if (!scorer.alleles_known()) return detail::scan_pairs_one_by_one(scorer, settings, rng);
  if (settings.fast) return detail::scan_pairs_keyed(scorer, settings);
  return detail::scan_pairs_in_blocks(scorer, settings, rng, CHUNK_STATES);
}

LocusComparison compare_loci(const GenotypeTable& table, int i, int j) {
  LocusComparison out;
  const LociMask both = table.sample(i).loci & table.sample(j).loci;
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
  const LociMask both = table.sample(i).loci & table.sample(j).loci;
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
