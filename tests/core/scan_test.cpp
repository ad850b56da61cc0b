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

// Parts scanned on several threads merge into the one-thread scan: the
// same levels, counts, kept pairs in order and generator position, with the
// PAIRS cap reached in a middle part and frequent retypings.
TEST(Scan, ThreadCountsGiveTheSameScan) {
  const auto f = one_locus();
  tarvo::FrequencyTable three = f;
  three.loci = {f.loci[0], f.loci[0], f.loci[0]};
  const int n = 160;
  GenotypeTable t(3, n);
  t.populations = {{"P", 0, n}};
  tarvo::Rng draw(3);
  for (int s = 0; s < n; ++s) {
    for (int c = 0; c < 6; ++c) t.row(s)[c] = 10 * (1 + int(3 * draw.uniform()));
    t.sample(s).loci = 1 + std::uint32_t(7 * draw.uniform());
  }
  const tarvo::PairScorer scorer(t, three, 0.01);
  tarvo::ScanSettings s;
  for (int k = 0; k < tarvo::LEVELS; ++k) s.thresholds[std::size_t(k)] = 2.0 - 0.5 * k;
  s.false_positives.fill(0.5);
  s.retype_error = 0.2;
  s.count_mismatches = true;
  tarvo::Rng one(9);
  const tarvo::PairScan whole = tarvo::scan_pairs(scorer, s, one);
  ASSERT_GT(whole.matches_beyond_kept, 0);
  for (const int threads : {2, 3, 8}) {
    s.threads = threads;
    tarvo::Rng rng(9);
    const tarvo::PairScan parts = tarvo::scan_pairs(scorer, s, rng);
    EXPECT_EQ(rng.calls(), one.calls());
    for (int z = 0; z < tarvo::LEVELS; ++z) {
      EXPECT_EQ(parts.levels[std::size_t(z)].matches, whole.levels[std::size_t(z)].matches);
      EXPECT_EQ(parts.levels[std::size_t(z)].effective, whole.levels[std::size_t(z)].effective);
    }
    EXPECT_EQ(parts.matches_beyond_kept, whole.matches_beyond_kept);
    EXPECT_EQ(parts.mismatches.mismatching, whole.mismatches.mismatching);
    ASSERT_EQ(parts.pairs.size(), whole.pairs.size());
    for (std::size_t p = 0; p < whole.pairs.size(); ++p) {
      ASSERT_EQ(parts.pairs[p].later, whole.pairs[p].later) << p;
      ASSERT_EQ(parts.pairs[p].earlier, whole.pairs[p].earlier) << p;
      ASSERT_EQ(parts.pairs[p].llr, whole.pairs[p].llr) << p;
    }
  }
}

}  // namespace
