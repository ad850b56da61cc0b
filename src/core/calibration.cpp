// The ladder of false-positive levels and the LLR threshold of each level,
// read off the pooled top scores of data sets of unrelated individuals.
#include "tarvo/calibration.h"

#include <algorithm>
#include <cmath>

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

bool higher(double a, double b) {
  return a - b > 0;
}

// The LEVELS highest scores of one set. Entries a small set never fills hold
// the floor score.
class TopScores {
 public:
  TopScores() { scores_.fill(FLOOR_LLR); }

  // Products that surely give a score at or below the smallest held are
  // counted without taking their log.
  void offer_product(double product) {
    if (offered_ >= LEVELS && product < floor_product_) {
      ++offered_;
      return;
    }
    offer(PairScorer::score_of_product(product));
  }

  [[nodiscard]] const LevelTable& finish() {
    if (offered_ < LEVELS) std::stable_sort(scores_.begin(), scores_.end(), higher);
    return scores_;
  }

 private:
  void offer(double score) {
    if (offered_ < LEVELS) {
      scores_[std::size_t(offered_++)] = score;
      if (offered_ == LEVELS) {
        std::stable_sort(scores_.begin(), scores_.end(), higher);
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
    ++offered_;
  }

  // Products below this bound have a log clearly below the smallest score
  // held (the margin is far above the rounding of exp and log).
  void update_floor_product() { floor_product_ = std::exp(scores_[LEVELS - 1]) * (1 - 1e-9); }

  LevelTable scores_{};
  int offered_ = 0;
  double floor_product_ = 0;
};

// A data set shaped like the reference: same loci, populations and samples.
GenotypeTable empty_like(const GenotypeTable& reference) {
  GenotypeTable set(reference.loci(), reference.size());
  set.locus_names = reference.locus_names;
  set.populations = reference.populations;
  for (int i = 0; i < reference.size(); ++i)
    set.samples[std::size_t(i)].population = reference.samples[std::size_t(i)].population;
  return set;
}

LevelTable top_scores(const GenotypeTable& set, const FrequencyTable& freqs, double error,
                      std::vector<double>& products) {
  const PairScorer scorer(set, freqs, error);
  TopScores top;
  for (int i = 1; i < set.size(); ++i) {
    scorer.products_row(i, products.data());
    const LociMask& mi = set.samples[std::size_t(i)].loci;
    for (int j = 0; j < i; ++j)
      if (intersects(set.samples[std::size_t(j)].loci, mi))
        top.offer_product(products[std::size_t(j)]);
  }
  return top.finish();
}

}  // namespace

LevelTable false_positive_ladder(int nsets) {
  LevelTable V{};
  for (int k = 0; k < LEVELS; ++k) {
    if (nsets == 1000)
      V[std::size_t(k)] = k == 0 ? 0.001 : ladder(k - 1);
    else
      V[std::size_t(k)] = ladder(k);
  }
  return V;
}

double Calibration::false_positives_above(double llr) const {
  if (pooled.empty()) return 999999;
  const int k = rank_in_descending(pooled, llr);
  if (k == -1) return 999999;
  return double(k) / sets;
}

Calibration calibrate(const GenotypeTable& reference, const FrequencyTable& freqs,
                      const CalibrationSettings& settings, Rng& rng,
                      const std::function<void()>& on_set) {
  Calibration out;
  out.sets = settings.sets;
  out.false_positives = false_positive_ladder(settings.sets);
  const int n = reference.size();
  const std::vector<LociMask> reference_masks = reference.masks();
  GenotypeTable set = empty_like(reference);
  std::vector<double> products(std::size_t(std::max(n, 1)));
  out.pooled.reserve(std::size_t(std::max(settings.sets, 0)) * LEVELS);
  for (int s = 0; s < settings.sets; ++s) {
    if (on_set) on_set();
    const std::vector<LociMask> masks =
        settings.resample_reference_masks
            ? resample_masks(n, reference_masks, rng)
            : random_masks(n, reference.loci(), settings.score_percent, rng);
    (void)tally_patterns(masks);  // only refuses too many patterns
    for (int i = 0; i < n; ++i) set.samples[std::size_t(i)].loci = masks[std::size_t(i)];
    (void)draw_unrelated(set, n, freqs, rng);
    const LevelTable top = top_scores(set, freqs, settings.error, products);
    out.pooled.insert(out.pooled.end(), top.begin(), top.end());
  }
  std::sort(out.pooled.begin(), out.pooled.end(), std::greater<double>());
  if (out.pooled.empty()) return out;
  for (std::size_t k = 0; k < std::size_t(LEVELS); ++k) {
    const auto index = std::size_t(static_cast<int>(settings.sets * out.false_positives[k]));
    out.thresholds[k] = out.pooled[index];
  }
  return out;
}

}  // namespace tarvo
