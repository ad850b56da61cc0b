// The allele frequency table, its lookup, the frequency report, the frequency
// file (written and read back) and the GENEPOP writer.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "common/input_helpers.h"

namespace {

using std::to_string;
using testutil::repeat;
using testutil::Shows;

struct InputFreq : ::testing::Test, testutil::TestRun {
  testutil::TempDir dir;
  InputFreq() {
    r.io.fp0 = std::tmpfile();
    r.io.fp1 = std::tmpfile();
    for (int k = 0; k < 3; ++k) r.store.loc[k].name = "L" + to_string(k + 1);
  }
  ~InputFreq() override {
    // print_loci_freq closes the frequency file itself with -p.
    for (FILE* f : {r.io.fp0, r.io.fp1})
      if (f) std::fclose(f);
  }
  // Sample i gets the given pairs; a pair of zeros leaves the locus out of its mask.
  void set_sample(int i, const std::vector<std::pair<int, int>>& pairs, int block = 0) {
    uint32_t mask = 0;
    for (size_t k = 0; k < pairs.size(); ++k) {
      r.store.row(0, i)[2 * k] = pairs[k].first;
      r.store.row(0, i)[2 * k + 1] = pairs[k].second;
      if (pairs[k].first != 0) mask |= 1u << k;
    }
    r.store.rec[i].loci_mask = mask;
    r.store.rec[i].block = block;
  }
  std::string loci(int n) { return testutil::loci_text(r, n); }
  std::string freq_path() { return dir.file("freq.txt"); }
  int read_freq(const std::string& text) {
    r.opt.i_option[1] = 1;
    r.opt.i_value[1] = dir.write("freq.txt", text);
    return tarvo::read_allele_freq(r);
  }
  // The exit status of f (-1 when it returned) and what it added to
  // standard output, the log and the frequency report.
  struct Said {
    int status;
    std::string out, log, report;
  };
  template <class F>
  Said said(F f) {
    const long o = std::ftell(r.io.out), l = std::ftell(r.io.fp7), p = std::ftell(r.io.fp1);
    const int status = testutil::exit_status(f);
    return {status, out().substr(o), log().substr(l), testutil::slurp(r.io.fp1).substr(p)};
  }
};

// ------------------------------------------------------------------ table

using InputFreqTable = InputFreq;

TEST_F(InputFreqTable, CountsMissingCopiesAndCumulates) {
  set_sample(0, {{203, 200}, {200, 203}});
  set_sample(1, {{200, 200}, {200, 203}});
  set_sample(2, {{0, 0}, {200, 203}});
  set_sample(3, {{207, 203}, {200, 203}});
  set_sample(4, {{200, 203}, {200, 203}});
  set_sample(5, {{999, 999}, {200, 203}});  // beyond the samples counted
  tarvo::store_loci_freq(r, 2, 5);
  EXPECT_EQ(loci(2),
            "L1 miss 2: 0(2)=0/0 200(4)=0.5/0.5 203(3)=0.375/0.875 207(1)=0.125/1\n"
            "L2: 200(5)=0.5/0.5 203(5)=0.5/1\n");
  // A mask cleared after reading counts the slots as missing.
  r.store.rec[0].loci_mask = 0b10;
  tarvo::store_loci_freq(r, 2, 5);
  EXPECT_EQ(loci(1), "L1 miss 4: 0(4)=0/0 200(3)=0.5/0.5 203(2)=0.3333/0.8333 207(1)=0.1667/1\n");
}

TEST_F(InputFreqTable, LocusScoredInNoSampleAndNoSamples) {
  for (int i = 0; i < 3; ++i) set_sample(i, {{200, 203}, {0, 0}});
  r.store.loc[1].cumfreq[5] = 0.7;  // stale values are cleared
  tarvo::store_loci_freq(r, 2, 3);
  EXPECT_EQ(loci(2), "L1: 200(3)=0.5/0.5 203(3)=0.5/1\nL2 miss 6: 0(6)=0/0\n");
  EXPECT_EQ(r.store.loc[1].cumfreq[5], 0.0);
  tarvo::store_loci_freq(r, 2, 0);
  EXPECT_EQ(r.store.loc[0].nallele, 0);
}

TEST_F(InputFreqTable, DistinctValuesUpToNOA) {
  // NOA - 1 scored values and the missing value fill the table exactly.
  const int n = tarvo::NOA - 1;
  for (int i = 0; i < n; ++i) set_sample(i, {{100 + i, 100 + i}});
  set_sample(n, {{0, 0}});
  tarvo::store_loci_freq(r, 1, n + 1);
  EXPECT_EQ(r.store.loc[0].nallele, tarvo::NOA);
  EXPECT_NEAR(r.store.loc[0].cumfreq[tarvo::NOA - 1], 1.0, 1e-12);
  EXPECT_EQ(out(), "");
  // One more distinct value asks for a table of NOA + 2.
  set_sample(n + 1, {{1000, 1000}});
  const Said s = said([&] { tarvo::store_loci_freq(r, 1, n + 2); });
  EXPECT_EQ(s.status, 1);
  const std::string want = to_string(tarvo::NOA) + " to new value of " + to_string(tarvo::NOA + 2);
  EXPECT_EQ(s.log, "Need to increase allele numbers: change NOA=" + want + " and recomplie\n");
  EXPECT_EQ(s.out, "Need to increase allele numbers: change NOA=" + want + " and recompile\n");
}

// ------------------------------------------------------------------ lookup

using InputFreqLookup = InputFreq;

TEST_F(InputFreqLookup, FindsEveryValuePresent) {
  const int values[] = {0, 101, 150, 200, 203, 207, 250, 999};
  for (int i = 0; i < 8; ++i) set_sample(i, {{values[i], values[i]}});
  tarvo::store_loci_freq(r, 1, 8);
  ASSERT_EQ(r.store.loc[0].nallele, 8);
  for (int j = 0; j < 8; ++j) {
    EXPECT_EQ(tarvo::locusBinarySearch(r, 0, 0, 7, values[j]), j) << values[j];
    EXPECT_DOUBLE_EQ(tarvo::binsrch(r, 0, values[j]), j == 0 ? 0.0 : 1.0 / 7.0);
  }
  // The ends are found even outside the range searched.
  EXPECT_EQ(tarvo::locusBinarySearch(r, 0, 3, 5, 0), 0);
  EXPECT_EQ(log(), "");
}

TEST_F(InputFreqLookup, AbsentValueListsTheLocus) {
  set_sample(0, {{200, 207}, {200, 203}});
  set_sample(1, {{0, 0}, {203, 203}});
  r.store.loc[1].name = "Bm17";
  tarvo::store_loci_freq(r, 2, 2);
  const std::string head =
      "locusBinarySearch() Did not find allele <201> in locus <Bm17> \n"
      "Alleles at locus number 2 were\n200 \n203 \n";
  // The advice on the two files only when both were given.
  const std::tuple<int, int, std::string> cases[] = {
      {1, 0, head},
      {0, 1, head},
      {1, 1, head + "\n\nCheck if all alleles in file g.csv are represented in file f.txt \n"},
  };
  r.opt.i_value = {"g.csv", "f.txt"};
  for (const auto& [opt1, opt2, want] : cases) {
    r.opt.i_option = {opt1, opt2};
    const Said s = said([&] { tarvo::binsrch(r, 1, 201); });
    EXPECT_EQ(s.status, 1);
    EXPECT_EQ(s.out, want);
    EXPECT_EQ(s.log, want);
  }
  // Beyond the largest and below the smallest entry are absent too.
  EXPECT_EQ(said([&] { tarvo::binsrch(r, 0, 208); }).status, 1);
  EXPECT_EQ(said([&] { tarvo::binsrch(r, 1, 1); }).status, 1);
}

// ------------------------------------------------------------------ report

using InputFreqReport = InputFreq;

const std::string kRule(81, '_');
const std::string kHeads =
    "    loci          loci      allele     allele     allele  allele       cumulative'n  \n"
    "    name          number    name       number     count   frequency    frequency\n\n";

TEST_F(InputFreqReport, TitlesByModelAndNoLoci) {
  r.opt.i_value = {"g.csv", "f.txt"};
  const std::pair<int, std::string> cases[] = {
      {9, "Allele frequencies of 4 records read from file <g.csv> \n"},
      {10, "Allele frequencies read from file: <f.txt>\n\n"},
      {2, "Allele frequencies read from file: <f.txt>\n\n"},
      {0, "Allele frequencies read from dunno\n\n"},
  };
  for (const auto& [model, title] : cases)
    EXPECT_EQ(said([&] { tarvo::write_loci_freq(r, 0, 4, model); }).report,
              "\n\n\n" + kRule + "\n\n" + title + kRule + "\n\n" + kRule + "\n\n");
}

TEST_F(InputFreqReport, FrequenciesNotAddingUpAreFlagged) {
  tarvo::Locus& L = r.store.loc[0];
  L.nallele = 2;
  L.allele[0] = 5;
  L.allele[1] = 9;
  L.freq[0] = L.cumfreq[0] = 0.5;
  L.freq[1] = 0.49;
  L.cumfreq[1] = 0.99;
  EXPECT_TRUE(Shows(said([&] { tarvo::write_loci_freq(r, 1, 0, 4); }).report,
                    "...         1          9          2         0     0.49000      0.99000 "
                    "WARNING: Allele frequencies do not add up to one: freq= 0.990000000 \n"
                    "\n\n\n"));
}

TEST_F(InputFreqReport, AllMissingLocusStopsAfterTheReport) {
  for (int i = 0; i < 3; ++i) set_sample(i, {{200, 203}, {0, 0}, {200, 200}});
  tarvo::store_loci_freq(r, 3, 3);
  const Said s = said([&] { tarvo::write_loci_freq(r, 3, 3, 1); });
  EXPECT_EQ(s.status, 1);
  EXPECT_TRUE(
      Shows(s.report, "..." + kHeads +
                          "        L2           2         M           0         6        "
                          "-            -\n\nWARNING: This locus only had missing values\n\n"
                          "WARNING: Allele frequencies do not add up to one: freq= "
                          "0.000000000 \n\n\n\n"));
  // The loci after it are still reported and the report is closed.
  EXPECT_TRUE(Shows(s.report, "...        L3           3        200"));
  EXPECT_EQ(s.report.substr(s.report.size() - 83), kRule + "\n\n");
  const std::string msg =
      "\n\nSTOPPING RUN: Due to all alleles in at least one loci having all missing values \n\n";
  EXPECT_EQ(s.log, msg);
  EXPECT_EQ(s.out, msg);
}

TEST_F(InputFreqReport, ReportAndFrequencyFileThenReadBack) {
  // INRA63: 200 x6, 203 x4 and two missing copies.
  set_sample(0, {{200, 200}, {7, 12}});
  set_sample(1, {{200, 200}, {12, 12}});
  set_sample(2, {{200, 203}, {0, 0}});
  set_sample(3, {{203, 200}, {1234, 7}});
  set_sample(4, {{203, 203}, {7, 7}});
  set_sample(5, {{0, 0}, {7, 12}});
  r.store.loc[0].name = "INRA63";
  r.store.loc[1].name = "VeryLongName12";
  r.opt.i_value[0] = "geno.csv";
  tarvo::store_loci_freq(r, 2, 6);
  // The report lists the missing copies first, then numbers the alleles.
  EXPECT_EQ(said([&] { tarvo::write_loci_freq(r, 1, 6, 1); }).report,
            "\n\n\n" + kRule + "\n\nAllele frequencies of 6 records read from file <geno.csv> \n" +
                kRule + "\n\n" + kHeads +
                "    INRA63           1         M           0         2        -            -\n"
                "    INRA63           1        200          1         6     0.60000      0.60000 \n"
                "    INRA63           1        203          2         4     0.40000      1.00000 "
                "\n\n\n" +
                kRule + "\n\n");
  // The frequency file leaves the missing value out.
  tarvo::print_loci_freq(r, 2);
  const std::string file = testutil::slurp(r.io.fp0);
  EXPECT_EQ(file,
            "INRA63         200     203 \n"
            "INRA63     0.60000 0.40000 \n"
            "VeryLongName12       7      12    1234 \n"
            "VeryLongName12 0.50000 0.40000 0.10000 \n");
  EXPECT_EQ(out(), "");
  // Read back: the same loci with the scored alleles only.
  r.store.loc = std::vector<tarvo::Locus>(tarvo::NOL);
  ASSERT_EQ(read_freq(file), 2);
  EXPECT_EQ(loci(2),
            "INRA63: 200=0.6/0.6 203=0.4/1\nVeryLongName12: 7=0.5/0.5 12=0.4/0.9 1234=0.1/1\n");
}

// ------------------------------------------------------------------ frequency file

using InputFreqFile = InputFreq;

TEST_F(InputFreqFile, DashPClosesTheFileAndStops) {
  set_sample(0, {{1, 2}});
  tarvo::store_loci_freq(r, 1, 1);
  r.opt.p_option = 1;
  std::fclose(r.io.fp0);
  r.io.fp0 = std::fopen(dir.file("loci.txt").c_str(), "w");
  EXPECT_EQ(testutil::exit_status([&] { tarvo::print_loci_freq(r, 1); }), 1);
  EXPECT_EQ(r.io.fp0, nullptr);
  EXPECT_EQ(testutil::read_file(dir.file("loci.txt")),
            "L1               1       2 \nL1         0.50000 0.50000 \n");
}

TEST_F(InputFreqFile, LayoutsSeparatorsAndTotalsAccepted) {
  const std::string listed = "Loc1: 200=0.25/0.25 203=0.5/0.75 207=0.25/1\n";
  const std::string numbered = "Loc1: 1=0.25/0.25 2=0.5/0.75 3=0.25/1\n";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"Loc1 200 203 207\nLoc1 0.25000 0.50000 0.25000\n", listed},
      {"Loc1, 200,203, 207\nfreq,0.25,0.5,0.25\n", listed},
      {"Loc1\t200\t203\t207\r\n\r\nLoc1\t.25\t.5\t.25\r\n", listed},
      {"Loc1,0.25,0.5,0.25\n", numbered},
      {"\n   \nLoc1 0.25 0.5 0.25", numbered},
      {"Loc1,0.25,,0.5,0.25\n", "Loc1: 1=0.25/0.25 2=0/0.25 3=0.5/0.75 4=0.25/1\n"},
      // Whole numbers on the first line mean allele lines, whatever follows.
      {"L1 1\nL1 1\nL2 4 5\nL2 0.5 0.5\n", "L1: 1=1/1\nL2: 4=0.5/0.5 5=0.5/1\n"},
      // Totals within one percent are kept as read; only the cumulative
      // frequencies are scaled to end at one.
      {"L1 0.5 0.495\n", "L1: 1=0.5/0.5025 2=0.495/1\n"},
      {"L1 1.01\n", "L1: 1=1.01/1\n"},
      {"L1 0.99\n", "L1: 1=0.99/1\n"},
  };
  for (const auto& [text, want] : cases) {
    r.store.loc = std::vector<tarvo::Locus>(tarvo::NOL);
    const int n = read_freq(text);
    EXPECT_EQ(loci(n), want) << text;
  }
  EXPECT_EQ(out() + log(), "");
}

TEST_F(InputFreqFile, EveryRefusal) {
  const std::string check = "                  Please check input file <@>.\n";
  const std::string noa =
      "Need to increase size of NOA=" + to_string(tarvo::NOA) + " to read more alleles \n";
  const std::string nol =
      "Need to increase dimension for number of loci (NOL=" + to_string(tarvo::NOL) + ") \n";
  std::string many_alleles = "A", nol_alleles, nol_freqs;
  for (int i = 1; i <= tarvo::NOA + 1; ++i) many_alleles += " " + to_string(i);
  for (int k = 0; k <= tarvo::NOL; ++k) {
    nol_alleles += "L" + to_string(k) + " 1\nx 1.0\n";
    nol_freqs += "L" + to_string(k) + " 1.0\n";
  }
  struct Case {
    const char* what;
    std::string text, out;
    std::string log = "=";  // "=" the same as standard output
  } cases[] = {
      // Totals go to standard output only.
      {"total low", "L1 0.5 0.45\n",
       "\nread_allele_freq: Allele frequecies in line=1 do not add up to one (total frequency is "
       "0.950000)\n" +
           check,
       ""},
      {"total high", "L1 3 4\nL1 0.5 0.52\n",
       "...line=2 do not add up to one (total frequency is 1.020000)\n", ""},
      {"no frequencies", "L1 1.0\nL2\n",
       "...line=2 do not add up to one (total frequency is 0.000000)\n", ""},
      {"fewer frequencies", "A 1 2\nA 0.5 0.5\n\nB 3 4 5\nB 0.5 0.5\n",
       "\nread_allele_freq: Locus B has 3 alleles but 2 frequencies in line=5\n" + check},
      {"more frequencies", "A 1 2\nA 0.5 0.25 0.25\n",
       "...Locus A has 2 alleles but 3 frequencies in line=2\n"},
      {"no frequency line", "A 1 2\nA 0.5 0.5\nB 3 4\n",
       "\nread_allele_freq: Locus B has no frequency line in file <@>\n"},
      {"descending", "A 1 2\nA 0.5 0.5\nB 3 7 5\nB 0.2 0.3 0.5\n",
       "\nread_allele_freq: Alleles of locus B must be in ascending order (line=3)\n" + check},
      {"repeated", "A 1 1\nA 0.5 0.5\n",
       "...Alleles of locus A must be in ascending order (line=1)\n"},
      {"NOA on an allele line", many_alleles + "\n", noa},
      {"NOA on a frequency line", "A" + repeat(" .01", tarvo::NOA + 1) + "\n", noa},
      {"NOL with allele lines", nol_alleles, nol},
      {"NOL without allele lines", nol_freqs, nol},
      {"STR", "A 1\nA 1\nB 1" + repeat(" ", tarvo::STR) + "\nB 1.0\n",
       "Need to increase size of STR=" + to_string(tarvo::STR) + " to " +
           to_string(tarvo::STR - 1) + " so all characters can be read in line 2 of file @\n"},
      {"allele not a whole number", "\nA 200 20x3\nA 0.5 0.5\n",
       "...line 2 (field 3 ) \n           Character found --> x <--  in \"20x3\"\n"
       "           Please check input file \"@\".\n"},
      {"frequency with two points", "A 2 3\nA 0.5 0.2.5\n", "...Number found --> 0.2.5 <-- \n"},
      {"frequency with a sign", "A,0.5,-0.5\n",
       "...line 1 (field 3)\n              Character found --> - <-- \n"
       "              Please check input file <@>.\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    r.store.loc = std::vector<tarvo::Locus>(tarvo::NOL);
    const Said s = said([&] { read_freq(c.text); });
    EXPECT_EQ(s.status, 1);
    EXPECT_TRUE(Shows(s.out, testutil::with_path(c.out, freq_path())));
    EXPECT_TRUE(Shows(s.log, testutil::with_path(c.log == "=" ? c.out : c.log, freq_path())));
  }
  // Exactly NOL loci and NOA values are accepted.
  r.store.loc = std::vector<tarvo::Locus>(tarvo::NOL);
  const std::string full = "A,.21" + repeat(",.01", tarvo::NOA - 1) + "\n";
  int n = 0;
  EXPECT_EQ(said([&] { n = read_freq(full + repeat("B 1.0\n", tarvo::NOL - 1)); }).status, -1);
  EXPECT_EQ(n, tarvo::NOL);
  EXPECT_EQ(r.store.loc[0].nallele, tarvo::NOA);
  // A file that cannot be opened ends the run with status 255.
  r.opt.i_value[1] = dir.file("absent.txt");
  const Said s = said([&] { tarvo::read_allele_freq(r); });
  EXPECT_EQ(s.status, 255);
  EXPECT_EQ(s.out, "read_allele_freq: Cannot open input file " + dir.file("absent.txt") + "\n");
  EXPECT_EQ(s.log, s.out);
}

// ------------------------------------------------------------------ GENEPOP writer

using InputFreqGenepop = InputFreq;

TEST_F(InputFreqGenepop, LayoutMasksAndPopulations) {
  const int blocks[] = {0, 0, 1, 1, 1, 1, 1};
  for (int i = 0; i < 7; ++i) set_sample(i, {{200, 203}, {1, 99}}, blocks[i]);
  r.store.rec[6].loci_mask = 0b01;  // second locus left out
  r.store.rec[1].loci_mask = 0b00;
  r.store.row(1, 2)[0] = 5;  // the simulated store differs
  const std::string p = dir.file("simm.txt");
  tarvo::print_genotype_data_GENEPOP(r, 2, 7, p, 0, 0);
  const std::string head = "GENEPOP data file created using TARVO simulation\n";
  EXPECT_EQ(testutil::read_file(p), head +
                                        "L1, L2\nPOP\nRec1    , 200203 001099\n"
                                        "Rec2    , 000000 000000\nPOP\n"
                                        "Rec3    , 200203 001099\nRec4    , 200203 001099\n"
                                        "Rec5    , 200203 001099\nRec6    , 200203 001099\n"
                                        "Rec7    , 200203 000000\n");
  // All loci from the simulated store, and another separator.
  r.opt.k_value = "Pop";
  tarvo::print_genotype_data_GENEPOP(r, 1, 3, p, 1, 1);
  EXPECT_EQ(testutil::read_file(p),
            head + "L1\nPop\nRec1    , 000000\nRec2    , 000000\nPop\nRec3    , 005000\n");
  EXPECT_EQ(out(), "");
}

TEST_F(InputFreqGenepop, RefusesValuesBeyondThreeDigitsAndUnwritableFile) {
  set_sample(0, {{200, 203}, {999, 999}});
  set_sample(1, {{1000, 203}, {5, 6}});
  set_sample(2, {{200, 203}, {5, 1200}});
  const std::string p = dir.file("simm.txt");
  // Only values that would be written count.
  r.store.rec[1].loci_mask = 0b10;
  r.store.rec[2].loci_mask = 0b01;
  tarvo::print_genotype_data_GENEPOP(r, 2, 3, p, 0, 0);
  EXPECT_TRUE(Shows(testutil::read_file(p), "...Rec2    , 000000 005006\n"));
  std::filesystem::remove(p);

  r.store.rec[2].loci_mask = 0b11;
  for (int all : {1, 0}) {
    const Said s = said([&] { tarvo::print_genotype_data_GENEPOP(r, 2, 3, p, all, 0); });
    EXPECT_EQ(s.status, 1);
    const std::string msg = all ? "print_genotype_data: Allele value 1000 at locus 1 does not fit "
                                  "the 3-digit GENEPOP field\n"
                                : "...Allele value 1200 at locus 2 does not fit";
    EXPECT_TRUE(Shows(s.out, msg));
    EXPECT_TRUE(Shows(s.log, msg));
    EXPECT_EQ(testutil::read_file(p), "<missing>");  // refused before the file is opened
  }

  const std::string bad = dir.file("no_such_dir/simm.txt");
  const Said s = said([&] { tarvo::print_genotype_data_GENEPOP(r, 1, 1, bad, 0, 0); });
  EXPECT_EQ(s.status, 255);
  EXPECT_EQ(s.out, "print_genotype_data: Cannot open output file " + bad + "\n");
  EXPECT_EQ(s.log, s.out);
}

}  // namespace
