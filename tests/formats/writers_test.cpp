// The written files read back as they were written.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tarvo/error.h"
#include "tarvo/formats.h"

namespace {

using tarvo::GenotypeTable;

// Three samples over three loci in two populations; sample 1 lacks locus 1.
GenotypeTable sample_table() {
  GenotypeTable t(3, 3);
  const std::vector<std::vector<std::int32_t>> rows = {
      {1, 2, 100, 200, 999, 999}, {7, 7, 0, 0, 12, 13}, {3, 4, 5, 6, 7, 8}};
  for (int i = 0; i < 3; ++i) {
    std::copy(rows[std::size_t(i)].begin(), rows[std::size_t(i)].end(), t.row(i));
    t.sample(i).loci = i == 1 ? 5u : 7u;
    t.sample(i).population = i == 2 ? 1 : 0;
  }
  return t;
}

TEST(WriteGenepop, ReadsBackTheSameGenotypes) {
  const GenotypeTable t = sample_table();
  std::ostringstream out;
  tarvo::write_genepop(out, t, "POP");
  EXPECT_EQ(out.str(),
            "GENEPOP data file created using TARVO simulation\nL1, L2, L3\nPOP\n"
            "Rec1    , 001002 100200 999999\nRec2    , 007007 000000 012013\nPOP\n"
            "Rec3    , 003004 005006 007008\n");
  std::istringstream in(out.str());
  const GenotypeTable back = tarvo::read_genepop(in, {});
  ASSERT_EQ(back.size(), 3);
  EXPECT_EQ(back.masks(), t.masks());
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(std::equal(t.row(i), t.row(i) + 6, back.row(i))) << i;
  ASSERT_EQ(back.populations.size(), 2u);
  EXPECT_EQ(back.populations[1].first, 2);
}

TEST(WriteGenepop, RefusesAScoredAlleleOverThreeDigits) {
  GenotypeTable t = sample_table();
  t.row(1)[2] = 5000;  // not scored: written as 000000
  std::ostringstream ok;
  tarvo::write_genepop(ok, t, "POP");
  t.row(2)[3] = 1000;
  std::ostringstream out;
  try {
    tarvo::write_genepop(out, t, "POP");
    ADD_FAILURE();
  } catch (const tarvo::Error& e) {
    EXPECT_EQ(e.code(), tarvo::ErrorCode::AlleleTooWide);
    EXPECT_EQ(e.details<tarvo::AlleleDetails>().allele, 1000);
    EXPECT_EQ(e.details<tarvo::AlleleDetails>().locus, 1);
  }
  EXPECT_EQ(out.str(), "");
}

TEST(WriteFrequencyFile, LeavesOutTheMissingValueAndReadsBack) {
  tarvo::FrequencyTable freqs;
  freqs.loci.push_back({"Loc1", {0, 7, 12}, {4, 3, 9}, {0.0, 0.25, 0.75}, {0.0, 0.25, 1.0}, 4});
  freqs.loci.push_back({"Loc2", {1, 2}, {1, 1}, {0.5, 0.5}, {0.5, 1.0}, 0});
  std::ostringstream out;
  tarvo::write_frequency_file(out, freqs);
  EXPECT_EQ(out.str(),
            "Loc1             7      12 \nLoc1       0.25000 0.75000 \n"
            "Loc2             1       2 \nLoc2       0.50000 0.50000 \n");
  std::istringstream in(out.str());
  const tarvo::FrequencyTable back = tarvo::read_frequency_file(in);
  ASSERT_EQ(back.size(), 2);
  EXPECT_EQ(back.loci[0].alleles, (std::vector<std::int32_t>{7, 12}));
  EXPECT_EQ(back.loci[0].freqs, (std::vector<double>{0.25, 0.75}));
  EXPECT_EQ(back.loci[1].freqs, freqs.loci[1].freqs);
}

TEST(WriteCompositeFile, ClustersThenTheSamplesOutsideThem) {
  GenotypeTable t = sample_table();
  t.sample(0).name = "A";
  t.sample(1).name = "B";
  t.sample(2).name = "C";
  tarvo::Clusters clusters;
  clusters.samples = {0, 2};
  clusters.cluster_of = {0, 0};
  clusters.groups = {{0, 2}};
  std::ostringstream out;
  tarvo::write_composite_file(out, t, clusters, {1, 2, 3, 4, 5, 6}, "POP");
  EXPECT_EQ(out.str(),
            "GENEPOP data file created using TARVO simulation\nL1, L2, L3\nPOP\n"
            "GP1            , 001002 003004 005006\nB              , 007007 000000 012013\n");
}

}  // namespace
