// The standard errors by simulation: data sets holding the planned
// recaptures are simulated and scanned like the reference data; the spread of
// their estimates, less the spread of rounding the plan to whole recaptures,
// gives the standard error at every level.
#include "tarvo/standard_errors.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/recaptures.h"
#include "tarvo/patterns.h"
#include "tarvo/scorer.h"

namespace tarvo {

namespace {

// The best level's standard error is below this bound; when none is, level 0
// stands.
constexpr double LARGEST_BEST_SE = 999999.0;

double pairs_of(double n) {
  return n * (n - 1) / 2;
}

// The recaptures of a cell corrected for false positives and false
// negatives, from its effective size and its size.
double corrected_matches(double m, double V, double effective, double size) {
  const double w = std::max(m, std::min(effective, size));
  const double h = 1 - (m - V) / w;
  // More false positives than matches: no recaptures.
  return h > 1 ? 0 : expected_recaptures(h, w, size);
}

// The data set of the runs: the reference's loci and populations; genotypes
// and masks are filled by every run.
GenotypeTable make_set(const GenotypeTable& reference) {
  GenotypeTable set(reference.loci(), reference.size());
  set.locus_names = reference.locus_names;
  set.populations = reference.populations;
  for (int i = 0; i < reference.size(); ++i) {
    set.sample(i).population = reference.sample(i).population;
    set.sample(i).loci = reference.sample(i).loci;
  }
  return set;
}

void resample(GenotypeTable& set, MaskResampling how, std::span<const LociMask> reference,
              Rng& rng) {
  std::vector<LociMask> masks;
  if (how == MaskResampling::AllSamples)
    masks = resample_masks(set.size(), reference, rng);
  else if (how == MaskResampling::OwnPopulation)
    masks = resample_masks_by_population(set, reference, rng);
  else
    return;
  for (int i = 0; i < set.size(); ++i) set.sample(i).loci = masks[i];
}

void resample(GenotypeTable& set, MaskResampling how, std::span<const LociMask> reference,
              const KeyedDraws& draws) {
  std::vector<LociMask> masks;
  if (how == MaskResampling::AllSamples)
    masks = resample_masks(set.size(), reference, draws, DrawStage::ErrorMasks);
  else if (how == MaskResampling::OwnPopulation)
    masks = resample_masks_by_population(set, reference, draws, DrawStage::ErrorMasks);
  else
    return;
  for (int i = 0; i < set.size(); ++i) set.sample(i).loci = masks[std::size_t(i)];
}

// One run's set: from the run's generator, or from the run's keyed streams.
bool simulate_run(GenotypeTable& set, RecapturePlan& plan, int rows,
                  const StandardErrorSettings& settings, std::span<const LociMask> masks,
                  const FrequencyTable& freqs, Rng& rng, const StandardErrorObserver& observer,
                  int run) {
  if (!settings.fast) {
    resample(set, settings.masks, masks, rng);
    return simulate_with_recaptures(set, plan, rows, settings.copying, freqs, rng, observer.on_row);
  }
  const KeyedDraws draws{settings.seed, std::uint32_t(run), std::uint32_t(settings.pass),
                         settings.threads};
  resample(set, settings.masks, masks, draws);
  return simulate_with_recaptures(set, plan, rows, settings.copying, freqs, draws, observer.on_row);
}

struct SetAtLevel {
  const PairScorer& scorer;
  double V = 0;          // false positives of the level
  double threshold = 0;  // LLR threshold of the level
  double E = 0;          // effective size of the whole set at the level
  double retype_error = 0;
};

// The cells of one run, added to the sums.
void add_cell_sums(StandardErrors& out, const SetAtLevel& level, std::span<const MatchPair> pairs,
                   Rng& rng) {
  if (pairs.size() <= 1) return;
  const GenotypeTable& set = level.scorer.table();
  const double N = set.size();
  const double W = pairs_of(N) - pairs_of(level.E);
  for (const CellCount& count : count_cells(pairs, level.threshold)) {
    const double m = count.matches;
    const double Nu = set.populations[count.cell.later].size();
    const EffectiveSize e =
        effective_size(level.scorer, count.cell, level.threshold, level.retype_error, rng);
    double size = 0, n12 = 0, V12 = 0;
    if (count.cell.later == count.cell.earlier) {
      size = std::max<double>(m, std::min(e.size, Nu));
      V12 = cell_false_positives(level.V, pairs_of(Nu), e.detectable, W, N);
      n12 = Nu;
    } else {
      const double Nt = set.populations[count.cell.earlier].size();
      n12 = std::sqrt(Nu * Nt);
      size = e.size;
      V12 = W > 1 ? level.V * (Nu * Nt - e.detectable) / W : level.V * Nu * Nt / pairs_of(N);
    }
    const double R12 = corrected_matches(m, V12, size, n12);
    CellSums& sums =
        out.cells[std::size_t(count.cell.later) * out.populations + count.cell.earlier];
    sums.runs += 1;
    sums.size += n12;
    sums.effective += size;
    sums.false_positives += V12;
    sums.matches += m;
    sums.recaptures += R12;
    sums.recaptures_sq += R12 * R12;
  }
}

void add_level_sums(LevelSums& sums, const PairScan& scan) {
  for (int z = 0; z < LEVELS; ++z) {
    const LevelEstimate& e = scan.levels[z];
    sums.matches.add(z, e.matches);
    sums.net.add(z, e.net);
    sums.effective.add(z, e.effective);
    sums.recaptures.add(z, e.recaptures);
    sums.percent.add(z, e.percent);
  }
}

// The standard error of every level and the level with the smallest.
void finish(StandardErrors& out, const StandardErrorSettings& settings) {
  // Rounding each plan row to whole pairs adds a binomial spread of its own,
  // which is taken out of the spread of the total.
  for (int p = 0; p < out.populations; ++p)
    for (int q = 0; q < out.populations; ++q) {
      const CellSums& c = out.cell(PopulationPair{p, q});
      if (c.matches > TINY)
        out.rounding_variance +=
            cell_standard_error(out.plan, settings.plan_rows, settings.runs, PopulationPair{p, q},
                                c.recaptures, c.recaptures_sq)
                .rounding;
    }
  double smallest = LARGEST_BEST_SE;
  const MomentSums& r = out.sums.recaptures;
  for (int k = 0; k < LEVELS; ++k) {
    const double sd = std_dev(settings.runs, r.sum[k], r.sumsq[k]);
    const double v = sd * sd - out.rounding_variance;
    out.se[k] = v >= 0 ? std::sqrt(v) : std::numeric_limits<double>::quiet_NaN();
    if (out.se[k] < smallest) {
      smallest = out.se[k];
      out.best = k;
    }
  }
}

}  // namespace

double std_dev(int n, double sum, double sumsq) {
  if (n <= 2) return 0;
  const double v = (sumsq - sum * sum / n) / (n - 1);
  return v > 0 ? std::sqrt(v) : 0;
}

CellError cell_standard_error(const RecapturePlan& plan, int rows, int runs, PopulationPair cell,
                              double sum, double sumsq) {
  const int s = runs;
  const int used = std::min(rows, static_cast<int>(plan.size()));
  double g = 0;
  for (int m = 0; m < used; ++m)
    if (plan[m].cell == cell) g = static_cast<double>(plan[m].rounded_up) / s;
  // A single run has no spread, and (s - 1) would divide by zero.
  const double h = s > 1 ? s * g * (1 - g) / (s - 1) : 0;
  if (s <= 1) return CellError{0, h};
  const double sd = std_dev(s, sum, sumsq);
  if (!(g > TINY)) return CellError{sd, h};
  const double v = sd * sd - h;
  return CellError{v > 0 ? std::sqrt(v) : 0, h};
}

StandardErrors simulate_standard_errors(const GenotypeTable& reference, const FrequencyTable& freqs,
                                        const Calibration& calibration, const RecapturePlan& plan,
                                        const StandardErrorSettings& settings, Rng& rng,
                                        const StandardErrorObserver& observer) {
  StandardErrors out;
  out.plan = plan;
  out.populations = static_cast<int>(reference.populations.size());
  out.cells.assign(std::size_t(out.populations) * out.populations, CellSums{});
  int rows = settings.plan_rows;
  if (settings.simulation_model) {
    // All recaptures go through one row; its round-up count carries on from
    // whatever the plan held.
    if (out.plan.empty()) out.plan.resize(1);
    out.plan[0].cell = PopulationPair{0, settings.second_population != 0 ? 1 : 0};
    out.plan[0].recaptures = settings.total;
    rows = 1;
  }
  const std::vector<LociMask> masks = reference.masks();
  GenotypeTable set = make_set(reference);
  ScanSettings scan_settings;
  scan_settings.false_positives = calibration.false_positives;
  scan_settings.thresholds = calibration.thresholds;
  scan_settings.retype_error = settings.retype_error;
  scan_settings.threads = settings.threads;
  scan_settings.fast = settings.fast;
  const int z = settings.level;

  for (int r = 0; r < settings.runs; ++r) {
    if (observer.on_run) observer.on_run(r);
    const bool planted =
        simulate_run(set, out.plan, rows, settings, masks, freqs, rng, observer, r);
    const PairScorer scorer(set, freqs, settings.score_error, settings.threads);
    scan_settings.key = StreamKey{settings.seed, DrawStage::ErrorScan, std::uint32_t(r),
                                  std::uint32_t(settings.pass)};
    const PairScan scan = scan_pairs(scorer, scan_settings, rng);
    if (scan.pairs_full() && observer.on_pairs_full) observer.on_pairs_full();
    add_level_sums(out.sums, scan);
    if (settings.by_population && !scan.pairs.empty()) {
      const SetAtLevel run{scorer, calibration.false_positives[z], calibration.thresholds[z],
                           scan.levels[z].effective, settings.retype_error};
      add_cell_sums(out, run, scan.pairs, rng);
    }
    if (!planted) break;
  }
  finish(out, settings);
  return out;
}

}  // namespace tarvo
