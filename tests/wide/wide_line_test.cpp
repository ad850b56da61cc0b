// With a longer line limit the cattle data in the program's own layout (its
// header line is longer than the default limit) reads exactly like the same
// data in GENEPOP format.
#include <gtest/gtest.h>

#include <fstream>

#include "tarvo/formats.h"
#include "tarvo/frequencies.h"
#include "tarvo/patterns.h"

namespace {

tarvo::GenotypeTable load(const std::string& file, tarvo::GenotypeFormat expected) {
  const std::string path = std::string(TARVO_SOURCE_DIR) + "/tests/data/" + file;
  std::ifstream probe(path);
  EXPECT_EQ(tarvo::detect_format(probe), expected);
  std::ifstream in(path);
  return tarvo::read_genotypes(in, expected, {});
}

TEST(WideLines, OwnFormatCattleReadsLikeGenepopCattle) {
  ASSERT_GE(tarvo::STR, 1000);
  const auto csv = load("microbov.csv", tarvo::GenotypeFormat::Own);
  const auto gen = load("microbov.gen", tarvo::GenotypeFormat::Genepop);
  EXPECT_EQ(csv.size(), 704);
  EXPECT_EQ(csv.loci(), 30);
  EXPECT_EQ(csv.populations.size(), 15u);
  ASSERT_EQ(csv.size(), gen.size());
  ASSERT_EQ(csv.loci(), gen.loci());
  EXPECT_EQ(csv.locus_names, gen.locus_names);
  const auto a = tarvo::count_frequencies(csv), b = tarvo::count_frequencies(gen);
  for (int k = 0; k < csv.loci(); ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(a.loci[k].alleles, b.loci[k].alleles);
    EXPECT_EQ(a.loci[k].counts, b.loci[k].counts);
    EXPECT_EQ(a.loci[k].freqs, b.loci[k].freqs);
  }
  const auto pa = tarvo::tally_patterns(csv.masks()), pb = tarvo::tally_patterns(gen.masks());
  ASSERT_EQ(pa.size(), pb.size());
  for (size_t p = 0; p < pa.size(); ++p) {
    EXPECT_EQ(pa[p].mask, pb[p].mask);
    EXPECT_EQ(pa[p].count, pb[p].count);
  }
  for (int i = 0; i < csv.size(); ++i) {
    EXPECT_EQ(csv.samples[i].name, gen.samples[i].name);
    EXPECT_EQ(csv.samples[i].population, gen.samples[i].population);
  }
}

}  // namespace
