// The GenAlEx reader and its detection on small exports.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "tarvo/error.h"
#include "tarvo/formats.h"

namespace {

using tarvo::Error;
using tarvo::ErrorCode;
using tarvo::GenotypeFormat;
using tarvo::GenotypeReadSettings;
using tarvo::GenotypeTable;

const std::string kHead =
    "2,4,2,2,2,,\r\n\"Title, with a comma\",,,North,South Bay\r\nSample,Pop,LocA,,LocB,\r\n";

GenotypeTable read(const std::string& text, const GenotypeReadSettings& settings = {}) {
  std::istringstream in(text);
  EXPECT_EQ(tarvo::detect_format(in), GenotypeFormat::Genalex);
  in.clear();
  in.seekg(0);
  return tarvo::read_genotypes(in, GenotypeFormat::Genalex, settings);
}

ErrorCode error_of(const std::string& text) {
  try {
    (void)read(text);
  } catch (const Error& e) {
    return e.code();
  }
  ADD_FAILURE() << "no error for\n" << text;
  return ErrorCode::NoLoci;
}

TEST(Genalex, ReadsSamplesPopulationNamesAndMissingLoci) {
  const GenotypeTable t = read(kHead +
                               "s1,North,120,122,200,200\r\ns2,North,0,0,200,204,,\r\n\r\n"
                               "t1,South Bay,118,122,200,204\r\nt2,South Bay,120,122,0,0\r\n");
  ASSERT_EQ(t.size(), 4);
  EXPECT_EQ(t.locus_names, (std::vector<std::string>{"LocA", "LocB"}));
  ASSERT_EQ(t.populations.size(), 2u);
  EXPECT_EQ(t.populations[0].name, "North");
  EXPECT_EQ(t.populations[1].name, "South Bay");
  EXPECT_EQ(t.populations[1].first, 2);
  EXPECT_EQ(t.sample(3).name, "t2");
  EXPECT_EQ(t.sample(3).population, 1);
  EXPECT_EQ(t.sample(1).loci, 2u);  // LocA missing
  EXPECT_EQ(t.sample(3).loci, 1u);
  EXPECT_EQ(std::vector<int>(t.row(2), t.row(2) + 4), (std::vector<int>{118, 122, 200, 204}));
}

// As spreadsheets save them: a byte-order mark before the counts, and
// semicolons where the decimal separator is a comma.
TEST(Genalex, ReadsAByteOrderMarkAndSemicolonsAsCommas) {
  const std::string text = kHead + "s1,North,120,122,200,200\ns2,North,0,0,200,204\n" +
                           "t1,South Bay,118,122,200,204\nt2,South Bay,120,122,0,0\n";
  std::string semicolons = text;
  std::replace(semicolons.begin(), semicolons.end(), ',', ';');
  const GenotypeTable commas = read(text);
  for (const std::string& other :
       {"\xEF\xBB\xBF" + text, semicolons, "\xEF\xBB\xBF" + semicolons}) {
    const GenotypeTable t = read(other);
    ASSERT_EQ(t.size(), 4);
    EXPECT_EQ(t.locus_names, commas.locus_names);
    EXPECT_EQ(t.populations[1].name, "South Bay");
    EXPECT_EQ(std::vector<int>(t.row(0), t.row(3) + 4),
              std::vector<int>(commas.row(0), commas.row(3) + 4));
  }
}

TEST(Genalex, NamesByNumberTheLociTheHeaderLeavesUnnamed) {
  const GenotypeTable t = read("2,1,1,1\nT\nSample,Pop,LocA\ns1,P,1,1,2,2\n");
  EXPECT_EQ(t.locus_names, (std::vector<std::string>{"LocA", "L2"}));
}

TEST(Genalex, RefusesWhatDoesNotAddUp) {
  // Four samples declared, three read; a population split over two runs.
  EXPECT_EQ(error_of(kHead + "s1,North,1,1,2,2\ns2,North,1,1,2,2\nt1,South Bay,1,1,2,2\n"),
            ErrorCode::GenalexCounts);
  EXPECT_EQ(error_of(kHead + "s1,North,1,1,2,2\nt1,South,1,1,2,2\ns2,North,1,1,2,2\n"
                             "t2,South,1,1,2,2\n"),
            ErrorCode::GenalexCounts);
  EXPECT_EQ(error_of(kHead + "s1,North,1,0,2,2\n"), ErrorCode::HalfMissingGenotype);
  EXPECT_EQ(error_of(kHead + "s1,North,1,1,2\n"), ErrorCode::AllelePairCount);
  // A count of loci far beyond the sample lines sizes nothing: the first
  // sample line refutes it.
  EXPECT_EQ(error_of("999999999,1,1,1\nT\nID,Pop,A\ns1,P,1,1\n"), ErrorCode::AllelePairCount);
  EXPECT_EQ(error_of(kHead + "s1,North,1,x,2,2\n"), ErrorCode::NotANumber);
}

TEST(Genalex, DetectedOnlyByAFirstLineOfCounts) {
  EXPECT_TRUE(tarvo::looks_like_genalex("9,237,17,10,22\n"));
  EXPECT_FALSE(tarvo::looks_like_genalex("9,237,17\n"));  // no population size
  EXPECT_FALSE(tarvo::looks_like_genalex("ID,L1,L1,L2,L2\n"));
  EXPECT_FALSE(tarvo::looks_like_genalex("2001 survey, 3, 4, 5\n"));
}

}  // namespace
