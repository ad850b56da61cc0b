// The run as the program tells it: the numbered stage lines on standard
// output and in the log, and the reports written as the analysis goes (the
// input reports, Table 1, Table 2 and the level notes).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "cli/models.h"
#include "cli/options.h"
#include "cli/outputs.h"
#include "cli/screen.h"
#include "report/report.h"
#include "tarvo/analysis.h"

namespace tarvo::cli {

// What the program is doing, for a failure that can come anywhere.
struct Doing {
  const char* what = "reading the command line";
  std::string reading;  // the input file being read
  // The frequencies an unknown allele was looked up in.
  FrequencyTable frequencies;
};

class Progress : public AnalysisObserver {
 public:
  Progress(const Options& options, Model model, std::uint32_t seed, report::Console& console,
           OutputSet& outputs, RunLog* log, Doing& doing)
      : o_(options),
        model_(model),
        seed_(seed),
        console_(console),
        outputs_(outputs),
        log_(log),
        doing_(doing) {}

  // The population report's estimates from the data at a level, as its
  // iteration found them.
  [[nodiscard]] const std::string& cells_text(int level) const { return cells_text_.at(level); }
  // Standard output's filter; none: every line goes to it.
  void show_on(Screen* screen) { screen_ = screen; }

  void iteration_started(int level, int iteration) override;
  void reading_frequencies() override;
  void frequencies_read() override { doing_.reading.clear(); }
  void reading_genotypes() override;
  void population_dropped(const std::string& name) override;
  void genotypes_read() override { doing_.reading.clear(); }
  void shared_names(std::span<const std::string_view> names) override;
  void samples_read(int samples, int loci) override;
  void simulating(const GenotypeTable& table) override;
  void simulated(const GenotypeTable& table) override;
  void loaded(const LoadedData& data) override;
  void described(const AnalysisResult& so_far) override;
  void calibrating() override;
  void calibration_set() override;
  void calibrated(const AnalysisResult& so_far) override;
  void scanning() override { doing_.what = "scanning the reference pairs"; }
  void scanned(const AnalysisResult& so_far) override;
  void estimating(int level, int matches) override;
  void estimated(const AnalysisResult& so_far, const LevelResult& level) override;
  void errors_stage(const AnalysisResult& so_far, const LevelResult& level) override;
  void no_planted_matches() override;
  void error_run(int iteration, int run) override;
  void planted(const PlantedRow& row) override;
  void pairs_full() override;
  void errors_simulated(const AnalysisResult& so_far, const LevelResult& level,
                        const LevelSearch::Step& step) override;
  void iteration_finished(const AnalysisResult& so_far, const LevelResult& level) override;

 private:
  void stage_text(const std::string& text);
  void stage_file_line(const char* text, Output file, const char* end, const char* lead = "");
  [[nodiscard]] std::ostream& file(Output which) { return outputs_.text(o_.output(which)); }
  [[nodiscard]] bool shows(ScreenMode mode) const {
    return screen_ != nullptr && screen_->mode() == mode;
  }
  // The progress line of a stage that counts steps.
  void show_step(const std::string& what, int done);

  const Options& o_;
  Model model_;
  std::uint32_t seed_;
  report::Console& console_;
  OutputSet& outputs_;
  RunLog* log_;  // null: no log
  Doing& doing_;
  Screen* screen_ = nullptr;
  Pace pace_;
  Pace::Clock::time_point started_ = Pace::Clock::now();
  int sets_begun_ = 0;
  LevelTable ladder_ = false_positive_ladder(o_.sets.value);
  int stage_ = 1;
  std::vector<std::string> population_names_;
  std::map<int, std::string> cells_text_;
};

// The analysis as the options of the model ask for it.
[[nodiscard]] AnalysisSettings analysis_settings(const Options& options, Model model,
                                                 std::uint32_t seed, int threads);

// The line of a reader that could not open its file, and the system's reason.
[[nodiscard]] std::string open_failure_reason(int error);

}  // namespace tarvo::cli
