// A whole small run from memory, stage by stage in the order the program's
// driver takes them, every report and table written to memory. The sizes are
// held down so that an input takes milliseconds even under the sanitizers.
#include <algorithm>
#include <map>
#include <memory>
#include <sstream>

#include "cli/messages.h"
#include "fuzz/entries.h"
#include "report/power_report.h"
#include "tarvo/tarvo.h"

namespace tarvo::fuzz {

namespace {

using report::format;

constexpr int MAX_SAMPLES = 48;
constexpr int MAX_LOCI = 32;
constexpr int RUNS = 4;  // the fewest that give a spread, and one more

// The values of the settings line, one character each.
class Knobs {
 public:
  explicit Knobs(std::string_view line) : line_(line) {}
  // Knob k in 0..range-1, or fallback when the line is shorter.
  [[nodiscard]] int operator()(std::size_t k, int range, int fallback) const {
    if (k >= line_.size()) return fallback;
    const auto c = static_cast<unsigned char>(line_[k]);
    return (c >= '0' && c <= '9' ? c - '0' : c) % range;
  }

 private:
  std::string_view line_;
};

// A setting the model's command line may give; left at its default when
// the model refuses the option.
template <typename T>
void give(cli::Setting<T>& setting, bool accepted, T value) {
  if (accepted) setting = {value, true};
}

// The options the command line of the model would give: only those the
// model accepts, with the values held small.
cli::Options options_for(cli::Model model, const Knobs& knob) {
  const int m = cli::number(model);
  const bool analysed = m <= 6, simulated = m >= 3;
  cli::Options o;
  o.genotype_file = {"in.gen", m != 4 && m != 8};
  o.frequency_file = {"in.txt", m % 2 == 0};
  o.create_only = !analysed;
  give(o.level, analysed, knob(1, LEVELS, 5));
  give(o.iterations, analysed, knob(2, 3, 1));
  o.composites = analysed && knob(3, 2, 0) == 1;
  o.leave_out_misses = analysed && knob(4, 2, 0) == 1;
  give(o.mask_resampling, m <= 2, knob(5, 3, 1));
  give(o.second_population, knob(6, 2, 0) == 1, 20);
  give(o.recaptures, simulated, knob(7, 10, 3));
  const int error = 50 * (knob(8, 10, 1) + 1);
  give(o.error_scaled, analysed, error);
  o.retype_error_scaled = o.error_scaled;
  give(o.retype_error_scaled, simulated, error);
  give(o.sets, analysed, 2 + knob(9, 10, 8));
  give(o.min_population, (m <= 2 || m == 6) && knob(10, 2, 0) == 1, 3);
  give(o.score_percent, m == 3 || m == 4 || m == 7 || m == 8, 50 + 5 * knob(11, 11, 10));
  give(o.simulated_samples, simulated, 24);
  give(o.runs, analysed, RUNS);
  report::Console quiet(nullptr, nullptr);
  cli::complete_options(o, "tarvo", quiet);
  return o;
}

// What the final reports need of one iteration, kept per level.
struct LevelResult {
  int level = 0;
  int iteration = 0;
  int matches = 0;
  CellEstimates cells;
  std::string cells_text;
  StandardErrors errors;
};

struct Run {
  cli::Options o;
  cli::Model model = cli::Model::None;
  LoadingBench bench;
  cli::LoadedData data;
  std::unique_ptr<PairScorer> scorer;
  Calibration calibration;
  PairScan scan;
  LevelSearch search;
  std::map<int, LevelResult> results;
  int last_level = 0;
  std::map<std::string, std::ostringstream> files;

  [[nodiscard]] std::ostream& file(cli::Output which) { return files[o.output(which)]; }
  [[nodiscard]] int populations() const { return int(data.reference.populations.size()); }
  [[nodiscard]] bool real() const { return cli::real_data(model); }
};

// The frequency report, the panel power, the missing loci and the frequency
// file; false when the run ends there.
bool input_reports(Run& run) {
  const cli::LoadedData& d = run.data;
  const bool counted = cli::counts_frequencies(run.model);
  if (!report::frequency_report(run.file(cli::Output::Freq), d.frequencies, counted,
                                d.reference.size(), "in"))
    return false;
  if (run.real()) {
    std::vector<PanelPower> panels{panel_power(d.frequencies, d.reference, 0, d.reference.size())};
    if (run.populations() > 1)
      for (PanelPower& p : power_by_population(d.reference)) panels.push_back(std::move(p));
    report::power_summary(run.file(cli::Output::Freq), panels, "TARVO_loci_power.tsv");
    report::loci_power_tsv(run.files["TARVO_loci_power.tsv"], panels);
  }
  report::missing_patterns_report(run.file(cli::Output::Miss), d.patterns, d.reference.loci(),
                                  d.reference.size());
  if (!run.o.frequency_file.given) write_frequency_file(run.file(cli::Output::Loci), d.frequencies);
  if (run.real() && run.o.genotype_file.given)
    report::population_names(run.file(cli::Output::Pop), d.reference);
  return !run.o.create_only;
}

void calibrate_and_scan(Run& run) {
  const cli::Options& o = run.o;
  CalibrationSettings settings;
  settings.sets = o.sets.value;
  settings.error = o.error();
  settings.resample_reference_masks = o.genotype_file.given;
  settings.score_percent = o.score_percent.value;
  run.calibration =
      calibrate(run.data.reference, run.data.frequencies, settings, run.bench.rng, [] {});
  run.scorer = std::make_unique<PairScorer>(run.data.reference, run.data.frequencies, o.error());
  ScanSettings scan;
  scan.false_positives = run.calibration.false_positives;
  scan.thresholds = run.calibration.thresholds;
  scan.retype_error = o.retype_error();
  scan.count_mismatches = true;
  run.scan = scan_pairs(*run.scorer, scan, run.bench.rng);
  report::mismatch_table(run.file(cli::Output::Miss), run.scan.mismatches,
                         run.data.reference.loci());
  report::table1(run.file(cli::Output::Stat), run.calibration, run.scan.levels, run.populations());
}

void estimate_cells_at(Run& run, LevelResult& result) {
  const auto level = std::size_t(result.level);
  if (result.matches != 0) {
    const std::size_t stored = std::min(std::size_t(result.matches), run.scan.pairs.size());
    CellSettings settings;
    settings.false_positives = run.calibration.false_positives[level];
    settings.threshold = run.calibration.thresholds[level];
    settings.retype_error = run.o.retype_error();
    settings.effective_total = run.scan.levels[level].effective;
    settings.pooled = run.populations() <= 1;
    result.cells = estimate_cells(*run.scorer, std::span(run.scan.pairs).first(stored), settings,
                                  run.bench.rng);
  }
  std::ostringstream text;
  report::CellsReportInput input;
  input.estimates = &result.cells;
  input.reference = &run.data.reference;
  input.iteration = result.iteration;
  input.false_positives = run.calibration.false_positives[level];
  input.any_matches = result.matches != 0;
  input.by_population = run.populations() > 1;
  report::cells_report(text, input);
  result.cells_text = text.str();
}

StandardErrorSettings error_settings(const Run& run, const LevelResult& result) {
  const cli::Options& o = run.o;
  const bool file_only = o.genotype_file.given && !o.frequency_file.given;
  const bool second = o.second_population.value != 0;
  const bool model2 = run.model == cli::Model::AnalyseWithFrequencies;
  StandardErrorSettings s;
  s.runs = o.runs.value;
  s.masks = static_cast<MaskResampling>(o.mask_resampling.value);
  s.level = result.level;
  s.plan_rows = static_cast<int>(result.cells.plan.size());
  s.total = result.cells.total;
  s.simulation_model = !run.real();
  s.second_population = o.second_population.value;
  s.by_population = run.populations() > 1;
  s.score_error = o.error();
  s.retype_error = o.retype_error();
  s.copying.counted_source = file_only || model2 || second;
  s.copying.genotype_file_only = file_only;
  s.copying.guard_counted_source = second || model2;
  s.copying.error = o.retype_error();
  return s;
}

// The standard errors at the result's level; returns the next level.
int simulate_errors(Run& run, LevelResult& result) {
  const int z = result.level;
  std::ostream& stat = run.file(cli::Output::Stat);
  if (result.matches == 0) return 0;
  if (result.cells.plan.empty() && run.populations() > 1) {
    report::no_simulated_matches_note(stat);
    return 0;
  }
  result.errors =
      simulate_standard_errors(run.data.reference, run.data.frequencies, run.calibration,
                               result.cells.plan, error_settings(run, result), run.bench.rng);
  const auto level = std::size_t(z);
  run.search.record(z, result.errors.se[level],
                    result.errors.sums.recaptures.sum[level] / run.o.runs.value);
  report::Table2Input table;
  table.errors = &result.errors;
  table.calibration = &run.calibration;
  table.runs = run.o.runs.value;
  table.level = z;
  table.iteration = result.iteration;
  table.total = result.cells.total;
  table.by_population = run.populations() > 1;
  table.population_file = run.o.output(cli::Output::Pop);
  report::table2(stat, table);
  const LevelSearch::Step step = run.search.next_step(z, result.errors.best);
  const LevelTable& V = run.calibration.false_positives;
  if (step.note == LevelSearch::Note::TryAnother) {
    report::try_another_note(stat, step.next, z, V, run.o.sets.value, run.o.iterations.value > 1);
  } else if (step.note == LevelSearch::Note::Converged) {
    LevelTable reference{};
    for (std::size_t k = 0; k < reference.size(); ++k) reference[k] = run.scan.levels[k].recaptures;
    report::converged_note(stat, run.search, step.note_level, V, reference, run.o.sets.value);
  }
  return step.next;
}

int iterate(Run& run, int z, int iteration) {
  LevelResult& result = run.results[z];
  result = LevelResult{z, iteration, int(run.scan.levels[std::size_t(z)].matches), {}, {}, {}};
  estimate_cells_at(run, result);
  run.last_level = z;
  return run.o.iterations.value != 0 ? simulate_errors(run, result) : 0;
}

std::span<const MatchPair> grouped_pairs(const Run& run, const LevelResult& level) {
  return std::span(run.scan.pairs)
      .first(std::min(std::size_t(level.matches), run.scan.pairs.size()));
}

void pair_and_population_reports(Run& run, const LevelResult& level) {
  const cli::Options& o = run.o;
  report::PairReportInput pairs;
  pairs.reference = &run.data.reference;
  pairs.pairs = &run.scan.pairs;
  pairs.calibration = &run.calibration;
  pairs.level = level.level;
  pairs.iteration = level.iteration;
  pairs.several_iterations = o.iterations.value > 1;
  pairs.recaptures_simulated = o.recaptures.value;
  pairs.by_name = (o.genotype_file.given && !o.frequency_file.given) ||
                  run.model == cli::Model::AnalyseWithFrequencies;
  pairs.real_data = run.real();
  pairs.leave_out_misses = o.leave_out_misses;
  report::pair_report(run.file(cli::Output::Pair), pairs);
  std::ostream& pop = run.file(cli::Output::Pop);
  pop << level.cells_text;
  if (o.iterations.value == 0) return;
  report::PopulationSeInput errors;
  errors.errors = &level.errors;
  errors.plan = &level.cells.plan;
  errors.plan_rows = static_cast<int>(level.cells.plan.size());
  errors.reference = &run.data.reference;
  errors.runs = o.runs.value;
  errors.level = level.level;
  errors.false_positives = run.calibration.false_positives[std::size_t(level.level)];
  errors.by_population = run.populations() > 1;
  report::population_standard_errors(pop, errors);
}

void clusters_and_tables(Run& run, const LevelResult& level) {
  const GenotypeTable& reference = run.data.reference;
  const Clusters clusters = cluster_pairs(grouped_pairs(run, level));
  report::cluster_listing(run.file(cli::Output::Pair), clusters, reference);
  if (run.o.composites)
    write_composite_file(run.file(cli::Output::Join), reference, clusters,
                         composite_genotypes(clusters, reference), run.o.separator.value);
  report::pairs_table(run.files["pairs.tsv"], reference, run.scan.pairs, run.calibration,
                      static_cast<int>(grouped_pairs(run, level).size()));
  report::individuals_table(run.files["individuals.tsv"], reference, clusters);
  report::LevelsInput levels;
  levels.calibration = &run.calibration;
  levels.levels = &run.scan.levels;
  levels.search = &run.search;
  levels.chosen = level.level;
  levels.subtitle = format("in.gen: %d samples", reference.size());
  report::levels_table(run.files["levels.tsv"], levels);
  report::levels_plot(run.files["levels.svg"], levels);
  report::PopulationsInput populations;
  populations.reference = &reference;
  populations.estimates = &level.cells;
  if (level.matches != 0) populations.errors = &level.errors;
  populations.plan = &level.cells.plan;
  populations.plan_rows = static_cast<int>(level.cells.plan.size());
  populations.runs = run.o.iterations.value != 0 ? run.o.runs.value : 0;
  populations.level = level.level;
  report::populations_table(run.files["populations.tsv"], populations);
}

void whole_run(Run& run) {
  if (!input_reports(run)) return;
  calibrate_and_scan(run);
  int level = run.o.level.value;
  int next = iterate(run, level, 0);
  for (int iteration = 1; iteration < run.o.iterations.value && next != level; ++iteration) {
    level = next;
    next = iterate(run, level, iteration);
  }
  const int best = run.search.smallest();
  const int chosen = run.o.iterations.value != 0 && best >= 0 ? best : run.last_level;
  const LevelResult& result = run.results.at(chosen);
  pair_and_population_reports(run, result);
  clusters_and_tables(run, result);
}

}  // namespace

void run_entry(std::string_view input) {
  const std::size_t line_end = input.find('\n');
  const Knobs knob(input.substr(0, line_end));
  const std::string_view files =
      line_end == std::string_view::npos ? std::string_view() : input.substr(line_end + 1);
  const std::size_t cut = files.find("\n%%\n");
  cli::MemoryFiles memory{std::string(files.substr(0, cut)), ""};
  if (cut != std::string_view::npos) memory.frequencies = files.substr(cut + 4);

  Run run;
  const int m = knob(0, 10, 1);
  run.model = static_cast<cli::Model>(m == 0 ? 10 : m);
  run.o = options_for(run.model, knob);
  if (!load(run.o, run.model, memory, run.bench, run.data)) return;
  if (run.data.reference.size() > MAX_SAMPLES || run.data.reference.loci() > MAX_LOCI) return;
  try {
    whole_run(run);
  } catch (const Error& e) {
    cli::MessageContext messages;
    messages.frequencies = &run.data.frequencies;
    (void)cli::report_error(e, messages, run.bench.console);
  }
}

}  // namespace tarvo::fuzz
