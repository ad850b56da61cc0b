// The false-positive calibration: data sets of unrelated individuals are
// simulated with the reference's frequencies and missing loci, the 50 highest
// pair scores of each are pooled, and the pooled list gives the LLR threshold
// of every level and the false positives expected above any score.
#pragma once

#include <functional>
#include <vector>

#include "tarvo/frequencies.h"
#include "tarvo/genotypes.h"
#include "tarvo/rng.h"
#include "tarvo/scan.h"

namespace tarvo {

// The calibration of 1,000 sets has a level below the others (V = 0.001):
// its levels are numbered from 0 for the user, those of any other count
// from 1.
inline constexpr int SETS_COUNTING_FROM_ZERO = 1000;
[[nodiscard]] constexpr int shown_level(int level, int sets) {
  return sets == SETS_COUNTING_FROM_ZERO ? level : level + 1;
}

// What false_positives_above() gives when no calibration score lies above.
inline constexpr double NO_FALSE_POSITIVE_COUNT = 999999;

// V of the 50 levels; with 1000 sets the ladder starts at 0.001.
[[nodiscard]] LevelTable false_positive_ladder(int nsets);

struct CalibrationSettings {
  int sets = 200;
  double error = 0.01;
  // Masks of the simulated samples: resampled from the reference samples, or
  // drawn with score_percent.
  bool resample_reference_masks = true;
  int score_percent = 100;
  int threads = 1;  // the results never depend on it
  // The fast mode: each set's samples drawn from streams keyed by seed, set
  // and sample, on every thread; the generator passed is left untouched.
  bool fast = false;
  std::uint32_t seed = 0;
};

struct Calibration {
  int sets = 0;
  LevelTable false_positives{};  // V
  LevelTable thresholds{};       // LLR threshold per level
  std::vector<double> pooled;    // top scores of all sets, highest first
  // Expected false positives among the pairs scoring at least llr per data
  // set; 999999 below every pooled score.
  [[nodiscard]] double false_positives_above(double llr) const;
};

// on_set is called before each set is simulated.
[[nodiscard]] Calibration calibrate(const GenotypeTable& reference, const FrequencyTable& freqs,
                                    const CalibrationSettings& settings, Rng& rng,
                                    const std::function<void()>& on_set = {});

}  // namespace tarvo
