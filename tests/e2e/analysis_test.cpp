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

TEST(AnalysisCall, GivesTheProgramsPairsAndEstimate) {
  const fs::path dir = scratch_dir("analysis_call");
  fs::copy_file(source_path("tests/data/nancycats.gen"), dir / "cats.gen");
  const Result program = run_tarvo(dir, "-1 cats.gen -k Pop -r 7 -c 2 -s 10 -n 100 -t 2");
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
  const AnalysisResult result = analyse(input, settings);
  ASSERT_GE(result.chosen, 0);
  const LevelResult& level = result.levels.at(result.chosen);

  std::ostringstream pairs;
  report::pairs_table(pairs, result.data.reference, result.scan.pairs, result.calibration,
                      result.review, static_cast<int>(result.accepted(level).size()));
  EXPECT_EQ(pairs.str(), read_file(dir / "TARVO_pairs.tsv"));
  const double recaptures = result.scan.levels[std::size_t(level.level)].recaptures;
  for (const std::string& line : {report::format("%-24s%d\n", "Accepted pairs:", level.matches),
                                  report::format("%-24s%.2f", "Corrected recaptures:", recaptures)})
    EXPECT_NE(program.out.find(line), std::string::npos) << line;
  fs::remove_all(dir);
}

}  // namespace
}  // namespace tarvo
