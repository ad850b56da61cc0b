// The analysis call against the program on the same data and seed: the same
// level, the same accepted pairs (the _pairs.tsv of the program) and the same
// corrected recaptures as its summary.
#include "tarvo/analysis.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "e2e/e2e_util.h"
#include "report/report.h"

namespace tarvo {
namespace {

using namespace e2e;

// The call with the settings of "-1 cats.gen -k Pop -r 7 -c 2 -s 10 -n 100",
// and --fast when fast, against the program's run.
void expect_the_programs_result(bool fast) {
  const fs::path dir = scratch_dir(fast ? "analysis_call_fast" : "analysis_call");
  fs::copy_file(source_path("tests/data/nancycats.gen"), dir / "cats.gen");
  const Result program = run_tarvo(
      dir, std::string("-1 cats.gen -k Pop -r 7 -c 2 -s 10 -n 100 -t 2") + (fast ? " --fast" : ""));
  ASSERT_EQ(program.status, 0) << program.err;

  std::ifstream file(dir / "cats.gen", std::ios::binary);
  AnalysisInput input;
  input.genotypes = detect_genotypes(file);
  AnalysisSettings settings;
  settings.separator = "Pop";
  settings.seed = 7;
  settings.iterations = 2;
  settings.runs = 10;
  settings.sets = 100;
  settings.fast = fast;
  const AnalysisResult result = analyse(input, settings);
  ASSERT_GE(result.chosen, 0);
  const LevelResult& level = result.levels.at(result.chosen);

  std::ostringstream pairs;
  report::pairs_table(pairs, result.data.reference, result.scan.pairs, result.calibration,
                      result.review, static_cast<int>(result.accepted(level).size()));
  EXPECT_EQ(pairs.str(), read_file(dir / "TARVO_pairs.tsv"));
  const double recaptures = result.scan.levels[std::size_t(level.level)].recaptures;
  const double se = result.search.standard_errors()[std::size_t(level.level)];
  for (const std::string& line :
       {report::format("%-24s%d\n", "Accepted pairs:", level.matches),
        report::format("%-24s%.2f (s.e. %.2f)\n", "Corrected recaptures:", recaptures, se)})
    EXPECT_NE(program.out.find(line), std::string::npos) << line;
  EXPECT_EQ(program.out.find("--fast (counter-based") != std::string::npos, fast);
  fs::remove_all(dir);
}

TEST(AnalysisCall, GivesTheProgramsPairsAndEstimate) {
  expect_the_programs_result(false);
}

// The fast setting reaches every stage the program's --fast does: the
// standard errors too, which only the calibration sets' and the runs' streams
// give.
TEST(AnalysisCall, FastSettingGivesTheProgramsFastRun) {
  expect_the_programs_result(true);
}

// Both the calibration sets and the standard-error runs take the fast
// setting: their draws differ from a default analysis of the same seed, and
// stay the same on any thread count.
TEST(AnalysisCall, FastSettingReachesTheCalibrationAndTheRuns) {
  const auto run = [](bool fast, int threads) {
    std::ifstream file(source_path("tests/data/nancycats.gen"), std::ios::binary);
    AnalysisInput input;
    input.genotypes = detect_genotypes(file);
    AnalysisSettings settings;
    settings.separator = "Pop";
    settings.seed = 5;
    settings.iterations = 1;
    settings.runs = 10;
    settings.sets = 100;
    settings.fast = fast;
    settings.threads = threads;
    return analyse(input, settings);
  };
  const AnalysisResult plain = run(false, 1), fast = run(true, 1), fast3 = run(true, 3);
  ASSERT_GE(fast.chosen, 0);
  EXPECT_NE(fast.calibration.pooled, plain.calibration.pooled);
  EXPECT_EQ(fast.calibration.pooled, fast3.calibration.pooled);
  const auto errors = [](const AnalysisResult& r) { return r.levels.at(r.chosen).errors.se; };
  EXPECT_NE(errors(fast), errors(plain));
  EXPECT_EQ(errors(fast), errors(fast3));
}

}  // namespace
}  // namespace tarvo
