// The run driver: one iteration per false-positive level tried, each a fixed
// sequence of numbered stages. The state of the run lives here only.
#include "cli/driver.h"

#include <sched.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <iterator>
#include <map>
#include <memory>
#include <new>
#include <sstream>
#include <stdexcept>

#include "cli/help.h"
#include "cli/loading.h"
#include "cli/messages.h"
#include "cli/models.h"
#include "cli/options.h"
#include "cli/outputs.h"
#include "cli/run_lock.h"
#include "report/power_report.h"
#include "tarvo/tarvo.h"

namespace tarvo::cli {

namespace {

using report::format;

// How a fast run's results were drawn (the summary and the statistics file).
constexpr const char* FAST_DRAWS = "--fast (counter-based streams, not the default draws)";

// Program name and output name buffers of the first versions.
constexpr int NAMEBUF = 8192;

// What the final reports need of one iteration: kept per level, so that the
// level the run chooses is reported whichever iteration ran it.
struct LevelResult {
  int level = 0;
  int iteration = 0;
  int matches = 0;
  CellEstimates cells;
  int plan_rows = 0;
  std::string cells_text;  // the population report's estimates from the data
  StandardErrors errors;
};

// How the level search ended.
enum class Search { None, Converged, RanOut };

struct Run {
  Run(std::ostream& out, std::ostream& err) : console(&out, &err) {
    console.attach_log(&log.early());
  }
  Options options;
  Model model = Model::None;
  std::string progname;
  std::uint32_t seed = 0;
  int threads = 1;
  report::Console console;
  OutputSet outputs;
  RunLog log;
  RunLock lock;
  Rng rng;
  std::string reading;  // input file being read
  // What the run is doing, for a failure that can come anywhere.
  const char* doing = "reading the command line";
  bool output_failure_told = false;  // standard output
  LevelTable ladder{};               // V per level
  int stage = 1;
  // The genotype file between format detection and loading.
  OpenedGenotypes opened;
  // Kept across iterations.
  LoadedData data;
  std::unique_ptr<PairScorer> scorer;
  Calibration calibration;
  PairScan scan;
  LevelSearch search;
  StandardErrors errors;  // of the last standard-error stage
  // Of the current iteration.
  CellEstimates cells;
  int plan_rows = 0;
  std::string cells_text;  // the population report's estimates from the data
  std::map<int, LevelResult> results;
  int last_level = 0;

  [[nodiscard]] int populations() const {
    return static_cast<int>(data.reference.populations.size());
  }
  [[nodiscard]] std::ostream& file(Output which) { return outputs.text(options.output(which)); }
};

// Standard output first, then the log, as the stage lines always went.
void stage_text(Run& run, const std::string& text) {
  run.console.out(text);
  run.console.log(text);
  ++run.stage;
}

// A stage line that names a file: "FILE:" starts in the same column on every
// such line.
void stage_file_line(Run& run, const char* text, Output file, const char* end,
                     const char* lead = "") {
  const char* name = run.options.output(file).c_str();
  run.console.out(format("%sSTAGE %2d: %-62sFILE: \"%s\"%s", lead, run.stage, text, name, end));
  run.console.log(format("STAGE %2d: %-62sFILE: \"%s\"%s", run.stage, text, name, end));
  ++run.stage;
}

void banner(Run& run, int z, int iteration) {
  const std::string rule(66, '_');
  run.console.out_then_log(
      "\n\n" + rule +
      format("\nModel No: %d   Convergence iteration %d with %5.3f false positives\n",
             number(run.model), iteration + 1, run.ladder[std::size_t(z)]) +
      rule + "\n\n");
}

[[noreturn]] void stop(int status) {
  throw Exit{status};
}

void check_simulated_size(Run& run) {
  const Options& o = run.options;
  // Summed wide: -H has no upper bound of its own.
  if (o.second_population.given && o.simulated_samples.given &&
      static_cast<long long>(o.simulated_samples.value) + o.second_population.value > ANIM) {
    run.console.log_then_out(format("\n[-M NUM]+[-H NUM] must be <= %d  \n", ANIM));
    stop(1);
  }
}

LoadContext load_context(Run& run) {
  return LoadContext{run.options, run.model,   run.console, run.rng,    run.stage,
                     run.reading, run.outputs, nullptr,     &run.opened};
}

// The panel power of the analysed genotypes, pooled and per population: the
// block closing the frequency report and the per-locus table.
void panel_power_outputs(Run& run) {
  const LoadedData& d = run.data;
  std::vector<PanelPower> panels{panel_power(d.frequencies, d.reference, 0, d.reference.size())};
  if (run.populations() > 1) {
    std::vector<PanelPower> by_population = power_by_population(d.reference);
    std::move(by_population.begin(), by_population.end(), std::back_inserter(panels));
  }
  const std::string name = run.options.prefix.value + "_loci_power.tsv";
  report::power_summary(run.file(Output::Freq), panels, name);
  report::loci_power_tsv(run.outputs.restart(name), panels);
}

// The frequency report, the missing loci and the frequency file; the
// create-only models end here.
void input_reports(Run& run) {
  const Options& o = run.options;
  const LoadedData& d = run.data;
  stage_file_line(run, "Create locus/allele frequency report.", Output::Freq, "\n");
  const bool counted = counts_frequencies(run.model);
  const bool usable =
      report::frequency_report(run.file(Output::Freq), d.frequencies, counted, d.reference.size(),
                               counted ? o.genotype_file.value : o.frequency_file.value);
  if (!usable) {
    run.console.log_then_out(
        "\n\nSTOPPING RUN: Due to all alleles in at least one loci having "
        "all missing values \n\n");
    stop(1);
  }
  if (real_data(run.model)) panel_power_outputs(run);
  stage_file_line(run, "Report missing loci combinations in reference data.", Output::Miss, "\n");
  report::missing_patterns_report(run.file(Output::Miss), d.patterns, d.reference.loci(),
                                  d.reference.size());
  if (!o.frequency_file.given) {
    stage_file_line(run, "Create locus/allele frequency file for TARVO input.", Output::Loci, "\n");
    write_frequency_file(run.file(Output::Loci), d.frequencies);
  }
  if (real_data(run.model) && o.genotype_file.given)
    report::population_names(run.file(Output::Pop), d.reference);
}

// The reference data scanned once: the levels of Table 1 and the stored pairs.
void reference_scan(Run& run) {
  const Options& o = run.options;
  const GenotypeTable& reference = run.data.reference;
  run.scorer = std::make_unique<PairScorer>(reference, run.data.frequencies, o.error());
  ScanSettings settings;
  settings.false_positives = run.calibration.false_positives;
  settings.thresholds = run.calibration.thresholds;
  settings.retype_error = o.retype_error();
  settings.count_mismatches = true;
  settings.threads = run.threads;
  settings.fast = o.fast;  // fast mode
  settings.key = StreamKey{run.seed, DrawStage::ReferenceScan, 0, 0};
  run.doing = "scanning the reference pairs";
  run.scan = scan_pairs(*run.scorer, settings, run.rng);
  if (run.scan.pairs_full())
    run.console.log_then_out(format(
        "Warning only first %d pairs recorded.\nTo read more pairs change PAIRS and recompile.",
        PAIRS));
  report::mismatch_table(run.file(Output::Miss), run.scan.mismatches, reference.loci());
  report::table1(run.file(Output::Stat), run.calibration, run.scan.levels, run.populations());
}

// Everything the first iteration does before the level-dependent stages;
// false when the run only creates data.
bool first_iteration(Run& run) {
  const Options& o = run.options;
  list_options(*run.console.out_stream(), o, run.seed);
  if (run.console.log_stream()) list_options(*run.console.log_stream(), o, run.seed);
  check_simulated_size(run);
  stage_text(run, format("STAGE %2d: ", run.stage));
  run.doing = "reading the input";
  run.data = load_data(load_context(run));
  run.doing = "writing the input reports";
  input_reports(run);
  // The inputs are read and checked: from here on the log is written as the
  // run goes.
  run.log.go_live(o.output(Output::Log), run.console);
  if (o.create_only) return false;

  stage_text(run, format("\nSTAGE %2d: Finding false positive distribution using %d simulated data "
                         "sets.\n",
                         run.stage, o.sets.value));
  run.console.out("          Please wait\n");
  CalibrationSettings settings;
  settings.sets = o.sets.value;
  settings.error = o.error();
  settings.resample_reference_masks = o.genotype_file.given;
  settings.score_percent = o.score_percent.value;
  settings.threads = run.threads;
  settings.fast = o.fast;  // fast mode
  settings.seed = run.seed;
  run.doing = "finding the false positive distribution";
  run.calibration = calibrate(run.data.reference, run.data.frequencies, settings, run.rng,
                              [&run] { run.console.out("."); });
  stage_file_line(run, "Append resample estimates from reference data.", Output::Stat, "\n\n",
                  "\n");
  reference_scan(run);
  return true;
}

// The reference estimates per cell at level z, kept as the text of the
// population report's first part.
void estimate_cells_stage(Run& run, int z, int iteration, int matches) {
  const Options& o = run.options;
  const std::size_t level = std::size_t(z);
  run.doing = "estimating the recaptures";
  run.cells = CellEstimates{};
  if (matches != 0) {
    // Matches beyond the stored ones were counted but never recorded.
    const std::size_t stored = std::min<std::size_t>(std::size_t(matches), run.scan.pairs.size());
    CellSettings settings;
    settings.false_positives = run.ladder[level];
    settings.threshold = run.calibration.thresholds[level];
    settings.retype_error = o.retype_error();
    settings.effective_total = run.scan.levels[level].effective;
    settings.pooled = run.populations() <= 1;
    run.cells =
        estimate_cells(*run.scorer, std::span(run.scan.pairs).first(stored), settings, run.rng);
  }
  run.plan_rows = static_cast<int>(run.cells.plan.size());
  std::ostringstream text;
  report::CellsReportInput input;
  input.estimates = &run.cells;
  input.reference = &run.data.reference;
  input.iteration = iteration;
  input.false_positives = run.ladder[level];
  input.any_matches = matches != 0;
  input.by_population = run.populations() > 1;
  report::cells_report(text, input);
  run.cells_text = text.str();
}

StandardErrorObserver progress(Run& run, int iteration) {
  StandardErrorObserver observer;
  const int runs = run.options.runs.value;
  const bool one_iteration = run.options.iterations.value == 1;
  observer.on_run = [&run, runs, one_iteration, iteration](int r) {
    run.console.out_then_log(one_iteration
                                 ? format("\n          run=%2d/%d", r + 1, runs)
                                 : format("\n          Convergence_iteration=%d      run=%2d/%d",
                                          iteration + 1, r + 1, runs));
  };
  observer.on_row = [&run](const PlantedRow& row) {
    const auto name = [&run](int p) {
      return report::shown_name(run.data.reference.populations[std::size_t(p)].name);
    };
    const int a = row.cell.later, b = row.cell.earlier;
    if (row.recaptures < 0 && row.plan_rows == 1)
      run.console.log_then_out(
          format("    No matches found:   Recap estimate is %d parent-offspring pairs \n",
                 row.recaptures));
    else if (row.recaptures < 0)
      run.console.log_then_out(
          format("    No matches found:   Recap estimate is %d "
                 "parent-offspring pairs in populations %d (%s) and %d (%s)\n",
                 row.recaptures, a + 1, name(a).c_str(), b + 1, name(b).c_str()));
    else if (row.plan_rows == 1)
      run.console.log_then_out(
          format("  (Simulating %3d recaptures) %5.2f", row.recaptures, row.expected));
    else
      run.console.log_then_out(
          format("\n             (Simulating %3d recaptures in populations %2d '%s' and %d '%s')",
                 row.recaptures, a + 1, name(a).c_str(), b + 1, name(b).c_str()));
  };
  observer.on_pairs_full = [&run] {
    run.console.log_then_out(format(
        "Warning only first %d pairs recorded.\nTo read more pairs change PAIRS and recompile.",
        PAIRS));
  };
  return observer;
}

StandardErrorSettings error_settings(const Run& run, int z) {
  const Options& o = run.options;
  const bool file_only = o.genotype_file.given && !o.frequency_file.given;
  const bool second = o.second_population.value != 0;
  StandardErrorSettings s;
  s.runs = o.runs.value;
  s.masks = static_cast<MaskResampling>(o.mask_resampling.value);
  s.level = z;
  s.plan_rows = run.plan_rows;
  s.total = run.cells.total;
  s.simulation_model = !real_data(run.model);
  s.second_population = o.second_population.value;
  s.by_population = run.populations() > 1;
  s.score_error = o.error();
  s.retype_error = o.retype_error();
  s.copying.counted_source = file_only || run.model == Model::AnalyseWithFrequencies || second;
  s.copying.genotype_file_only = file_only;
  s.copying.guard_counted_source = second || run.model == Model::AnalyseWithFrequencies;
  s.copying.error = o.retype_error();
  s.threads = run.threads;
  s.fast = o.fast;  // fast mode
  s.seed = run.seed;
  return s;
}

// The note of the level search to the statistics file, the log and
// standard output.
void level_note(Run& run, int z, const LevelSearch::Step& step) {
  const Options& o = run.options;
  const int sets = o.sets.value;
  std::ostringstream text;
  if (step.note == LevelSearch::Note::TryAnother) {
    report::try_another_note(text, step.next, z, run.ladder, sets, o.iterations.value > 1);
  } else if (step.note == LevelSearch::Note::Converged) {
    LevelTable reference{};
    for (std::size_t k = 0; k < reference.size(); ++k) reference[k] = run.scan.levels[k].recaptures;
    report::converged_note(text, run.search, step.note_level, run.ladder, reference, sets);
  }
  run.file(Output::Stat) << text.str();
  run.console.log_then_out(text.str());
}

// The standard errors by simulation at level z; returns the next level.
int simulate_errors(Run& run, int z, int iteration) {
  const Options& o = run.options;
  run.console.out_then_log("\n");
  run.errors = StandardErrors{};
  if (run.plan_rows <= 0 && run.populations() > 1) {
    run.file(Output::Stat) << "   There were no matches \n";
    return 0;
  }
  run.doing = "simulating the standard errors";
  StandardErrorSettings settings = error_settings(run, z);
  settings.pass = iteration;  // fast mode: the iteration's own streams
  run.errors =
      simulate_standard_errors(run.data.reference, run.data.frequencies, run.calibration,
                               run.cells.plan, settings, run.rng, progress(run, iteration));
  const std::size_t level = std::size_t(z);
  run.search.record(z, run.errors.se[level], run.errors.sums.recaptures.sum[level] / o.runs.value);
  report::Table2Input table;
  table.errors = &run.errors;
  table.calibration = &run.calibration;
  table.runs = o.runs.value;
  table.level = z;
  table.iteration = iteration;
  table.total = run.cells.total;
  table.by_population = run.populations() > 1;
  table.population_file = o.output(Output::Pop);
  report::table2(run.file(Output::Stat), table);
  const LevelSearch::Step step = run.search.next_step(z, run.errors.best);
  level_note(run, z, step);
  return step.next;
}

int standard_errors_stage(Run& run, int z, int iteration, int matches) {
  const int runs = run.options.runs.value;
  if (matches == 0) {
    stage_text(run, format("STAGE %2d: Will not find s.e. of resample estimates as no recaptures "
                           "found\n",
                           run.stage));
    return 0;
  }
  if (run.populations() <= 1)
    stage_text(run, format("STAGE %2d: Finding s.e. of resample estimate using %d simulation "
                           "runs.\n",
                           run.stage, runs));
  else
    stage_text(run, format("STAGE %2d: Finding s.e. of resample estimates within each population "
                           "using %d simulation runs.\n",
                           run.stage, runs));
  run.console.out("          Please wait\n");
  return simulate_errors(run, z, iteration);
}

void pair_report(Run& run, const LevelResult& level) {
  const Options& o = run.options;
  const std::string& name = o.output(Output::Pair);
  std::ostream& out = run.outputs.restart(name);
  report::write_header(out, header_now(o), name);
  report::PairReportInput input;
  input.reference = &run.data.reference;
  input.pairs = &run.scan.pairs;
  input.calibration = &run.calibration;
  input.level = level.level;
  input.iteration = level.iteration;
  input.several_iterations = o.iterations.value > 1;
  input.recaptures_simulated = o.recaptures.value;
  input.by_name = (o.genotype_file.given && !o.frequency_file.given) ||
                  run.model == Model::AnalyseWithFrequencies;
  input.real_data = real_data(run.model);
  input.leave_out_misses = o.leave_out_misses;
  report::pair_report(out, input);
}

// The population names, the estimates from the data and, with standard
// errors, their simulated counterparts.
void population_report(Run& run, const LevelResult& level) {
  const Options& o = run.options;
  const std::string& name = o.output(Output::Pop);
  std::ostream& out = run.outputs.restart(name);
  report::write_header(out, header_now(o), name);
  if (real_data(run.model) && o.genotype_file.given)
    report::population_names(out, run.data.reference);
  out << level.cells_text;
  if (o.iterations.value != 0) {
    report::PopulationSeInput input;
    input.errors = &level.errors;
    input.plan = &level.cells.plan;
    input.plan_rows = level.plan_rows;
    input.reference = &run.data.reference;
    input.runs = o.runs.value;
    input.level = level.level;
    input.false_positives = run.ladder[std::size_t(level.level)];
    input.by_population = run.populations() > 1;
    report::population_standard_errors(out, input);
  }
}

// The accepted pairs that can be grouped: only the stored ones.
std::span<const MatchPair> grouped_pairs(const Run& run, const LevelResult& level) {
  const std::size_t stored = run.scan.pairs.size();
  return std::span(run.scan.pairs).first(std::min(std::size_t(level.matches), stored));
}

// The clusters of the accepted pairs, listed after the pairwise report, and
// their composite genotypes: every sample outside a cluster as it was read.
void clusters_and_composites(Run& run, const LevelResult& level) {
  const Options& o = run.options;
  const Clusters clusters = cluster_pairs(grouped_pairs(run, level));
  report::cluster_listing(run.file(Output::Pair), clusters, run.data.reference);
  if (!o.composites) return;
  const std::vector<std::int32_t> composites = composite_genotypes(clusters, run.data.reference);
  write_composite_file(run.outputs.restart(o.output(Output::Join)), run.data.reference, clusters,
                       composites, o.separator.value);
}

// The tab-separated tables and the levels plot, written next to the reports.
constexpr const char* TABLE_SUFFIXES[] = {"_pairs.tsv", "_individuals.tsv", "_levels.tsv",
                                          "_populations.tsv", "_levels.svg"};

// One table or plot file, written with the reports.
void write_output_text(Run& run, const std::string& name, const std::string& text) {
  run.outputs.restart(name) << text;
}

// The tab-separated tables and the levels plot of level z, next to the
// reports; grouped leading pairs are the level's matches.
void write_tables(Run& run, const LevelResult& level) {
  const int z = level.level;
  const auto grouped = std::span<const MatchPair>(grouped_pairs(run, level));
  const Options& o = run.options;
  const GenotypeTable& reference = run.data.reference;
  const std::string& prefix = o.prefix.value;
  std::ostringstream pairs, individuals, levels, populations, plot;
  report::pairs_table(pairs, reference, run.scan.pairs, run.calibration,
                      static_cast<int>(grouped.size()));
  report::individuals_table(individuals, reference, cluster_pairs(grouped));
  report::LevelsInput level_input;
  level_input.calibration = &run.calibration;
  level_input.levels = &run.scan.levels;
  level_input.search = &run.search;
  level_input.chosen = z;
  std::string inputs;
  for (const Setting<std::string>* file : {&o.genotype_file, &o.frequency_file})
    if (file->given) inputs += (inputs.empty() ? "" : ", ") + file->value;
  level_input.subtitle =
      format("%s%s%s%d samples in %d population%s", real_data(run.model) ? "" : "simulated from ",
             inputs.c_str(), inputs.empty() ? "" : ": ", reference.size(), run.populations(),
             run.populations() == 1 ? "" : "s");
  report::levels_table(levels, level_input);
  report::levels_plot(plot, level_input);
  report::PopulationsInput population_input;
  population_input.reference = &reference;
  population_input.estimates = &level.cells;
  // Without matches at z no runs were made at z: the errors are another level's.
  if (level.matches != 0) population_input.errors = &level.errors;
  population_input.plan = &level.cells.plan;
  population_input.plan_rows = level.plan_rows;
  population_input.runs = o.iterations.value != 0 ? o.runs.value : 0;
  population_input.level = z;
  report::populations_table(populations, population_input);
  write_output_text(run, prefix + "_pairs.tsv", pairs.str());
  write_output_text(run, prefix + "_individuals.tsv", individuals.str());
  write_output_text(run, prefix + "_levels.tsv", levels.str());
  write_output_text(run, prefix + "_populations.tsv", populations.str());
  write_output_text(run, prefix + "_levels.svg", plot.str());
}

// The reports of the level the run chose, and the files written next to
// them: each through the run's output set, one call per file.
void final_level_outputs(Run& run, const LevelResult& level) {
  pair_report(run, level);
  population_report(run, level);
  clusters_and_composites(run, level);
  write_tables(run, level);
}

// One iteration at level z; returns the level of the next one (z itself when
// the search has settled), or -1 when the run only creates data.
int run_iteration(Run& run, int z, int iteration) {
  const Options& o = run.options;
  run.stage = 1;
  banner(run, z, iteration);
  stage_text(run, format("STAGE %2d: Listing command line options and defaults\n\n", run.stage));
  if (iteration == 0 && !first_iteration(run)) return -1;

  const int matches = static_cast<int>(run.scan.levels[std::size_t(z)].matches);
  if (matches != 0) {
    stage_file_line(run, "Report pairwise matches to:", Output::Pair, "\n");
    if (o.composites) stage_file_line(run, "Write composite genotype file to:", Output::Join, "\n");
  }
  stage_file_line(run, "Report resample percentage within sampling cohorts.", Output::Pop, "\n\n");
  estimate_cells_stage(run, z, iteration, matches);

  int next = 0;
  if (o.iterations.value != 0) next = standard_errors_stage(run, z, iteration, matches);
  run.results[z] =
      LevelResult{z, iteration, matches, run.cells, run.plan_rows, run.cells_text, run.errors};
  run.last_level = z;
  // The reports are written once the run has chosen its level; the stage
  // line stands where the best level so far is met.
  if (o.iterations.value != 0 && z != run.search.best()) return next;
  if (matches != 0 && o.composites)
    stage_file_line(run, "Write composite genotype file to:", Output::Join, "\n");
  return next;
}

// The level the reports hold: the one with the smallest standard error
// simulated, or the last level tried when none was simulated.
int final_level(const Run& run) {
  const int best = run.search.smallest();
  return run.options.iterations.value != 0 && best >= 0 ? best : run.last_level;
}

// When the iterations ran out before the level repeated, the statistics
// file, the log and standard output say so and name the level reported.
void search_outcome_note(Run& run, Search search, int level) {
  if (search != Search::RanOut) return;
  const Options& o = run.options;
  const int c = o.iterations.value;
  const std::string text =
      format(
          "\n\nNOTE:   The level search did not converge within %d convergence iteration%s "
          "(-c %d).\n",
          c, c == 1 ? "" : "s", c) +
      format("        The reports hold '-z %2d' (V=%5.3f false positives), %s.\n",
             o.shown_level(level), run.ladder[std::size_t(level)],
             run.search.smallest() >= 0 ? "the level with the smallest s.e. simulated"
                                        : "the last level tried (no s.e. simulated)");
  run.file(Output::Stat) << text;
  run.console.log_then_out(text);
}

// Individuals at the level: every sample, less one for each sample a cluster
// joins to another.
int individuals(const Run& run, const LevelResult& level) {
  const Clusters clusters = cluster_pairs(grouped_pairs(run, level));
  return run.data.reference.size() - static_cast<int>(clusters.samples.size()) + clusters.count();
}

std::string search_state(const Run& run, Search search) {
  if (run.options.iterations.value == 0) return "no level search (-c 0)";
  if (run.search.smallest() < 0) return "no s.e. simulated";
  return search == Search::Converged ? "converged" : "did not converge";
}

// The end of standard output and of the log: what the run read, what it
// found at its level and which files hold it.
void summary(Run& run, const LevelResult* level, Search search) {
  const Options& o = run.options;
  std::string text = "\nSummary\n";
  const char* samples = real_data(run.model) ? "Samples read:" : "Samples simulated:";
  text += format("  %-24s%d\n", samples, run.data.reference.size());
  text += format("  %-24s%d\n", "Populations:", run.populations());
  if (level != nullptr) {
    const std::size_t z = std::size_t(level->level);
    text += format("  %-24s'-z %2d' (V=%5.3f false positives), %s\n",
                   "Level:", o.shown_level(level->level), run.ladder[z],
                   search_state(run, search).c_str());
    text += format("  %-24s%d\n", "Accepted pairs:", level->matches);
    text += format("  %-24s%d\n", "Individuals:", individuals(run, *level));
    text += format("  %-24s%.2f", "Corrected recaptures:", run.scan.levels[z].recaptures);
    text += run.search.tried(level->level)
                ? format(" (s.e. %.2f)\n", run.search.standard_errors()[z])
                : std::string(" (s.e. not simulated)\n");
  }
  // Fast mode: every result says how it was drawn.
  if (o.fast) text += format("  %-24s%s\n", "Draws:", FAST_DRAWS);
  text += "  Files written:\n";
  for (const std::string& name : run.outputs.names()) text += "    " + name + "\n";
  run.console.log_then_out(text);
}

std::string elapsed_text(double seconds) {
  int hours = 0, minutes = 0;
  if (seconds > 59.0) {
    minutes = static_cast<int>(seconds / 60);
    seconds -= 60.0 * minutes;
    if (minutes > 59) {
      hours = minutes / 60;
      minutes -= 60 * hours;
    }
  }
  const char* minute_format = minutes == 1 ? "%d minute " : "%d minutes ";
  std::string text = "Elapse time: ";
  if (hours) {
    text += format("%d hours ", hours) + format(minute_format, minutes);
  } else {
    if (minutes >= 1) text += format(minute_format, minutes);
    if (seconds > 0.0 || minutes >= 1) text += format(" %2.1f seconds\n", seconds);
  }
  return text + "\n";
}

using Clock = std::chrono::steady_clock;

// Wall-clock time: the processor time of several threads would overstate it.
void finish(Run& run, Clock::time_point start) {
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const std::string text = format("\n\n******Finished  %s ******\n", run.progname.c_str()) +
                           "Finish time: " + date_line() + elapsed_text(seconds);
  run.console.log_then_out(text);
}

// The cores this process may run on.
int usable_cores() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) != 0) return 1;
  return std::clamp(CPU_COUNT(&set), 1, MAX_THREADS);
}

std::string program_name(const std::string& path) {
  // Only the backslash separates: names given with forward slashes stay whole.
  const std::size_t cut = path.rfind('\\');
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

// The command line into options and a model; false after the usage table.
bool read_command_line(Run& run, const std::vector<std::string>& args) {
  run.options = parse_options(args, run.progname, run.console);
  run.model = select_model(run.options, run.console);
  if (run.model == Model::None || !check_values(run.options, run.progname, run.console)) {
    usage(run.progname, run.console);
    run.console.out("Please read full TARVO documentation (Options are case sensitive)\n");
    return false;
  }
  complete_options(run.options, run.progname, run.console);
  return true;
}

// The files of the model, in the order they are listed: every name is known
// before the run starts.
void declare_outputs(Run& run) {
  const Options& o = run.options;
  const bool analysis = analyses(run.model);
  const std::pair<Output, bool> files[] = {
      {Output::Loci, counts_frequencies(run.model) && !o.frequency_file.given},
      {Output::Freq, true},
      {Output::Miss, true},
      {Output::Stat, analysis},
      {Output::Pair, true},
      {Output::Pop, true},
      {Output::Simm, !real_data(run.model)},
      {Output::Join, analysis && o.composites},
      {Output::Log, true},
  };
  for (const auto& [file, written] : files)
    if (written) run.outputs.declare(o.output(file));
  if (real_data(run.model)) run.outputs.declare(o.prefix.value + "_loci_power.tsv");
  if (analysis)
    for (const char* suffix : TABLE_SUFFIXES) run.outputs.declare(o.prefix.value + suffix);
}

// The report headers, and the first lines of the log and standard output.
void start_outputs(Run& run) {
  const Options& o = run.options;
  // One reading of the clock, so every header carries the same time.
  const report::Header header = header_now(o);
  for (Output file : {Output::Freq, Output::Miss, Output::Stat, Output::Pair, Output::Pop}) {
    const std::string& name = o.output(file);
    if (file != Output::Stat || analyses(run.model))
      report::write_header(run.outputs.text(name), header, name);
  }
  // Fast mode: the statistics say how they were drawn.
  if (o.fast && analyses(run.model)) run.file(Output::Stat) << format("\nDraws: %s\n", FAST_DRAWS);
  if (number(run.model) >= 7 && o.recaptures.value == 0)
    run.file(Output::Pair)
        << "\n\nNo recaptures simulated.\nIf you desire to simulate recaptures use option: "
           "[-R NUM]\n";
  run.console.log_then_out(header.date + "\n");
  run.console.log_then_out(format("Executable file: %s\n\n", VERSION));
}

// Nothing is written before the outputs are known to be writable, none is an
// input, and no other run holds the prefix.
void claim_outputs(Run& run) {
  const Options& o = run.options;
  declare_outputs(run);
  std::vector<std::string> inputs;
  for (const Setting<std::string>* file : {&o.genotype_file, &o.frequency_file})
    if (file->given) inputs.push_back(file->value);
  std::vector<std::string> outputs = run.outputs.names();
  const std::string lock = o.prefix.value + ".lock";
  outputs.push_back(lock);
  check_outputs(outputs, inputs, run.console);
  run.lock.acquire(lock, run.console);
}

// The iterations from level z0 until the level repeats or -c runs out.
Search search_levels(Run& run, int z0) {
  const int iterations = run.options.iterations.value;
  int level = z0;
  int next = run_iteration(run, level, 0);
  if (next < 0) return Search::None;
  for (int iteration = 1; iteration < iterations && next != level; ++iteration) {
    level = next;
    next = run_iteration(run, level, iteration);
  }
  if (iterations == 0) return Search::None;
  return next == level ? Search::Converged : Search::RanOut;
}

// A standard output that cannot be written (a full device, a closed pipe)
// fails the run as any output does, once the reports are written; told once.
bool standard_output_failed(Run& run) {
  const int error = run.console.out_error();
  if (error == 0) return false;
  if (!run.output_failure_told) {
    const std::string text = format("Cannot write standard output: %s\n", std::strerror(error));
    run.console.err(text);
    run.console.log(text);
    run.output_failure_told = true;
  }
  return true;
}

// The reports are written, and renamed over those of any earlier run, only
// when the log is sound too.
void complete(Run& run, Search search, Clock::time_point start) {
  const Options& o = run.options;
  const LevelResult* level = nullptr;
  run.doing = "writing the reports";
  if (!o.create_only) {
    level = &run.results.at(final_level(run));
    search_outcome_note(run, search, level->level);
    final_level_outputs(run, *level);
  }
  run.log.go_live(o.output(Output::Log), run.console);
  run.outputs.commit(o.output(Output::Log), run.log.running(), run.console,
                     [&run] { run.log.check(run.console); });
  if (!o.create_only) finish(run, start);
  summary(run, level, search);
  if (standard_output_failed(run)) stop(255);
  run.log.close(run.console);
}

void detect_layout(Run& run) {
  const GenotypeFormat format = detect_genotype_format(load_context(run));
  run.options.own_format = format == GenotypeFormat::Own;
  run.options.genalex_format = format == GenotypeFormat::Genalex;
}

int drive(Run& run, const std::vector<std::string>& args) {
  const Clock::time_point start = Clock::now();
  run.progname = program_name(args[0]);
  if (run.progname.size() >= std::size_t(NAMEBUF)) {
    run.console.err(format("tarvo: program path longer than %d characters\n", NAMEBUF - 1));
    return 1;
  }
  const InfoRequest info = info_request(args);
  if (info != InfoRequest::None) {
    run.console.out(info == InfoRequest::Help ? help_text(run.progname) : version_text());
    return 0;
  }
  if (!read_command_line(run, args)) return 1;
  Options& o = run.options;
  run.threads = o.threads.given ? o.threads.value : usable_cores();
  run.seed = o.seed.given ? std::uint32_t(o.seed.value) : std::uint32_t(std::time(nullptr));
  run.rng.seed_with(run.seed);
  run.doing = "checking the output files";
  claim_outputs(run);
  start_outputs(run);
  run.doing = "reading the input";
  if (o.genotype_file.given) detect_layout(run);
  run.ladder = false_positive_ladder(o.sets.value);
  complete(run, search_levels(run, o.level.value), start);
  return 0;
}

// What the run was doing, with the input file when it was reading one.
std::string stage_of(const Run& run) {
  if (run.reading.empty()) return run.doing;
  return std::string(run.doing) + " <" + run.reading + ">";
}

// Memory runs out on an input too large for the machine (or for the limit
// the run was given): said with the stage, as an input error. Telling it
// may itself need memory; what is left then is a fixed line.
int out_of_memory(Run& run) {
  try {
    const std::string text =
        format("Out of memory while %s: the input is too large for the memory this run may use\n",
               stage_of(run).c_str());
    run.console.err(text);
    run.console.log(text);
  } catch (const std::exception&) {
    run.console.err("Out of memory\n");
  }
  return 1;
}

int internal_error(Run& run, const std::exception& e) {
  const std::string text = format("Internal error while %s: %s\n", stage_of(run).c_str(), e.what());
  run.console.err(text);
  run.console.log(text);
  return 255;
}

MessageContext message_context(const Run& run) {
  const Options& o = run.options;
  MessageContext c;
  c.file = run.reading;
  c.separator = o.separator.value;
  c.separator_given = o.separator.given;
  if (o.genotype_file.given && o.frequency_file.given) {
    c.genotype_file = o.genotype_file.value;
    c.frequency_file = o.frequency_file.value;
  }
  c.frequencies = &run.data.frequencies;
  return c;
}

}  // namespace

int run_program(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  // The tables are large; keep them off the stack.
  auto run = std::make_unique<Run>(out, err);
  int status = 1;
  try {
    status = drive(*run, args);
  } catch (const Exit& e) {
    status = e.status;
  } catch (const Error& e) {
    status = report_error(e, message_context(*run), run->console);
  } catch (const std::bad_alloc&) {
    status = out_of_memory(*run);
  } catch (const std::length_error&) {
    status = out_of_memory(*run);
  } catch (const std::exception& e) {
    status = internal_error(*run, e);
  }
  out.flush();
  if (standard_output_failed(*run) && status == 0) status = 255;
  const Replaced replaced = run->outputs.replaced();
  if (status != 0) {
    run->log.mark_failed(status, replaced, run->console);
    // The log may not hold it: standard error says it too.
    if (replaced != Replaced::None) {
      const std::string line = failed_run_line(status, replaced);
      run->console.err(line.substr(line.find('*')));
    }
  }
  err.flush();
  return status;
}

}  // namespace tarvo::cli
