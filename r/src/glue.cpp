// The library seen from R: a genotype text or file in, the reference data or
// the analysis out. The tables cross as the program's own tab-separated text,
// so that R reads the very numbers the program writes. A failure of the
// input comes back as its message for R to raise; nothing here ends the
// process or writes to the console other than through R.
#include <Rcpp.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "report/power_report.h"
#include "report/report.h"
#include "tarvo/analysis.h"
#include "tarvo/messages.h"

namespace {

// Progress as R messages, one per stage; Ctrl-C is looked at between the
// simulated sets and runs and stops the analysis by unwinding through it.
class RObserver : public tarvo::AnalysisObserver {
 public:
  RObserver(bool verbose, int sets) : verbose_(verbose), sets_(sets) {}
  void iteration_started(int level, int iteration) override {
    Rcpp::checkUserInterrupt();
    if (iteration > 0) say(shown(level) + ", iteration " + std::to_string(iteration + 1));
  }
  void samples_read(int samples, int loci) override {
    say(std::to_string(samples) + " samples read at " + std::to_string(loci) + " loci");
  }
  void population_dropped(const std::string& name) override {
    say("population " + name + " dropped: too few samples");
  }
  void calibrating() override { say("calibrating the match threshold"); }
  void calibration_set() override { Rcpp::checkUserInterrupt(); }
  void scanning() override { say("scoring every pair of samples"); }
  void estimating(int level, int matches) override {
    say(shown(level) + ": " + std::to_string(matches) + (matches == 1 ? " match" : " matches"));
  }
  void errors_stage(const tarvo::AnalysisResult& /*so_far*/,
                    const tarvo::LevelResult& level) override {
    if (level.matches != 0) say("simulating the standard errors");
  }
  void error_run(int /*iteration*/, int /*run*/) override { Rcpp::checkUserInterrupt(); }

 private:
  void say(const std::string& text) const {
    if (!verbose_) return;
    static const Rcpp::Function message("message");
    message("tarvo: " + text);
  }
  [[nodiscard]] std::string shown(int level) const {
    return "level " + std::to_string(tarvo::shown_level(level, sets_));
  }
  bool verbose_;
  int sets_;
};

// The genotypes: a file, or a text in the GenAlEx layout built by R.
struct Source {
  std::unique_ptr<std::istream> stream;
  std::string file;
};

Source open_source(const std::string& text, bool is_file) {
  Source s;
  if (is_file) {
    auto file = std::make_unique<std::ifstream>(text, std::ios::binary);
    if (!*file) Rcpp::stop("cannot open '" + text + "'");
    s.stream = std::move(file);
    s.file = text;
  } else {
    s.stream = std::make_unique<std::istringstream>(text);
    s.file = "the data frame";
  }
  return s;
}

tarvo::AnalysisSettings read_settings(const Rcpp::List& options) {
  tarvo::AnalysisSettings s;
  s.separator = Rcpp::as<std::string>(options["separator"]);
  s.min_population = Rcpp::as<int>(options["min_population"]);
  s.error = Rcpp::as<double>(options["error"]);
  s.retype_error = Rcpp::as<double>(options["retype_error"]);
  s.sets = Rcpp::as<int>(options["calibration_sets"]);
  s.runs = Rcpp::as<int>(options["se_runs"]);
  s.iterations = Rcpp::as<int>(options["iterations"]);
  s.level = Rcpp::as<int>(options["level"]);
  s.mask_resampling = static_cast<tarvo::MaskResampling>(Rcpp::as<int>(options["masks"]));
  s.seed = static_cast<std::uint32_t>(Rcpp::as<double>(options["seed"]));
  const int threads = Rcpp::as<int>(options["threads"]);
  s.threads = threads > 0 ? threads : int(std::max(1u, std::thread::hardware_concurrency()));
  s.fast = Rcpp::as<bool>(options["fast"]);
  s.create_only = Rcpp::as<bool>(options["create_only"]);
  return s;
}

// The failure's message as the program writes it to its terminal.
Rcpp::List failure(const tarvo::Error& e, const Source& source,
                   const tarvo::AnalysisSettings& settings) {
  tarvo::MessageContext context;
  context.file = source.file;
  context.separator = settings.separator;
  context.separator_given = settings.separator != "POP";
  std::string text;
  for (const tarvo::MessageLine& line : tarvo::describe(e, context))
    if (line.stream != tarvo::MessageStream::Log) text += line.text;
  return Rcpp::List::create(Rcpp::_["error"] = text, Rcpp::_["code"] = static_cast<int>(e.code()));
}

Rcpp::List reference_data(const tarvo::GenotypeTable& table) {
  const int n = table.size(), nloci = table.loci();
  Rcpp::CharacterVector names(n), populations(n);
  Rcpp::IntegerMatrix alleles(n, 2 * nloci);
  for (int s = 0; s < n; ++s) {
    const tarvo::Sample& sample = table.sample(s);
    names[s] = sample.name;
    populations[s] = table.populations[std::size_t(sample.population)].name;
    for (int a = 0; a < 2 * nloci; ++a) alleles(s, a) = table.row(s)[a];
  }
  return Rcpp::List::create(Rcpp::_["sample"] = names, Rcpp::_["population"] = populations,
                            Rcpp::_["alleles"] = alleles,
                            Rcpp::_["loci"] = Rcpp::wrap(table.locus_names));
}

std::string search_state(const tarvo::AnalysisSettings& s, const tarvo::AnalysisResult& r) {
  if (s.iterations == 0) return "no level search (-c 0)";
  if (r.search.smallest() < 0) return "no s.e. simulated";
  return r.outcome == tarvo::SearchOutcome::Converged ? "converged" : "did not converge";
}

// The figures of the program's summary block.
Rcpp::List figures(const tarvo::AnalysisSettings& s, const tarvo::AnalysisResult& r) {
  const tarvo::LevelResult& level = r.levels.at(r.chosen);
  const auto z = std::size_t(level.level);
  return Rcpp::List::create(
      Rcpp::_["samples"] = r.data.reference.size(), Rcpp::_["populations"] = r.populations(),
      Rcpp::_["level"] = tarvo::shown_level(level.level, s.sets),
      Rcpp::_["false_positives"] = r.calibration.false_positives[z],
      Rcpp::_["search"] = search_state(s, r), Rcpp::_["accepted_pairs"] = level.matches,
      Rcpp::_["individuals"] = r.individuals(level),
      Rcpp::_["recaptures"] = r.scan.levels[z].recaptures,
      Rcpp::_["se"] = r.search.tried(level.level) ? r.search.standard_errors()[z] : NA_REAL,
      Rcpp::_["fast"] = s.fast);
}

// The program's tab-separated tables of the chosen level.
Rcpp::List tables(const tarvo::AnalysisSettings& s, const tarvo::AnalysisResult& r) {
  namespace report = tarvo::report;
  const tarvo::LevelResult& level = r.levels.at(r.chosen);
  const auto grouped = r.accepted(level);
  std::ostringstream pairs, individuals, groups, levels, populations;
  report::pairs_table(pairs, r.data.reference, r.scan.pairs, r.calibration, r.review,
                      static_cast<int>(grouped.size()));
  report::individuals_table(individuals, r.data.reference, r.review);
  report::groups_table(groups, r.data.reference, r.review);
  report::LevelsInput l;
  l.calibration = &r.calibration;
  l.levels = &r.scan.levels;
  l.search = &r.search;
  l.chosen = level.level;
  report::levels_table(levels, l);
  report::PopulationsInput p;
  p.reference = &r.data.reference;
  p.estimates = &level.cells;
  // Without matches at the level no runs were made there: the errors are another level's.
  if (level.matches != 0) p.errors = &level.errors;
  p.plan = &level.cells.plan;
  p.plan_rows = level.plan_rows;
  p.runs = s.iterations != 0 ? s.runs : 0;
  p.level = level.level;
  report::populations_table(populations, p);
  report::SummaryInput key;
  key.review = &r.review;
  key.calibration = &r.calibration;
  key.estimate = &r.scan.levels[std::size_t(level.level)];
  key.level = level.level;
  key.populations = r.populations();
  key.accepted = level.matches;
  if (r.search.tried(level.level)) key.se = r.search.standard_errors()[std::size_t(level.level)];
  key.seed = r.seed;
  key.error = r.error;
  std::ostringstream key_figures;
  report::summary_table(key_figures, key);
  return Rcpp::List::create(
      Rcpp::_["pairs"] = pairs.str(), Rcpp::_["individuals"] = individuals.str(),
      Rcpp::_["groups"] = groups.str(), Rcpp::_["key_figures"] = key_figures.str(),
      Rcpp::_["levels"] = levels.str(), Rcpp::_["populations"] = populations.str());
}

std::string loci_power(const tarvo::AnalysisResult& r) {
  std::ostringstream out;
  tarvo::report::loci_power_tsv(out, r.panels);
  return out.str();
}

}  // namespace

// What = "read": the reference data; "power": the panel power; "analyse":
// the tables and the summary figures.
// [[Rcpp::export]]
Rcpp::List tarvo_run(const std::string& text, bool is_file, const Rcpp::List& options,
                     const std::string& what, bool verbose) {
  const Source source = open_source(text, is_file);
  tarvo::AnalysisSettings settings = read_settings(options);
  settings.create_only = what != "analyse";
  RObserver observer(verbose, settings.sets);
  try {
    tarvo::AnalysisInput input;
    if (is_file)
      input.genotypes = tarvo::detect_genotypes(*source.stream);
    else
      input.genotypes = {source.stream.get(), "", tarvo::GenotypeFormat::Genalex};
    const tarvo::AnalysisResult r = tarvo::analyse(input, settings, observer);
    if (what == "read") return reference_data(r.data.reference);
    if (what == "power") return Rcpp::List::create(Rcpp::_["loci"] = loci_power(r));
    if (!r.usable) return Rcpp::List::create(Rcpp::_["unusable"] = true);
    Rcpp::List out = tables(settings, r);
    out["loci"] = loci_power(r);
    out["summary"] = figures(settings, r);
    return out;
  } catch (const tarvo::Error& e) {
    return failure(e, source, settings);
  } catch (const tarvo::LociMismatch& e) {
    return Rcpp::List::create(Rcpp::_["error"] = std::string(e.what()));
  }
}
