// The standard errors by simulation: data sets holding the planned
// recaptures are simulated and scanned like the reference data, and the
// spread of their estimates gives the standard error at every level.
#pragma once

#include <functional>
#include <vector>

#include "tarvo/calibration.h"
#include "tarvo/cells.h"
#include "tarvo/frequencies.h"
#include "tarvo/genotypes.h"
#include "tarvo/scan.h"
#include "tarvo/simulation.h"

namespace tarvo {

// Running sums and sums of squares per level.
struct MomentSums {
  LevelTable sum{};
  LevelTable sumsq{};
  void add(int level, double x) {
    sum[level] += x;
    sumsq[level] += x * x;
  }
};

struct LevelSums {
  MomentSums matches, net, effective, recaptures, percent;
};

// Sums over the runs of one cell.
struct CellSums {
  int runs = 0;  // runs in which the cell had matches
  double size = 0;
  double effective = 0;
  double false_positives = 0;
  double matches = 0;
  double recaptures = 0;
  double recaptures_sq = 0;
};

enum class MaskResampling { Own = 0, AllSamples = 1, OwnPopulation = 2 };

struct StandardErrorSettings {
  int runs = 100;
  MaskResampling masks = MaskResampling::AllSamples;
  int level = 0;                  // z
  int plan_rows = 0;              // rows of the plan in use
  double total = 0;               // total recaptures of the plan
  bool simulation_model = false;  // models 3-6 plant all recaptures through one row
  int second_population = 0;      // -H
  bool by_population = false;     // more than one population
  double score_error = 0.01;      // e of the pair scores
  double retype_error = 0.01;     // E of the self-comparisons
  RecaptureSettings copying;
  int threads = 1;  // the results never depend on it
  // The fast mode: the runs draw from streams keyed by seed, pass (the
  // convergence iteration), run and row, and the generator passed is used
  // only by what has no keyed stream.
  bool fast = false;
  std::uint32_t seed = 0;
  int pass = 0;
};

struct StandardErrors {
  // The plan as the runs used it, with how often each row was rounded up.
  RecapturePlan plan;
  LevelSums sums;
  std::vector<CellSums> cells;  // [later * populations + earlier]
  int populations = 0;
  LevelTable se{};  // NaN where the variance is negative
  int best = 0;     // level of the smallest se
  double rounding_variance = 0;
  [[nodiscard]] const CellSums& cell(PopulationPair c) const {
    return cells[std::size_t(c.later) * populations + c.earlier];
  }
};

struct StandardErrorObserver {
  std::function<void(int run)> on_run;            // before each run
  std::function<void(const PlantedRow&)> on_row;  // each plan row planted
  std::function<void()> on_pairs_full;            // a scan kept PAIRS pairs
};

[[nodiscard]] StandardErrors simulate_standard_errors(
    const GenotypeTable& reference, const FrequencyTable& freqs, const Calibration& calibration,
    const RecapturePlan& plan, const StandardErrorSettings& settings, Rng& rng,
    const StandardErrorObserver& observer = {});

// Standard deviation from running sums; 0 for fewer than three runs.
[[nodiscard]] double std_dev(int n, double sum, double sumsq);

// The standard error of a cell, less the binomial spread of rounding its plan
// row to whole recaptures (that spread is returned too).
struct CellError {
  double se = 0;
  double rounding = 0;
};
[[nodiscard]] CellError cell_standard_error(const RecapturePlan& plan, int rows, int runs,
                                            PopulationPair cell, double sum, double sumsq);

}  // namespace tarvo
