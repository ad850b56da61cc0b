// The scan over all pairs of a data set, the level estimator and the
// per-pair comparisons of the reports.
#include "tarvo/scan.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <type_traits>

#include "core/gap_walk.h"
#include "core/kernels.h"
#include "core/output_stream.h"
#include "core/parallel.h"
#include "core/recaptures.h"
#include "core/retyping_walk.h"
#include "core/row_block.h"
#include "core/scan_detail.h"

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
  e.recaptures = h <= 0 ? 0 : expected_recaptures(h, e.effective, N);
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

// The levels of a score from the product it is the log of, without the log
// where the bounds settle them.
class ProductLevels {
 public:
  explicit ProductLevels(const LevelTable& cut)
      : cut_(cut),
        bounds_(*std::min_element(cut.begin(), cut.end()),
                *std::max_element(cut.begin(), cut.end())) {}
  // rank_in_descending of the score.
  [[nodiscard]] int rank(double product) const {
    if (bounds_.surely_above(product)) return 0;
    if (bounds_.surely_at_most(product)) return -1;
    return rank_in_descending(cut_, PairScorer::score_of_product(product));
  }
  // first_level_below of the score.
  [[nodiscard]] int first_exceeded(double product) const {
    if (bounds_.surely_above(product)) return 0;
    if (bounds_.surely_at_most(product)) return LEVELS;
    return first_level_below(cut_, PairScorer::score_of_product(product));
  }

 private:
  const LevelTable& cut_;
  detail::ProductBounds bounds_;
};

// The scan over blocks of retyping draws, row by row: from the sequential
// stream (RetypingWalk) or from each row's keyed stream (GapWalk).
template <typename Draws>
class BlockScanner {
 public:
  BlockScanner(const PairScorer& scorer, const ScanSettings& settings, Draws& draws, PartScan& out,
               const detail::SelfBounds& bounds = {})
      : table_(scorer.table()),
        settings_(settings),
        levels_(settings.thresholds),
        draws_(draws),
        block_(scorer),
        bounds_(bounds),
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
    if constexpr (std::is_same_v<Draws, detail::GapWalk>) {
      draws_.start_row(settings_.key, i);
      block_.walk_keyed(draws_, i, 0, i, bounds_);
    } else {
      block_.walk_with(draws_, i, 0, i);
    }
    for (int j = 0; j < i; ++j) {
      if (block_.shared(j) == 0) continue;
      if (settings_.count_mismatches) {
        const LocusComparison c = compare_loci(table_, i, j);
        out_.mismatches.comparable[std::size_t(c.compared)] += 1;
        out_.mismatches.mismatching[std::size_t(c.mismatching)] += 1;
      }
      const int k = levels_.rank(block_.pair(j));
      if (k >= 0) match(i, j, k);
      out_.counts.detect_from[std::size_t(levels_.first_exceeded(block_.later_self(j)))] += 1;
      out_.counts.detect_from[std::size_t(levels_.first_exceeded(block_.earlier_self(j)))] += 1;
    }
  }

  void match(int i, int j, int k) {
    out_.counts.match_from[std::size_t(k)] += 1;
    if (out_.pairs.size() >= std::size_t(PAIRS)) {
      out_.beyond_kept += 1;
      return;
    }
    const Sample& si = table_.sample(i);
    const Sample& sj = table_.sample(j);
    out_.pairs.push_back(MatchPair{i, j, si.population, sj.population,
                                   PairScorer::score_of_product(block_.pair(j)),
                                   sj.loci & si.loci});
  }

  const GenotypeTable& table_;
  const ScanSettings& settings_;
  const ProductLevels levels_;
  Draws& draws_;
  detail::RowBlock block_;
  const detail::SelfBounds& bounds_;
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

// Per sample: the least factor an error can leave over the largest of the
// sample's error-free factors.
std::vector<double> retyping_ratios(const PairScorer& scorer) {
  const GenotypeTable& table = scorer.table();
  const double smallest = scorer.smallest_retyped_factor();
  std::vector<double> out(std::size_t(table.size()), 0);
  if (!(smallest > 0)) return out;
  for (int s = 0; s < table.size(); ++s) {
    double largest = 0;
    table.sample(s).loci.for_each(table.loci(), [&](int k) {
      double clear = 0;
      if (scorer.retyped_factor(s, k, nullptr, 0, clear)) largest = std::max(largest, clear);
    });
    out[std::size_t(s)] = largest > 0 ? std::min(1.0, smallest / largest) : 0;
  }
  return out;
}

PairScan scan_pairs_keyed(const PairScorer& scorer, const ScanSettings& settings) {
  const int n = scorer.table().size();
  const std::vector<int> starts = balanced_rows(n, settings.threads);
  const int parts = int(starts.size()) - 1;
  std::vector<PartScan> whole(std::size_t(std::max(parts, 1)));
  // One walk and one row block per worker, made by the worker itself.
  struct Worker {
    std::unique_ptr<GapWalk> walk;
  };
  std::vector<Worker> workers(std::size_t(std::max(1, settings.threads)));
  const std::vector<double> ratio = retyping_ratios(scorer);
  SelfBounds bounds;
  bounds.ratio = ratio.data();
  const double highest = *std::max_element(settings.thresholds.begin(), settings.thresholds.end());
  // Products from the floor up have a score above FLOOR_LLR.
  if (std::isfinite(highest))
    bounds.above = std::max(std::exp(highest) * (1 + 1e-6), PRODUCT_FLOOR);
  (void)parallel_for(settings.threads, parts, [&](int worker, int part) {
    Worker& w = workers[std::size_t(worker)];
    if (!w.walk) w.walk = std::make_unique<GapWalk>(settings.retype_error, scorer.table().loci());
    BlockScanner<GapWalk>(scorer, settings, *w.walk, whole[std::size_t(part)], bounds)
        .rows(starts[std::size_t(part)], starts[std::size_t(part) + 1]);
  });
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
