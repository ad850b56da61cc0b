// Population estimates at the current level: the pair-of-populations list, the
// effective sizes, the corrected matches of a simulated run and the temporary
// file with the recapture plan.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

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

std::string read_file(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::string rule(int n) {
  return std::string(n, '_') + "\n";
}

const char* const HEAD_ONE =
    "\n\n\nTable 1  Within population recapture estimate from reference data\n"
    "____________________________________________________________________________________________"
    "________\n"
    "  Population    Population                 Effective       False       Matches  "
    "Recaptures__________\n"
    "  number        size                       sample size     positives   found    Corrected   "
    "(%) \n"
    "  n1            s1                          E               V          M        R_hat        "
    "P        \n"
    "____________________________________________________________________________________________"
    "________\n";

const char* const HEAD_SEVERAL =
    "\n\n\nTable 1  Within and between population recapture estimates from data\n"
    "____________________________________________________________________________________________"
    "________\n"
    "  Population    Population    Effective    Effective       False       Matches  "
    "Recaptures__________\n"
    "  number        size          block size   sample size     positives   found    Corrected   "
    "(%) \n"
    "  n1   n2       s1   s2        b            e               V          M        R_hat        "
    "P  \n"
    "____________________________________________________________________________________________"
    "________\n";

struct EstBlockRecaps : ::testing::Test {
  std::unique_ptr<tarvo::Run> run = std::make_unique<tarvo::Run>();
  fs::path dir;
  int nsamples = 0;

  void SetUp() override {
    static int serial = 0;
    dir = fs::temp_directory_path() /
          ("tarvo_est_" + std::to_string(::getpid()) + "_" + std::to_string(serial++));
    fs::create_directories(dir);
    run->io.out = std::tmpfile();
    run->io.err = std::tmpfile();
    run->io.fp7 = std::tmpfile();
    run->io.now_override = 1700000000;
    run->opt.d_value = (dir / "T").string();
    run->opt.o_value[3] = (dir / "T_pop.txt").string();
    run->opt.z_value = 5;
    run->est.LLRcut[5] = 1.0;
    run->est.alphaCut[5] = 0.5;
  }
  void TearDown() override {
    std::fclose(run->io.out);
    std::fclose(run->io.err);
    std::fclose(run->io.fp7);
    if (run->io.fp8) std::fclose(run->io.fp8);
    fs::remove_all(dir);
  }
  void populations(std::vector<int> bounds) {
    for (size_t i = 0; i < bounds.size(); ++i) run->store.nBlock[i] = bounds[i];
    nsamples = bounds.back();
  }
  // A stored match: later sample s1 in population number p1, earlier s2 in p2.
  void add_pair(int s1, int s2, int p1, int p2, double llr, int bank = 0) {
    MatchPair& mp = run->est.mat_pairs[bank][run->totalPairs++];
    mp = MatchPair{s1, s2, p1, p2, llr, 1u};
  }
  // One locus: allele 10 is common (0.9), allele 20 rare (0.1). With -e 0.01 a
  // sample homozygous for the rare allele scores ln(98.03) = 4.59 against itself,
  // one homozygous for the common allele ln(1.23) = 0.21; the threshold 1.0 lies
  // between. -E 0 keeps the copies free of errors. Kinds: S strong, W weak,
  // x nothing scored. Populations of 4, 3 and 2 samples.
  void tiny_data(int set, const char* kinds = "SWSxSSWSW") {
    Locus& L = run->store.loc[0];
    L.nallele = 2;
    L.allele[0] = 10;
    L.allele[1] = 20;
    L.freq[0] = 0.9;
    L.freq[1] = 0.1;
    L.cumfreq[0] = 0.9;
    L.cumfreq[1] = 1.0;
    run->opt.e_value = 100;
    run->opt.E_value = 0;
    populations({0, 4, 7, 9});
    for (int i = 0; i < 9; ++i) {
      const int a = kinds[i] == 'S' ? 20 : kinds[i] == 'W' ? 10 : 0;
      run->store.row(set, i)[0] = run->store.row(set, i)[1] = a;
      run->store.rec[i].loci_mask = a ? 1u : 0u;
    }
    prepare_scores(*run, set, 9, 1);
  }
  double call(int goodPairs, double Etotal, int& nrows, int nBlocks, int iteration = 0) {
    return dataBlockRecaps(*run, 1, nBlocks, nsamples, goodPairs, Etotal, nrows, 1, iteration);
  }
  std::string temp_text() { return read_file(dir / "T_temp.txt"); }
  // Text of the temporary file after its header and banner.
  std::string table_text() {
    const std::string t = temp_text();
    const std::string mark = "false positives\n" + rule(56) + "\n";
    const size_t at = t.find(mark);
    return at == std::string::npos ? t : t.substr(at + mark.size());
  }
};

// ---------------------------------------------------------------- corrected matches

TEST(EstCorrectedMatch, LimitsTheEffectiveSizeByMatchesAndBlockSize) {
  std::vector<int> rlist = {5};
  double R = -1;
  // w = E12 = 10: h = 0.6, R = 20 (1 - 0.6^2)
  EXPECT_NEAR(get_corrected_match(0, 0, 0, rlist, 1.0, 10, 20, R), 12.8, 1e-9);
  EXPECT_NEAR(R, 12.8, 1e-9);
  // w raised to m = 5: h = 0.2, R = 20 (1 - 0.2^4)
  get_corrected_match(0, 0, 0, rlist, 1.0, 2, 20, R);
  EXPECT_NEAR(R, 19.968, 1e-9);
  // w lowered to N12 = 10: h = 0.6, R = 10 (1 - 0.6)
  get_corrected_match(0, 0, 0, rlist, 1.0, 50, 10, R);
  EXPECT_NEAR(R, 4.0, 1e-9);
}

TEST(EstCorrectedMatch, FewerMatchesThanFalsePositivesGiveNothing) {
  std::vector<int> rlist = {3, 1};
  double R = -1;
  EXPECT_EQ(get_corrected_match(1, 0, 0, rlist, 2.0, 10, 20, R), 0.0);
  EXPECT_EQ(R, 0.0);
}

// ---------------------------------------------------------------- population-pair list

TEST_F(EstBlockRecaps, PairListKeysCountsAndThreshold) {
  add_pair(7, 0, 3, 1, 9.0);  // earlier in 1, later in 3
  add_pair(2, 0, 1, 1, 8.0);
  add_pair(8, 1, 3, 1, 7.0);
  add_pair(5, 4, 2, 2, 1.0);  // at the threshold: not listed
  add_pair(6, 2, 2, 1, 0.5);  // below it
  std::vector<int> blist{42}, rlist{42};
  int len = -1;
  get_blist_rlist(*run, 5, blist, rlist, len, 0);
  EXPECT_EQ(len, 2);
  EXPECT_EQ(blist, (std::vector<int>{1003, 1001}));
  EXPECT_EQ(rlist, (std::vector<int>{2, 1}));
  // Only the first n pairs count.
  get_blist_rlist(*run, 1, blist, rlist, len, 0);
  EXPECT_EQ(blist, (std::vector<int>{1003}));
  EXPECT_EQ(rlist, (std::vector<int>{1}));
}

TEST_F(EstBlockRecaps, PairListReadsTheChosenBankAndStopsAtItsEnd) {
  run->est.mat_pairs[1][0] = MatchPair{5, 4, 2, 2, 3.0, 1u};
  run->est.mat_pairs[1][1] = MatchPair{4, 0, 2, 1, 3.0, 1u};
  std::vector<int> blist, rlist;
  int len = 0;
  get_blist_rlist(*run, 2, blist, rlist, len, 1);
  EXPECT_EQ(blist, (std::vector<int>{2002, 1002}));
  for (auto& mp : run->est.mat_pairs[1]) mp = MatchPair{1, 0, 1, 1, 5.0, 1u};
  get_blist_rlist(*run, PAIRS + 500, blist, rlist, len, 1);
  EXPECT_EQ(rlist, (std::vector<int>{PAIRS}));
}

// ---------------------------------------------------------------- effective sizes

TEST_F(EstBlockRecaps, EffectiveSizeWithinAndBetweenPopulations) {
  tiny_data(0);
  double g = -1;
  // Population 0: pairs (1,0) 0.5, (2,0) 1, (2,1) 0.5; sample 3 shares no locus.
  uint64_t before = run->rng.calls;
  EXPECT_NEAR(effectiveBlockSize(*run, 1, 1, 9, 0, 0, 0, g), 0.5 + 0.5 * std::sqrt(17.0), 1e-12);
  EXPECT_EQ(g, 2.0);
  EXPECT_EQ(run->rng.calls - before, 3u * 4u);  // two copies per self-LLR, skipped pairs draw none
  // Populations 1 and 0: samples 4, 5 strong (2.5 each), 6 weak (1).
  before = run->rng.calls;
  EXPECT_NEAR(effectiveBlockSize(*run, 1, 1, 9, 1, 0, 0, g), std::sqrt(6.0), 1e-12);
  EXPECT_EQ(g, 6.0);
  EXPECT_EQ(run->rng.calls - before, 9u * 4u);
  EXPECT_NEAR(effectiveBlockSize(*run, 1, 1, 9, 2, 1, 0, g), std::sqrt(3.5), 1e-12);
  EXPECT_EQ(g, 3.5);
}

TEST_F(EstBlockRecaps, EffectiveSizeOfAPopulationWithoutComparablePairsIsOne) {
  tiny_data(0);
  run->store.rec[7].loci_mask = 0;
  double g = -1;
  EXPECT_EQ(effectiveBlockSize(*run, 1, 1, 9, 2, 2, 0, g), 1.0);
  EXPECT_EQ(g, 0.0);
}

TEST_F(EstBlockRecaps, EffectiveSizeReadsTheSimulatedStoreForSetOne) {
  tiny_data(0);
  tiny_data(1, "WSWxSSWSW");  // strong and weak swapped in population 0
  double g = -1;
  effectiveBlockSize(*run, 1, 1, 9, 0, 0, 1, g);
  EXPECT_EQ(g, 1.0);
}

// ---------------------------------------------------------------- one population

TEST_F(EstBlockRecaps, OnePopulationTemporaryFileAndPlan) {
  populations({0, 100});
  run->est.alphaCut[5] = 2.0;
  run->opt.i_option = {1, 1};
  run->opt.i_value = {"geno.csv", "freq.txt"};
  for (int k = 0; k < 12; ++k) add_pair(k + 1, k, 1, 1, 5.0);
  int nrows = -1;
  const double total = call(12, 50.0, nrows, 1, 2);
  // N 100, E 50, V 2, M 12: h = 0.8, R_hat = 100 (1 - 0.64), P = 36 / 64.
  EXPECT_NEAR(total, 36.0, 1e-9);
  EXPECT_EQ(nrows, 1);
  ASSERT_EQ(run->est.simBlock.size(), 1u);
  EXPECT_EQ(run->est.simBlock[0].ia, 0);
  EXPECT_EQ(run->est.simBlock[0].ib, 0);
  EXPECT_NEAR(run->est.simBlock[0].rhat, 36.0, 1e-9);
  EXPECT_EQ(run->est.simBlock[0].nround, 0);
  EXPECT_EQ(run->io.fp8, nullptr);
  const std::string expected =
      date_line(*run) + "\n" + "Executable file: TARVO Version 2.00\n" +
      "Input data file: geno.csv\n" + "Input data file: freq.txt\n" +
      "Output     file: " + run->opt.o_value[3] + "\n\n" + "\n\n\n\n\n\n\n\n" + rule(56) +
      "Convergence iteration 3 with 2.000 false positives\n" + rule(56) + "\n" + HEAD_ONE +
      "   1           100                          50.00          2.000      12        36.00 "
      "      56.25  \n" +
      rule(100);
  EXPECT_EQ(temp_text(), expected);
}

TEST_F(EstBlockRecaps, OnePopulationNoteRowWhenMatchesDoNotExceedFalsePositives) {
  populations({0, 100});
  run->est.alphaCut[5] = 2.0;
  add_pair(1, 0, 1, 1, 5.0);
  add_pair(3, 2, 1, 1, 5.0);
  int nrows = -1;
  EXPECT_EQ(call(2, 50.0, nrows, 1), 0.0);
  EXPECT_EQ(nrows, 0);
  EXPECT_TRUE(run->est.simBlock.empty());
  EXPECT_EQ(table_text(),
            std::string(HEAD_ONE) +
                "   1 : 1       100 : 100       100.00       50.00          2.000     "
                "  2    NOTE: Shadows (S) were greater than matches found (M)  \n" +
                rule(100));
}

TEST_F(EstBlockRecaps, OnePopulationWithMoreNetMatchesThanEffectiveSizeBoundsE) {
  // N 20, E 5, V 2, M 12: M - V >= E, so E becomes max(M, min(E, N)) = 12.
  populations({0, 20});
  run->est.alphaCut[5] = 2.0;
  for (int k = 0; k < 12; ++k) add_pair(k + 1, k, 1, 1, 5.0);
  int nrows = -1;
  const double total = call(12, 5.0, nrows, 1);
  EXPECT_NEAR(total, 20 * (1 - std::pow(1.0 / 6, 20.0 / 12)), 1e-9);
  EXPECT_TRUE(std::isfinite(total));
  EXPECT_NE(table_text().find("   1            20                          12.00          2.000  "
                              "    12        18.99     1881.16  \n"),
            std::string::npos)
      << table_text();
}

TEST_F(EstBlockRecaps, NoMatchesAtTheLevel) {
  populations({0, 100});
  run->est.simBlock.assign(3, SimBlockRow{1, 1, 4.0, 2});
  int nrows = -1;
  EXPECT_EQ(call(0, 50.0, nrows, 1, 0), 0.0);
  EXPECT_EQ(nrows, 0);
  EXPECT_TRUE(run->est.simBlock.empty());
  const std::string t = temp_text();
  const std::string tail = "\n\n" + rule(100) +
                           "Convergence iteration 1 with 0.500 false positives\n"
                           "No recaptures found: \n" +
                           rule(100);
  ASSERT_GE(t.size(), tail.size());
  EXPECT_EQ(t.substr(t.size() - tail.size()), tail);
}

TEST_F(EstBlockRecaps, MatchesOnlyAtTheThresholdLeaveAnEmptyTable) {
  populations({0, 100});
  add_pair(1, 0, 1, 1, 1.0);
  int nrows = -1;
  EXPECT_EQ(call(1, 50.0, nrows, 1), 0.0);
  EXPECT_EQ(nrows, 0);
  EXPECT_EQ(table_text(), std::string(HEAD_ONE) + rule(100));
}

TEST_F(EstBlockRecaps, ListBuiltFromStoredPairsOnly) {
  populations({0, 100});
  run->est.alphaCut[5] = 2.0;
  for (int k = 0; k < 3; ++k) add_pair(k + 1, k, 1, 1, 5.0);
  // Stale records beyond the stored ones must not be read.
  for (int k = 3; k < 10; ++k) run->est.mat_pairs[0][k] = MatchPair{9, 8, 7, 7, 50.0, 1u};
  int nrows = -1;
  call(10, 50.0, nrows, 1);
  const std::string t = table_text();
  EXPECT_NE(t.find("   1           100                          50.00          2.000       3 "),
            std::string::npos)
      << t;
}

// ---------------------------------------------------------------- several populations

TEST_F(EstBlockRecaps, SeveralPopulationsRowsKeysAndPlan) {
  tiny_data(0);
  add_pair(7, 0, 3, 1, 9.0);  // key 1003: printed later population first
  add_pair(2, 0, 1, 1, 8.0);
  add_pair(5, 4, 2, 2, 7.0);
  add_pair(1, 0, 1, 1, 6.0);
  add_pair(4, 2, 2, 1, 5.0);
  int nrows = -1;
  const double total = call(5, 4.0, nrows, 3);
  EXPECT_EQ(table_text(),
            std::string(HEAD_SEVERAL) +
                "   3 : 1         2 : 4           2.83        1.87          0.075       1         "
                "1.82       64.34 \n"
                "   1 : 1         4 : 4           4.00        2.56          0.067       2         "
                "3.55      797.76  \n"
                "   2 : 2         3 : 3           3.00        2.56          0.017       1         "
                "1.30       76.33  \n"
                "   2 : 1         3 : 4           3.46        2.45          0.100       1         "
                "1.65       47.67 \n" +
                rule(100));
  EXPECT_NEAR(total, 8.324424991287948, 1e-9);
  ASSERT_EQ(nrows, 4);
  ASSERT_EQ(run->est.simBlock.size(), 4u);
  const int expect_ia[] = {2, 0, 1, 1}, expect_ib[] = {0, 0, 1, 0};
  for (int r = 0; r < 4; ++r) {
    EXPECT_EQ(run->est.simBlock[r].ia, expect_ia[r]) << r;
    EXPECT_EQ(run->est.simBlock[r].ib, expect_ib[r]) << r;
  }
  EXPECT_NEAR(run->est.simBlock[0].rhat, 1.819870875579088, 1e-9);
}

TEST_F(EstBlockRecaps, PercentageDenominators) {
  tiny_data(0);
  add_pair(2, 0, 1, 1, 8.0);
  add_pair(1, 0, 1, 1, 6.0);
  add_pair(4, 2, 2, 1, 5.0);
  int nrows = -1;
  call(3, 4.0, nrows, 3);
  ASSERT_EQ(nrows, 2);
  const double within = run->est.simBlock[0].rhat, between = run->est.simBlock[1].rhat;
  char buf[64];
  // Within a population relative to the distinct individuals N_u - R_hat ...
  std::snprintf(buf, sizeof buf, "%9.2f  \n", 100 * within / (4 - within));
  EXPECT_NE(table_text().find(buf), std::string::npos) << buf;
  // ... between populations relative to the block size sqrt(N_u N_t).
  std::snprintf(buf, sizeof buf, "%9.2f \n", 100 * between / std::sqrt(12.0));
  EXPECT_NE(table_text().find(buf), std::string::npos) << buf;
}

TEST_F(EstBlockRecaps, BetweenPopulationSizesRaisedToTheMatches) {
  tiny_data(0);
  // Key 1003 with 2 matches: E1 = 1.32 and E12 = 1.87 are raised, E2 = 2.65 is not.
  add_pair(7, 0, 3, 1, 9.0);
  add_pair(8, 1, 3, 1, 9.0);
  int nrows = -1;
  const double total = call(2, 4.0, nrows, 3);
  EXPECT_EQ(table_text(), std::string(HEAD_SEVERAL) +
                              "dataBlockRecaps: Warning E1=1.322876 < rlist[0]=2\n"
                              "dataBlockRecaps: Warning E12=1.870829 < rlist[0]=2\n"
                              "   3 : 1         2 : 4           2.83        2.00          0.075    "
                              "   2         2.80       99.04 \n" +
                              rule(100));
  EXPECT_NEAR(total, 2.8012050844330894, 1e-9);
}

TEST_F(EstBlockRecaps, BetweenPopulationNoteRow) {
  tiny_data(0);
  run->est.alphaCut[5] = 5.0;  // V_ut = 5 (12 - 6) / 30 = 1 = M
  add_pair(4, 2, 2, 1, 5.0);
  int nrows = -1;
  EXPECT_EQ(call(1, 4.0, nrows, 3), 0.0);
  EXPECT_EQ(nrows, 0);
  EXPECT_EQ(table_text(), std::string(HEAD_SEVERAL) +
                              "   2 : 1         3 : 4           3.46        2.45          1.000    "
                              "   1    NOTE: Shadows (S) were greater than matches found (M)  \n" +
                              rule(100));
}

TEST_F(EstBlockRecaps, FalsePositivesSharedByPairsWhenNoUndetectableWeight) {
  tiny_data(0);
  add_pair(2, 0, 1, 1, 8.0);
  add_pair(1, 0, 1, 1, 6.0);
  add_pair(4, 2, 2, 1, 5.0);
  int nrows = -1;
  call(3, 9.0, nrows, 3);  // Et = N: W = 0, so V is shared out by the pairs of each cell
  EXPECT_EQ(table_text(), std::string(HEAD_SEVERAL) +
                              "   1 : 1         4 : 4           4.00        2.56          0.083    "
                              "   2         3.54      761.79  \n"
                              "   2 : 1         3 : 4           3.46        2.45          0.167    "
                              "   1         1.54       44.46 \n" +
                              rule(100));
}

TEST_F(EstBlockRecaps, CannotGetLogStopsTheRun) {
  tiny_data(0);
  run->est.alphaCut[5] = 0.0;  // no false positives: E1 raised to M leaves log(0)
  add_pair(7, 0, 3, 1, 9.0);
  add_pair(8, 1, 3, 1, 9.0);
  int nrows = -1;
  int status = 0;
  try {
    call(2, 4.0, nrows, 3);
  } catch (const Exit& e) {
    status = e.status;
  }
  EXPECT_EQ(status, 1);
  const char* msg =
      "Cannot get log of 0.000000 in dataBlockRecaps() j=0 rlist[j]=2 alpha=0.000000  "
      "E1=2.000000\n";
  EXPECT_EQ(slurp(run->io.out), msg);
  EXPECT_EQ(slurp(run->io.fp7), msg);
  EXPECT_EQ(slurp(run->io.err), "");
}

// ---------------------------------------------------------------- temporary file

TEST_F(EstBlockRecaps, TemporaryFileNamedAfterThePrefix) {
  EXPECT_EQ(temp_file_name(tarvo::Run{}), "TARVO_temp.txt");
  populations({0, 10});
  int nrows = 0;
  call(0, 5.0, nrows, 1);
  EXPECT_TRUE(fs::exists(dir / "T_temp.txt"));
}

TEST_F(EstBlockRecaps, TemporaryFileThatCannotBeCreated) {
  run->opt.d_value = (dir / "missing" / "T").string();
  populations({0, 10});
  int nrows = 0;
  int status = 0;
  try {
    call(0, 5.0, nrows, 1);
  } catch (const Exit& e) {
    status = e.status;
  }
  EXPECT_EQ(status, 255);
  EXPECT_EQ(slurp(run->io.err),
            "dataBlockRecaps(): Cannot open <" + run->opt.d_value + "_temp.txt> for writing\n");
}

}  // namespace
