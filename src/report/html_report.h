// The one-page report of a run (<prefix>_report.html): the summary, the
// levels plot, the pair scores against chance and the run's tables, in one
// self-contained HTML file that opens in any browser without a network and
// prints on paper. Its tables are read from the tab-separated texts the run
// writes, so every number on the page is the number in those files.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "report/report.h"

namespace tarvo::report {

// A tab-separated text as tsv_field() writes it: a header line of column
// names, then rows; quoted fields may hold tabs, quotes and line ends.
struct TsvTable {
  std::vector<std::string> columns;
  std::vector<std::vector<std::string>> rows;
  // The position of a column, -1 when the table has none of that name.
  [[nodiscard]] int column(const std::string& name) const;
};
[[nodiscard]] TsvTable parse_tsv(const std::string& text);

// A number of a table as the page shows it: whole numbers and NA as they
// stand, other values rounded to what a reader takes in at a glance (the
// exact text stays on the page beside it).
[[nodiscard]] std::string shown_number(const std::string& tsv);

// The pair scores of the data against those chance gives: the stored pairs'
// LLRs and the calibration's top scores of unrelated individuals per data
// set, with the thresholds of the chosen level and its neighbours. Plain SVG.
struct ScorePlotInput {
  const Calibration* calibration = nullptr;
  const std::vector<MatchPair>* pairs = nullptr;
  int chosen = 0;  // level index
};
void score_plot(std::ostream& out, const ScorePlotInput& input);

// The run in a biologist's terms, as the summary block and the tables give it.
struct PageSummary {
  bool real_data = true;
  int samples = 0;
  int populations = 0;
  int individuals = 0;
  int accepted_pairs = 0;
  std::string recaptures;         // the levels table's r_hat at the level
  std::optional<std::string> se;  // its sim_se, when the level was simulated
  int level = 0;                  // as numbered for the user
  std::string false_positives;    // V of the level, as in the levels table
  std::string search;             // how the level was found
  std::uint32_t seed = 0;
  std::vector<std::string> flags;  // review flags and cautions of the run
};

// The TSV texts of the run, as written to its files; loci empty for
// simulated data.
struct PageTables {
  std::string pairs, individuals, levels, populations, loci;
};

struct PageInput {
  std::string title;  // names the data
  std::string date;   // asctime layout, ends in a newline
  std::string version;
  std::string command_line;
  std::vector<std::string> inputs;
  std::string options_listing;     // Table 1 of the options, as the log has it
  std::vector<std::string> files;  // the run's files, by name
  PageSummary summary;
  std::string levels_svg;  // the levels plot as written to its file
  ScorePlotInput scores;
  PageTables tables;
};
void html_report(std::ostream& out, const PageInput& input);

}  // namespace tarvo::report
