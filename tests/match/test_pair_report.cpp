// The pairwise match report: header, ranked rows, the pairs beyond the level,
// the end of the list, option -w, and the false-positive flags of -R runs.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "common/estimate_helpers.h"

using namespace tarvo;
using namespace testutil;

namespace {

const char* const LIST_HEAD =
    "Rank      Sample_pairs     Populations      Alleles                     Match log    "
    "Cumulative\n"
    "                                            Total Mismatch Dropout      likelihood   "
    "number    \n"
    "                                                                        ratio (LLR)  "
    "of false  \n"
    "                                                                                     "
    "positives \n";

const std::string ADDITIONAL =
    rule(51) + "\nAdditional pairs that missed out on match criteria:\n" + rule(51);

const std::string LEGEND = "\n'e' in table above denotes false positive match\n";

// Rows 1 and 2 also show the separator: B differs from A at a homozygous
// locus ('?', mismatch 1, dropout 1), C is identical to A (':').
const std::string ROW1 =
    "  1          B ? A              1    1          4      1     1          99.50         0.500 "
    "\n";
const std::string ROW2 =
    "  2          C : A              1    1          4      0     0          97.50         1.500 "
    "\n";
const std::string ROW3 =
    "  3          D : C              2    1          4      0     0          95.50         2.500 "
    "\n";
const std::string ROW4 =
    "  4          E : A              2    1          4      0     0          90.50         5.000 "
    "\n";

struct Pair {
  int i, j;
  double llr;
};

// Two passing pairs, two missing the level, one at or below every pooled LLR
// (the list ends there) and one after it.
const std::vector<Pair> STANDARD = {
    {1, 0, 99.5},  // 0.5 false positives
    {2, 0, 97.5},  // 1.5
    {3, 2, 95.5},  // 2.5: misses V = 2
    {4, 0, 90.5},  // 5.0
    {5, 1, 1.0},   // 999999
    {5, 2, 0.5},
};

struct PairReport : ::testing::Test {
  FileRun t;
  tarvo::Run& run = t.r;
  int npairs = 0;

  PairReport() {
    run.opt.o_value[2] = t.path("T_pair.txt");
    run.opt.c_value = 1;
    run.est.alphaCut[5] = 2.0;
    // Two simulated sets: 100 pooled LLRs 100, 99, ..., 1, so an LLR x between
    // them has (number of pooled values above x) / 2 expected false positives.
    run.opt.n_value = 2;
    for (int k = 0; k < 100; ++k) run.est.tot[k] = 100 - k;
    // Six samples, two populations, two loci; all alike except sample 1,
    // which is 130/134 at the second locus where the others are 130/130.
    for (int i = 0; i < 6; ++i) {
      run.store.rec[i] = Sample{std::string(1, char('A' + i)), 3u, i < 3 ? 0 : 1};
      t.set_genotype(0, i, 0, 120, 124);
      t.set_genotype(0, i, 1, 130, i == 1 ? 134 : 130);
    }
    inputs({1, 0}, {"geno.csv", ""});
  }
  void inputs(std::array<int, 2> given, std::array<std::string, 2> names) {
    run.opt.i_option = given;
    run.opt.i_value = names;
  }
  void add_pairs(const std::vector<Pair>& pairs) {
    for (const Pair& p : pairs)
      run.est.mat_pairs[0][npairs++] = MatchPair{p.i, p.j, 1, 1, p.llr, 3u};
  }
  std::string report(int model = 1, int iteration = 0) {
    tarvo_pair_report(run, model, 2, 6, npairs, iteration);
    return read_file(run.opt.o_value[2]);
  }
  std::string header(const std::string& inputs = "Input data file: geno.csv\n") {
    return date_line(run) + "\nExecutable file: TARVO Version 2.00\n" + inputs +
           "Output     file: " + run.opt.o_value[2] + "\n\n";
  }
  std::string list_start(const std::string& banner = "") {
    return "\n\n\n\n\n\n\n" + banner + rule(96) +
           "List of pairwise match(s) having cumulative number of false positives <=2       \n\n" +
           rule(96) + LIST_HEAD + rule(96);
  }
};

TEST_F(PairReport, Lists) {
  const std::string banner =
      rule(51) + "Convergence iteration 3 with 2.000 false positives\n" + rule(51) + "\n";
  struct Case {
    std::vector<Pair> pairs;
    int c_value, w_option;
    std::string banner, rows;
  } cases[] = {
      {STANDARD, 1, 0, "", ROW1 + ROW2 + ADDITIONAL + ROW3 + ROW4},
      // The convergence banner only with several iterations.
      {STANDARD, 2, 0, banner, ROW1 + ROW2 + ADDITIONAL + ROW3 + ROW4},
      // All pairs passing: no additional block.
      {{STANDARD[0], STANDARD[1]}, 1, 0, "", ROW1 + ROW2},
      // -w leaves out the pairs beyond the level.
      {STANDARD, 1, 1, "", ROW1 + ROW2},
      // The rank is the position in the bank, so left out pairs leave gaps.
      {{STANDARD[2], STANDARD[0]}, 1, 1, "", "  2" + ROW1.substr(3)},
      // The list ends at the first pair below every pooled LLR, though it passes nothing.
      {{STANDARD[0], {2, 0, 1.0}, {3, 0, 50.0}}, 1, 0, "", ROW1 + ADDITIONAL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rows);
    npairs = 0;
    add_pairs(c.pairs);
    run.opt.c_value = c.c_value;
    run.opt.w_option = c.w_option;
    EXPECT_EQ(report(1, 2), header() + list_start(c.banner) + c.rows);
  }
}

TEST_F(PairReport, SamplesByNumberUnlessOnlyAGenotypeFileIsNamed) {
  add_pairs({STANDARD[0]});
  const std::string by_number = std::string(ROW1).replace(13, 5, "2 ? 1");
  inputs({1, 1}, {"geno.csv", "freq.txt"});
  EXPECT_EQ(report(1), header("Input data file: geno.csv\nInput data file: freq.txt\n") +
                           list_start() + by_number);
  // Model 2 shows names whatever the files.
  EXPECT_NE(report(2).find(" B ? A "), std::string::npos);
  inputs({0, 1}, {"", "freq.txt"});
  EXPECT_EQ(report(1), header("Input data file: freq.txt\n") + list_start() + by_number);
}

TEST_F(PairReport, NoPairsLeaveOnlyTheHeaderInPlaceOfEarlierContent) {
  run.io.fp5 = std::fopen(run.opt.o_value[2].c_str(), "w");
  std::fputs("stale header\n", run.io.fp5);
  EXPECT_EQ(report(), header());
  EXPECT_NE(run.io.fp5, nullptr);
}

TEST_F(PairReport, FileThatCannotBeReopened) {
  run.opt.o_value[2] = t.path("missing/T_pair.txt");
  EXPECT_EQ(exit_status([&] { report(); }), 255);
  EXPECT_EQ(t.err(), "open_files(): Cannot open <S_pair> for writing\n");
  EXPECT_EQ(t.out(), "");
}

// Simulated samples are named by number; with -R 2 samples 5 and 6 copy 1 and 2.
struct PairReportSimulated : PairReport {
  PairReportSimulated() {
    for (int i = 0; i < 6; ++i) run.store.rec[i].name = std::to_string(i + 1);
    run.opt.R_value = 2;
    inputs({0, 1}, {"", "freq.txt"});
  }
};

TEST_F(PairReportSimulated, RelationshipsListedEvenWithoutPairs) {
  const std::string r = "          " + rule(43);
  EXPECT_EQ(report(3), header("Input data file: freq.txt\n") +
                           "\n\n          Simulated relationships:\n" + r +
                           "          List of pairwise matches\n"
                           "          Sample_1               Sample_2\n" +
                           r + "          5                      1                   \n" +
                           "          6                      2                   \n" + r);
}

TEST_F(PairReportSimulated, PairsThatAreNoPlantedRecaptureAreFlagged) {
  add_pairs({{4, 0, 99.5}, {3, 1, 97.5}});  // 5 copies 1; 4 and 2 are no recapture
  const std::string text = report(3);
  EXPECT_NE(text.find("          5 : 1              2    1 "), std::string::npos) << text;
  EXPECT_NE(text.find("          4 ? 2         e    2    1 "), std::string::npos) << text;
  EXPECT_TRUE(text.ends_with(LEGEND));
  // The legend follows the flag computed last, which for the pair that ends the
  // list is computed before the end; the real-data models never flag.
  npairs = 0;
  add_pairs({{3, 1, 99.5}, {4, 0, 97.5}});  // 'e', then ' '
  EXPECT_EQ(report(3).find(LEGEND), std::string::npos);
  add_pairs({{3, 0, 1.0}});  // 'e', 999999
  EXPECT_NE(report(3).find(LEGEND), std::string::npos);
  for (int model : {1, 2}) {
    const std::string real = report(model);
    EXPECT_EQ(real.find(LEGEND), std::string::npos) << model;
    EXPECT_EQ(real.find(" e "), std::string::npos) << model;
  }
}

}  // namespace
