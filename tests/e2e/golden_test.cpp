// The worked analyses of the cattle data with planted repeats, made
// independently of this program: the reference scan draw for draw, and whole
// runs file for file.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "e2e/case_runner.h"
#include "report/report.h"
#include "tarvo/tarvo.h"

namespace {

using e2e::kGolden;
using e2e::fs::path;

// The stages up to the end of the reference scan, through the library.
struct ReferenceScan {
  tarvo::Rng rng{2024};
  tarvo::GenotypeTable table;
  tarvo::FrequencyTable freqs;
  tarvo::Calibration calibration;
  tarvo::PairScan scan;

  ReferenceScan() {
    std::ifstream in(kGolden / "cattle_repeats.gen");
    table = tarvo::read_genotypes(in, tarvo::GenotypeFormat::Genepop, {});
    freqs = tarvo::count_frequencies(table);
    calibration = tarvo::calibrate(table, freqs, {100, 0.01, true, 100}, rng);
    const tarvo::PairScorer scorer(table, freqs, 0.01);
    scan = tarvo::scan_pairs(
        scorer, {calibration.false_positives, calibration.thresholds, 0.01, false}, rng);
  }
};

TEST(GoldenCattle, ReferenceScanAgreesDrawForDraw) {
  const ReferenceScan r;
  EXPECT_EQ(r.rng.calls(), 1279992u);

  // Table 1, character for character.
  std::ostringstream stat;
  tarvo::report::table1(stat, r.calibration, r.scan.levels, int(r.table.populations.size()));
  const std::string table = e2e::read_file(kGolden / "cattle_repeats.table1.txt");
  const auto at = stat.str().find("Table 1  Cumulative matches");
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(stat.str().substr(at, table.size()), table);

  // The stored pairs in their sorted order, with the LLR and its level.
  std::string pairs;
  char line[256];
  for (size_t p = 0; p < r.scan.pairs.size(); ++p) {
    const tarvo::MatchPair& m = r.scan.pairs[p];
    std::snprintf(line, sizeof line, "%zu %s %s %.10f %.6f\n", p + 1,
                  r.table.sample(m.later).name.c_str(), r.table.sample(m.earlier).name.c_str(),
                  m.llr, r.calibration.false_positives_above(m.llr));
    pairs += line;
  }
  EXPECT_EQ(pairs, e2e::read_file(kGolden / "cattle_repeats.pairs.txt"));
}

using e2e::golden_full;
using e2e::GoldenRun;

TEST(GoldenCattle, WholeRunWithStandardErrorsMatchesEveryFile) {
  e2e::expect_golden_full_run();
}

// The whole run converged at -z 2: a single iteration there with -c 0 gives
// the same pairwise report (without the convergence banner, which only runs
// with -c above 1 print) and the same composite genotypes.
TEST(GoldenCattle, SingleIterationAtTheConvergedLevel) {
  GoldenRun g("czero", "-1 cattle_repeats.gen -n 100 -c 0 -z 2 -r 5 -j");
  EXPECT_EQ(g.result.status, 0);
  EXPECT_EQ(g.file("TARVO_join.txt"), golden_full("TARVO_join.txt"));
  std::string pair = golden_full("TARVO_pair.txt");
  const std::string banner =
      "___________________________________________________\n"
      "Convergence iteration 3 with 0.050 false positives\n"
      "___________________________________________________\n\n";
  const auto at = pair.find(banner);
  ASSERT_NE(at, std::string::npos);
  pair.erase(at, banner.size());
  EXPECT_EQ(g.file("TARVO_pair.txt"), pair);
}

TEST(GoldenCattle, SameSeedGivesIdenticalFiles) {
  GoldenRun a("seed_a", "-1 cattle_repeats.gen -n 100 -s 10 -c 2 -r 77 -j");
  GoldenRun b("seed_b", "-1 cattle_repeats.gen -n 100 -s 10 -c 2 -r 77 -j");
  for (const char* name :
       {"TARVO_stat.txt", "TARVO_pair.txt", "TARVO_pop.txt", "TARVO_join.txt", "TARVO_log.txt"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(a.file(name), b.file(name));
  }
}

}  // namespace
