// The stage lines and the reports written as the analysis goes.
#include "cli/progress.h"

#include <cstring>
#include <sstream>

#include "report/power_report.h"

namespace tarvo::cli {

namespace {

using report::format;

constexpr const char* PAIRS_FULL =
    "Warning only first %d pairs recorded.\nTo read more pairs change PAIRS and recompile.";

// The loading line that names the layout read.
std::string layout_line(const Options& o, const char* own, const char* genepop) {
  if (o.genalex_format) return "          GenAlEx format assumed for reading alleles. \n";
  return o.own_format ? own : genepop;
}

// Sample names shortened in the warning of names given to several samples.
std::string shared_names_list(std::span<const std::string_view> shared) {
  constexpr std::size_t kShown = 10;
  constexpr std::size_t kNameChars = 40;
  std::string list;
  for (std::size_t i = 0; i < shared.size() && i < kShown; ++i) {
    if (i > 0) list += ", ";
    const std::string_view name = shared[i];
    list += name.size() <= kNameChars ? std::string(name)
                                      : std::string(name.substr(0, kNameChars - 3)) + "...";
  }
  if (shared.size() > kShown) list += format(" and %zu more", shared.size() - kShown);
  return list;
}

// Standard output muted while it lives, when `on`; as it was afterwards.
class Muted {
 public:
  Muted(Screen* screen, bool on) : screen_(on ? screen : nullptr) {
    if (screen_ == nullptr) return;
    was_ = screen_->muted();
    screen_->mute(true);
  }
  Muted(const Muted&) = delete;
  Muted& operator=(const Muted&) = delete;
  ~Muted() {
    if (screen_ != nullptr) screen_->mute(was_);
  }

 private:
  Screen* screen_;
  bool was_ = false;
};

// A warning or an error: heard even in a quiet run.
class Heard {
 public:
  explicit Heard(Screen* screen) : screen_(screen), was_(screen != nullptr && screen->muted()) {
    if (screen_ != nullptr) screen_->mute(false);
  }
  Heard(const Heard&) = delete;
  Heard& operator=(const Heard&) = delete;
  ~Heard() {
    if (screen_ != nullptr) screen_->mute(was_);
  }

 private:
  Screen* screen_;
  bool was_;
};

}  // namespace

// The analysis as the options ask for it.
AnalysisSettings analysis_settings(const Options& o, Model model, std::uint32_t seed, int threads) {
  AnalysisSettings s;
  s.simulated_samples = o.simulated_samples.value;
  s.second_population = o.second_population.value;
  s.recaptures = o.recaptures.value;
  s.masks = traits(model).drawn_masks ? SimulatedMasks::Random : SimulatedMasks::FromGenotypes;
  s.score_percent = o.score_percent.value;
  s.separator = o.separator.value;
  s.min_population = o.min_population.given ? o.min_population.value : 0;
  s.create_only = o.create_only;
  s.error = o.error();
  s.retype_error = o.retype_error();
  s.sets = o.sets.value;
  s.runs = o.runs.value;
  s.iterations = o.iterations.value;
  s.level = o.level.value;
  s.mask_resampling = static_cast<MaskResampling>(o.mask_resampling.value);
  s.seed = seed;
  s.threads = threads;
  s.fast = o.fast;
  return s;
}

std::string open_failure_reason(int error) {
  return format("          Reason: %s\n", error != 0 ? std::strerror(error) : "unknown");
}

// Standard output first, then the log, as the stage lines always went.
void Progress::stage_text(const std::string& text) {
  console_.out(text);
  console_.log(text);
  ++stage_;
}

// A stage line that names a file: "FILE:" starts in the same column on every
// such line.
void Progress::stage_file_line(const char* text, Output which, const char* end, const char* lead) {
  const char* name = o_.output(which).c_str();
  console_.out(format("%sSTAGE %2d: %-62sFILE: \"%s\"%s", lead, stage_, text, name, end));
  console_.log(format("STAGE %2d: %-62sFILE: \"%s\"%s", stage_, text, name, end));
  ++stage_;
}

// The first iteration's banner and options listing open standard output
// even in a quiet run.
void Progress::iteration_started(int z, int iteration) {
  const Muted quiet(screen_, shows(ScreenMode::Quiet) && iteration != 0);
  const std::string rule(66, '_');
  stage_ = 1;
  console_.out_then_log(
      "\n\n" + rule +
      format("\nModel No: %d   Convergence iteration %d with %5.3f false positives\n",
             number(model_), iteration + 1, ladder_[std::size_t(z)]) +
      rule + "\n\n");
  stage_text(format("STAGE %2d: Listing command line options and defaults\n\n", stage_));
  if (iteration != 0) return;
  list_options(*console_.out_stream(), o_, seed_);
  if (console_.log_stream()) list_options(*console_.log_stream(), o_, seed_);
  // Summed wide: -H has no upper bound of its own.
  if (o_.second_population.given && o_.simulated_samples.given &&
      static_cast<long long>(o_.simulated_samples.value) + o_.second_population.value > ANIM) {
    const Heard error(screen_);
    console_.log_out_and_err(format("\n[-M NUM]+[-H NUM] must be <= %d  \n", ANIM));
    throw Exit{1};
  }
  const Muted stages(screen_, shows(ScreenMode::Quiet));
  stage_text(format("STAGE %2d: ", stage_));
  doing_.what = "reading the input";
}

void Progress::reading_frequencies() {
  const Muted quiet(screen_, shows(ScreenMode::Quiet));
  console_.log_then_out(
      format("Reading allele frequencies from:                              FILE: "
             "\"%s\"\n",
             o_.frequency_file.value.c_str()));
}

void Progress::reading_genotypes() {
  const Muted quiet(screen_, shows(ScreenMode::Quiet));
  const char* file = o_.genotype_file.value.c_str();
  if (model_ == Model::AnalyseWithFrequencies) {
    console_.log_then_out(
        format("          Reading allele base pairs for match analysis from:       "
               "     FILE: \"%s\" \n",
               file));
    console_.log_then_out(
        layout_line(o_, "          TARVO spreadsheet format assumed for reading base pairs \n",
                    "          GENEPOP format assumed for reading base pairs. \n"));
  } else if (o_.frequency_file.given) {
    console_.log_then_out(
        format("          Reading alleles for bootstrapping loci combinations:     "
               "     FILE: \"%s\" \n",
               file));
    console_.log_then_out(
        layout_line(o_, "          TARVO input format assumed.\n",
                    "          GENEPOP input format assumed with '-f' flag on command line.\n"));
  } else {
    console_.log_then_out(
        format("Reading allele base pairs for match analysis from:            "
               "FILE: \"%s\" \n",
               file));
    console_.log_then_out(
        layout_line(o_, "          TARVO spreadsheet format assumed for reading alleles \n",
                    "          GENEPOP format assumed for reading alleles. \n"));
  }
  doing_.reading = o_.genotype_file.value;
}

void Progress::population_dropped(const std::string& name) {
  const Heard warning(screen_);
  console_.log_then_out(
      format("Block %s deleted as it had < m_value=%d\n", name.c_str(), o_.min_population.value));
}

// Pairs are reported by sample name: one line, naming a few of the names
// given to several samples, however many there are.
void Progress::shared_names(std::span<const std::string_view> shared) {
  const Heard warning(screen_);
  const bool one = shared.size() == 1;
  console_.log_out_and_err(
      format("          Warning: %zu sample name%s given to more than one sample, so pairs "
             "are ambiguous by name: %s\n",
             shared.size(), one ? " is" : "s are", shared_names_list(shared).c_str()));
}

void Progress::samples_read(int samples, int loci) {
  const Muted quiet(screen_, shows(ScreenMode::Quiet));
  console_.log_then_out(format(
      "          A total of %d genotype samples were read from %d loci.\n\n", samples, loci));
}

void Progress::simulating(const GenotypeTable& table) {
  const Muted quiet(screen_, shows(ScreenMode::Quiet));
  console_.log_then_out(
      format("STAGE %2d: Writing simulated reference genotypes to:                     "
             "FILE: \"%s\"\n",
             stage_, o_.output(Output::Simm).c_str()));
  const int R = o_.recaptures.value;
  const int pops = static_cast<int>(table.populations.size());
  const bool random_masks = traits(model_).drawn_masks;
  if (pops <= 1)
    console_.log_then_out(
        format("          This reference data has %d samples containing %d recaptures.\n",
               table.size(), R));
  else
    console_.log_then_out(
        format("          This reference data has %d samples containing %d "
               "recaptures in %d %s.\n",
               table.size(), R, pops,
               random_masks && counts_frequencies(model_) ? "populations" : "population(s)"));
  if (random_masks) {
    console_.log_then_out(
        format("          Missing loci combinations randomly sampled using Y=%4.2f\n",
               o_.score_fraction()));
  } else if (counts_frequencies(model_)) {
    console_.log("          Missing loci combinations defined from:\n");
    console_.log("                  random sampling of missing alleles. \n\n");
    console_.out("          Missing loci combinations defined from:\n");
    console_.out("                  random sampling of mising alleles. \n\n");
  } else {
    console_.log_then_out("          Missing loci combinations defined \n");
    console_.log_then_out("                  by random sampling of missing alleles. \n\n");
  }
}

// The simulated relationships listed, and the simulated data written out.
void Progress::simulated(const GenotypeTable& table) {
  const Muted quiet(screen_, shows(ScreenMode::Quiet));
  const int R = o_.recaptures.value;
  if (R != 0) {
    const std::string rule = "          ___________________________________________\n";
    const std::string heading =
        "          List of pairwise matches\n"
        "          Sample_1               Sample_2\n";
    console_.log("\n\n          Simulated relationships:\n" + rule + heading + rule);
    console_.out("\n          Simulated relationships:\n" + rule + heading + rule);
    const int n = table.size();
    for (int t = 0; t < R; ++t) {
      const int copy = n - R + t;
      console_.out_then_log(format("          %-20s   %-20s\n", table.sample(copy).name.c_str(),
                                   table.sample(t).name.c_str()));
    }
    console_.out(rule);
    console_.log(rule);
  }
  // Refused before anything is written.
  std::ostringstream text;
  write_genepop(text, table, o_.separator.value);
  outputs_.restart(o_.output(Output::Simm)) << text.str();
  ++stage_;
}

// The frequency report; a locus with only missing values stops the run.
void Progress::loaded(const LoadedData& data) {
  const Muted quiet(screen_, shows(ScreenMode::Quiet));
  console_.log_then_out("\n");
  doing_.frequencies = data.frequencies;
  for (const Population& p : data.reference.populations) population_names_.push_back(p.name);
  doing_.what = "writing the input reports";
  stage_file_line("Create locus/allele frequency report.", Output::Freq, "\n");
  const bool counted = counts_frequencies(model_);
  const bool usable =
      report::frequency_report(file(Output::Freq), data.frequencies, counted, data.reference.size(),
                               counted ? o_.genotype_file.value : o_.frequency_file.value);
  if (!usable) {
    const Heard error(screen_);
    console_.log_out_and_err(
        "\n\nSTOPPING RUN: Due to all alleles in at least one loci having "
        "all missing values \n\n");
    throw Exit{1};
  }
}

// The panel power, the missing loci and the frequency file; from here on
// the log is written as the run goes.
void Progress::described(const AnalysisResult& r) {
  const Muted quiet(screen_, shows(ScreenMode::Quiet));
  const LoadedData& d = r.data;
  if (!r.panels.empty()) {
    const std::string name = o_.prefix.value + LOCI_POWER_SUFFIX;
    report::power_summary(file(Output::Freq), r.panels, name);
    report::loci_power_tsv(outputs_.restart(name), r.panels);
  }
  stage_file_line("Report missing loci combinations in reference data.", Output::Miss, "\n");
  report::missing_patterns_report(file(Output::Miss), d.patterns, d.reference.loci(),
                                  d.reference.size());
  if (!o_.frequency_file.given) {
    stage_file_line("Create locus/allele frequency file for TARVO input.", Output::Loci, "\n");
    write_frequency_file(file(Output::Loci), d.frequencies);
  }
  if (real_data(model_) && o_.genotype_file.given)
    report::population_names(file(Output::Pop), d.reference);
  if (log_) log_->go_live(o_.output(Output::Log), console_);
}

void Progress::calibrating() {
  const Muted quiet(screen_, shows(ScreenMode::Quiet));
  stage_text(
      format("\nSTAGE %2d: Finding false positive distribution using %d simulated data "
             "sets.\n",
             stage_, o_.sets.value));
  console_.out("          Please wait\n");
  doing_.what = "finding the false positive distribution";
  pace_.start(o_.sets.value);
  sets_begun_ = 0;
}

void Progress::calibrated(const AnalysisResult& /*so_far*/) {
  const Muted quiet(screen_, shows(ScreenMode::Quiet));
  stage_file_line("Append resample estimates from reference data.", Output::Stat, "\n\n", "\n");
}

void Progress::scanned(const AnalysisResult& r) {
  const Muted quiet(screen_, shows(ScreenMode::Quiet));
  if (r.scan.pairs_full()) pairs_full();
  report::mismatch_table(file(Output::Miss), r.scan.mismatches, r.data.reference.loci());
  report::table1(file(Output::Stat), r.calibration, r.scan.levels, r.populations());
}

void Progress::estimating(int /*level*/, int matches) {
  const Muted quiet(screen_, shows(ScreenMode::Quiet));
  if (matches != 0) {
    stage_file_line("Report pairwise matches to:", Output::Pair, "\n");
    if (o_.composites) stage_file_line("Write composite genotype file to:", Output::Join, "\n");
  }
  stage_file_line("Report resample percentage within sampling cohorts.", Output::Pop, "\n\n");
  doing_.what = "estimating the recaptures";
}

void Progress::estimated(const AnalysisResult& r, const LevelResult& level) {
  std::ostringstream text;
  report::CellsReportInput input;
  input.estimates = &level.cells;
  input.reference = &r.data.reference;
  input.iteration = level.iteration;
  input.false_positives = ladder_[std::size_t(level.level)];
  input.any_matches = level.matches != 0;
  input.by_population = r.populations() > 1;
  report::cells_report(text, input);
  cells_text_[level.level] = text.str();
}

void Progress::errors_stage(const AnalysisResult& r, const LevelResult& level) {
  const Muted quiet(screen_, shows(ScreenMode::Quiet));
  if (level.matches == 0) {
    stage_text(
        format("STAGE %2d: Will not find s.e. of resample estimates as no recaptures "
               "found\n",
               stage_));
    return;
  }
  if (r.populations() <= 1)
    stage_text(
        format("STAGE %2d: Finding s.e. of resample estimate using %d simulation "
               "runs.\n",
               stage_, o_.runs.value));
  else
    stage_text(
        format("STAGE %2d: Finding s.e. of resample estimates within each population "
               "using %d simulation runs.\n",
               stage_, o_.runs.value));
  console_.out("          Please wait\n");
  console_.out_then_log("\n");
  doing_.what = "simulating the standard errors";
  pace_.start(o_.runs.value);
}

void Progress::no_planted_matches() {
  report::no_simulated_matches_note(file(Output::Stat));
}

// On a terminal the run lines give way to the progress line.
void Progress::error_run(int iteration, int r) {
  const int runs = o_.runs.value;
  {
    const Muted lines(screen_, screen_ != nullptr);
    console_.out_then_log(o_.iterations.value == 1
                              ? format("\n          run=%2d/%d", r + 1, runs)
                              : format("\n          Convergence_iteration=%d      run=%2d/%d",
                                       iteration + 1, r + 1, runs));
  }
  show_step(format("iteration %d (at most %d), run %d of %d", iteration + 1, o_.iterations.value,
                   r + 1, runs),
            r);
}

void Progress::calibration_set() {
  ++sets_begun_;
  {
    const Muted dots(screen_, screen_ != nullptr);
    console_.out(".");
  }
  show_step(format("calibration set %d of %d", sets_begun_, o_.sets.value), sets_begun_ - 1);
}

void Progress::show_step(const std::string& what, int done) {
  if (!shows(ScreenMode::Terminal) || !pace_.due(done)) return;
  const double elapsed = std::chrono::duration<double>(Pace::Clock::now() - started_).count();
  const std::string left = pace_.left(done);
  screen_->status(format("STAGE %2d: %s, %s elapsed%s", stage_ - 1, what.c_str(),
                         Pace::clock_text(elapsed).c_str(),
                         left.empty() ? "" : (", " + left).c_str()));
}

void Progress::planted(const PlantedRow& row) {
  const Muted lines(screen_, screen_ != nullptr);
  const auto name = [this](int p) { return report::shown_name(population_names_[std::size_t(p)]); };
  const int a = row.cell.later, b = row.cell.earlier;
  if (row.recaptures < 0 && row.plan_rows == 1)
    console_.log_then_out(format(
        "    No matches found:   Recap estimate is %d parent-offspring pairs \n", row.recaptures));
  else if (row.recaptures < 0)
    console_.log_then_out(
        format("    No matches found:   Recap estimate is %d "
               "parent-offspring pairs in populations %d (%s) and %d (%s)\n",
               row.recaptures, a + 1, name(a).c_str(), b + 1, name(b).c_str()));
  else if (row.plan_rows == 1)
    console_.log_then_out(
        format("  (Simulating %3d recaptures) %5.2f", row.recaptures, row.expected));
  else
    console_.log_then_out(
        format("\n             (Simulating %3d recaptures in populations %2d '%s' and %d '%s')",
               row.recaptures, a + 1, name(a).c_str(), b + 1, name(b).c_str()));
}

void Progress::pairs_full() {
  const Heard warning(screen_);
  console_.log_out_and_err(format(PAIRS_FULL, PAIRS));
  console_.err_copy("\n");
  console_.err(report::rebuild_hint("PAIRS", PAIRS));
}

// Table 2 and the note of the level search, to the statistics file, the
// log and standard output.
void Progress::errors_simulated(const AnalysisResult& r, const LevelResult& level,
                                const LevelSearch::Step& step) {
  const Muted quiet(screen_, shows(ScreenMode::Quiet));
  const int z = level.level;
  report::Table2Input table;
  table.errors = &level.errors;
  table.calibration = &r.calibration;
  table.runs = o_.runs.value;
  table.level = z;
  table.iteration = level.iteration;
  table.total = level.cells.total;
  table.by_population = r.populations() > 1;
  table.population_file = o_.output(Output::Pop);
  report::table2(file(Output::Stat), table);
  const int sets = o_.sets.value;
  std::ostringstream text;
  if (step.note == LevelSearch::Note::TryAnother) {
    report::try_another_note(text, step.next, z, ladder_, sets, o_.iterations.value > 1);
  } else if (step.note == LevelSearch::Note::Converged) {
    LevelTable reference{};
    for (std::size_t k = 0; k < reference.size(); ++k) reference[k] = r.scan.levels[k].recaptures;
    report::converged_note(text, r.search, step.note_level, ladder_, reference, sets);
  }
  file(Output::Stat) << text.str();
  console_.log_then_out(text.str());
}

// The reports are written once the run has chosen its level; the stage line
// stands where the best level so far is met.
void Progress::iteration_finished(const AnalysisResult& r, const LevelResult& level) {
  const Muted quiet(screen_, shows(ScreenMode::Quiet));
  if (o_.iterations.value != 0 && level.level != r.search.best()) return;
  if (level.matches != 0 && o_.composites)
    stage_file_line("Write composite genotype file to:", Output::Join, "\n");
}

}  // namespace tarvo::cli
