// The GENEPOP reader on small files written for each case and on the
// published data sets, and format detection.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tarvo/error.h"
#include "tarvo/formats.h"

namespace {

using tarvo::Error;
using tarvo::ErrorCode;
using tarvo::GenotypeDetails;
using tarvo::GenotypeFormat;
using tarvo::GenotypeReadSettings;
using tarvo::GenotypeTable;
using tarvo::HeaderDetails;
using tarvo::LimitDetails;
using tarvo::LineDetails;
using tarvo::PopulationDetails;

GenotypeTable read(const std::string& text, const GenotypeReadSettings& settings = {}) {
  std::istringstream in(text);
  return tarvo::read_genepop(in, settings);
}

Error error_of(const std::string& text, const GenotypeReadSettings& settings = {}) {
  try {
    (void)read(text, settings);
  } catch (const Error& e) {
    return e;
  }
  ADD_FAILURE() << "no error for\n" << text;
  return Error(ErrorCode::NoLoci);
}

TEST(Genepop, ReadsLocusListsGenotypeWidthsAndSeparators) {
  // Locus names over two lines, CRLF ends, blank lines, a missing genotype
  // of the other width, a half-missing genotype and separators with a comma
  // or name.
  const std::string text =
      "Title, with commas\r\nL1, L2\r\n  L3\r\n\r\nPOP\r\nAb c, 001002 010203 0000\r\n"
      "Ab d,  003004 000005   006006  \r\n   \r\nPOP,North\r\nXy z, 001001 002002 001001";
  const GenotypeTable t = read(text);
  ASSERT_EQ(t.locus_names, (std::vector<std::string>{"L1", "L2", "L3"}));
  ASSERT_EQ(t.size(), 3);
  ASSERT_EQ(t.populations.size(), 2u);
  EXPECT_EQ(t.populations[0].name, "Ab");  // first word of its last sample
  EXPECT_EQ(t.populations[0].end, 2);
  EXPECT_EQ(t.populations[1].name, "Xy");
  EXPECT_EQ(t.sample(1).name, "Ab d");
  EXPECT_EQ(t.sample(0).loci, 3u);
  EXPECT_EQ(t.sample(1).loci, 5u);
  EXPECT_EQ(t.sample(2).population, 1);
  const std::vector<int> row1(t.row(1), t.row(1) + 6);
  EXPECT_EQ(row1, (std::vector<int>{3, 4, 0, 5, 6, 6}));

  GenotypeReadSettings pop;
  pop.separator = "Pop";
  EXPECT_EQ(read("T\nL1\nPop\nS1, 0101\nPop, x\nS2, 0101\n", pop).populations.size(), 2u);
  // The keyword alone on its line opens a population in any letter case.
  EXPECT_EQ(read("T\nL1\nPop\nS1, 0101\npop \r\nS2, 0101\nPOP\nS3, 0101\n").populations.size(), 3u);
  EXPECT_EQ(read("T\nL1\nPOP\nS1, 0101\npop\nS2, 0101\n", pop).populations.size(), 2u);
  // Commas with no name before them name nothing; a mark of the byte order
  // and lines of blanks and tabs are not data.
  const GenotypeTable bare = read("\xEF\xBB\xBFT\n,,\n , L1,,L2 ,\n \t \nPOP\nS1, 0101 0202\n");
  EXPECT_EQ(bare.locus_names, (std::vector<std::string>{"L1", "L2"}));
  // A longer word starting with the keyword is a sample name.
  EXPECT_EQ(read("T\nL1\nPOP\nS1, 0101\nPOPX, 0101\n").populations.size(), 1u);
}

TEST(Genepop, ErrorsCarryTheirValues) {
  Error e = error_of("T\nL1, L2, L3\nPOP\nS1, 0101 0202\n");
  EXPECT_EQ(e.code(), ErrorCode::GenotypeCount);
  EXPECT_EQ(e.details<GenotypeDetails>().expected, 3);
  EXPECT_EQ(e.details<GenotypeDetails>().found, 2);
  EXPECT_EQ(e.details<GenotypeDetails>().line, 4);
  e = error_of("T\nL1\nPOP\nS1, 01012\n");
  EXPECT_EQ(e.code(), ErrorCode::GenotypeWidth);
  EXPECT_EQ(e.details<GenotypeDetails>().found, 5);
  EXPECT_EQ(error_of("T\nL1\nPOP\nS1 0101\n").code(), ErrorCode::NoCommaAfterName);
  EXPECT_EQ(error_of("T\nPOP\nS1, 0101\n").code(), ErrorCode::GenepopNoLocusNames);
  e = error_of("T\nL1, L2\nPOP\nS1, 0101 01x1\n");
  EXPECT_EQ(e.code(), ErrorCode::NotANumber);
  EXPECT_EQ(e.details<LineDetails>().character, 'x');
  EXPECT_EQ(e.details<LineDetails>().field, 3);

  // A field after the last locus, even after trailing blanks, is refused
  // with the fields the line holds.
  e = error_of("T\nL1, L2\nPOP\nS1, 0101 0202\nS2, 0101 0202 garbage!! 0303 \r\n");
  EXPECT_EQ(e.code(), ErrorCode::GenotypeSurplus);
  const GenotypeDetails& surplus = e.details<GenotypeDetails>();
  EXPECT_EQ(surplus.text, "garbage!!");
  EXPECT_EQ(surplus.line, 5);
  EXPECT_EQ(surplus.field, 4);
  EXPECT_EQ(surplus.expected, 2);
  EXPECT_EQ(surplus.found, 4);
  // The first genotype not missing sets the width of the file's genotypes.
  e = error_of("T\nL1, L2\nPOP\nS1, 0000 101101\nS2, 102102 1831\n");
  EXPECT_EQ(e.code(), ErrorCode::GenotypeWidthDiffers);
  const GenotypeDetails& width = e.details<GenotypeDetails>();
  EXPECT_EQ(width.text, "1831");
  EXPECT_EQ(width.line, 5);
  EXPECT_EQ(width.field, 3);
  EXPECT_EQ(width.found, 4);
  EXPECT_EQ(width.expected, 6);
  EXPECT_EQ(width.expected_line, 4);
  EXPECT_EQ(error_of("T\nL1\nPOP\nS1, 0101\nS2, 001001\n").code(), ErrorCode::GenotypeWidthDiffers);

  // Every empty population but the last is listed, named after the last
  // sample read before it closed.
  e = error_of("T\nL1\nPOP\nPOP\nAb c, 0101\nPOP\nPOP\nPOP\n");
  EXPECT_EQ(e.code(), ErrorCode::EmptyPopulations);
  EXPECT_EQ(e.details<PopulationDetails>().empty, (std::vector<std::string>{"", "Ab", "Ab"}));
}

TEST(Genepop, MinimumSizeDropsEverySmallPopulation) {
  // The first and the last too, each once closed.
  std::vector<std::string> dropped;
  GenotypeReadSettings settings;
  settings.min_population = 2;
  settings.on_population_dropped = [&](const std::string& name) { dropped.push_back(name); };
  const GenotypeTable t = read(
      "T\nL1\nPOP\nA1, 0101\nPOP\nB1 x, 0101\nPOP\nC1, 0101\nC2, 0102\nPOP\nD1, 0101\n", settings);
  EXPECT_EQ(dropped, (std::vector<std::string>{"A1", "B1", "D1"}));
  ASSERT_EQ(t.populations.size(), 1u);
  EXPECT_EQ(t.populations[0].name, "C2");
  EXPECT_EQ(t.populations[0].end, 2);
  EXPECT_EQ(t.sample(0).name, "C1");
  EXPECT_EQ(t.sample(1).population, 0);
}

TEST(Genepop, ReadsThePublishedDataSets) {
  const std::string dir = std::string(TARVO_SOURCE_DIR) + "/tests/data/";
  struct Case {
    std::string file, separator;
    int samples, loci, populations;
  };
  for (const Case& c :
       {Case{"nancycats.gen", "Pop", 237, 9, 17}, Case{"microbov.gen", "POP", 704, 30, 15}}) {
    std::ifstream in(dir + c.file, std::ios::binary);
    ASSERT_TRUE(in) << c.file;
    EXPECT_EQ(tarvo::detect_format(in), GenotypeFormat::Genepop);
    in.clear();
    in.seekg(0);
    GenotypeReadSettings settings;
    settings.separator = c.separator;
    const GenotypeTable t = tarvo::read_genotypes(in, GenotypeFormat::Genepop, settings);
    EXPECT_EQ(t.size(), c.samples) << c.file;
    EXPECT_EQ(t.loci(), c.loci) << c.file;
    EXPECT_EQ(int(t.populations.size()), c.populations) << c.file;
    EXPECT_EQ(t.populations.back().end, c.samples) << c.file;
  }
}

GenotypeFormat detect(const std::string& text) {
  std::istringstream in(text);
  return tarvo::detect_format(in);
}

TEST(DetectFormat, ByTheCommasOfTheFourthOrFirstLaterLineWithOne) {
  EXPECT_EQ(detect("T\nL1, L2\nPOP\nS1, 200203 301301\n"), GenotypeFormat::Genepop);
  EXPECT_EQ(detect("ID,L1,L1,L2,L2\nPOP,A\nS0,1,1,1,1\nS1,2,2,3,3\n"), GenotypeFormat::Own);
  // One locus per line: the first sample decides.
  EXPECT_EQ(detect("T\nL1\nL2\nL3\nPOP\r\nS1, 0101 0202 0303\r\n"), GenotypeFormat::Genepop);
  // A line longer than the reader's buffer is still one line.
  std::string wide = "ID";
  for (int i = 0; i < 100; ++i) wide += ",L1,L1";
  EXPECT_EQ(detect(wide + "\nPOP\nS1,1,1\nS2,1,1\n"), GenotypeFormat::Own);
  const auto refused = [](const std::string& text) {
    try {
      (void)detect(text);
    } catch (const Error& e) {
      return e;
    }
    return Error(ErrorCode::NoLoci);
  };
  // What detection reads is handed back whole, for a reader of a stream
  // that cannot be read twice.
  const std::string text = "T\nL1\nL2\nL3\nPOP\r\nS1, 0101 0202 0303\r\nS2, 0101 0202 0303\n";
  std::istringstream in(text);
  std::string seen;
  EXPECT_EQ(tarvo::detect_format(in, seen), GenotypeFormat::Genepop);
  EXPECT_EQ(seen + std::string(std::istreambuf_iterator<char>(in), {}), text);
  EXPECT_EQ(refused("L1\nL2\nL3").code(), ErrorCode::TooFewLines);
  EXPECT_EQ(refused("L1\nL2\nL3").details<LimitDetails>().count, 3);
  // Commas before line 4 do not count.
  EXPECT_EQ(refused("a,b\nc,d\ne\nf\n").code(), ErrorCode::NoCommaInLine4);
}

}  // namespace
