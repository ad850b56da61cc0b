// The analysis sequence: loading, calibration, the reference scan, then one
// iteration per level until the level search settles.
#include "tarvo/analysis.h"

#include <algorithm>

#include "tarvo/scorer.h"

namespace tarvo {

namespace {

// A locus whose only value is the missing one leaves nothing to score.
bool every_locus_typed(const FrequencyTable& freqs) {
  return std::none_of(freqs.loci.begin(), freqs.loci.end(), [](const LocusFrequencies& locus) {
    return locus.size() == 1 && locus.alleles[0] == 0;
  });
}

// What the iterations share: the settings, the scorer of the reference data
// and the one generator every simulation draws from in turn.
struct Analysis {
  const AnalysisSettings& settings;
  AnalysisObserver& observer;
  Rng rng;
  AnalysisResult result;
  std::optional<PairScorer> scorer;
  // Of the last standard-error stage that ran: a level without matches runs
  // none and reports these, as the program always has.
  StandardErrors last_errors;
};

void calibrate_and_scan(Analysis& a, bool reference_masks) {
  const AnalysisSettings& s = a.settings;
  AnalysisResult& r = a.result;
  a.observer.calibrating();
  CalibrationSettings calibration;
  calibration.sets = s.sets;
  calibration.error = s.error;
  calibration.resample_reference_masks = reference_masks;
  calibration.score_percent = s.score_percent;
  calibration.threads = s.threads;
  calibration.fast = s.fast;
  calibration.seed = s.seed;
  r.calibration = calibrate(r.data.reference, r.data.frequencies, calibration, a.rng,
                            [&a] { a.observer.calibration_set(); });
  a.observer.calibrated(r);
  a.scorer.emplace(r.data.reference, r.data.frequencies, s.error);
  a.observer.scanning();
  ScanSettings scan;
  scan.false_positives = r.calibration.false_positives;
  scan.thresholds = r.calibration.thresholds;
  scan.retype_error = s.retype_error;
  scan.count_mismatches = true;
  scan.threads = s.threads;
  scan.fast = s.fast;
  scan.key = StreamKey{s.seed, DrawStage::ReferenceScan, 0, 0};
  r.scan = scan_pairs(*a.scorer, scan, a.rng);
  a.observer.scanned(r);
}

void estimate_cells(Analysis& a, LevelResult& level) {
  const AnalysisResult& r = a.result;
  const auto z = std::size_t(level.level);
  if (level.matches != 0) {
    CellSettings settings;
    settings.false_positives = r.calibration.false_positives[z];
    settings.threshold = r.calibration.thresholds[z];
    settings.retype_error = a.settings.retype_error;
    settings.effective_total = r.scan.levels[z].effective;
    settings.pooled = r.populations() <= 1;
    level.cells = tarvo::estimate_cells(*a.scorer, r.accepted(level), settings, a.rng);
  }
  level.plan_rows = static_cast<int>(level.cells.plan.size());
}

// How the copies of a standard-error set are placed: sources counted per
// population for read genotypes, frequencies given with read genotypes and a
// second simulated population.
RecaptureSettings copying(const AnalysisSettings& s, bool genotypes, bool frequencies) {
  const bool genotypes_only = genotypes && !frequencies;
  const bool read_with_frequencies = !s.simulated() && frequencies;
  const bool second = s.second_population != 0;
  RecaptureSettings c;
  c.counted_source = genotypes_only || read_with_frequencies || second;
  c.genotype_file_only = genotypes_only;
  c.guard_counted_source = second || read_with_frequencies;
  c.error = s.retype_error;
  return c;
}

StandardErrorSettings error_settings(const Analysis& a, const LevelResult& level,
                                     const RecaptureSettings& copies) {
  const AnalysisSettings& s = a.settings;
  StandardErrorSettings e;
  e.runs = s.runs;
  e.masks = s.mask_resampling;
  e.level = level.level;
  e.plan_rows = level.plan_rows;
  e.total = level.cells.total;
  e.simulation_model = s.simulated();
  e.second_population = s.second_population;
  e.by_population = a.result.populations() > 1;
  e.score_error = s.error;
  e.retype_error = s.retype_error;
  e.copying = copies;
  e.threads = s.threads;
  e.fast = s.fast;
  e.seed = s.seed;
  e.pass = level.iteration;  // each iteration its own streams
  return e;
}

// The standard errors at the level; returns the next level.
int simulate_errors(Analysis& a, LevelResult& level, const RecaptureSettings& copies) {
  AnalysisResult& r = a.result;
  a.observer.errors_stage(r, level);
  if (level.matches == 0) {
    level.errors = a.last_errors;
    return 0;
  }
  a.last_errors = StandardErrors{};
  if (level.plan_rows <= 0 && r.populations() > 1) {
    a.observer.no_planted_matches();
    return 0;
  }
  StandardErrorObserver progress;
  progress.on_run = [&a, &level](int run) { a.observer.error_run(level.iteration, run); };
  progress.on_row = [&a](const PlantedRow& row) { a.observer.planted(row); };
  progress.on_pairs_full = [&a] { a.observer.pairs_full(); };
  level.errors =
      simulate_standard_errors(r.data.reference, r.data.frequencies, r.calibration,
                               level.cells.plan, error_settings(a, level, copies), a.rng, progress);
  // The reports read the round-up counts of the plan the runs used.
  level.cells.plan = level.errors.plan;
  a.last_errors = level.errors;
  const auto z = std::size_t(level.level);
  r.search.record(level.level, level.errors.se[z],
                  level.errors.sums.recaptures.sum[z] / a.settings.runs);
  const LevelSearch::Step step = r.search.next_step(level.level, level.errors.best);
  a.observer.errors_simulated(r, level, step);
  return step.next;
}

// One iteration at level z; returns the level of the next one (z itself
// when the search has settled).
int iterate(Analysis& a, int z, int iteration, const RecaptureSettings& copies) {
  AnalysisResult& r = a.result;
  if (iteration > 0) a.observer.iteration_started(z, iteration);
  LevelResult level;
  level.level = z;
  level.iteration = iteration;
  level.matches = static_cast<int>(r.scan.levels[std::size_t(z)].matches);
  a.observer.estimating(z, level.matches);
  estimate_cells(a, level);
  a.observer.estimated(r, level);
  const int next = a.settings.iterations != 0 ? simulate_errors(a, level, copies) : 0;
  r.last_level = z;
  const LevelResult& kept = r.levels[z] = std::move(level);
  a.observer.iteration_finished(r, kept);
  return next;
}

// The iterations from the first level until the level repeats or the
// iterations run out.
void search_levels(Analysis& a, const RecaptureSettings& copies) {
  const int iterations = a.settings.iterations;
  int level = a.settings.level;
  int next = iterate(a, level, 0, copies);
  for (int iteration = 1; iteration < iterations && next != level; ++iteration) {
    level = next;
    next = iterate(a, level, iteration, copies);
  }
  AnalysisResult& r = a.result;
  if (iterations != 0) r.outcome = next == level ? SearchOutcome::Converged : SearchOutcome::RanOut;
  // The level with the smallest standard error simulated, or the last level
  // tried when none was simulated.
  const int best = r.search.smallest();
  r.chosen = iterations != 0 && best >= 0 ? best : r.last_level;
}

}  // namespace

std::span<const MatchPair> AnalysisResult::accepted(const LevelResult& level) const {
  // Matches beyond the stored ones were counted but never recorded.
  return std::span(scan.pairs).first(std::min(std::size_t(level.matches), scan.pairs.size()));
}

int AnalysisResult::individuals(const LevelResult& level) const {
  const Clusters clusters = cluster_pairs(accepted(level));
  return data.reference.size() - static_cast<int>(clusters.samples.size()) + clusters.count();
}

AnalysisResult analyse(const AnalysisInput& input, const AnalysisSettings& settings,
                       AnalysisObserver& observer) {
  Analysis a{settings, observer, Rng(settings.seed), {}, std::nullopt, {}};
  AnalysisResult& r = a.result;
  r.seed = settings.seed;
  r.error = settings.error;
  observer.iteration_started(settings.level, 0);
  r.data = load_data(input, settings, a.rng, observer);
  r.usable = every_locus_typed(r.data.frequencies);
  if (!r.usable) return std::move(r);
  if (!settings.simulated()) {
    const GenotypeTable& reference = r.data.reference;
    r.panels.push_back(panel_power(r.data.frequencies, reference, 0, reference.size()));
    if (r.populations() > 1)
      for (PanelPower& p : power_by_population(reference)) r.panels.push_back(std::move(p));
  }
  observer.described(r);
  if (settings.create_only) return std::move(r);
  const bool genotypes = input.genotypes.stream != nullptr;
  calibrate_and_scan(a, genotypes);
  search_levels(a, copying(settings, genotypes, bool(input.frequencies)));
  const LevelResult& chosen = r.levels.at(r.chosen);
  r.review = review_matches(r.data.reference, r.data.frequencies, r.scan.pairs,
                            static_cast<int>(r.accepted(chosen).size()), settings.error);
  return std::move(r);
}

AnalysisResult analyse(const AnalysisInput& input, const AnalysisSettings& settings) {
  AnalysisObserver quiet;
  return analyse(input, settings, quiet);
}

}  // namespace tarvo
