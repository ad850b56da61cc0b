#include "tarvo/scan.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using tarvo::GenotypeTable;

tarvo::FrequencyTable one_locus() {
  tarvo::FrequencyTable f;
  tarvo::LocusFrequencies L;
  L.name = "A";
  L.alleles = {10, 20, 30};
  L.freqs = {0.2, 0.3, 0.5};
  L.cumulative = {0.2, 0.5, 1.0};
  f.loci.push_back(L);
  return f;
}

// One locus; populations {0, 1} and {2, 3}.
GenotypeTable four_samples() {
  GenotypeTable t(1, 4);
  const std::int32_t rows[4][2] = {{10, 20}, {30, 30}, {20, 10}, {30, 30}};
  t.populations = {{"P", 0, 2}, {"Q", 2, 4}};
  for (int s = 0; s < 4; ++s) {
    t.row(s)[0] = rows[s][0];
    t.row(s)[1] = rows[s][1];
    t.sample(s).loci = 1;
    t.sample(s).population = s / 2;
  }
  return t;
}

TEST(Scan, EstimateLevelByHand) {
  const tarvo::LevelEstimate e = tarvo::estimate_level(5, 20, 10, 1);
  EXPECT_EQ(e.net, 4);
  EXPECT_EQ(e.effective, 5);
  EXPECT_NEAR(e.recaptures, 10 * (1 - 0.04), 1e-12);  // h = 0.2, (1 - l)^N = 0.2^2
  EXPECT_NEAR(e.percent, 2400, 1e-8);
  EXPECT_EQ(tarvo::estimate_level(1, 20, 10, 2).recaptures, 0);  // M < V
  EXPECT_EQ(tarvo::estimate_level(6, 20, 10, 1).recaptures, 0);  // R = E
}

TEST(Scan, RankInDescendingScores) {
  const std::vector<double> v = {5, 4, 4, 2};
  EXPECT_EQ(tarvo::rank_in_descending(v, 6), 0);
  EXPECT_EQ(tarvo::rank_in_descending(v, 5), 0);
  EXPECT_EQ(tarvo::rank_in_descending(v, 4.5), 1);
  EXPECT_EQ(tarvo::rank_in_descending(v, 4), 1);
  EXPECT_EQ(tarvo::rank_in_descending(v, 3), 3);
  EXPECT_EQ(tarvo::rank_in_descending(v, 2), -1);
}

TEST(Scan, PairsLevelsAndMismatches) {
  const auto f = one_locus();
  const GenotypeTable t = four_samples();
  const tarvo::PairScorer scorer(t, f, 0.01);
  tarvo::ScanSettings s;
  s.thresholds.fill(1.0);
  s.false_positives.fill(0.5);
  s.count_mismatches = true;
  tarvo::Rng rng;
  const tarvo::PairScan scan = tarvo::scan_pairs(scorer, s, rng);
  EXPECT_EQ(rng.calls(), 6u * 4u);  // two self-comparisons of two copies per pair

  ASSERT_EQ(scan.pairs.size(), 2u);  // highest first
  EXPECT_EQ(scan.pairs[0].later, 2);
  EXPECT_EQ(scan.pairs[0].earlier, 0);
  EXPECT_EQ(scan.pairs[0].later_population, 1);
  EXPECT_EQ(scan.pairs[0].earlier_population, 0);
  EXPECT_EQ(scan.pairs[1].later, 3);
  EXPECT_GT(scan.pairs[0].llr, scan.pairs[1].llr);
  EXPECT_EQ(scan.matches_beyond_kept, 0);

  const tarvo::LevelEstimate expect = tarvo::estimate_level(2, 12, 4, 0.5);
  EXPECT_EQ(scan.levels[0].matches, 2);
  EXPECT_EQ(scan.levels[49].recaptures, expect.recaptures);
  EXPECT_EQ(scan.mismatches.comparable, (std::vector<std::int64_t>{0, 6}));
  EXPECT_EQ(scan.mismatches.mismatching, (std::vector<std::int64_t>{2, 4}));
}

TEST(Scan, KeepsAtMostPairsAndCountsTheRest) {
  const auto f = one_locus();
  const int n = 111;  // 6105 identical pairs
  GenotypeTable t(1, n);
  t.populations = {{"P", 0, n}};
  for (int s = 0; s < n; ++s) {
    t.row(s)[0] = 10;
    t.row(s)[1] = 20;
    t.sample(s).loci = 1;
  }
  const tarvo::PairScorer scorer(t, f, 0.01);
  tarvo::ScanSettings s;
  s.thresholds.fill(1.0);
  tarvo::Rng rng;
  const tarvo::PairScan scan = tarvo::scan_pairs(scorer, s, rng);
  EXPECT_TRUE(scan.pairs_full());
  EXPECT_EQ(scan.pairs.size(), std::size_t(tarvo::PAIRS));
  EXPECT_EQ(scan.matches_beyond_kept, n * (n - 1) / 2 - tarvo::PAIRS);
  EXPECT_EQ(scan.pairs.back().later, 110);  // ties keep scan order
}

TEST(Scan, CompareAlleles) {
  GenotypeTable t(2, 2);
  const std::int32_t rows[2][4] = {{10, 10, 5, 6}, {10, 12, 7, 8}};
  for (int s = 0; s < 2; ++s) {
    for (int c = 0; c < 4; ++c) t.row(s)[c] = rows[s][c];
    t.sample(s).loci = 3;
  }
  const tarvo::AlleleComparison a = tarvo::compare_alleles(t, 1, 0);
  EXPECT_EQ(a.alleles, 4);
  EXPECT_EQ(a.mismatches, 3);
  EXPECT_EQ(a.dropouts, 1);
  const tarvo::LocusComparison c = tarvo::compare_loci(t, 1, 0);
  EXPECT_EQ(c.compared, 2);
  EXPECT_EQ(c.mismatching, 2);
}

}  // namespace
