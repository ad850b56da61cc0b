// The report page on hand-made results: its tables read back from the TSV
// texts, its numbers, its escaping, the pair-score plot and its size for
// the largest run the program takes.
#include "report/html_report.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

namespace tarvo::report {
namespace {

TEST(ReportPage, ReadsTheTablesAsTheTsvWriterQuotesThem) {
  std::ostringstream text;
  text << "a\tb\tc\n1\t" << tsv_field("x\ty \"q\"\nz") << "\t\n2\t\t" << tsv_field("") << "\n";
  TsvTable t = parse_tsv(text.str());
  ASSERT_EQ(t.columns, (std::vector<std::string>{"a", "b", "c"}));
  ASSERT_EQ(t.rows.size(), 2u);
  EXPECT_EQ(t.rows[0], (std::vector<std::string>{"1", "x\ty \"q\"\nz", ""}));
  EXPECT_EQ(t.rows[1], (std::vector<std::string>{"2", "", ""}));
  EXPECT_EQ(t.column("c"), 2);
  EXPECT_EQ(t.column("flags"), -1);
  // A last line without its line end, and a short row, still count.
  t = parse_tsv("a\tb\n1");
  ASSERT_EQ(t.rows.size(), 1u);
  EXPECT_EQ(t.rows[0], (std::vector<std::string>{"1", ""}));
  EXPECT_TRUE(parse_tsv("").rows.empty());
}

TEST(ReportPage, ShowsRoundedNumbersAndLeavesTheRestAsWritten) {
  EXPECT_EQ(shown_number("12"), "12");
  EXPECT_EQ(shown_number("NA"), "NA");
  EXPECT_EQ(shown_number("-Inf"), "-Inf");
  EXPECT_EQ(shown_number("0.01"), "0.01");
  EXPECT_EQ(shown_number("7.226841234567"), "7.227");
  EXPECT_EQ(shown_number("-0.17260883063656132"), "-0.1726");
  EXPECT_EQ(shown_number("123456.789"), "123456.8");
  EXPECT_EQ(shown_number("1e-07"), "1e-07");
  EXPECT_EQ(shown_number("Zebu 1.5"), "Zebu 1.5");
}

Calibration ladder_calibration(int pooled) {
  Calibration cal;
  cal.sets = 100;
  cal.false_positives = false_positive_ladder(100);
  for (int k = 0; k < LEVELS; ++k) cal.thresholds[std::size_t(k)] = 20.0 - 0.5 * k;
  for (int i = 0; i < pooled; ++i) cal.pooled.push_back(22.0 - 30.0 * i / pooled);
  return cal;
}

std::vector<MatchPair> pairs_scoring(std::initializer_list<double> scores) {
  std::vector<MatchPair> pairs;
  int i = 1;
  for (const double s : scores) pairs.push_back({i, i - 1, 0, 0, s, 3u}), ++i;
  return pairs;
}

TEST(ReportPage, ScorePlotCountsEveryStoredPairAndMarksTheLevelAndItsNeighbours) {
  const Calibration cal = ladder_calibration(500);
  const std::vector<MatchPair> pairs = pairs_scoring({30.5, 21, 20.9, 12, -4.75});
  for (const int chosen : {5, 0, LEVELS - 1}) {
    std::ostringstream out;
    score_plot(out, {&cal, &pairs, chosen});
    const std::string svg = out.str();
    int counted = 0;
    const std::regex count(R"re(data-count="(\d+)")re");
    for (auto m = std::sregex_iterator(svg.begin(), svg.end(), count); m != std::sregex_iterator();
         ++m)
      counted += std::stoi((*m)[1]);
    EXPECT_EQ(counted, 5) << chosen;
    const std::regex line(R"re(data-z="(\d+)" data-llr="([^"]+)")re");
    std::vector<std::string> marked;
    for (auto m = std::sregex_iterator(svg.begin(), svg.end(), line); m != std::sregex_iterator();
         ++m) {
      const int z = std::stoi((*m)[1]) - 1;
      EXPECT_EQ((*m)[2], tsv_number(cal.thresholds[std::size_t(z)]));
      marked.push_back((*m)[1]);
    }
    EXPECT_EQ(marked.size(), chosen == 5 ? 3u : 2u) << chosen;
    EXPECT_EQ(svg.find("NaN"), std::string::npos);
    EXPECT_EQ(svg.find("nan"), std::string::npos);
  }
}

// Names as a user may give them, markup among them.
PageInput small_page() {
  PageInput in;
  in.title = "Recaptures in <cats>.gen";
  in.date = "Mon Dec  7 05:56:07 2026\n";
  in.version = "TARVO Version 2.00";
  in.command_line = "tarvo -1 '<cats>.gen' -r 1";
  in.inputs = {"<cats>.gen"};
  in.options_listing = "  -r    1        1\n";
  in.summary.samples = 3;
  in.summary.individuals = 2;
  in.summary.recaptures = "0.9904236414002846";
  in.summary.false_positives = "0.01";
  in.levels_svg = "<?xml version=\"1.0\"?>\n<svg id=\"levels-plot\"></svg>\n";
  in.tables.pairs =
      "rank\tsample_1\tsample_2\tllr\taccepted\n1\t<b>\tc&d\t7.226841234567\t1\n2\tx\ty\t3\t0\n";
  in.tables.individuals =
      "sample_number\tsample\tpopulation\tpopulation_name\tindividual\tsamples_in_individual\n"
      "1\t<b>\t1\tNorth\t1\t2\n2\tc&d\t2\t\t1\t2\n3\tz\t1\tNorth\t2\t1\n";
  return in;
}

TEST(ReportPage, OneSelfContainedPageWithEveryNameEscaped) {
  static const Calibration cal = ladder_calibration(100);
  static const std::vector<MatchPair> pairs = pairs_scoring({21, 3});
  PageInput in = small_page();
  in.scores = {&cal, &pairs, 5};
  std::ostringstream out;
  html_report(out, in);
  const std::string page = out.str();
  EXPECT_EQ(page.find("<b>"), std::string::npos);
  EXPECT_EQ(page.find("<cats>"), std::string::npos);
  EXPECT_NE(page.find("&lt;b&gt;"), std::string::npos);
  EXPECT_NE(page.find("c&amp;d"), std::string::npos);
  // Nothing is fetched: no source, link or stylesheet outside the file, and
  // the plot's XML declaration is left out of the page.
  for (const char* outside : {"src=", "href=", "@import", "<link", "<?xml"})
    EXPECT_EQ(page.find(outside), std::string::npos) << outside;
  // The date stands on a line of its own, as in every report.
  EXPECT_NE(page.find("\nMon Dec  7 05:56:07 2026\n"), std::string::npos);
  // One accepted pair, with its exact LLR kept beside the rounded one.
  EXPECT_NE(page.find("data-v=\"7.226841234567\""), std::string::npos);
  EXPECT_NE(page.find(">7.227<"), std::string::npos);
  EXPECT_EQ(page.find("<td>x</td>"), std::string::npos);
  EXPECT_NE(page.find("1 individuals sampled once"), std::string::npos);
  EXPECT_NE(page.find("Simulated data: no panel power"), std::string::npos);
  EXPECT_EQ(page.find("For review"), std::string::npos);
  in.summary.flags = {"pair <1> scores near the threshold"};
  std::ostringstream flagged;
  html_report(flagged, in);
  EXPECT_NE(flagged.str().find("pair &lt;1&gt; scores near the threshold"), std::string::npos);
}

// The largest run: 30,000 samples, a full store of pairs and a calibration
// of 1,000 sets; the page stays a file a browser opens at once.
TEST(ReportPage, LargestRunStaysUnderFourMegabytes) {
  static const Calibration cal = ladder_calibration(LEVELS * 1000);
  std::vector<MatchPair> pairs;
  std::ostringstream pair_rows, individual_rows;
  pair_rows << "rank\tsample_1\tsample_2\tpopulation_1\tpopulation_2\tpopulation_name_1\t"
               "population_name_2\tloci_compared\tloci_mismatching\talleles_compared\t"
               "alleles_mismatching\tdropouts\tllr\tfalse_positives\taccepted\n";
  for (int r = 0; r < PAIRS; ++r) {
    pairs.push_back({2 * r + 1, 2 * r, 0, 0, 30.0 - r * 0.004, 0xffffu});
    pair_rows << r + 1 << "\tsample_" << 2 * r + 1 << "\tsample_" << 2 * r << "\t1\t1\tPop\tPop\t"
              << "16\t0\t32\t0\t0\t" << tsv_number(30.0 - r * 0.004) << "\t0.0012345678901\t"
              << (r < 3000 ? 1 : 0) << "\n";
  }
  individual_rows << "sample_number\tsample\tpopulation\tpopulation_name\tindividual\t"
                     "samples_in_individual\n";
  for (int s = 0; s < ANIM; ++s)
    individual_rows << s + 1 << "\tsample_" << s << "\t1\tPop\t"
                    << (s < 6000 ? s / 2 + 1 : s - 3000 + 1) << "\t" << (s < 6000 ? 2 : 1) << "\n";
  PageInput in = small_page();
  in.scores = {&cal, &pairs, 5};
  in.tables.pairs = pair_rows.str();
  in.tables.individuals = individual_rows.str();
  std::ostringstream out;
  html_report(out, in);
  RecordProperty("page_bytes", std::to_string(out.str().size()));
  EXPECT_LT(out.str().size(), 4u << 20);
  EXPECT_NE(out.str().find("24000 individuals sampled once"), std::string::npos);
}

}  // namespace
}  // namespace tarvo::report
