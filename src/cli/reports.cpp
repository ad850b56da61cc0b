// The reports of the chosen level and the closing lines of a run.
#include "cli/reports.h"

#include <sstream>

#include "cli/report_page.h"
#include "report/power_report.h"
#include "report/report.h"

namespace tarvo::cli {

namespace {

using report::format;

void pair_report(const ChosenLevel& c, OutputSet& outputs) {
  const Options& o = c.options;
  const std::string& name = o.output(Output::Pair);
  std::ostream& out = outputs.restart(name);
  report::write_header(out, header_now(o), name);
  report::PairReportInput input;
  input.reference = &c.result.data.reference;
  input.pairs = &c.result.scan.pairs;
  input.calibration = &c.result.calibration;
  input.level = c.level.level;
  input.iteration = c.level.iteration;
  input.several_iterations = o.iterations.value > 1;
  input.recaptures_simulated = o.recaptures.value;
  input.by_name = (o.genotype_file.given && !o.frequency_file.given) ||
                  c.model == Model::AnalyseWithFrequencies;
  input.real_data = real_data(c.model);
  input.leave_out_misses = o.leave_out_misses;
  report::pair_report(out, input);
}

// The population names, the estimates from the data and, with standard
// errors, their simulated counterparts.
void population_report(const ChosenLevel& c, OutputSet& outputs) {
  const Options& o = c.options;
  const std::string& name = o.output(Output::Pop);
  std::ostream& out = outputs.restart(name);
  report::write_header(out, header_now(o), name);
  if (real_data(c.model) && o.genotype_file.given)
    report::population_names(out, c.result.data.reference);
  out << c.cells_text;
  if (o.iterations.value == 0) return;
  report::PopulationSeInput input;
  input.errors = &c.level.errors;
  input.plan = &c.level.cells.plan;
  input.plan_rows = c.level.plan_rows;
  input.reference = &c.result.data.reference;
  input.runs = o.runs.value;
  input.level = c.level.level;
  input.false_positives = c.result.calibration.false_positives[std::size_t(c.level.level)];
  input.by_population = c.result.populations() > 1;
  report::population_standard_errors(out, input);
}

// The clusters of the accepted pairs, listed after the pairwise report, and
// their composite genotypes: every sample outside a cluster as it was read.
void clusters_and_composites(const ChosenLevel& c, OutputSet& outputs) {
  const Options& o = c.options;
  const GenotypeTable& reference = c.result.data.reference;
  const Clusters clusters = cluster_pairs(c.result.accepted(c.level));
  report::cluster_listing(outputs.text(o.output(Output::Pair)), clusters, reference);
  if (!o.composites) return;
  const std::vector<std::int32_t> composites = composite_genotypes(clusters, reference);
  write_composite_file(outputs.restart(o.output(Output::Join)), reference, clusters, composites,
                       o.separator.value);
}

std::string levels_subtitle(const ChosenLevel& c) {
  const Options& o = c.options;
  std::string inputs;
  for (const Setting<std::string>* file : {&o.genotype_file, &o.frequency_file})
    if (file->given) inputs += (inputs.empty() ? "" : ", ") + file->value;
  const int populations = c.result.populations();
  return format("%s%s%s%d samples in %d population%s", real_data(c.model) ? "" : "simulated from ",
                inputs.c_str(), inputs.empty() ? "" : ": ", c.result.data.reference.size(),
                populations, populations == 1 ? "" : "s");
}

// The tab-separated tables, the levels plot and the page that shows them;
// grouped leading pairs are the level's matches.
void write_tables(const ChosenLevel& c, OutputSet& outputs) {
  const AnalysisResult& r = c.result;
  const GenotypeTable& reference = r.data.reference;
  const auto grouped = r.accepted(c.level);
  const std::string& prefix = c.options.prefix.value;
  std::ostringstream pairs, individuals, levels_text, populations_text, plot, loci;
  report::pairs_table(pairs, reference, r.scan.pairs, r.calibration, r.review,
                      static_cast<int>(grouped.size()));
  report::individuals_table(individuals, reference, r.review);
  report::groups_table(outputs.restart(prefix + TABLE_FILES.groups), reference, r.review);
  report::LevelsInput levels;
  levels.calibration = &r.calibration;
  levels.levels = &r.scan.levels;
  levels.search = &r.search;
  levels.chosen = c.level.level;
  levels.subtitle = levels_subtitle(c);
  report::levels_table(levels_text, levels);
  report::levels_plot(plot, levels);
  report::PopulationsInput populations;
  populations.reference = &reference;
  populations.estimates = &c.level.cells;
  // Without matches at z no runs were made at z: the errors are another level's.
  if (c.level.matches != 0) populations.errors = &c.level.errors;
  populations.plan = &c.level.cells.plan;
  populations.plan_rows = c.level.plan_rows;
  populations.runs = c.options.iterations.value != 0 ? c.options.runs.value : 0;
  populations.level = c.level.level;
  report::populations_table(populations_text, populations);
  if (!r.panels.empty()) report::loci_power_tsv(loci, r.panels);
  const report::PageTables tables{pairs.str(), individuals.str(), levels_text.str(),
                                  populations_text.str(), loci.str()};
  outputs.restart(prefix + TABLE_FILES.pairs) << tables.pairs;
  outputs.restart(prefix + TABLE_FILES.individuals) << tables.individuals;
  outputs.restart(prefix + TABLE_FILES.levels) << tables.levels;
  outputs.restart(prefix + TABLE_FILES.populations) << tables.populations;
  outputs.restart(prefix + TABLE_FILES.plot) << plot.str();
  report::SummaryInput summary;
  summary.review = &r.review;
  summary.calibration = &r.calibration;
  summary.estimate = &r.scan.levels[std::size_t(c.level.level)];
  summary.level = c.level.level;
  summary.populations = r.populations();
  summary.accepted = c.level.matches;
  if (r.search.tried(c.level.level))
    summary.se = r.search.standard_errors()[std::size_t(c.level.level)];
  summary.seed = r.seed;
  summary.error = r.error;
  report::summary_table(outputs.restart(prefix + TABLE_FILES.summary), summary);
  write_report_page(c, tables, plot.str(), outputs);
}

std::string search_state(const Options& o, const AnalysisResult& r) {
  if (o.iterations.value == 0) return "no level search (-c 0)";
  if (r.search.smallest() < 0) return "no s.e. simulated";
  return r.outcome == SearchOutcome::Converged ? "converged" : "did not converge";
}

}  // namespace

void write_final_reports(const ChosenLevel& chosen, OutputSet& outputs) {
  pair_report(chosen, outputs);
  population_report(chosen, outputs);
  clusters_and_composites(chosen, outputs);
  write_tables(chosen, outputs);
}

std::string search_outcome_note(const Options& o, const AnalysisResult& r) {
  if (r.outcome != SearchOutcome::RanOut) return "";
  const int c = o.iterations.value;
  return format(
             "\n\nNOTE:   The level search did not converge within %d convergence iteration%s "
             "(-c %d).\n",
             c, c == 1 ? "" : "s", c) +
         format("        The reports hold '-z %2d' (V=%5.3f false positives), %s.\n",
                shown_level(r.chosen, o.sets.value),
                r.calibration.false_positives[std::size_t(r.chosen)],
                r.search.smallest() >= 0 ? "the level with the smallest s.e. simulated"
                                         : "the last level tried (no s.e. simulated)");
}

std::string summary(const Options& o, Model model, const AnalysisResult& r,
                    const std::vector<std::string>& files) {
  std::string text = "\nSummary\n";
  const char* samples = real_data(model) ? "Samples read:" : "Samples simulated:";
  text += format("  %-24s%d\n", samples, r.data.reference.size());
  text += format("  %-24s%d\n", "Populations:", r.populations());
  text += format("  %-24s%u%s\n", "Seed:", r.seed, o.seed.given ? "" : " (from the clock)");
  if (r.chosen >= 0) {
    const LevelResult& level = r.levels.at(r.chosen);
    const std::size_t z = std::size_t(level.level);
    text += format("  %-24s'-z %2d' (V=%5.3f false positives), %s\n",
                   "Level:", shown_level(level.level, o.sets.value),
                   r.calibration.false_positives[z], search_state(o, r).c_str());
    text += format("  %-24s%d\n", "Accepted pairs:", level.matches);
    text += format("  %-24s%d\n", "Individuals:", r.individuals(level));
    text += format("  %-24s%.2f", "Corrected recaptures:", r.scan.levels[z].recaptures);
    text += r.search.tried(level.level) ? format(" (s.e. %.2f)\n", r.search.standard_errors()[z])
                                        : std::string(" (s.e. not simulated)\n");
    text += review_summary(r, o.prefix.value + TABLE_FILES.pairs);
  }
  // Every result says how it was drawn.
  if (o.fast) text += format("  %-24s%s\n", "Draws:", FAST_DRAWS);
  text += "  Files written:\n";
  for (const std::string& name : files) text += "    " + name + "\n";
  return text;
}

}  // namespace tarvo::cli
