// The allele frequency table, its lookup, the frequency report, the frequency
// file (written and read back) and the GENEPOP writer.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tarvo.h"

namespace {

namespace fs = std::filesystem;

// A stream the code writes to and the test reads back.
struct Capture {
  FILE* f = std::tmpfile();
  ~Capture() {
    if (f) std::fclose(f);
  }
  std::string text() {
    std::fflush(f);
    std::rewind(f);
    std::string s;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    std::fseek(f, 0, SEEK_END);
    return s;
  }
};

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class FreqTest : public ::testing::Test {
 protected:
  void SetUp() override {
    run = std::make_unique<tarvo::Run>();
    run->io.out = out.f;
    run->io.err = err.f;
    run->io.fp7 = log.f;
    run->io.fp1 = fp1.f;
    run->io.fp0 = fp0.f;
    std::string tmpl = (fs::temp_directory_path() / "tarvo_freq_XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir = tmpl;
  }
  void TearDown() override {
    // print_loci_freq closes fp0 itself with -p.
    if (!run->io.fp0) fp0.f = nullptr;
    fs::remove_all(dir);
  }

  fs::path write_file(const std::string& name, const std::string& text) {
    fs::path p = dir / name;
    std::ofstream(p, std::ios::binary) << text;
    return p;
  }

  // Sample i gets the given pairs; a pair of zeros leaves the locus out of its mask.
  void set_sample(int i, const std::vector<std::pair<int, int>>& pairs, int block = 0) {
    int32_t* row = run->store.row(0, i);
    uint32_t mask = 0;
    for (size_t k = 0; k < pairs.size(); ++k) {
      row[2 * k] = pairs[k].first;
      row[2 * k + 1] = pairs[k].second;
      if (pairs[k].first != 0) mask |= 1u << k;
    }
    run->store.rec[i].loci_mask = mask;
    run->store.rec[i].block = block;
  }

  // Runs f and returns the exit status it stopped with (-1 when it returned).
  template <class F>
  int status_of(F f) {
    try {
      f();
    } catch (const tarvo::Exit& e) {
      return e.status;
    }
    return -1;
  }

  int read_freq(const std::string& text) {
    run->opt.i_option[1] = 1;
    run->opt.i_value[1] = write_file("freq.txt", text).string();
    return tarvo::read_allele_freq(*run);
  }

  Capture out, err, log, fp1, fp0;
  std::unique_ptr<tarvo::Run> run;
  fs::path dir;
};

// ------------------------------------------------------------------ table

using InputFreqTable = FreqTest;

TEST_F(InputFreqTable, CountsMissingCopiesAndCumulates) {
  // Locus 0: sample 2 missing, sample 4 missing by its mask although its slots
  // hold values; 8 scored copies: 200 x4, 203 x3, 207 x1.
  set_sample(0, {{203, 200}, {200, 203}});
  set_sample(1, {{200, 200}, {200, 203}});
  set_sample(2, {{0, 0}, {200, 203}});
  set_sample(3, {{207, 203}, {200, 203}});
  set_sample(4, {{200, 203}, {200, 203}});
  set_sample(5, {{999, 999}, {200, 203}});
  run->store.rec[5].loci_mask = 0b10;
  tarvo::store_loci_freq(*run, 2, 5);  // sample 5 is beyond anim and ignored

  const tarvo::Locus& a = run->store.loc[0];
  ASSERT_EQ(a.nallele, 4);
  EXPECT_EQ(a.nmissing, 2);
  const int allele[] = {0, 200, 203, 207};
  const int count[] = {2, 4, 3, 1};
  const double freq[] = {0, 0.5, 0.375, 0.125};
  const double cum[] = {0, 0.5, 0.875, 1.0};
  for (int j = 0; j < 4; ++j) {
    EXPECT_EQ(a.allele[j], allele[j]) << j;
    EXPECT_EQ(a.count[j], count[j]) << j;
    EXPECT_DOUBLE_EQ(a.freq[j], freq[j]) << j;
    EXPECT_DOUBLE_EQ(a.cumfreq[j], cum[j]) << j;
  }
  const tarvo::Locus& b = run->store.loc[1];
  ASSERT_EQ(b.nallele, 2);
  EXPECT_EQ(b.nmissing, 0);
  EXPECT_EQ(b.count[0], 5);
  EXPECT_DOUBLE_EQ(b.freq[1], 0.5);
  EXPECT_DOUBLE_EQ(b.cumfreq[1], 1.0);

  // A mask cleared after reading counts the slots as missing.
  run->store.rec[0].loci_mask = 0b10;
  tarvo::store_loci_freq(*run, 2, 5);
  EXPECT_EQ(run->store.loc[0].nmissing, 4);
  EXPECT_EQ(run->store.loc[0].count[1], 3);  // 200: samples 1 (x2) and 4
  EXPECT_DOUBLE_EQ(run->store.loc[0].freq[1], 0.5);
}

TEST_F(InputFreqTable, TenSamplesWithAndWithoutMissing) {
  for (int i = 0; i < 10; ++i) set_sample(i, {{200, 203}, {i < 2 ? 0 : 200, i < 2 ? 0 : 203}});
  tarvo::store_loci_freq(*run, 2, 10);
  const tarvo::Locus& a = run->store.loc[0];
  ASSERT_EQ(a.nallele, 2);
  EXPECT_EQ(a.count[0], 10);
  EXPECT_EQ(a.count[1], 10);
  EXPECT_DOUBLE_EQ(a.freq[0], 0.5);
  EXPECT_DOUBLE_EQ(a.cumfreq[0], 0.5);
  EXPECT_DOUBLE_EQ(a.cumfreq[1], 1.0);
  const tarvo::Locus& b = run->store.loc[1];
  ASSERT_EQ(b.nallele, 3);
  EXPECT_EQ(b.allele[0], 0);
  EXPECT_EQ(b.count[0], 4);
  EXPECT_EQ(b.nmissing, 4);
  EXPECT_DOUBLE_EQ(b.freq[0], 0.0);
  EXPECT_DOUBLE_EQ(b.freq[1], 8.0 / 16.0);
  EXPECT_DOUBLE_EQ(b.cumfreq[2], 1.0);
}

TEST_F(InputFreqTable, LocusScoredInNoSampleAndNoSamples) {
  for (int i = 0; i < 3; ++i) set_sample(i, {{200, 203}, {0, 0}});
  run->store.loc[1].cumfreq[5] = 0.7;  // stale values are cleared
  tarvo::store_loci_freq(*run, 2, 3);
  const tarvo::Locus& b = run->store.loc[1];
  ASSERT_EQ(b.nallele, 1);
  EXPECT_EQ(b.allele[0], 0);
  EXPECT_EQ(b.count[0], 6);
  EXPECT_EQ(b.nmissing, 6);
  EXPECT_EQ(b.freq[0], 0.0);
  EXPECT_EQ(b.cumfreq[0], 0.0);
  EXPECT_EQ(b.cumfreq[5], 0.0);

  tarvo::store_loci_freq(*run, 2, 0);
  EXPECT_EQ(run->store.loc[0].nallele, 0);
}

TEST_F(InputFreqTable, DistinctValuesUpToNOA) {
  // NOA - 1 scored values and the missing value fill the table exactly.
  const int n = tarvo::NOA - 1;
  for (int i = 0; i < n; ++i) set_sample(i, {{100 + i, 100 + i}});
  set_sample(n, {{0, 0}});
  tarvo::store_loci_freq(*run, 1, n + 1);
  EXPECT_EQ(run->store.loc[0].nallele, tarvo::NOA);
  EXPECT_NEAR(run->store.loc[0].cumfreq[tarvo::NOA - 1], 1.0, 1e-12);
  EXPECT_EQ(out.text(), "");

  // One more distinct value asks for a table of NOA + 2.
  set_sample(n + 1, {{1000, 1000}});
  EXPECT_EQ(status_of([&] { tarvo::store_loci_freq(*run, 1, n + 2); }), 1);
  const std::string want =
      std::to_string(tarvo::NOA) + " to new value of " + std::to_string(tarvo::NOA + 2);
  EXPECT_EQ(log.text(), "Need to increase allele numbers: change NOA=" + want + " and recomplie\n");
  EXPECT_EQ(out.text(), "Need to increase allele numbers: change NOA=" + want + " and recompile\n");
}

// ------------------------------------------------------------------ lookup

using InputFreqLookup = FreqTest;

TEST_F(InputFreqLookup, FindsEveryValuePresent) {
  const int values[] = {0, 101, 150, 200, 203, 207, 250, 999};
  for (int i = 0; i < 8; ++i) set_sample(i, {{values[i], values[i] ? values[i] : 0}});
  tarvo::store_loci_freq(*run, 1, 8);
  ASSERT_EQ(run->store.loc[0].nallele, 8);
  for (int j = 0; j < 8; ++j) {
    EXPECT_EQ(tarvo::locusBinarySearch(*run, 0, 0, 7, values[j]), j) << values[j];
    EXPECT_DOUBLE_EQ(tarvo::binsrch(*run, 0, values[j]), j == 0 ? 0.0 : 1.0 / 7.0);
  }
  // The ends are found even outside the range searched.
  EXPECT_EQ(tarvo::locusBinarySearch(*run, 0, 3, 5, 0), 0);
  EXPECT_EQ(log.text(), "");
}

TEST_F(InputFreqLookup, AbsentValueListsTheLocus) {
  set_sample(0, {{200, 207}, {200, 203}});
  set_sample(1, {{0, 0}, {203, 203}});
  run->store.loc[1].name = "Bm17";
  tarvo::store_loci_freq(*run, 2, 2);
  const std::string head =
      "locusBinarySearch() Did not find allele <201> in locus <Bm17> \n"
      "Alleles at locus number 2 were\n"
      "200 \n203 \n";

  struct Case {
    int opt1, opt2;
    std::string tail;
  };
  const Case cases[] = {
      {1, 0, ""},
      {0, 1, ""},
      {1, 1, "\n\nCheck if all alleles in file g.csv are represented in file f.txt \n"},
  };
  for (const Case& c : cases) {
    run->opt.i_option = {c.opt1, c.opt2};
    run->opt.i_value = {"g.csv", "f.txt"};
    const long at_out = std::ftell(out.f), at_log = std::ftell(log.f);
    EXPECT_EQ(status_of([&] { tarvo::binsrch(*run, 1, 201); }), 1);
    EXPECT_EQ(out.text().substr(at_out), head + c.tail);
    EXPECT_EQ(log.text().substr(at_log), head + c.tail);
  }
  // Beyond the largest and below the smallest entry are absent too.
  EXPECT_EQ(status_of([&] { tarvo::binsrch(*run, 0, 208); }), 1);
  EXPECT_EQ(status_of([&] { tarvo::binsrch(*run, 1, 1); }), 1);
}

// ------------------------------------------------------------------ report

using InputFreqReport = FreqTest;

const char* kRule =
    "_________________________________________________________________________________";
const char* kHeads =
    "    loci          loci      allele     allele     allele  allele       cumulative'n  \n"
    "    name          number    name       number     count   frequency    frequency\n\n";

TEST_F(InputFreqReport, MissingRowThenNumberedAlleles) {
  // 200 x6, 203 x4 and two missing copies.
  set_sample(0, {{200, 200}});
  set_sample(1, {{200, 200}});
  set_sample(2, {{200, 203}});
  set_sample(3, {{203, 200}});
  set_sample(4, {{203, 203}});
  set_sample(5, {{0, 0}});
  run->store.loc[0].name = "INRA63";
  run->opt.i_value[0] = "geno.csv";
  tarvo::store_loci_freq(*run, 1, 6);
  tarvo::write_loci_freq(*run, 1, 6, 1);

  const std::string want = std::string("\n\n\n") + kRule + "\n\n" +
                           "Allele frequencies of 6 records read from file <geno.csv> \n" + kRule +
                           "\n\n" + kHeads +
                           "    INRA63           1         M           0         2        -      "
                           "      -\n"
                           "    INRA63           1        200          1         6     0.60000  "
                           "    0.60000 \n"
                           "    INRA63           1        203          2         4     0.40000  "
                           "    1.00000 \n\n\n" +
                           kRule + "\n\n";
  EXPECT_EQ(fp1.text(), want);
  EXPECT_EQ(out.text(), "");
}

TEST_F(InputFreqReport, TitlesByModelAndNoLoci) {
  run->opt.i_value = {"g.csv", "f.txt"};
  struct Case {
    int model;
    std::string title;
  };
  const Case cases[] = {
      {9, "Allele frequencies of 4 records read from file <g.csv> \n"},
      {10, "Allele frequencies read from file: <f.txt>\n\n"},
      {2, "Allele frequencies read from file: <f.txt>\n\n"},
      {0, "Allele frequencies read from dunno\n\n"},
  };
  for (const Case& c : cases) {
    const long at = std::ftell(fp1.f);
    tarvo::write_loci_freq(*run, 0, 4, c.model);
    EXPECT_EQ(fp1.text().substr(at),
              std::string("\n\n\n") + kRule + "\n\n" + c.title + kRule + "\n\n" + kRule + "\n\n");
  }
}

TEST_F(InputFreqReport, FrequenciesNotAddingUpAreFlagged) {
  tarvo::Locus& L = run->store.loc[0];
  L.name = "L1";
  L.nallele = 2;
  L.allele[0] = 5;
  L.allele[1] = 9;
  L.freq[0] = 0.5;
  L.freq[1] = 0.49;
  L.cumfreq[0] = 0.5;
  L.cumfreq[1] = 0.99;
  tarvo::write_loci_freq(*run, 1, 0, 4);
  EXPECT_NE(fp1.text().find("         1          9          2         0     0.49000      0.99000 "
                            "WARNING: Allele frequencies do not add up to one: freq= 0.990000000 \n"
                            "\n\n\n"),
            std::string::npos);
}

TEST_F(InputFreqReport, AllMissingLocusStopsAfterTheReport) {
  for (int i = 0; i < 3; ++i) set_sample(i, {{200, 203}, {0, 0}, {200, 200}});
  run->store.loc[0].name = "A";
  run->store.loc[1].name = "B";
  run->store.loc[2].name = "C";
  tarvo::store_loci_freq(*run, 3, 3);
  EXPECT_EQ(status_of([&] { tarvo::write_loci_freq(*run, 3, 3, 1); }), 1);
  const std::string report = fp1.text();
  EXPECT_NE(report.find(std::string(kHeads) +
                        "         B           2         M           0         6        -      "
                        "      -\n\nWARNING: This locus only had missing values\n\n"
                        "WARNING: Allele frequencies do not add up to one: freq= 0.000000000 \n"
                        "\n\n\n"),
            std::string::npos);
  // The loci after it are still reported and the report is closed.
  EXPECT_NE(report.find("         C           3        200"), std::string::npos);
  EXPECT_EQ(report.substr(report.size() - 83), std::string(kRule) + "\n\n");
  const std::string msg =
      "\n\nSTOPPING RUN: Due to all alleles in at least one loci having all missing values \n\n";
  EXPECT_EQ(log.text(), msg);
  EXPECT_EQ(out.text(), msg);
}

// ------------------------------------------------------------------ frequency file

using InputFreqFile = FreqTest;

TEST_F(InputFreqFile, WrittenWithoutMissingValueAndReadBack) {
  set_sample(0, {{200, 200}, {7, 12}});
  set_sample(1, {{200, 200}, {12, 12}});
  set_sample(2, {{200, 203}, {0, 0}});
  set_sample(3, {{203, 200}, {1234, 7}});
  set_sample(4, {{203, 203}, {7, 7}});
  set_sample(5, {{0, 0}, {7, 12}});
  run->store.loc[0].name = "INRA63";
  run->store.loc[1].name = "VeryLongName12";
  tarvo::store_loci_freq(*run, 2, 6);
  tarvo::print_loci_freq(*run, 2);
  const std::string file = fp0.text();
  EXPECT_EQ(file,
            "INRA63         200     203 \n"
            "INRA63     0.60000 0.40000 \n"
            "VeryLongName12       7      12    1234 \n"
            "VeryLongName12 0.50000 0.40000 0.10000 \n");
  EXPECT_EQ(out.text(), "");

  // Read back: the same loci with the scored alleles only.
  std::vector<tarvo::Locus> before(run->store.loc.begin(), run->store.loc.begin() + 2);
  run->store.loc = std::vector<tarvo::Locus>(tarvo::NOL);
  ASSERT_EQ(read_freq(file), 2);
  for (int k = 0; k < 2; ++k) {
    const tarvo::Locus& a = before[k];
    const tarvo::Locus& b = run->store.loc[k];
    EXPECT_EQ(b.name, a.name);
    const int skip = a.allele[0] == 0 ? 1 : 0;
    ASSERT_EQ(b.nallele, a.nallele - skip);
    for (int j = 0; j < b.nallele; ++j) {
      EXPECT_EQ(b.allele[j], a.allele[j + skip]);
      EXPECT_NEAR(b.freq[j], a.freq[j + skip], 5e-6);
      EXPECT_NEAR(b.cumfreq[j], a.cumfreq[j + skip], 1e-5);
    }
    EXPECT_DOUBLE_EQ(b.cumfreq[b.nallele - 1], 1.0);
    EXPECT_EQ(b.nmissing, 0);
  }
}

TEST_F(InputFreqFile, DashPClosesTheFileAndStops) {
  set_sample(0, {{1, 2}});
  tarvo::store_loci_freq(*run, 1, 1);
  run->store.loc[0].name = "X";
  run->opt.p_option = 1;
  const std::string path = (dir / "loci.txt").string();
  std::fclose(fp0.f);
  fp0.f = nullptr;
  run->io.fp0 = std::fopen(path.c_str(), "w");
  EXPECT_EQ(status_of([&] { tarvo::print_loci_freq(*run, 1); }), 1);
  EXPECT_EQ(run->io.fp0, nullptr);
  EXPECT_EQ(slurp(path), "X                1       2 \nX          0.50000 0.50000 \n");
}

TEST_F(InputFreqFile, BothLayoutsAndSeparators) {
  struct Case {
    const char* what;
    std::string text;
    std::vector<int> alleles;
  };
  const std::vector<double> freqs = {0.25, 0.5, 0.25};
  const Case cases[] = {
      {"blanks", "Loc1 200 203 207\nLoc1 0.25000 0.50000 0.25000\n", {200, 203, 207}},
      {"commas", "Loc1, 200,203, 207\nfreq,0.25,0.5,0.25\n", {200, 203, 207}},
      {"tabs, crlf", "Loc1\t200\t203\t207\r\n\r\nLoc1\t.25\t.5\t.25\r\n", {200, 203, 207}},
      {"no allele lines", "Loc1,0.25,0.5,0.25\n", {1, 2, 3}},
      {"no allele lines, blanks, no final newline", "\n   \nLoc1 0.25 0.5 0.25", {1, 2, 3}},
      {"empty field reads 0", "Loc1,0.25,,0.5,0.25\n", {1, 2, 3, 4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    run->store.loc = std::vector<tarvo::Locus>(tarvo::NOL);
    ASSERT_EQ(read_freq(c.text), 1);
    const tarvo::Locus& L = run->store.loc[0];
    EXPECT_EQ(L.name, "Loc1");
    ASSERT_EQ(L.nallele, int(c.alleles.size()));
    double cum = 0;
    for (int j = 0; j < L.nallele; ++j) {
      EXPECT_EQ(L.allele[j], c.alleles[j]);
      const double f = c.alleles.size() == 4 ? (j == 1 ? 0.0 : freqs[j - (j > 1)]) : freqs[j];
      EXPECT_DOUBLE_EQ(L.freq[j], f);
      cum += f;
      EXPECT_DOUBLE_EQ(L.cumfreq[j], cum);
    }
  }
  EXPECT_EQ(out.text(), "");
  EXPECT_EQ(log.text(), "");
}

TEST_F(InputFreqFile, WholeNumbersMeanAlleleLines) {
  ASSERT_EQ(read_freq("L1 1\nL1 1\nL2 4 5\nL2 0.5 0.5\n"), 2);
  EXPECT_EQ(run->store.loc[0].allele[0], 1);
  EXPECT_DOUBLE_EQ(run->store.loc[0].freq[0], 1.0);
  EXPECT_EQ(run->store.loc[1].name, "L2");
  EXPECT_EQ(run->store.loc[1].allele[1], 5);
}

TEST_F(InputFreqFile, TotalsWithinOnePercent) {
  ASSERT_EQ(read_freq("L1 0.5 0.495\n"), 1);
  const tarvo::Locus& L = run->store.loc[0];
  EXPECT_DOUBLE_EQ(L.freq[1], 0.495);  // stored as read
  EXPECT_NEAR(L.cumfreq[0], 0.5 / 0.995, 1e-12);
  EXPECT_DOUBLE_EQ(L.cumfreq[1], 1.0);
  // The bounds themselves are accepted.
  ASSERT_EQ(read_freq("L1 1.01\n"), 1);
  ASSERT_EQ(read_freq("L1 0.99\n"), 1);

  const std::string path = (dir / "freq.txt").string();
  struct Case {
    std::string text;
    int line;
    const char* total;
  };
  const Case cases[] = {
      {"L1 0.5 0.45\n", 1, "0.950000"},
      {"L1 3 4\nL1 0.5 0.52\n", 2, "1.020000"},
      {"L1 1.0\nL2\n", 2, "0.000000"},
  };
  for (const Case& c : cases) {
    const long at = std::ftell(out.f);
    EXPECT_EQ(status_of([&] { read_freq(c.text); }), 1);
    EXPECT_EQ(out.text().substr(at),
              "\nread_allele_freq: Allele frequecies in line=" + std::to_string(c.line) +
                  " do not add up to one (total frequency is " + c.total +
                  ")\n                  Please check input file <" + path + ">.\n");
  }
  EXPECT_EQ(log.text(), "");  // standard output only
}

TEST_F(InputFreqFile, AlleleLineAndFrequencyLineMustAgree) {
  const std::string path = (dir / "freq.txt").string();
  const std::string check = "                  Please check input file <" + path + ">.\n";
  struct Case {
    std::string text;
    std::string msg;
  };
  const Case cases[] = {
      {"A 1 2\nA 0.5 0.5\n\nB 3 4 5\nB 0.5 0.5\n",
       "\nread_allele_freq: Locus B has 3 alleles but 2 frequencies in line=5\n" + check},
      {"A 1 2\nA 0.5 0.25 0.25\n",
       "\nread_allele_freq: Locus A has 2 alleles but 3 frequencies in line=2\n" + check},
      {"A 1 2\nA 0.5 0.5\nB 3 4\n",
       "\nread_allele_freq: Locus B has no frequency line in file <" + path + ">\n"},
      {"A 1 2\nA 0.5 0.5\nB 3 7 5\nB 0.2 0.3 0.5\n",
       "\nread_allele_freq: Alleles of locus B must be in ascending order (line=3)\n" + check},
      {"A 1 1\nA 0.5 0.5\n",
       "\nread_allele_freq: Alleles of locus A must be in ascending order (line=1)\n" + check},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const long at_out = std::ftell(out.f), at_log = std::ftell(log.f);
    EXPECT_EQ(status_of([&] { read_freq(c.text); }), 1);
    EXPECT_EQ(out.text().substr(at_out), c.msg);
    EXPECT_EQ(log.text().substr(at_log), c.msg);
  }
}

TEST_F(InputFreqFile, ReaderRefusals) {
  auto lines = [](int n, const std::string& line) {
    std::string s;
    for (int i = 0; i < n; ++i) s += line;
    return s;
  };
  std::string many_alleles = "A";
  std::string many_freqs = "A";
  for (int i = 1; i <= tarvo::NOA + 1; ++i) {
    (many_alleles += ' ') += std::to_string(i);
    many_freqs += " .01";
  }
  std::string nol_alleles, nol_freqs;
  for (int k = 0; k <= tarvo::NOL; ++k) {
    ((nol_alleles += 'L') += std::to_string(k)) += " 1\nx 1.0\n";
    ((nol_freqs += 'L') += std::to_string(k)) += " 1.0\n";
  }
  const std::string path = (dir / "freq.txt").string();
  const std::string noa =
      "Need to increase size of NOA=" + std::to_string(tarvo::NOA) + " to read more alleles \n";
  const std::string nol =
      "Need to increase dimension for number of loci (NOL=" + std::to_string(tarvo::NOL) + ") \n";
  const std::string too_long = "A 1\nA 1\nB 1" + lines(tarvo::STR, " ") + "\nB 1.0\n";

  struct Case {
    const char* what;
    std::string text;
    std::string msg;
  };
  const Case cases[] = {
      {"NOA on an allele line", many_alleles + "\n", noa},
      {"NOA on a frequency line", many_freqs + "\n", noa},
      {"NOL with allele lines", nol_alleles, nol},
      {"NOL without allele lines", nol_freqs, nol},
      {"STR", too_long,
       "Need to increase size of STR=" + std::to_string(tarvo::STR) + " to " +
           std::to_string(tarvo::STR - 1) + " so all characters can be read in line 2 of file " +
           path + "\n"},
      {"allele not a whole number", "\nA 200 20x3\nA 0.5 0.5\n",
       "\ncheck_int: Non-numeric character (or '.' or '-') read in line 2 (field 3 ) \n"
       "           Character found --> x <--  in \"20x3\"\n"
       "           Please check input file \"" +
           path + "\".\n"},
      {"frequency with two points", "A 2 3\nA 0.5 0.2.5\n",
       "\ncheck_double: Single number had more than one decimal digit '.' in line 2 (field 3)\n"
       "              Number found --> 0.2.5 <-- \n"
       "              Please check input file <" +
           path + ">.\n"},
      {"frequency with a sign", "A,0.5,-0.5\n",
       "\ncheck_double: Non-numeric character read in line 1 (field 3)\n"
       "              Character found --> - <-- \n"
       "              Please check input file <" +
           path + ">.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    run->store.loc = std::vector<tarvo::Locus>(tarvo::NOL);
    const long at_out = std::ftell(out.f), at_log = std::ftell(log.f);
    EXPECT_EQ(status_of([&] { read_freq(c.text); }), 1);
    EXPECT_EQ(out.text().substr(at_out), c.msg);
    EXPECT_EQ(log.text().substr(at_log), c.msg);
  }

  // Exactly NOL loci and NOA values are accepted.
  std::string full = "A";
  for (int i = 1; i <= tarvo::NOA; ++i) full += i == 1 ? ",.21" : ",.01";
  run->store.loc = std::vector<tarvo::Locus>(tarvo::NOL);
  const long at = std::ftell(out.f);
  EXPECT_EQ(status_of([&] {
              EXPECT_EQ(read_freq(full + "\n" + lines(tarvo::NOL - 1, "B 1.0\n")), tarvo::NOL);
            }),
            -1)
      << out.text().substr(at);
  EXPECT_EQ(run->store.loc[0].nallele, tarvo::NOA);
}

TEST_F(InputFreqFile, UnreadableFile) {
  run->opt.i_value[1] = (dir / "absent.txt").string();
  EXPECT_EQ(status_of([&] { tarvo::read_allele_freq(*run); }), 255);
  const std::string msg = "read_allele_freq: Cannot open input file " + run->opt.i_value[1] + "\n";
  EXPECT_EQ(out.text(), msg);
  EXPECT_EQ(log.text(), msg);
}

// ------------------------------------------------------------------ GENEPOP writer

using InputFreqGenepop = FreqTest;

TEST_F(InputFreqGenepop, LayoutMasksAndPopulations) {
  const int blocks[] = {0, 0, 1, 1, 1, 1, 1};
  for (int i = 0; i < 7; ++i) set_sample(i, {{200, 203}, {1, 99}}, blocks[i]);
  run->store.rec[6].loci_mask = 0b01;  // second locus left out
  run->store.rec[1].loci_mask = 0b00;
  run->store.row(1, 2)[0] = 5;  // the simulated store differs
  const fs::path p = dir / "simm.txt";

  tarvo::print_genotype_data_GENEPOP(*run, 2, 7, p.string(), 0, 0);
  EXPECT_EQ(slurp(p),
            "GENEPOP data file created using TARVO simulation\n"
            "L1, L2\n"
            "POP\n"
            "Rec1    , 200203 001099\n"
            "Rec2    , 000000 000000\n"
            "POP\n"
            "Rec3    , 200203 001099\n"
            "Rec4    , 200203 001099\n"
            "Rec5    , 200203 001099\n"
            "Rec6    , 200203 001099\n"
            "Rec7    , 200203 000000\n");

  // All loci from the simulated store, and another separator.
  run->opt.k_value = "Pop";
  tarvo::print_genotype_data_GENEPOP(*run, 1, 3, p.string(), 1, 1);
  EXPECT_EQ(slurp(p),
            "GENEPOP data file created using TARVO simulation\n"
            "L1\n"
            "Pop\n"
            "Rec1    , 000000\n"
            "Rec2    , 000000\n"
            "Pop\n"
            "Rec3    , 005000\n");
  EXPECT_EQ(out.text(), "");
}

TEST_F(InputFreqGenepop, RefusesValuesBeyondThreeDigits) {
  set_sample(0, {{200, 203}, {999, 999}});
  set_sample(1, {{1000, 203}, {5, 6}});
  set_sample(2, {{200, 203}, {5, 1200}});
  const fs::path p = dir / "simm.txt";

  // Only values that would be written count.
  run->store.rec[1].loci_mask = 0b10;
  run->store.rec[2].loci_mask = 0b01;
  tarvo::print_genotype_data_GENEPOP(*run, 2, 3, p.string(), 0, 0);
  EXPECT_NE(slurp(p).find("Rec2    , 000000 005006\n"), std::string::npos);
  fs::remove(p);

  run->store.rec[2].loci_mask = 0b11;
  for (int all : {1, 0}) {
    const long at_out = std::ftell(out.f), at_log = std::ftell(log.f);
    EXPECT_EQ(
        status_of([&] { tarvo::print_genotype_data_GENEPOP(*run, 2, 3, p.string(), all, 0); }), 1);
    const std::string msg = all ? "print_genotype_data: Allele value 1000 at locus 1 does not fit "
                                  "the 3-digit GENEPOP field\n"
                                : "print_genotype_data: Allele value 1200 at locus 2 does not fit "
                                  "the 3-digit GENEPOP field\n";
    EXPECT_EQ(out.text().substr(at_out), msg);
    EXPECT_EQ(log.text().substr(at_log), msg);
    EXPECT_FALSE(fs::exists(p));  // refused before the file is opened
  }
}

TEST_F(InputFreqGenepop, UnwritableFile) {
  set_sample(0, {{200, 203}});
  const std::string path = (dir / "no_such_dir" / "simm.txt").string();
  EXPECT_EQ(status_of([&] { tarvo::print_genotype_data_GENEPOP(*run, 1, 1, path, 0, 0); }), 255);
  const std::string msg = "print_genotype_data: Cannot open output file " + path + "\n";
  EXPECT_EQ(out.text(), msg);
  EXPECT_EQ(log.text(), msg);
}

}  // namespace
