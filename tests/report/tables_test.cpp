// The tab-separated tables and the levels plot on small hand-made results.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>

#include "report/report.h"

namespace tarvo::report {
namespace {

TEST(Tables, NumbersReadBackExactlyAndFieldsStayWhole) {
  for (const double x : {0.1, 1.0 / 3, 2.9973728813558878, -7.5e-13, 236.95, 1e300})
    EXPECT_EQ(std::strtod(tsv_number(x).c_str(), nullptr), x) << tsv_number(x);
  EXPECT_EQ(tsv_number(0.01), "0.01");
  EXPECT_EQ(tsv_number(3), "3");
  EXPECT_EQ(tsv_number(std::nan("")), "NA");
  EXPECT_EQ(tsv_number(-INFINITY), "-Inf");
  EXPECT_EQ(tsv_field("Zebu Bororo, long name 123456789"), "Zebu Bororo, long name 123456789");
  EXPECT_EQ(tsv_field("a\tb"), "\"a\tb\"");
  EXPECT_EQ(tsv_field("say \"hi\""), "\"say \"\"hi\"\"\"");
}

// Three samples in two populations, one locus.
GenotypeTable three_samples() {
  GenotypeTable t(1, 3);
  t.populations = {{"North", 0, 2}, {"", 2, 3}};
  const char* names[] = {"a", "b", "c\td"};
  for (int i = 0; i < 3; ++i) {
    t.sample(i) = Sample{names[i], 1u, i < 2 ? 0 : 1};
    t.row(i)[0] = 10;
    t.row(i)[1] = 12 + i;
  }
  return t;
}

TEST(Tables, PairsIndividualsAndGroups) {
  const GenotypeTable t = three_samples();
  Calibration cal;
  cal.sets = 10;
  cal.pooled = {9.0, 5.0, 1.0};
  const std::vector<MatchPair> pairs = {{1, 0, 0, 0, 9.0, 1u}, {2, 1, 1, 0, 0.5, 1u}};
  Review review;
  review.pairs = {{2, 1, 0.25, -1.5, 2, FlagFullSiblings | FlagChain}, {2, 1, 0.5, 3, 4, 0}};
  review.individuals = {{{2, 0}, 1, 9.0, 1}, {{1}, 0, std::nan(""), -1}};
  review.individual_of = {0, 1, 0};
  std::ostringstream out;
  pairs_table(out, t, pairs, cal, review, 1);
  EXPECT_EQ(out.str(),
            "rank\tsample_1\tsample_2\tsample_number_1\tsample_number_2\tpopulation_1\t"
            "population_2\tpopulation_name_1\tpopulation_name_2\tloci_compared\t"
            "loci_mismatching\talleles_compared\talleles_mismatching\tdropouts\tllr\t"
            "false_positives\taccepted\tmismatch_probability\tllr_vs_full_siblings\t"
            "llr_vs_parent_offspring\tflags\n"
            "1\tb\ta\t2\t1\t1\t1\tNorth\tNorth\t1\t1\t2\t1\t0\t9\t0\t1\t0.25\t-1.5\t2\t"
            "full_siblings;chain\n"
            "2\t\"c\td\"\tb\t3\t2\t2\t1\t\tNorth\t1\t1\t2\t1\t0\t0.5\tNA\t0\t0.5\t3\t4\t\n");

  std::ostringstream ind;
  individuals_table(ind, t, review);
  EXPECT_EQ(ind.str(),
            "sample_number\tsample\tpopulation\tpopulation_name\tindividual\t"
            "samples_in_individual\n"
            "1\ta\t1\tNorth\t1\t2\n2\tb\t1\tNorth\t2\t1\n3\t\"c\td\"\t2\t\t1\t2\n");

  std::ostringstream groups;
  groups_table(groups, t, review);
  EXPECT_EQ(groups.str(),
            "individual\tsamples\tsample_numbers\tsample_names\taccepted_pairs\tpossible_pairs\t"
            "weakest_llr\tmost_mismatching_alleles\tflags\n"
            "1\t2\t3;1\t\"c\td;a\"\t1\t1\t9\t1\t\n2\t1\t2\tb\t0\t0\tNA\tNA\t\n");
}

struct Levels {
  Calibration cal;
  std::array<LevelEstimate, LEVELS> levels{};
  LevelSearch search;
  LevelsInput input;
  Levels() {
    cal.sets = 200;
    cal.false_positives = false_positive_ladder(200);
    for (int k = 0; k < LEVELS; ++k) levels[std::size_t(k)] = {k + 1.0, k + 0.5, 30, k + 0.75, 2};
    search.record(3, 0.25, 4.5);
    search.record(5, std::nan(""), 6.0);
    input = {&cal, &levels, &search, 3, "in <1> & \"2\""};
  }
};

TEST(Tables, LevelsFlagTheChosenAndLeaveUntriedEmpty) {
  const Levels l;
  std::ostringstream out;
  levels_table(out, l.input);
  std::istringstream in(out.str());
  std::vector<std::string> rows;
  for (std::string line; std::getline(in, line);) rows.push_back(line);
  ASSERT_EQ(rows.size(), 51u);
  EXPECT_EQ(rows[0],
            "z\tllr_threshold\tfalse_positives\tmatches\tnet_matches\tfalse_negatives\t"
            "effective_size\tr_hat\tpercent\tsim_r_hat\tsim_se\tchosen");
  EXPECT_EQ(rows[4], "4\t0\t0.25\t4\t3.5\t0.25\t30\t3.75\t2\t4.5\t0.25\t1");
  EXPECT_EQ(rows[5], "5\t0\t0.5\t5\t4.5\t0.25\t30\t4.75\t2\tNA\tNA\t0");
  // A NaN standard error never counts as tried.
  EXPECT_EQ(rows[6].substr(rows[6].size() - 8), "\tNA\tNA\t0");
}

TEST(Tables, PlotIsSelfContainedAndEscapesItsText) {
  const Levels l;
  std::ostringstream out;
  levels_plot(out, l.input);
  const std::string svg = out.str();
  EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
  EXPECT_NE(svg.find("in &lt;1&gt; &amp; &quot;2&quot;"), std::string::npos);
  EXPECT_EQ(svg.find("href"), std::string::npos);
  EXPECT_NE(svg.find("z = 4, V = 0.25, R_hat = 3.75"), std::string::npos);
  // Nothing is drawn outside the image, and no coordinate is NaN.
  EXPECT_EQ(svg.find("nan"), std::string::npos);
  EXPECT_EQ(svg.find("=\"-"), std::string::npos);
}

TEST(Tables, PopulationsListEveryPopulationAndPairsWithMatches) {
  const GenotypeTable t = three_samples();
  CellEstimates est;
  CellEstimate between{};
  between.cell = {1, 0};
  between.within = false;
  between.effective = 1.5;
  between.false_positives = 0.25;
  between.matches = 1;
  between.recaptures = 0.75;
  between.percent = 40;
  est.cells = {between};
  PopulationsInput input;
  input.reference = &t;
  input.estimates = &est;
  std::ostringstream out;
  populations_table(out, input);
  EXPECT_EQ(out.str().substr(out.str().find('\n') + 1),
            "1\t1\tNorth\tNorth\t2\t2\tNA\tNA\t0\tNA\tNA\tNA\tNA\tNA\n"
            "2\t1\t\tNorth\t1\t2\t1.5\t0.25\t1\t0.75\t40\tNA\tNA\tNA\n"
            "2\t2\t\t\t1\t1\tNA\tNA\t0\tNA\tNA\tNA\tNA\tNA\n");
}

}  // namespace
}  // namespace tarvo::report
