// The pairwise match report: header, ranked rows, the pairs beyond the level,
// the end of the list, option -w, and the false-positive flags of -R runs.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "tarvo.h"

using namespace tarvo;
namespace fs = std::filesystem;

namespace {

std::string slurp(FILE* f) {
  std::string text;
  std::fflush(f);
  std::rewind(f);
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  return text;
}

std::string rule(int n) {
  return std::string(n, '_') + "\n";
}

const char* const LIST_HEAD =
    "Rank      Sample_pairs     Populations      Alleles                     Match log    "
    "Cumulative\n"
    "                                            Total Mismatch Dropout      likelihood   "
    "number    \n"
    "                                                                        ratio (LLR)  "
    "of false  \n"
    "                                                                                     "
    "positives \n";

const char* const ADDITIONAL =
    "___________________________________________________\n"
    "\nAdditional pairs that missed out on match criteria:\n"
    "___________________________________________________\n";

const char* const LEGEND = "\n'e' in table above denotes false positive match\n";

struct PairReport : ::testing::Test {
  std::unique_ptr<tarvo::Run> run = std::make_unique<tarvo::Run>();
  fs::path dir;
  int npairs = 0;

  void SetUp() override {
    static int serial = 0;
    dir = fs::temp_directory_path() /
          ("tarvo_pair_" + std::to_string(::getpid()) + "_" + std::to_string(serial++));
    fs::create_directories(dir);
    run->io.out = std::tmpfile();
    run->io.err = std::tmpfile();
    run->io.fp7 = std::tmpfile();
    run->io.now_override = 1700000000;
    run->opt.o_value[2] = (dir / "T_pair.txt").string();
    run->opt.z_value = 5;
    run->opt.c_value = 1;
    run->est.alphaCut[5] = 2.0;
    // Two simulated sets: 100 pooled LLRs 100, 99, ..., 1, so an LLR x between
    // them has (number of pooled values above x) / 2 expected false positives.
    run->opt.n_value = 2;
    for (int k = 0; k < 100; ++k) run->est.tot[k] = 100 - k;
    // Six samples, two populations, two loci; all alike except sample 1,
    // which is 130/134 at the second locus where the others are 130/130.
    const char* names[] = {"A", "B", "C", "D", "E", "F"};
    for (int i = 0; i < 6; ++i) {
      run->store.rec[i].name = names[i];
      run->store.rec[i].loci_mask = 3u;
      run->store.rec[i].block = i < 3 ? 0 : 1;
      int32_t* g = run->store.row(0, i);
      g[0] = 120, g[1] = 124, g[2] = 130, g[3] = 130;
    }
    run->store.row(0, 1)[3] = 134;
    genotype_file_only();
  }
  void TearDown() override {
    std::fclose(run->io.out);
    std::fclose(run->io.err);
    std::fclose(run->io.fp7);
    if (run->io.fp5) std::fclose(run->io.fp5);
    fs::remove_all(dir);
  }
  void genotype_file_only() {
    run->opt.i_option = {1, 0};
    run->opt.i_value = {"geno.csv", ""};
  }
  void add_pair(int i, int j, double llr) {
    run->est.mat_pairs[0][npairs++] = MatchPair{i, j, 1, 1, llr, 3u};
  }
  // The standard list: two passing pairs, two missing the level, one at or
  // below every pooled LLR (the list ends there) and one after it.
  void standard_pairs() {
    add_pair(1, 0, 99.5);  // 0.5 false positives
    add_pair(2, 0, 97.5);  // 1.5
    add_pair(3, 2, 95.5);  // 2.5: misses V = 2
    add_pair(4, 0, 90.5);  // 5.0
    add_pair(5, 1, 1.0);   // 999999
    add_pair(5, 2, 0.5);
  }
  std::string report(int model = 1, int nsamples = 6, int iteration = 0) {
    tarvo_pair_report(*run, model, 2, nsamples, npairs, iteration);
    std::ifstream in(run->opt.o_value[2], std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  std::string header(const std::string& inputs = "Input data file: geno.csv\n") {
    return date_line(*run) + "\n" + "Executable file: TARVO Version 2.00\n" + inputs +
           "Output     file: " + run->opt.o_value[2] + "\n\n";
  }
  std::string list_start(const std::string& banner = "") {
    return "\n\n\n\n\n\n\n" + banner + rule(96) +
           "List of pairwise match(s) having cumulative number of false positives <=2       \n\n" +
           rule(96) + LIST_HEAD + rule(96);
  }
};

const char* const ROW1 =
    "  1          B ? A              1    1          4      1     1          99.50         0.500 "
    "\n";
const char* const ROW2 =
    "  2          C : A              1    1          4      0     0          97.50         1.500 "
    "\n";
const char* const ROW3 =
    "  3          D : C              2    1          4      0     0          95.50         2.500 "
    "\n";
const char* const ROW4 =
    "  4          E : A              2    1          4      0     0          90.50         5.000 "
    "\n";

// ---------------------------------------------------------------- the list
// Rows 1 and 2 also show the separator: B differs from A at a homozygous
// locus ('?', mismatch 1, dropout 1), C is identical to A (':').

TEST_F(PairReport, WholeReportWithPairsBeyondTheLevelAndTheEndOfTheList) {
  standard_pairs();
  EXPECT_EQ(report(), header() + list_start() + ROW1 + ROW2 + ADDITIONAL + ROW3 + ROW4);
}

TEST_F(PairReport, ConvergenceBannerOnlyWithSeveralIterations) {
  standard_pairs();
  run->opt.c_value = 2;
  const std::string banner =
      rule(51) + "Convergence iteration 3 with 2.000 false positives\n" + rule(51) + "\n";
  EXPECT_EQ(report(1, 6, 2),
            header() + list_start(banner) + ROW1 + ROW2 + ADDITIONAL + ROW3 + ROW4);
}

TEST_F(PairReport, AllPairsPassingHaveNoAdditionalBlock) {
  add_pair(1, 0, 99.5);
  add_pair(2, 0, 97.5);
  EXPECT_EQ(report(), header() + list_start() + ROW1 + ROW2);
}

TEST_F(PairReport, OptionWLeavesOutPairsBeyondTheLevel) {
  standard_pairs();
  run->opt.w_option = 1;
  EXPECT_EQ(report(), header() + list_start() + ROW1 + ROW2);
}

TEST_F(PairReport, RankIsThePositionInTheBankSoSkippedPairsLeaveGaps) {
  run->opt.w_option = 1;
  add_pair(3, 2, 95.5);  // misses the level, left out
  add_pair(1, 0, 99.5);
  const std::string text = report();
  EXPECT_NE(
      text.find("  2          B ? A              1    1          4      1     1          99.50    "
                "     0.500 \n"),
      std::string::npos)
      << text;
  EXPECT_EQ(text.find("\n  1 "), std::string::npos);
}

TEST_F(PairReport, ListEndsAtTheFirstPairBelowEveryPooledLLR) {
  add_pair(1, 0, 99.5);
  add_pair(2, 0, 1.0);   // 999999: ends the list though it passes nothing
  add_pair(3, 0, 50.0);  // never reached
  EXPECT_EQ(report(), header() + list_start() + ROW1 + ADDITIONAL);
}

TEST_F(PairReport, SamplesByNumberUnlessOnlyAGenotypeFileIsNamed) {
  add_pair(1, 0, 99.5);
  const std::string by_number =
      "  1          2 ? 1              1    1          4      1     1          99.50         "
      "0.500 \n";
  run->opt.i_option = {1, 1};
  run->opt.i_value = {"geno.csv", "freq.txt"};
  EXPECT_EQ(report(1), header("Input data file: geno.csv\nInput data file: freq.txt\n") +
                           list_start() + by_number);
  // Model 2 shows names whatever the files.
  EXPECT_NE(report(2).find(" B ? A "), std::string::npos);
  run->opt.i_option = {0, 1};
  run->opt.i_value = {"", "freq.txt"};
  EXPECT_EQ(report(1), header("Input data file: freq.txt\n") + list_start() + by_number);
}

TEST_F(PairReport, NoPairsLeaveOnlyTheHeader) {
  EXPECT_EQ(report(), header());
}

TEST_F(PairReport, EarlierContentOfTheFileIsReplaced) {
  run->io.fp5 = std::fopen(run->opt.o_value[2].c_str(), "w");
  std::fputs("stale header\n", run->io.fp5);
  EXPECT_EQ(report(), header());
  ASSERT_NE(run->io.fp5, nullptr);
}

TEST_F(PairReport, FileThatCannotBeReopened) {
  run->opt.o_value[2] = (dir / "missing" / "T_pair.txt").string();
  int status = 0;
  try {
    tarvo_pair_report(*run, 1, 2, 6, 0, 0);
  } catch (const Exit& e) {
    status = e.status;
  }
  EXPECT_EQ(status, 255);
  EXPECT_EQ(slurp(run->io.err), "open_files(): Cannot open <S_pair> for writing\n");
}

// ---------------------------------------------------------------- simulated recaptures

struct PairReportSimulated : PairReport {
  void SetUp() override {
    PairReport::SetUp();
    // Simulated samples are named by number; with -R 2 samples 5 and 6 copy 1 and 2.
    for (int i = 0; i < 6; ++i) run->store.rec[i].name = std::to_string(i + 1);
    run->opt.R_value = 2;
    run->opt.i_option = {0, 1};
    run->opt.i_value = {"", "freq.txt"};
  }
  std::string relationships() {
    const std::string r = "          " + rule(43);
    return "\n\n          Simulated relationships:\n" + r +
           "          List of pairwise matches\n"
           "          Sample_1               Sample_2\n" +
           r + "          5                      1                   \n" +
           "          6                      2                   \n" + r;
  }
};

TEST_F(PairReportSimulated, RelationshipsListedEvenWithoutPairs) {
  EXPECT_EQ(report(3), header("Input data file: freq.txt\n") + relationships());
}

TEST_F(PairReportSimulated, PairsThatAreNoPlantedRecaptureAreFlagged) {
  add_pair(4, 0, 99.5);  // 5 copies 1
  add_pair(3, 1, 97.5);  // 4 and 2: not a recapture
  const std::string text = report(3);
  EXPECT_NE(text.find("          5 : 1              2    1 "), std::string::npos) << text;
  EXPECT_NE(text.find("          4 ? 2         e    2    1 "), std::string::npos) << text;
  EXPECT_EQ(text.substr(text.size() - std::string(LEGEND).size()), LEGEND);
}

TEST_F(PairReportSimulated, LegendFollowsTheFlagComputedLast) {
  add_pair(3, 1, 99.5);  // 'e'
  add_pair(4, 0, 97.5);  // ' '
  EXPECT_EQ(report(3).find(LEGEND), std::string::npos);
  // The pair that ends the list has its flag computed before the end.
  add_pair(3, 0, 1.0);  // 'e', 999999
  EXPECT_NE(report(3).find(LEGEND), std::string::npos);
}

TEST_F(PairReportSimulated, RealDataModelsNeverFlag) {
  add_pair(3, 1, 99.5);
  for (int model : {1, 2}) {
    const std::string text = report(model);
    EXPECT_EQ(text.find(LEGEND), std::string::npos) << model;
    EXPECT_EQ(text.find(" e "), std::string::npos) << model;
  }
}

}  // namespace
