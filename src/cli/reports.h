// The reports of the level the run chose, the files written next to them,
// and the run's closing lines.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/models.h"
#include "cli/options.h"
#include "cli/outputs.h"
#include "tarvo/analysis.h"

namespace tarvo::cli {

// How a fast run's results were drawn: the summary and the statistics file.
inline constexpr const char* FAST_DRAWS = "--fast (counter-based streams, not the default draws)";

struct ChosenLevel {
  const Options& options;
  Model model;
  const AnalysisResult& result;
  const LevelResult& level;
  const std::string& cells_text;  // the population report's estimates from the data
  std::uint32_t seed = 0;
  std::string command_line;  // as typed, for the report page
};

// Each through the output set, one call per file.
void write_final_reports(const ChosenLevel& chosen, OutputSet& outputs);

// When the iterations ran out before the level repeated: the note for the
// statistics file, the log and standard output; empty otherwise.
[[nodiscard]] std::string search_outcome_note(const Options& options, const AnalysisResult& result);

// The summary lines of the review of the chosen level: what the samples
// make, what R_hat counts, the pairs to look at again and the cautions.
// The flags and cautions of the review, one sentence each, for the report page.
[[nodiscard]] std::vector<std::string> review_points(const AnalysisResult& result);
[[nodiscard]] std::string review_summary(const AnalysisResult& result,
                                         const std::string& pairs_file);

// The end of standard output and of the log: what the run read, what it
// found at its level (none: nothing analysed) and which files hold it.
[[nodiscard]] std::string summary(const Options& options, Model model, const AnalysisResult& result,
                                  const std::vector<std::string>& files);

}  // namespace tarvo::cli
