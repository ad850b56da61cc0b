// The report layer: text output of the program. One console carries the
// progress lines to standard output, standard error and the run log; the
// report writers build each report file's text from the library's results.
#pragma once

#include <algorithm>
#include <array>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "tarvo/calibration.h"
#include "tarvo/cells.h"
#include "tarvo/clusters.h"
#include "tarvo/convergence.h"
#include "tarvo/frequencies.h"
#include "tarvo/genotypes.h"
#include "tarvo/patterns.h"
#include "tarvo/review.h"
#include "tarvo/scan.h"
#include "tarvo/standard_errors.h"

namespace tarvo::report {

// printf-style formatting into a string.
[[nodiscard]] std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// A line of `width` underscores followed by `end`.
void rule(std::ostream& out, int width, const char* end = "\n");

// Standard output, standard error and the run log (absent until opened).
// Standard output and standard error are flushed after every message; the
// first failure of standard output is kept (its errno) for the run to tell.
class Console {
 public:
  Console(std::ostream* out, std::ostream* err) : out_(out), err_(err) {}
  void attach_log(std::ostream* log) { log_ = log; }
  // Standard output through another stream (a filter in front of it).
  void redirect_out(std::ostream* out) { out_ = out; }
  [[nodiscard]] std::ostream* log_stream() const { return log_; }
  [[nodiscard]] std::ostream* out_stream() const { return out_; }
  void out(const std::string& text);
  void err(const std::string& text);
  void log(const std::string& text);
  void log_then_out(const std::string& text);  // the log first, then standard output
  void out_then_log(const std::string& text);  // standard output first, then the log
  [[nodiscard]] int out_error() const { return out_error_; }
  // Errors and warnings written to standard output or the log are copied to
  // standard error, where pipelines look; not when both streams are one
  // file (a terminal, 2>&1), where the copy would only repeat them.
  void copy_problems(bool on) { copy_problems_ = on; }
  void err_copy(const std::string& text);         // standard error, when copies are made
  void out_and_err(const std::string& text);      // standard output, then its copy
  void log_out_and_err(const std::string& text);  // the log, standard output, the copy

 private:
  std::ostream* out_;
  int out_error_ = 0;
  std::ostream* err_;
  std::ostream* log_ = nullptr;
  bool copy_problems_ = true;
};

// The line added after a message on a capacity of the build: the CMake
// option that raises it (TARVO_ is prefixed to the name) and the value in
// force, or the value needed when it is known.
[[nodiscard]] std::string rebuild_hint(const char* limit, long long in_force, long long needed = 0);

// What every report file starts with.
struct Header {
  std::string date;                 // asctime layout, ends in a newline
  std::vector<std::string> inputs;  // the input files given
};
void write_header(std::ostream& out, const Header& header, const std::string& file_name);

// The allele frequency report (_freq.txt). counted: frequencies counted from
// `samples` genotypes of `file`; otherwise read from `file`. Returns false
// when a locus had only missing values (the run then stops).
[[nodiscard]] bool frequency_report(std::ostream& out, const FrequencyTable& freqs, bool counted,
                                    int samples, const std::string& file);

// The missing-loci combinations (_miss.txt).
void missing_patterns_report(std::ostream& out, const std::vector<MissingPattern>& patterns,
                             int nloci, int nsamples);
// The pairwise mismatch table appended to _miss.txt after the reference scan.
void mismatch_table(std::ostream& out, const MismatchCounts& counts, int nloci);

// The population names of the population report.
void population_names(std::ostream& out, const GenotypeTable& table);

// Table 1 of the statistics file.
void table1(std::ostream& out, const Calibration& calibration,
            const std::array<LevelEstimate, LEVELS>& levels, int populations);

// The reference estimates per cell at the current level (the first part of
// the population report).
struct CellsReportInput {
  const CellEstimates* estimates = nullptr;
  const GenotypeTable* reference = nullptr;
  int iteration = 0;
  double false_positives = 0;
  bool any_matches = true;
  bool by_population = false;
};
void cells_report(std::ostream& out, const CellsReportInput& input);

// Table 2 of the statistics file for one stage of standard-error runs.
struct Table2Input {
  const StandardErrors* errors = nullptr;
  const Calibration* calibration = nullptr;
  int runs = 0;
  int level = 0;  // z of the stage
  int iteration = 0;
  double total = 0;
  bool by_population = false;
  std::string population_file;
};
void table2(std::ostream& out, const Table2Input& input);
// In place of Table 2 when several populations gave no plan row to simulate.
void no_simulated_matches_note(std::ostream& out);

// The simulated estimates per cell (the second part of the population report).
struct PopulationSeInput {
  const StandardErrors* errors = nullptr;
  const RecapturePlan* plan = nullptr;
  int plan_rows = 0;
  const GenotypeTable* reference = nullptr;
  int runs = 0;
  int level = 0;
  double false_positives = 0;
  bool by_population = false;
};
void population_standard_errors(std::ostream& out, const PopulationSeInput& input);

// The notes of the level search.
void try_another_note(std::ostream& out, int next, int current, const LevelTable& false_positives,
                      int sets, bool more_iterations);
void converged_note(std::ostream& out, const LevelSearch& search, int level,
                    const LevelTable& false_positives, const LevelTable& reference_recaptures,
                    int sets);

// The pairwise report (_pair.txt) after its header.
struct PairReportInput {
  const GenotypeTable* reference = nullptr;
  const std::vector<MatchPair>* pairs = nullptr;
  const Calibration* calibration = nullptr;
  int level = 0;
  int iteration = 0;
  bool several_iterations = false;  // -c above 1
  int recaptures_simulated = 0;     // -R
  bool by_name = true;              // real genotype files, model 2
  bool real_data = true;            // models 1 and 2
  bool leave_out_misses = false;    // -w
};
void pair_report(std::ostream& out, const PairReportInput& input);

// Names of up to SHORT_NAME characters keep the report layouts as they have
// always been; a longer name widens its column to the longest name shown, so
// the rows stay aligned.
inline constexpr int SHORT_NAME = 20;
// A row of a text report shows at most SHOWN_NAME characters of a name, so
// that one long name cannot widen every row of a report by its length: a
// longer name is cut at a character boundary and ends in "...". The
// tab-separated tables keep every name whole.
inline constexpr std::size_t SHOWN_NAME = 100;
[[nodiscard]] std::string shown_name(std::string_view name);
// Characters a column of the given width must grow by to hold the longest of
// names as shown, or 0 when none is longer than SHORT_NAME.
template <typename Names, typename Name>
[[nodiscard]] int column_growth(const Names& names, int width, Name name_of) {
  std::size_t longest = 0;
  for (const auto& n : names) longest = std::max(longest, std::min(name_of(n).size(), SHOWN_NAME));
  return longest > std::size_t(SHORT_NAME) ? int(longest) - width : 0;
}

// The clusters listing appended to the pairwise report; nothing when the
// clusters come from fewer than two pairs (fewer than three samples).
void cluster_listing(std::ostream& out, const Clusters& clusters, const GenotypeTable& reference);

// Tab-separated twins of the reports for R and pandas: one header line of
// snake_case names, then one row per record. Reals are written in the
// shortest form that reads back to the same double; a value that does not
// exist is NA. A field holding a tab, a quote or a line end is quoted (quotes
// doubled), as both readers expect; names are never cut.
[[nodiscard]] std::string tsv_number(double x);
[[nodiscard]] std::string tsv_field(const std::string& text);

// The review flags of a pair as names separated by ';', empty when none.
[[nodiscard]] std::string flag_names(unsigned flags);

// Every stored pair, highest LLR first; the first `accepted` are the matches
// of the level, with the review of each.
void pairs_table(std::ostream& out, const GenotypeTable& reference,
                 const std::vector<MatchPair>& pairs, const Calibration& calibration,
                 const Review& review, int accepted);
// One row per sample; the samples of one individual share its number
// (groups first, numbered as listed in the pairwise report, then every other
// sample in file order).
void individuals_table(std::ostream& out, const GenotypeTable& reference, const Review& review);
// One row per individual: its samples, how its accepted pairs join them, the
// weakest of them and the reasons to look at it again.
void groups_table(std::ostream& out, const GenotypeTable& reference, const Review& review);
// The key figures of the run at its level, one header line and one row.
struct SummaryInput {
  const Review* review = nullptr;
  const Calibration* calibration = nullptr;
  const LevelEstimate* estimate = nullptr;  // of the chosen level
  int level = 0;                            // index
  int populations = 0;
  int accepted = 0;
  double se = -1;  // of R_hat; negative when not simulated
  std::uint32_t seed = 0;
  double error = 0;
};
void summary_table(std::ostream& out, const SummaryInput& input);

// The levels: Table 1 with the simulated R_hat and s.e. of every level the
// search tried.
struct LevelsInput {
  const Calibration* calibration = nullptr;
  const std::array<LevelEstimate, LEVELS>* levels = nullptr;
  const LevelSearch* search = nullptr;
  int chosen = 0;
  std::string subtitle;  // the plot's second line (input files)
};
void levels_table(std::ostream& out, const LevelsInput& input);
// R_hat against V on a log axis as a self-contained SVG image.
void levels_plot(std::ostream& out, const LevelsInput& input);

// Every population and every pair of populations with matches at the level:
// the reference estimates and, where simulated, the simulated R_hat and s.e.
struct PopulationsInput {
  const GenotypeTable* reference = nullptr;
  const CellEstimates* estimates = nullptr;
  const StandardErrors* errors = nullptr;  // of the level's runs; empty without
  const RecapturePlan* plan = nullptr;
  int plan_rows = 0;
  int runs = 0;
  int level = 0;
};
void populations_table(std::ostream& out, const PopulationsInput& input);

}  // namespace tarvo::report
