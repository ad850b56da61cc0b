#include "tarvo/cells.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tarvo/error.h"

using namespace tarvo;

namespace {

// One locus: allele 10 common (0.9), 20 rare (0.1). With e = 0.01 a rare
// homozygote scores ln(98.03) against itself, a common one ln(1.23): the
// threshold 1.0 lies between. Kinds: S strong, W weak, x nothing scored;
// populations of 4, 3 and 2 samples.
struct TinyData {
  FrequencyTable freqs;
  GenotypeTable table{1, 9};
  explicit TinyData(const char* kinds = "SWSxSSWSW") {
    LocusFrequencies L;
    L.alleles = {10, 20};
    L.freqs = {0.9, 0.1};
    L.cumulative = {0.9, 1.0};
    freqs.loci.push_back(L);
    table.populations = {{"a", 0, 4}, {"b", 4, 7}, {"c", 7, 9}};
    for (int i = 0; i < 9; ++i) {
      const int a = kinds[i] == 'S' ? 20 : kinds[i] == 'W' ? 10 : 0;
      table.row(i)[0] = table.row(i)[1] = a;
      table.sample(i).loci = a ? 1u : 0u;
      table.sample(i).population = i < 4 ? 0 : i < 7 ? 1 : 2;
    }
  }
};

MatchPair pair(int later, int earlier, int pl, int pe, double llr = 9.0) {
  return MatchPair{later, earlier, pl, pe, llr, 1u};
}

TEST(Cells, CountsAboveThresholdInFirstAppearanceOrder) {
  const std::vector<MatchPair> pairs{pair(7, 0, 2, 0),      pair(2, 0, 0, 0),    pair(8, 1, 2, 0),
                                     pair(5, 4, 1, 1, 1.0), pair(2, 1, 1000, 0), pair(2, 1, 0, 1)};
  const std::vector<CellCount> c = count_cells(pairs, 1.0);
  ASSERT_EQ(c.size(), 4u);  // the pair at the threshold is left out
  EXPECT_EQ(c[0].cell, (PopulationPair{2, 0}));
  EXPECT_EQ(c[0].matches, 2);
  EXPECT_EQ(c[1].cell, (PopulationPair{0, 0}));
  // Populations 1000 apart stay distinct cells.
  EXPECT_EQ(c[2].cell, (PopulationPair{1000, 0}));
  EXPECT_EQ(c[3].cell, (PopulationPair{0, 1}));
}

TEST(Cells, EffectiveSizesFromSelfScores) {
  TinyData d;
  const PairScorer s(d.table, d.freqs, 0.01);
  Rng rng(1);
  // Population 0: pairs (1,0) 0.5, (2,0) 1, (2,1) 0.5; sample 3 shares no locus.
  const EffectiveSize within = effective_size(s, {0, 0}, 1.0, 0, rng);
  EXPECT_EQ(within.detectable, 2.0);
  EXPECT_DOUBLE_EQ(within.size, 0.5 + 0.5 * std::sqrt(17.0));
  EXPECT_EQ(rng.calls(), 3u * 4u);  // two copies per self-score, skipped pairs draw none
  const EffectiveSize between = effective_size(s, {1, 0}, 1.0, 0, rng);
  EXPECT_EQ(between.detectable, 6.0);
  EXPECT_DOUBLE_EQ(between.size, std::sqrt(6.0));
}

TEST(Cells, OnePopulation) {
  TinyData d;
  GenotypeTable& t = d.table;
  while (t.size() < 100) t.add_sample({}, std::vector<std::int32_t>(2));
  t.populations = {{"a", 0, 100}};
  const PairScorer s(t, d.freqs, 0.01);
  std::vector<MatchPair> pairs;
  for (int k = 0; k < 12; ++k) pairs.push_back(pair(k + 1, k, 0, 0, 5.0));
  CellSettings cs{2.0, 1.0, 0, 50.0, true};
  Rng rng(1);
  // N 100, E 50, V 2, M 12: h = 0.8, R_hat = 100 (1 - 0.64), P = 36 / 64.
  CellEstimates e = estimate_cells(s, pairs, cs, rng);
  ASSERT_EQ(e.cells.size(), 1u);
  EXPECT_NEAR(e.cells[0].recaptures, 36.0, 1e-9);
  EXPECT_NEAR(e.cells[0].percent, 56.25, 1e-9);
  EXPECT_NEAR(e.total, 36.0, 1e-9);
  ASSERT_EQ(e.plan.size(), 1u);
  EXPECT_EQ(e.plan[0].cell, (PopulationPair{0, 0}));
  // M - V >= E: E becomes max(M, min(E, N)) = 12.
  cs.effective_total = 5.0;
  e = estimate_cells(s, pairs, cs, rng);
  EXPECT_EQ(e.cells[0].effective, 12.0);
  EXPECT_NEAR(e.total, 100 * (1 - std::pow(1.0 / 6, 100.0 / 12)), 1e-9);
  // M not above V: no estimate, nothing planned.
  cs.false_positives = 12.0;
  e = estimate_cells(s, pairs, cs, rng);
  EXPECT_TRUE(e.cells[0].shadowed);
  EXPECT_TRUE(e.plan.empty());
}

TEST(Cells, SeveralPopulations) {
  TinyData d;
  const PairScorer s(d.table, d.freqs, 0.01);
  Rng rng(1);
  CellSettings cs{0.5, 1.0, 0, 4.0, false};
  const std::vector<MatchPair> pairs{pair(7, 0, 2, 0), pair(2, 0, 0, 0), pair(5, 4, 1, 1),
                                     pair(1, 0, 0, 0), pair(4, 2, 1, 0)};
  const CellEstimates e = estimate_cells(s, pairs, cs, rng);
  ASSERT_EQ(e.cells.size(), 4u);
  EXPECT_NEAR(e.total, 8.324424991287948, 1e-12);
  // Cell (2, 0): g = 3.5, W = 36 - 6, V_ut = 0.5 (8 - 3.5) / 30.
  const CellEstimate& c = e.cells[0];
  const double B = std::sqrt(8.0), E12 = std::sqrt(3.5), V = 0.5 * 4.5 / 30;
  EXPECT_DOUBLE_EQ(c.false_positives, V);
  EXPECT_DOUBLE_EQ(c.recaptures, B * (1 - std::pow(1 - (1 - V) / E12, B / E12)));
  EXPECT_DOUBLE_EQ(c.percent, 100 * c.recaptures / B);
  EXPECT_EQ(e.plan[3].cell, (PopulationPair{1, 0}));
  EXPECT_TRUE(c.warnings.empty());

  // Two matches: E1 = 1.32 and E12 = 1.87 are raised to M, E2 = 2.65 is not.
  const std::vector<MatchPair> two{pair(7, 0, 2, 0), pair(8, 1, 2, 0)};
  const CellEstimate w = estimate_cells(s, two, cs, rng).cells.at(0);
  ASSERT_EQ(w.warnings.size(), 2u);
  EXPECT_STREQ(w.warnings[1].name, "E12");
  EXPECT_NEAR(w.warnings[1].size, 1.870829, 1e-6);
  EXPECT_NEAR(w.recaptures, 2.8012050844330894, 1e-12);
  // Without false positives E1 raised to M leaves log(0).
  cs.false_positives = 0;
  try {
    (void)estimate_cells(s, two, cs, rng);
    FAIL();
  } catch (const Error& err) {
    EXPECT_EQ(err.code(), ErrorCode::CellLogUndefined);
    EXPECT_EQ(err.details<CellDetails>().size_name, "E1");
    EXPECT_EQ(err.details<CellDetails>().matches, 2);
  }
}

}  // namespace
