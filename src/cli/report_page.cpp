// The page's values from the run: the summary in the words of the summary
// block, the files and the options listing of the log.
#include "cli/report_page.h"

#include <sstream>

#include "cli/reports.h"
#include "report/power_report.h"

namespace tarvo::cli {

namespace {

const char* search_words(const Options& o, const AnalysisResult& r) {
  if (o.iterations.value == 0) return "fixed by -z, no level search (-c 0)";
  if (r.search.smallest() < 0) return "no standard error simulated";
  return r.outcome == SearchOutcome::Converged
             ? "the level search converged on the smallest standard error"
             : "the level search did not converge; the smallest standard error so far";
}

report::PageSummary page_summary(const ChosenLevel& c) {
  const Options& o = c.options;
  const AnalysisResult& r = c.result;
  const std::size_t z = std::size_t(c.level.level);
  report::PageSummary s;
  s.real_data = real_data(c.model);
  s.samples = r.data.reference.size();
  s.populations = r.populations();
  s.individuals = r.individuals(c.level);
  s.accepted_pairs = static_cast<int>(r.accepted(c.level).size());
  s.recaptures = report::tsv_number(r.scan.levels[z].recaptures);
  if (r.search.tried(c.level.level)) s.se = report::tsv_number(r.search.standard_errors()[z]);
  s.level = shown_level(c.level.level, o.sets.value);
  s.false_positives = report::tsv_number(r.calibration.false_positives[z]);
  s.search = search_words(o, r);
  s.seed = c.seed;
  s.flags = review_points(r);
  return s;
}

std::string title(const ChosenLevel& c) {
  const Options& o = c.options;
  std::string inputs;
  for (const Setting<std::string>* file : {&o.genotype_file, &o.frequency_file})
    if (file->given) inputs += (inputs.empty() ? "" : ", ") + file->value;
  return (real_data(c.model) ? "Recaptures in " : "Recaptures in data simulated from ") + inputs;
}

}  // namespace

void write_report_page(const ChosenLevel& c, const report::PageTables& tables,
                       const std::string& levels_svg, OutputSet& outputs) {
  const Options& o = c.options;
  const report::Header header = header_now(o);
  report::PageInput page;
  page.title = title(c);
  page.date = header.date;
  page.version = VERSION;
  page.command_line = c.command_line;
  page.inputs = header.inputs;
  std::ostringstream listing;
  list_options(listing, o, c.seed);
  page.options_listing = listing.str();
  page.files = outputs.names();
  page.summary = page_summary(c);
  page.levels_svg = levels_svg;
  page.scores = {&c.result.calibration, &c.result.scan.pairs, c.level.level};
  page.tables = tables;
  report::html_report(outputs.restart(o.prefix.value + TABLE_FILES.page), page);
}

}  // namespace tarvo::cli
