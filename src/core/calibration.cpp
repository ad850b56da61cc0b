// The ladder of false-positive levels and the LLR threshold of each level,
// read off the pooled top scores of data sets of unrelated individuals.
#include "tarvo/calibration.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

#include "core/kernels.h"
#include "core/parallel.h"
#include "tarvo/patterns.h"
#include "tarvo/scorer.h"
#include "tarvo/simulation.h"

namespace tarvo {

namespace {

// V of each level with the usual numbers of simulated sets.
double ladder(int index) {
  static constexpr double first[8] = {0.01, 0.05, 0.125, 0.25, 0.5, 0.75, 1.0, 1.25};
  if (index < 8) return first[index];
  return (index - 5) * 0.5;
}

// The LEVELS highest scores offered to one worker, as a multiset: lists of
// several workers merge into the list of all their offers.
class TopScores {
 public:
  TopScores() { scores_.fill(FLOOR_LLR); }

  // Offers the products of row i against samples first..first+count-1;
  // pairs sharing no locus are not offered. Products that surely give a score
  // at or below the smallest held are passed over without taking their log.
  // (Once a list is full its rows go by the bound sums, where there are any.)
  void offer_row(const double* products, int count, const LociMask* masks, const LociMask& mi) {
    for (int j = 0; j < count; ++j) {
      if (!intersects(masks[j], mi)) continue;
      if (held_ == LEVELS && products[j] < floor_product_) continue;
      offer(PairScorer::score_of_product(products[j]));
    }
  }

  // The same for the pairs of row i the bound sums leave: positions into
  // masks of samples first + j, sums[j] >= reach(...).
  void offer_found(const PairScorer& scorer, int i, int first, const int* found, int count,
                   const LociMask* masks, const LociMask& mi) {
    for (int f = 0; f < count; ++f) {
      const int j = found[f];
      if (!intersects(masks[j], mi)) continue;
      const double product = scorer.pair_product(i, first + j);
      if (product < floor_product_) continue;
      offer(PairScorer::score_of_product(product));
    }
  }
  [[nodiscard]] bool full() const { return held_ == LEVELS; }
  // The least bound sum of a pair that can enter a full list.
  [[nodiscard]] std::int32_t reach(const PairScorer& scorer) const {
    return scorer.bound_reach(scores_[LEVELS - 1]);
  }

  // The highest LEVELS of all the lists' scores, highest first; entries
  // never filled hold the floor score.
  [[nodiscard]] static LevelTable merge(const std::vector<TopScores>& lists) {
    std::vector<double> all;
    for (const TopScores& t : lists)
      all.insert(all.end(), t.scores_.begin(), t.scores_.begin() + t.held_);
    std::sort(all.begin(), all.end(), std::greater<double>());
    LevelTable out;
    out.fill(FLOOR_LLR);
    std::copy_n(all.begin(), std::min<std::size_t>(all.size(), LEVELS), out.begin());
    return out;
  }

 private:
  void offer(double score) {
    if (held_ < LEVELS) {
      scores_[std::size_t(held_++)] = score;
      if (held_ == LEVELS) {
        std::sort(scores_.begin(), scores_.end(), std::greater<double>());
        update_floor_product();
      }
      return;
    }
    const int k = rank_in_descending(scores_, score);
    if (k >= 0) {
      for (int m = LEVELS - 1; m > k; --m) scores_[std::size_t(m)] = scores_[std::size_t(m) - 1];
      scores_[std::size_t(k)] = score;
      update_floor_product();
    }
  }

  // Products below this bound have a log clearly below the smallest score
  // held (the margin is far above the rounding of exp and log).
  void update_floor_product() { floor_product_ = std::exp(scores_[LEVELS - 1]) * (1 - 1e-9); }

  LevelTable scores_{};
  int held_ = 0;
  double floor_product_ = 0;
};

// A data set shaped like the reference: same loci, populations and samples.
GenotypeTable empty_like(const GenotypeTable& reference) {
  GenotypeTable set(reference.loci(), reference.size());
  set.locus_names = reference.locus_names;
  set.populations = reference.populations;
  for (int i = 0; i < reference.size(); ++i)
    set.sample(i).population = reference.sample(i).population;
  return set;
}

// Samples per block of columns: blocks small enough to stay in the first
// cache level and to give every worker several.
int block_width(int n, int threads) {
  constexpr int WIDEST = 256, NARROWEST = 32;
  const int width = n / std::max(1, threads * 8);
  return std::clamp(width - width % 8, NARROWEST, WIDEST);
}

// A simulated set with what scoring it needs.
struct SimulatedSet {
  GenotypeTable table;
  std::vector<LociMask> masks;
  std::unique_ptr<PairScorer> scorer;
};

struct SetSource {
  const GenotypeTable& reference;
  std::vector<LociMask> reference_masks;
  const FrequencyTable& freqs;
  const CalibrationSettings& settings;
  Rng& rng;

  // The fast mode's set s: every sample from streams of its own, drawn on
  // every thread.
  void simulate_keyed(SimulatedSet& set, int s) const {
    const int n = reference.size();
    const KeyedDraws draws{settings.seed, std::uint32_t(s), 0, settings.threads};
    set.masks = settings.resample_reference_masks
                    ? resample_masks(n, reference_masks, draws, DrawStage::CalibrationMasks)
                    : random_masks(n, reference.loci(), settings.score_percent, draws,
                                   DrawStage::CalibrationMasks);
    for (int i = 0; i < n; ++i) set.table.sample(i).loci = set.masks[std::size_t(i)];
    draw_unrelated(set.table, freqs, draws, DrawStage::CalibrationGenotypes);
    set.scorer = std::make_unique<PairScorer>(set.table, freqs, settings.error, settings.threads);
  }

  // The only user of the generator in a calibration.
  void simulate(SimulatedSet& set) const {
    const int n = reference.size();
    set.masks = settings.resample_reference_masks
                    ? resample_masks(n, reference_masks, rng)
                    : random_masks(n, reference.loci(), settings.score_percent, rng);
    (void)tally_patterns(set.masks);  // only refuses too many patterns
    for (int i = 0; i < n; ++i) set.table.sample(i).loci = set.masks[std::size_t(i)];
    (void)draw_unrelated(set.table, n, freqs, rng);
    set.scorer = std::make_unique<PairScorer>(set.table, freqs, settings.error);
  }
};

// Every pair of the set is offered: each worker takes whole blocks of
// earlier samples and scores every later sample against them. The first
// item, when given, is the next set's simulation, done meanwhile.
LevelTable top_scores(const SimulatedSet& set, int threads,
                      const std::function<void()>& meanwhile) {
  const int n = set.table.size();
  const int width = block_width(n, threads);
  const int blocks = (n + width - 1) / width;
  const int first_block = meanwhile ? 1 : 0;
  std::vector<TopScores> tops(std::size_t(std::max(1, std::min(threads, blocks + first_block))));
  struct Lanes {
    std::vector<double> products;
    std::vector<std::int32_t> sums;
    std::vector<int> found;
  };
  const auto w = std::size_t(width);
  std::vector<Lanes> work(tops.size(), Lanes{std::vector<double>(w), std::vector<std::int32_t>(w),
                                             std::vector<int>(w)});
  (void)detail::parallel_for(threads, blocks + first_block, [&](int worker, int item) {
    if (item < first_block) {
      meanwhile();
      return;
    }
    const int first = (item - first_block) * width;
    Lanes& lanes = work[std::size_t(worker)];
    TopScores& top = tops[std::size_t(worker)];
    for (int i = first + 1; i < n; ++i) {
      const int count = std::min(width, i - first);
      const std::int32_t reach = top.full() ? top.reach(*set.scorer) : PairScorer::NO_BOUND;
      if (reach != PairScorer::NO_BOUND) {
        // Most pairs fall short of the list: their bound sums tell, no product is taken.
        set.scorer->score_bounds(i, first, count, reach, lanes.sums.data());
        const int found =
            detail::positions_at_least(lanes.sums.data(), count, reach, lanes.found.data());
        top.offer_found(*set.scorer, i, first, lanes.found.data(), found, set.masks.data() + first,
                        set.masks[std::size_t(i)]);
        continue;
      }
      set.scorer->products(i, first, count, lanes.products.data());
      top.offer_row(lanes.products.data(), count, set.masks.data() + first,
                    set.masks[std::size_t(i)]);
    }
  });
  return TopScores::merge(tops);
}

// The sets drawn in turn from the generator: the next is simulated while
// this one is scored.
void pool_sequential(std::vector<double>& pooled, const SetSource& source,
                     const CalibrationSettings& settings, const std::function<void()>& on_set) {
  const GenotypeTable& reference = source.reference;
  std::array<SimulatedSet, 2> sets{SimulatedSet{empty_like(reference), {}, nullptr},
                                   SimulatedSet{empty_like(reference), {}, nullptr}};
  if (settings.sets > 0) {
    if (on_set) on_set();
    source.simulate(sets[0]);
  }
  for (int s = 0; s < settings.sets; ++s) {
    SimulatedSet& next = sets[std::size_t(s + 1) % 2];
    std::function<void()> meanwhile;
    if (s + 1 < settings.sets) {
      if (on_set) on_set();
      meanwhile = [&] { source.simulate(next); };
    }
    const LevelTable top = top_scores(sets[std::size_t(s) % 2], settings.threads, meanwhile);
    pooled.insert(pooled.end(), top.begin(), top.end());
  }
}

// The fast mode's sets, each drawn and scored on every thread.
void pool_keyed(std::vector<double>& pooled, const SetSource& source,
                const CalibrationSettings& settings, const std::function<void()>& on_set) {
  SimulatedSet set{empty_like(source.reference), {}, nullptr};
  for (int s = 0; s < settings.sets; ++s) {
    if (on_set) on_set();
    source.simulate_keyed(set, s);
    const LevelTable top = top_scores(set, settings.threads, {});
    pooled.insert(pooled.end(), top.begin(), top.end());
  }
}

}  // namespace

LevelTable false_positive_ladder(int nsets) {
  LevelTable V{};
  for (int k = 0; k < LEVELS; ++k) {
    if (nsets == SETS_COUNTING_FROM_ZERO)
      V[std::size_t(k)] = k == 0 ? 0.001 : ladder(k - 1);
    else
      V[std::size_t(k)] = ladder(k);
  }
  return V;
}

double Calibration::false_positives_above(double llr) const {
  if (pooled.empty()) return NO_FALSE_POSITIVE_COUNT;
  const int k = rank_in_descending(pooled, llr);
  if (k == -1) return NO_FALSE_POSITIVE_COUNT;
  return double(k) / sets;
}

Calibration calibrate(const GenotypeTable& reference, const FrequencyTable& freqs,
                      const CalibrationSettings& settings, Rng& rng,
                      const std::function<void()>& on_set) {
  Calibration out;
  out.sets = settings.sets;
  out.false_positives = false_positive_ladder(settings.sets);
  const SetSource source{reference, reference.masks(), freqs, settings, rng};
  out.pooled.reserve(std::size_t(std::max(settings.sets, 0)) * LEVELS);
  if (settings.fast)
    pool_keyed(out.pooled, source, settings, on_set);
  else
    pool_sequential(out.pooled, source, settings, on_set);
  std::sort(out.pooled.begin(), out.pooled.end(), std::greater<double>());
  if (out.pooled.empty()) return out;
  for (std::size_t k = 0; k < std::size_t(LEVELS); ++k) {
    const auto index = std::size_t(static_cast<int>(settings.sets * out.false_positives[k]));
    out.thresholds[k] = out.pooled[index];
  }
  return out;
}

}  // namespace tarvo
