// Missing-loci patterns: the table, the draws and the report.
#include <gtest/gtest.h>

#include "common/test_run.h"

namespace {

using testutil::TestRun;

TEST(Patterns, FirstAppearanceOrderAndCounts) {
  TestRun t;
  tarvo::Run& r = t.r;
  const uint32_t masks[] = {3, 1, 3, 2, 1, 3};
  for (int i = 0; i < 6; ++i) r.store.rec[i].loci_mask = masks[i];
  int npat = 0;
  tarvo::get_mbit2(r, 6, npat);
  ASSERT_EQ(npat, 3);
  EXPECT_EQ(r.pat.perm[0].mask, 3u);
  EXPECT_EQ(r.pat.perm[0].count, 3);
  EXPECT_EQ(r.pat.perm[1].count, 2);
  EXPECT_EQ(r.pat.perm[2].count, 1);
  EXPECT_EQ(tarvo::bitperm(r, 0, 0, 1, ' '), 0);
  EXPECT_EQ(tarvo::bitperm(r, 5, 0, 0, 's'), 1);
  EXPECT_EQ(r.pat.perm[0].count, 0);
}

TEST(Patterns, MoreThanTheLimitStops) {
  TestRun t;
  tarvo::Run& r = t.r;
  for (uint32_t m = 1; m <= uint32_t(tarvo::PERM); ++m) tarvo::bitperm(r, m, 1, 0, 's');
  EXPECT_EQ(testutil::exit_status([&] { tarvo::bitperm(r, 0xffffffu, 1, 0, 's'); }), 1);
  const std::string n = std::to_string(tarvo::PERM + 1), p = std::to_string(tarvo::PERM);
  const std::string tail = "Need to increase PERM.\nProgram stopped due to condition above\n";
  EXPECT_EQ(t.log(), "Maximum number of missing value combinations " + n +
                         " has exceeded PERM=" + p + ".\n" + tail);
  EXPECT_EQ(t.out(), "\nMaximum number of missing value combinations " + n +
                         " has exceeded PERM=" + p + ".\n" + tail);
  EXPECT_EQ(r.pat.used, tarvo::PERM);
}

TEST(Patterns, DrawsKeepAllLociAtYOneAndStayInThePopulation) {
  TestRun t;
  tarvo::Run& r = t.r;
  int npat = 0;
  r.rng.init_genrand(1);
  tarvo::get_mbit(r, 20, 32, npat, 100);
  EXPECT_EQ(npat, 1);
  EXPECT_EQ(r.store.rec[7].loci_mask, 0xffffffffu);
  EXPECT_EQ(r.rng.calls, 20u * 32u);

  // Populations of 3 and 1 samples: each sample takes a mask of its own population.
  const uint32_t src[] = {1, 2, 4, 8};
  r.store.nBlock[0] = 0;
  r.store.nBlock[1] = 3;
  r.store.nBlock[2] = 4;
  for (int i = 0; i < 4; ++i) r.store.rec[i].block = i < 3 ? 0 : 1;
  tarvo::bitperm(r, 0, 0, 1, ' ');
  for (int round = 0; round < 50; ++round) {
    tarvo::get_mbit4(r, 4, npat, src);
    for (int i = 0; i < 3; ++i) EXPECT_LT(r.store.rec[i].loci_mask, 8u);
    EXPECT_EQ(r.store.rec[3].loci_mask, 8u);
  }
  tarvo::get_mbit3(r, 4, npat, 1, src);
  EXPECT_EQ(r.store.rec[2].loci_mask, 1u);
}

std::string report(int nloci, const std::vector<uint32_t>& masks) {
  TestRun t;
  for (size_t i = 0; i < masks.size(); ++i) t.r.store.rec[i].loci_mask = masks[i];
  int npat = 0;
  tarvo::get_mbit2(t.r, int(masks.size()), npat);
  FILE* f = std::tmpfile();
  tarvo::print_missing_loci(t.r, nloci, npat, int(masks.size()), f);
  std::string s = testutil::slurp(f);
  std::fclose(f);
  return s;
}

TEST(Patterns, ReportLayoutForOneThreeAndThirtyTwoLoci) {
  EXPECT_EQ(report(3, {7, 5, 7}),
            "\n\nMissing allele report\n\n"
            "________________________________________\n\n"
            "              Locus            Frequency     \n"
            "              1   2   3 \n"
            "________________________________________\nCombination\n"
            "      1       .   .   .          2 \n"
            "      2       .   M   .          1 \n"
            "________________________________________\n"
            "                  Total          3\n"
            "________________________________________\n\n\n");
  EXPECT_EQ(report(1, {1}),
            "\n\nMissing allele report\n\n________________________________\n\n"
            "              Locus            Frequency     \n              1 \n"
            "________________________________\nCombination\n      1       .          1 \n"
            "________________________________\n           Total          1\n"
            "________________________________\n\n\n");
  const std::string wide = report(32, {0xffffffffu, 0x80000001u});
  EXPECT_NE(
      wide.find(
          "      2       .   M   M   M   M   M   M   M   M   M   M   M   M   M   M"
          "   M   M   M   M   M   M   M   M   M   M   M   M   M   M   M   M   .          1 \n"),
      std::string::npos);
  EXPECT_NE(wide.find("  31  32 \n"), std::string::npos);

  TestRun t;
  FILE* f = std::tmpfile();
  tarvo::print_missing_loci(t.r, 3, 0, 5, f);
  EXPECT_EQ(testutil::slurp(f), "\n\nThere were no missing alleles in this data set\n");
  std::fclose(f);
}

}  // namespace
