// The spreadsheet genotype reader: layouts it must read alike, missing
// genotypes, the -m rule and the errors with the values their messages need.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tarvo/error.h"
#include "tarvo/formats.h"
#include "tarvo/frequencies.h"
#include "tarvo/limits.h"

namespace {

using tarvo::Error;
using tarvo::ErrorCode;
using tarvo::GenotypeDetails;
using tarvo::GenotypeReadSettings;
using tarvo::GenotypeTable;
using tarvo::HeaderDetails;
using tarvo::LimitDetails;
using tarvo::LineDetails;
using tarvo::PopulationDetails;

GenotypeTable read(const std::string& text, const GenotypeReadSettings& settings = {}) {
  std::istringstream in(text);
  return tarvo::read_own_format(in, settings);
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

// Loci, populations as name@first-end, samples as name pP mM: alleles.
std::string summary(const GenotypeTable& t) {
  std::string s = "loci";
  for (const auto& name : t.locus_names) s += " " + name;
  s += "\npops";
  for (const auto& p : t.populations)
    s += " " + p.name + "@" + std::to_string(p.first) + "-" + std::to_string(p.end);
  s += "\n";
  for (int i = 0; i < t.size(); ++i) {
    const auto& smp = t.sample(i);
    s += smp.name + " p" + std::to_string(smp.population) + " m" +
         std::to_string(smp.loci.word(0)) + ":";
    for (int a = 0; a < 2 * t.loci(); ++a) s += " " + std::to_string(t.row(i)[a]);
    s += "\n";
  }
  return s;
}

std::string crlf(const std::string& text) {
  std::string out;
  for (char c : text) c == '\n' ? out += "\r\n" : out += c;
  return out;
}

std::string small(const std::string& sep) {
  return "ID,L1,L1,L2,L2\n" + sep + ",North\nS1,200,203,301,301\nS2,200,200,0,0\n" + sep +
         ",South\nS3,203,207,299,301\n";
}

TEST(OwnFormat, ReadsEveryLayoutAlike) {
  const std::string base = small("POP");
  GenotypeReadSettings pop_case;
  pop_case.separator = "Pop";
  const std::vector<std::pair<std::string, GenotypeReadSettings>> cases = {
      {base, {}},
      {crlf(base), {}},
      {"\n" + base.substr(0, base.size() - 1), {}},
      {"ID, L1 , L1,L2,L2\n\nPOP,North\n   \nS1,200,203,301,301\r\nS2,200,200,0,0\n\r\n"
       "POP, South Side\nS3,203,207,299,301",
       {}},
      {small("Pop"), pop_case},
  };
  for (const auto& [text, settings] : cases) {
    EXPECT_EQ(summary(read(text, settings)),
              "loci L1 L2\npops North@0-2 South@2-3\nS1 p0 m3: 200 203 301 301\n"
              "S2 p0 m1: 200 200 0 0\nS3 p1 m3: 203 207 299 301\n")
        << text;
  }
}

TEST(OwnFormat, MissingGenotypes) {
  // Either allele 0 makes the locus missing; only the literal "0" against a
  // non-missing text is refused.
  const auto mask = [](const std::string& a, const std::string& b) {
    return read("ID,L1,L1,L2,L2\nPOP\nS1," + a + "," + b + ",1,1\n").sample(0).loci;
  };
  EXPECT_EQ(mask("0", "0"), 2u);
  EXPECT_EQ(mask("00", "203"), 2u);
  EXPECT_EQ(mask("5", "7"), 3u);
  EXPECT_EQ(mask("", ""), 2u);  // empty fields read as 0
  const Error e = error_of("ID,L1,L1,L2,L2\nPOP,A\nS1,1,1,1,1\n\nS2,1,1,0,7\n");
  EXPECT_EQ(e.code(), ErrorCode::HalfMissingGenotype);
  const GenotypeDetails& d = e.details<GenotypeDetails>();
  EXPECT_EQ(d.allele, "7");
  EXPECT_EQ(d.sample, "S2");
  EXPECT_EQ(d.locus, "L2");
  EXPECT_EQ(d.text, "S2,1,1,0,7\n");
  EXPECT_EQ(d.line, 3);  // samples + population + 2, blank lines not counted
}

TEST(OwnFormat, ErrorsCarryTheirValues) {
  const std::string head = "ID,L1,L1,L2,L2\n";
  Error e = error_of(head + "POP\nS1,1,1\n");
  EXPECT_EQ(e.code(), ErrorCode::AllelePairCount);
  EXPECT_EQ(e.details<GenotypeDetails>().found, 1);
  EXPECT_EQ(e.details<GenotypeDetails>().expected, 2);
  EXPECT_EQ(e.details<GenotypeDetails>().locus, "L2");
  EXPECT_EQ(error_of(head + "POP\nS1,1,1,1,1,1,1\n").details<GenotypeDetails>().locus, "");

  e = error_of(head + "S1,1,1,1,1\n");
  EXPECT_EQ(e.code(), ErrorCode::SeparatorMissing);
  EXPECT_EQ(e.details<PopulationDetails>().population, -1);
  EXPECT_EQ(error_of(head + "POP\nPOP\nS1,1,1,1,1\n").code(), ErrorCode::EmptyPopulation);

  e = error_of("ID,L1,L1,L2,L3\n");
  EXPECT_EQ(e.code(), ErrorCode::LocusNamesDiffer);
  EXPECT_EQ(e.details<HeaderDetails>().first, "L2");
  EXPECT_EQ(e.details<HeaderDetails>().second, "L3");
  EXPECT_EQ(e.details<HeaderDetails>().locus, 2);

  e = error_of(head + "POP\nS1,1,1,1,-1\n");
  EXPECT_EQ(e.code(), ErrorCode::NotANumber);
  EXPECT_EQ(e.details<LineDetails>().text, "-1");
  EXPECT_EQ(e.details<LineDetails>().character, '-');
  EXPECT_EQ(e.details<LineDetails>().line, 3);
  EXPECT_EQ(e.details<LineDetails>().field, 5);
  e = error_of(head + "POP\nS1,1,2147483648,1,1\n");
  EXPECT_EQ(e.code(), ErrorCode::NumberTooLarge);
  EXPECT_EQ(e.details<LineDetails>().field, 3);
  EXPECT_EQ(read(head + "POP\nS1,1,2147483647,1,1\n").row(0)[1], 2147483647);

  GenotypeReadSettings two;
  two.max_samples = 2;
  e = error_of(head + "POP\nS1,1,1,1,1\nS2,1,1,1,1\nS3,1,1,1,1\n", two);
  EXPECT_EQ(e.code(), ErrorCode::TooManySamples);
  EXPECT_EQ(e.details<LimitDetails>().count, 3);
  EXPECT_EQ(e.details<LimitDetails>().text, "S3,1,1,1,1\n");
}

// A panel of 300 loci: lines of thousands of characters, names of any
// length, missing loci in every mask word; one pair too many is a count error.
TEST(OwnFormat, WidePanelsLongLinesAndLongNames) {
  const std::string locus(40, 'L'), name(48, 's');
  std::string text = "ID", line = "\nPOP\n" + name;
  for (int k = 0; k < 300; ++k) {
    text += "," + locus + std::to_string(k) + "," + locus + std::to_string(k);
    line += k % 70 == 5 ? ",0,0" : ",1,2";
  }
  EXPECT_EQ(error_of(text + line + ",1,1\n").details<GenotypeDetails>().found, 301);
  const GenotypeTable t = read(text + line + "\n");
  ASSERT_EQ(t.loci(), 300);
  EXPECT_EQ(t.locus_names[299], locus + "299");
  EXPECT_EQ(t.sample(0).name, name);
  EXPECT_EQ(t.sample(0).loci.count(), 295);
  EXPECT_TRUE(t.sample(0).loci.has(299) && !t.sample(0).loci.has(285));
  EXPECT_EQ(t.row(0)[599], 2);
  const std::string longest(std::size_t(tarvo::SOL), 'x');
  EXPECT_EQ(read("ID," + longest + "," + longest + "\nPOP\nS1,1,1\n").loci(), 1);
  EXPECT_EQ(error_of("ID," + longest + "x,x\nPOP\nS1,1,1\n").code(), ErrorCode::LocusNameTooLong);
}

GenotypeTable read_data(const std::string& file) {
  const std::string path = std::string(TARVO_SOURCE_DIR) + "/tests/" + file;
  std::ifstream probe(path), in(path);
  return tarvo::read_genotypes(in, tarvo::detect_format(probe), {});
}

void expect_same(const GenotypeTable& a, const GenotypeTable& b) {
  ASSERT_EQ(a.size(), b.size());
  ASSERT_EQ(a.locus_names, b.locus_names);
  for (int i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a.sample(i).name, b.sample(i).name);
    EXPECT_EQ(a.sample(i).loci, b.sample(i).loci);
    EXPECT_EQ(a.sample(i).population, b.sample(i).population);
    EXPECT_TRUE(std::equal(a.row(i), a.row(i) + 2 * a.loci(), b.row(i))) << i;
  }
}

// The same data in both layouts reads alike: the cattle file, whose header
// line has 402 characters, and the SNP test panel (0101, 0102, 0202, 0000).
TEST(OwnFormat, ReadsLikeTheSameDataInGenepop) {
  expect_same(read_data("data/microbov.csv"), read_data("data/microbov.gen"));
  const GenotypeTable gen = read_data("e2e/inputs/snp96.gen");
  std::string text = "ID";
  for (const auto& name : gen.locus_names) text += "," + name + "," + name;
  text += "\nPOP\n";
  for (int s = 0; s < gen.size(); ++s) {
    text += gen.sample(s).name;
    for (int a = 0; a < 2 * gen.loci(); ++a) text += "," + std::to_string(gen.row(s)[a]);
    text += "\n";
  }
  expect_same(read(text), gen);
  EXPECT_EQ(tarvo::count_frequencies(gen).loci[95].alleles, (std::vector<std::int32_t>{0, 1, 2}));
}

TEST(OwnFormat, MinimumSizeDropsEverySmallPopulation) {
  // Sizes 1, 1, 2, 1: all but the third are dropped, the first and the last
  // included, and the third takes the first index.
  std::string text = "ID,L1,L1\n";
  int n = 0;
  for (int p = 0; p < 4; ++p) {
    text += "POP,P" + std::to_string(p) + "\n";
    for (int i = 0; i < (p == 2 ? 2 : 1); ++i) text += "S" + std::to_string(++n) + ",1,1\n";
  }
  std::vector<std::string> dropped;
  GenotypeReadSettings settings;
  settings.min_population = 2;
  settings.on_population_dropped = [&](const std::string& name) { dropped.push_back(name); };
  const GenotypeTable t = read(text, settings);
  EXPECT_EQ(dropped, (std::vector<std::string>{"P0", "P1", "P3"}));
  EXPECT_EQ(summary(t), "loci L1\npops P2@0-2\nS3 p0 m1: 1 1\nS4 p0 m1: 1 1\n");
}

}  // namespace
