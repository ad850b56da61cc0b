#include "report/report.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

namespace tarvo::report {
namespace {

// An unbuffered stream that records every character with its stream's tag,
// and '!' for a flush, in one journal shared by several streams.
class Journal : public std::streambuf {
 public:
  Journal(std::string& record, char tag) : record_(record), tag_(tag) {}

 protected:
  int overflow(int c) override {
    record_ += tag_;
    record_ += char(c);
    return c;
  }
  int sync() override {
    record_ += tag_;
    record_ += '!';
    return 0;
  }

 private:
  std::string& record_;
  char tag_;
};

TEST(Report, FormatAndRule) {
  const std::string name(1000, 'x');
  EXPECT_EQ(format("<%s> %d", name.c_str(), 42), "<" + name + "> 42");
  EXPECT_EQ(format("%5.2f|", 3.14159), " 3.14|");
  std::ostringstream out;
  rule(out, 3);
  rule(out, 2, "");
  rule(out, 0, " \n");
  EXPECT_EQ(out.str(), "___\n__ \n");
  EXPECT_EQ(shown_level(0, 1000), 0);
  EXPECT_EQ(shown_level(0, 200), 1);
  EXPECT_EQ(shown_level(49, 999), 50);
}

TEST(Report, ConsoleOrderAndFlush) {
  std::string record;
  Journal out_buf(record, 'O'), err_buf(record, 'E'), log_buf(record, 'L');
  std::ostream out(&out_buf), err(&err_buf), log(&log_buf);
  Console console(&out, &err);
  console.log("a");  // no log yet: lost
  console.log_then_out("b");
  console.attach_log(&log);
  console.log_then_out("c");
  console.out_then_log("d");
  console.err("e");
  console.log("f");
  EXPECT_EQ(record, "ObO!LcOcO!OdO!LdEeE!Lf");
}

TEST(Report, ShownNamesAreCutAtACharacterBoundary) {
  const std::string hundred(SHOWN_NAME, 'n');
  EXPECT_EQ(shown_name(hundred), hundred);
  EXPECT_EQ(shown_name(hundred + "m"), hundred.substr(0, SHOWN_NAME - 3) + "...");
  // Two-byte characters: byte 97 is the second of one, which is dropped whole.
  std::string accents;
  for (int k = 0; k < 60; ++k) accents += "\xC3\xA9";
  EXPECT_EQ(shown_name(accents), accents.substr(0, 96) + "...");
}

TEST(Report, Table2ShowsNanForUndefinedError) {
  StandardErrors errors;
  errors.se.fill(0.5);
  errors.se[3] = std::nan("");
  errors.best = 0;
  Calibration calibration;
  calibration.sets = 200;
  calibration.false_positives.fill(0);
  Table2Input input;
  input.errors = &errors;
  input.calibration = &calibration;
  input.runs = 1;
  input.level = 3;
  std::ostringstream out;
  table2(out, input);
  EXPECT_NE(out.str().find("  4#   0.000      0.00 ( 0.00)   0.00     0.00    0.00 ( 0.00)   0.00 "
                           "(  nan)   0.00 ( 0.00) \n"),
            std::string::npos)
      << out.str();
  EXPECT_NE(out.str().find("  0.00 ( 0.50)*  0.00 ( 0.00) \n"), std::string::npos);
}

TEST(Report, CellsReportRows) {
  CellEstimates estimates;
  // cell, within, sizes later and earlier, size, E, V, M, shadowed, R_hat, P, warnings
  const CellEstimate within{{0, 0}, true, 10, 10, 10, 8.5, 0.123, 3, false, 2.75, 37.93, {}};
  const CellEstimate between{{1, 0}, false, 12,    10,  11,    2,
                             0.05,   2,     false, 1.5, 13.64, {{"E12", 0.5, 1, 2}}};
  const CellEstimate shadowed{{1, 1}, true, 12, 12, 12, 9.25, 1.5, 1, true, 0, 0, {}};
  estimates.cells = {within, between, shadowed};
  CellsReportInput input{.estimates = &estimates, .false_positives = 0.5, .by_population = true};
  std::ostringstream out;
  cells_report(out, input);
  const std::string text = out.str();
  EXPECT_EQ(text.rfind("\n\n\n\n\n\n\n\n" + std::string(56, '_') +
                           "\nConvergence iteration 1 with 0.500 false positives\n",
                       0),
            0u);
  const std::string rows =
      "   1 : 1        10 : 10         10.00        8.50          0.123       3         2.75"
      "       37.93  \n"
      "dataBlockRecaps: Warning E12=0.500000 < rlist[1]=2\n"
      "   2 : 1        12 : 10         11.00        2.00          0.050       2         1.50"
      "       13.64 \n"
      "   2 : 2        12 : 12         12.00        9.25          1.500       1    NOTE: Shadows "
      "(S) were greater than matches found (M)  \n" +
      std::string(100, '_') + "\n";
  ASSERT_GE(text.size(), rows.size());
  EXPECT_EQ(text.substr(text.size() - rows.size()), rows);

  input.any_matches = false;
  std::ostringstream none;
  cells_report(none, input);
  EXPECT_EQ(none.str(), "\n\n" + std::string(100, '_') +
                            "\nConvergence iteration 1 with 0.500 false positives\n"
                            "No recaptures found: \n" +
                            std::string(100, '_') + "\n");
}

TEST(Report, FrequencyReport) {
  FrequencyTable freqs;
  freqs.loci.push_back({.name = "L1",
                        .alleles = {0, 5, 7},
                        .counts = {2, 3, 5},
                        .freqs = {0, 0.3, 0.7},
                        .cumulative = {0, 0.3, 1.0},
                        .missing = 2});
  std::ostringstream out;
  EXPECT_TRUE(frequency_report(out, freqs, true, 5, "a.gen"));
  const std::string line(81, '_');
  EXPECT_EQ(out.str(),
            "\n\n\n" + line + "\n\nAllele frequencies of 5 records read from file <a.gen> \n" +
                line +
                "\n\n"
                "    loci          loci      allele     allele     allele  allele       "
                "cumulative'n  \n"
                "    name          number    name       number     count   frequency    "
                "frequency\n\n"
                "        L1           1         M           0         2        -            -\n"
                "        L1           1          5          1         3     0.30000      0.30000 \n"
                "        L1           1          7          2         5     0.70000      1.00000 "
                "\n\n\n" +
                line + "\n\n");

  FrequencyTable missing;
  missing.loci.push_back(
      {.name = "L2", .alleles = {0}, .counts = {4}, .freqs = {0}, .cumulative = {0}, .missing = 4});
  std::ostringstream stopped;
  EXPECT_FALSE(frequency_report(stopped, missing, false, 0, "f.txt"));
  const std::string text = stopped.str();
  EXPECT_NE(text.find("Allele frequencies read from file: <f.txt>\n\n"), std::string::npos);
  EXPECT_NE(text.find("WARNING: This locus only had missing values\n\nWARNING: Allele frequencies "
                      "do not add up to one: freq= 0.000000000 \n"),
            std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 83), line + "\n\n");
}

// Four samples of one population, identical at two loci.
GenotypeTable four_samples() {
  GenotypeTable table(2, 4);
  for (int s = 0; s < 4; ++s) {
    table.sample(s).name = "S" + std::to_string(s + 1);
    table.sample(s).loci = all_loci(2);
    for (int a = 0; a < 4; ++a) table.row(s)[a] = 100 + a;
  }
  table.populations = {{"P", 0, 4}};
  return table;
}

TEST(Report, PairReportListsMissedPairsApart) {
  const GenotypeTable table = four_samples();
  Calibration calibration;
  calibration.sets = 2;
  for (int i = 0; i < 2 * LEVELS; ++i) calibration.pooled.push_back(100.0 - i);
  calibration.false_positives.fill(1.0);
  // Above every pooled score; between them (2.5 false positives); below them all.
  const std::vector<MatchPair> pairs = {
      {1, 0, 0, 0, 150, 3}, {3, 2, 0, 0, 95.5, 3}, {2, 0, 0, 0, 0.5, 3}};
  PairReportInput input{.reference = &table, .pairs = &pairs, .calibration = &calibration};
  std::ostringstream out;
  pair_report(out, input);
  const std::string text = out.str();
  const std::size_t first = text.find(
      "  1         S2 : S1             1    1          4      0     0"
      "         150.00         0.000 \n");
  const std::size_t block =
      text.find(std::string(51, '_') + "\n\nAdditional pairs that missed out on match criteria:\n" +
                std::string(51, '_') + "\n  2         S4 : S3  ");
  ASSERT_NE(first, std::string::npos) << text;
  ASSERT_NE(block, std::string::npos) << text;
  EXPECT_LT(first, block);
  EXPECT_EQ(text.find("  3 "), std::string::npos);

  input.leave_out_misses = true;
  std::ostringstream kept;
  pair_report(kept, input);
  EXPECT_EQ(kept.str().find("Additional"), std::string::npos);
  EXPECT_NE(kept.str().find("  1         S2 : S1 "), std::string::npos);
}

}  // namespace
}  // namespace tarvo::report
