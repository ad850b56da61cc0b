// The run driver: one iteration per false-positive level tried, each a fixed
// sequence of numbered stages. The state of the run lives here only.
#include "cli/driver.h"

#include <algorithm>
#include <ctime>
#include <memory>
#include <sstream>

#include "cli/loading.h"
#include "cli/messages.h"
#include "cli/models.h"
#include "cli/options.h"
#include "cli/outputs.h"
#include "tarvo/tarvo.h"

namespace tarvo::cli {

namespace {

using report::format;

// Program name and output name buffers of the first versions.
constexpr int NAMEBUF = 8192;

struct Run {
  Run(std::ostream& out, std::ostream& err) : console(&out, &err) {}
  Options options;
  Model model = Model::None;
  std::string progname;
  std::uint32_t seed = 0;
  report::Console console;
  OutputFiles files;
  Rng rng;
  std::string reading;  // input file being read
  LevelTable ladder{};  // V per level
  int stage = 1;
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
  std::string cells_text;  // the population report's first part

  [[nodiscard]] int populations() const {
    return static_cast<int>(data.reference.populations.size());
  }
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
    run.console.log_then_out(format("\n[-M NUM]+[-G NUM] must be <= %d  \n", ANIM));
    stop(1);
  }
}

LoadContext load_context(Run& run) {
  return LoadContext{run.options, run.model, run.console, run.rng, run.stage, run.reading};
}

// The frequency report, the missing loci and the frequency file; the
// create-only models end here.
void input_reports(Run& run) {
  const Options& o = run.options;
  const LoadedData& d = run.data;
  stage_file_line(run, "Create locus/allele frequency report.", Output::Freq, "\n");
  const bool counted = counts_frequencies(run.model);
  const bool usable =
      report::frequency_report(run.files.freq, d.frequencies, counted, d.reference.size(),
                               counted ? o.genotype_file.value : o.frequency_file.value);
  run.files.freq.flush();
  if (!usable) {
    run.console.log_then_out(
        "\n\nSTOPPING RUN: Due to all alleles in at least one loci having "
        "all missing values \n\n");
    stop(1);
  }
  stage_file_line(run, "Report missing loci combinations in reference data.", Output::Miss, "\n");
  report::missing_patterns_report(run.files.miss, d.patterns, d.reference.loci(),
                                  d.reference.size());
  run.files.miss.flush();
  if (!o.frequency_file.given) {
    stage_file_line(run, "Create locus/allele frequency file for TARVO input.", Output::Loci, "\n");
    write_frequency_file(run.files.loci, d.frequencies);
    run.files.loci.flush();
    if (o.create_only) stop(1);
  } else if (o.create_only) {
    stop(1);
  }
  if (real_data(run.model) && o.genotype_file.given)
    report::population_names(run.files.pop, d.reference);
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
  run.scan = scan_pairs(*run.scorer, settings, run.rng);
  if (run.scan.pairs_full())
    run.console.log_then_out(format(
        "Warning only first %d pairs recorded.\nTo read more pairs change PAIRS and recompile.",
        PAIRS));
  report::mismatch_table(run.files.miss, run.scan.mismatches, reference.loci());
  run.files.miss.flush();
  report::table1(run.files.stat, run.calibration, run.scan.levels, run.populations());
  run.files.stat.flush();
}

// Everything the first iteration does before the level-dependent stages.
void first_iteration(Run& run) {
  const Options& o = run.options;
  list_options(*run.console.out_stream(), o, run.seed);
  if (run.console.log_stream()) list_options(*run.console.log_stream(), o, run.seed);
  check_simulated_size(run);
  stage_text(run, format("STAGE %2d: ", run.stage));
  run.data = load_data(load_context(run));
  input_reports(run);

  stage_text(run, format("\nSTAGE %2d: Finding false positive distribution using %d simulated data "
                         "sets.\n",
                         run.stage, o.sets.value));
  run.console.out("          Please wait\n");
  CalibrationSettings settings;
  settings.sets = o.sets.value;
  settings.error = o.error();
  settings.resample_reference_masks = o.genotype_file.given;
  settings.score_percent = o.score_percent.value;
  run.calibration = calibrate(run.data.reference, run.data.frequencies, settings, run.rng,
                              [&run] { run.console.out("."); });
  stage_file_line(run, "Append resample estimates from reference data.", Output::Stat, "\n\n",
                  "\n");
  reference_scan(run);
}

// The reference estimates per cell at level z, kept as the text of the
// population report's first part.
void estimate_cells_stage(Run& run, int z, int iteration, int matches) {
  const Options& o = run.options;
  const std::size_t level = std::size_t(z);
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
  report::write_header(text, header_now(o), o.output(Output::Pop));
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
      return run.data.reference.populations[std::size_t(p)].name.c_str();
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
                 row.recaptures, a + 1, name(a), b + 1, name(b)));
    else if (row.plan_rows == 1)
      run.console.log_then_out(
          format("  (Simulating %3d recaptures) %5.2f", row.recaptures, row.expected));
    else
      run.console.log_then_out(
          format("\n             (Simulating %3d recaptures in populations %2d '%s' and %d '%s')",
                 row.recaptures, a + 1, name(a), b + 1, name(b)));
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
  run.files.stat << text.str();
  run.console.log_then_out(text.str());
}

// The standard errors by simulation at level z; returns the next level.
int simulate_errors(Run& run, int z, int iteration) {
  const Options& o = run.options;
  run.console.out_then_log("\n");
  run.errors = StandardErrors{};
  if (run.plan_rows <= 0 && run.populations() > 1) {
    run.files.stat << "   There were no matches \n";
    return 0;
  }
  run.errors = simulate_standard_errors(run.data.reference, run.data.frequencies, run.calibration,
                                        run.cells.plan, error_settings(run, z), run.rng,
                                        progress(run, iteration));
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
  report::table2(run.files.stat, table);
  const LevelSearch::Step step = run.search.next_step(z, run.errors.best);
  level_note(run, z, step);
  run.files.stat.flush();
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

void pair_report(Run& run, int z, int iteration) {
  const Options& o = run.options;
  const std::string& name = o.output(Output::Pair);
  reopen(run.files.pair, name, "S_pair", run.console);
  report::write_header(run.files.pair, header_now(o), name);
  report::PairReportInput input;
  input.reference = &run.data.reference;
  input.pairs = &run.scan.pairs;
  input.calibration = &run.calibration;
  input.level = z;
  input.iteration = iteration;
  input.several_iterations = o.iterations.value > 1;
  input.recaptures_simulated = o.recaptures.value;
  input.by_name = (o.genotype_file.given && !o.frequency_file.given) ||
                  run.model == Model::AnalyseWithFrequencies;
  input.real_data = real_data(run.model);
  input.leave_out_misses = o.leave_out_misses;
  report::pair_report(run.files.pair, input);
  run.files.pair.flush();
}

void population_report(Run& run, int z) {
  const Options& o = run.options;
  const std::string& name = o.output(Output::Pop);
  reopen(run.files.pop, name, name, run.console);
  run.files.pop << run.cells_text;
  if (o.iterations.value != 0) {
    report::PopulationSeInput input;
    input.errors = &run.errors;
    input.plan = &run.cells.plan;
    input.plan_rows = run.plan_rows;
    input.reference = &run.data.reference;
    input.runs = o.runs.value;
    input.level = z;
    input.false_positives = run.ladder[std::size_t(z)];
    input.by_population = run.populations() > 1;
    report::population_standard_errors(run.files.pop, input);
  }
  run.files.pop.flush();
}

// The clusters of the accepted pairs, listed after the pairwise report, and
// their composite genotypes.
void clusters_and_composites(Run& run, int grouped) {
  const Options& o = run.options;
  if (grouped >= 2) {
    const std::span<const MatchPair> pairs = std::span(run.scan.pairs).first(std::size_t(grouped));
    const Clusters clusters = cluster_pairs(pairs);
    report::cluster_listing(run.files.pair, clusters, run.data.reference);
    run.files.pair.flush();
    if (o.composites) {
      const std::vector<std::int32_t> composites =
          composite_genotypes(clusters, run.data.reference);
      const std::string& name = o.output(Output::Join);
      std::ofstream out(name, std::ios::out | std::ios::trunc | std::ios::binary);
      if (!out) {
        run.console.log_then_out(
            format("write_composites: Cannot open output file %s\n", name.c_str()));
        stop(255);
      }
      write_composite_file(out, run.data.reference, clusters, composites, o.separator.value);
    }
  }
  if (o.composites) stage_file_line(run, "Write composite genotype file to:", Output::Join, "\n");
}

// One iteration at level z; returns the level of the next one (z itself when
// the search has settled).
int run_iteration(Run& run, int z, int iteration) {
  const Options& o = run.options;
  run.stage = 1;
  banner(run, z, iteration);
  stage_text(run, format("STAGE %2d: Listing command line options and defaults\n\n", run.stage));
  if (iteration == 0) first_iteration(run);

  const int matches = static_cast<int>(run.scan.levels[std::size_t(z)].matches);
  // Only the stored pairs can be grouped.
  const int grouped = std::min(matches, static_cast<int>(run.scan.pairs.size()));
  if (matches != 0) {
    stage_file_line(run, "Report pairwise matches to:", Output::Pair, "\n");
    if (o.composites) stage_file_line(run, "Write composite genotype file to:", Output::Join, "\n");
  }
  stage_file_line(run, "Report resample percentage within sampling cohorts.", Output::Pop, "\n\n");
  estimate_cells_stage(run, z, iteration, matches);

  int next = 0;
  if (o.iterations.value != 0) next = standard_errors_stage(run, z, iteration, matches);
  if (o.iterations.value != 0 && z != run.search.best()) return next;

  pair_report(run, z, iteration);
  population_report(run, z);
  if (matches != 0) clusters_and_composites(run, grouped);
  return next;
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

void finish(Run& run, std::clock_t start) {
  const double seconds = double(std::clock() - start) / CLOCKS_PER_SEC;
  const std::string text = format("\n\n******Finished  %s ******\n", run.progname.c_str()) +
                           "Finish time: " + date_line() + elapsed_text(seconds);
  run.console.log_then_out(text);
  run.console.log_stream()->flush();
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

int drive(Run& run, const std::vector<std::string>& args) {
  const std::clock_t start = std::clock();
  run.progname = program_name(args[0]);
  if (run.progname.size() >= std::size_t(NAMEBUF)) {
    run.console.err(format("tarvo: program path longer than %d characters\n", NAMEBUF - 1));
    return 1;
  }
  if (!read_command_line(run, args)) return 1;
  Options& o = run.options;
  run.seed = o.seed.given ? std::uint32_t(o.seed.value) : std::uint32_t(std::time(nullptr));
  run.rng.seed_with(run.seed);
  open_outputs(run.files, o, run.model, run.console);
  if (o.genotype_file.given) o.own_format = detect_own_format(load_context(run));
  run.ladder = false_positive_ladder(o.sets.value);

  int level = o.level.value;
  int next = run_iteration(run, level, 0);
  if (!o.create_only && o.iterations.value > 1) {
    for (int iteration = 1; iteration < o.iterations.value && next != level; ++iteration) {
      level = next;
      next = run_iteration(run, level, iteration);
    }
  }
  finish(run, start);
  // A complete run ends with status 1, as it always has.
  return 1;
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
  }
  out.flush();
  err.flush();
  return status;
}

}  // namespace tarvo::cli
