// One analysis call: the reference data loaded (read, or simulated from the
// frequencies), the match threshold calibrated, the reference pairs scanned,
// and one iteration per false-positive level tried until the level search
// settles, each with its recapture estimates and their standard errors.
// Nothing is printed: what happens is told to an observer as it happens.
#pragma once

#include <cstdint>
#include <functional>
#include <istream>
#include <map>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "tarvo/calibration.h"
#include "tarvo/cells.h"
#include "tarvo/clusters.h"
#include "tarvo/convergence.h"
#include "tarvo/formats.h"
#include "tarvo/frequencies.h"
#include "tarvo/genotypes.h"
#include "tarvo/patterns.h"
#include "tarvo/power.h"
#include "tarvo/review.h"
#include "tarvo/rng.h"
#include "tarvo/scan.h"
#include "tarvo/standard_errors.h"

namespace tarvo {

// A genotype stream; a layout already detected on it leaves the text it read
// in `seen`, which is read again before the rest of the stream.
struct GenotypeInput {
  std::istream* stream = nullptr;
  std::string seen;
  std::optional<GenotypeFormat> format;  // detected on the stream when not given
};

// The layout of a genotype stream that may not be rewound (a pipe).
[[nodiscard]] GenotypeInput detect_genotypes(std::istream& in);

struct AnalysisInput {
  GenotypeInput genotypes;  // no stream: none
  // Opened when the analysis comes to read the frequencies (it may throw);
  // empty: the frequencies are counted from the genotypes.
  std::function<std::istream&()> frequencies;
};

// Where the reference masks of simulated data come from.
enum class SimulatedMasks { Random, FromGenotypes };

struct AnalysisSettings {
  // Simulated reference data: samples of the first and the second population
  // (0: the genotypes read are the reference), with planted recaptures.
  int simulated_samples = 0;
  int second_population = 0;
  int recaptures = 0;
  SimulatedMasks masks = SimulatedMasks::Random;
  int score_percent = 100;  // loci scored per simulated sample, percent
  // Reading.
  std::string separator = "POP";
  int min_population = 0;  // 0: every population kept
  // The analysis.
  bool create_only = false;    // the data loaded, nothing analysed
  double error = 0.01;         // of the pair scores
  double retype_error = 0.01;  // of the self-comparisons and simulated retypes
  int sets = 200;              // calibration sets
  int runs = 100;              // standard-error runs per level
  int iterations = 10;         // of the level search; 0: one level, no standard errors
  int level = 5;               // the first level tried
  MaskResampling mask_resampling = MaskResampling::AllSamples;
  std::uint32_t seed = 1;
  int threads = 1;  // the results never depend on it
  // The fast mode: the calibration sets, the pair scans and the standard-error
  // runs draw from counter-based streams keyed by the seed, on every thread,
  // and the number of missing-loci patterns is not limited. The same laws and
  // the same results for any thread count, but not the bytes of a default run.
  bool fast = false;

  [[nodiscard]] bool simulated() const { return simulated_samples > 0; }
};

// The reference data: read or simulated, with its frequencies and missing
// loci patterns.
struct LoadedData {
  GenotypeTable reference;
  FrequencyTable frequencies;
  std::vector<MissingPattern> patterns;
};

// The genotype and frequency inputs name a different number of loci.
class LociMismatch : public std::runtime_error {
 public:
  LociMismatch(int in_frequencies, int in_genotypes)
      : std::runtime_error("the frequency and genotype inputs have different loci"),
        frequency_loci(in_frequencies),
        genotype_loci(in_genotypes) {}
  int frequency_loci;
  int genotype_loci;
};

// What one iteration found at its level.
struct LevelResult {
  int level = 0;
  int iteration = 0;
  int matches = 0;
  CellEstimates cells;
  int plan_rows = 0;  // rows the estimates planted, before the runs
  StandardErrors errors;
};

enum class SearchOutcome { None, Converged, RanOut };

struct AnalysisResult {
  LoadedData data;
  bool usable = true;              // false: a locus has only missing values, nothing analysed
  std::vector<PanelPower> panels;  // pooled, then per population (read data only)
  Calibration calibration;
  PairScan scan;
  LevelSearch search;
  std::map<int, LevelResult> levels;  // by level, the iteration that ran it
  int last_level = 0;
  SearchOutcome outcome = SearchOutcome::None;
  int chosen = -1;  // the level reported; -1 when nothing was analysed
  // The matches of the chosen level judged: flags, individuals, weak data.
  Review review;
  std::uint32_t seed = 0;  // of the generator every simulation drew from
  double error = 0;        // the error rate of the pair scores

  [[nodiscard]] int populations() const {
    return static_cast<int>(data.reference.populations.size());
  }
  // The accepted pairs that can be grouped at a level: the stored ones.
  [[nodiscard]] std::span<const MatchPair> accepted(const LevelResult& level) const;
  // Individuals at a level: every sample, less one for each sample a cluster
  // joins to another.
  [[nodiscard]] int individuals(const LevelResult& level) const;
};

// What the analysis tells as it goes; every event has a default that does
// nothing. An event may throw to end the analysis.
class AnalysisObserver {
 public:
  virtual ~AnalysisObserver() = default;
  // The iteration at `level` begins; the first loads and calibrates first.
  virtual void iteration_started(int /*level*/, int /*iteration*/) {}
  virtual void reading_frequencies() {}
  virtual void frequencies_read() {}
  virtual void reading_genotypes() {}
  virtual void population_dropped(const std::string& /*name*/) {}
  virtual void genotypes_read() {}
  // Names of the analysed genotypes given to more than one sample.
  virtual void shared_names(std::span<const std::string_view> /*names*/) {}
  virtual void samples_read(int /*samples*/, int /*loci*/) {}
  // Simulated reference data, before and after its genotypes are drawn.
  virtual void simulating(const GenotypeTable& /*table*/) {}
  virtual void simulated(const GenotypeTable& /*table*/) {}
  virtual void loaded(const LoadedData& /*data*/) {}
  virtual void described(const AnalysisResult& /*so_far*/) {}  // with the panel power
  virtual void calibrating() {}
  virtual void calibration_set() {}
  virtual void calibrated(const AnalysisResult& /*so_far*/) {}
  virtual void scanning() {}
  virtual void scanned(const AnalysisResult& /*so_far*/) {}
  virtual void estimating(int /*level*/, int /*matches*/) {}
  virtual void estimated(const AnalysisResult& /*so_far*/, const LevelResult& /*level*/) {}
  // The standard-error stage of the level, whether or not it runs.
  virtual void errors_stage(const AnalysisResult& /*so_far*/, const LevelResult& /*level*/) {}
  virtual void no_planted_matches() {}
  virtual void error_run(int /*iteration*/, int /*run*/) {}
  virtual void planted(const PlantedRow& /*row*/) {}
  virtual void pairs_full() {}
  virtual void errors_simulated(const AnalysisResult& /*so_far*/, const LevelResult& /*level*/,
                                const LevelSearch::Step& /*step*/) {}
  virtual void iteration_finished(const AnalysisResult& /*so_far*/, const LevelResult& /*level*/) {}
};

// The reference data alone. Throws Error for input refused, LociMismatch.
[[nodiscard]] LoadedData load_data(const AnalysisInput& input, const AnalysisSettings& settings,
                                   Rng& rng, AnalysisObserver& observer);

// The whole analysis; the seed fixes every simulation.
[[nodiscard]] AnalysisResult analyse(const AnalysisInput& input, const AnalysisSettings& settings,
                                     AnalysisObserver& observer);
[[nodiscard]] AnalysisResult analyse(const AnalysisInput& input, const AnalysisSettings& settings);

}  // namespace tarvo
