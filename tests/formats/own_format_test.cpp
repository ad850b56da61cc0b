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
using tarvo::GenotypeReadSettings;
using tarvo::GenotypeTable;

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
    const auto& smp = t.samples[std::size_t(i)];
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
    return read("ID,L1,L1,L2,L2\nPOP\nS1," + a + "," + b + ",1,1\n").samples[0].loci;
  };
  EXPECT_EQ(mask("0", "0"), 2u);
  EXPECT_EQ(mask("00", "203"), 2u);
  EXPECT_EQ(mask("5", "7"), 3u);
  EXPECT_EQ(mask("", ""), 2u);  // empty fields read as 0
  const Error e = error_of("ID,L1,L1,L2,L2\nPOP,A\nS1,1,1,1,1\n\nS2,1,1,0,7\n");
  EXPECT_EQ(e.code(), ErrorCode::HalfMissingGenotype);
  EXPECT_EQ(e.details().name, "7");
  EXPECT_EQ(e.details().sample, "S2");
  EXPECT_EQ(e.details().locus, "L2");
  EXPECT_EQ(e.details().text, "S2,1,1,0,7\n");
  EXPECT_EQ(e.details().line, 3);  // samples + population + 2, blank lines not counted
}

TEST(OwnFormat, ErrorsCarryTheirValues) {
  const std::string head = "ID,L1,L1,L2,L2\n";
  Error e = error_of(head + "POP\nS1,1,1\n");
  EXPECT_EQ(e.code(), ErrorCode::AllelePairCount);
  EXPECT_EQ(e.details().count, 1);
  EXPECT_EQ(e.details().limit, 2);
  EXPECT_EQ(e.details().locus, "L2");
  EXPECT_EQ(error_of(head + "POP\nS1,1,1,1,1,1,1\n").details().locus, "");

  e = error_of(head + "S1,1,1,1,1\n");
  EXPECT_EQ(e.code(), ErrorCode::SeparatorMissing);
  EXPECT_EQ(e.details().count, -1);
  EXPECT_EQ(error_of(head + "POP\nPOP\nS1,1,1,1,1\n").code(), ErrorCode::EmptyPopulation);

  e = error_of("ID,L1,L1,L2,L3\n");
  EXPECT_EQ(e.code(), ErrorCode::LocusNamesDiffer);
  EXPECT_EQ(e.details().name, "L2");
  EXPECT_EQ(e.details().other, "L3");
  EXPECT_EQ(e.details().count, 2);

  e = error_of(head + "POP\nS1,1,1,1,-1\n");
  EXPECT_EQ(e.code(), ErrorCode::NotANumber);
  EXPECT_EQ(e.details().text, "-1");
  EXPECT_EQ(e.details().character, '-');
  EXPECT_EQ(e.details().line, 3);
  EXPECT_EQ(e.details().field, 5);
  e = error_of(head + "POP\nS1,1,2147483648,1,1\n");
  EXPECT_EQ(e.code(), ErrorCode::NumberTooLarge);
  EXPECT_EQ(e.details().field, 3);
  EXPECT_EQ(read(head + "POP\nS1,1,2147483647,1,1\n").row(0)[1], 2147483647);

  GenotypeReadSettings two;
  two.max_samples = 2;
  e = error_of(head + "POP\nS1,1,1,1,1\nS2,1,1,1,1\nS3,1,1,1,1\n", two);
  EXPECT_EQ(e.code(), ErrorCode::TooManySamples);
  EXPECT_EQ(e.details().count, 3);
  EXPECT_EQ(e.details().text, "S3,1,1,1,1\n");
}

// A SNP panel of 300 loci: lines of thousands of characters, names of any
// length, missing loci in every mask word.
TEST(OwnFormat, WidePanelsLongLinesAndLongNames) {
  const int nloci = 300;
  const std::string locus(40, 'L');
  std::string text = "ID";
  for (int k = 0; k < nloci; ++k)
    text += "," + locus + std::to_string(k) + "," + locus + std::to_string(k);
  text += "\nPOP\n";
  const std::string name = "site_A_2023_transect_07_scat_000123_replicate_b";
  text += name;
  for (int k = 0; k < nloci; ++k) text += k % 70 == 5 ? ",0,0" : (k % 2 ? ",1,2" : ",2,2");
  Error e = error_of(text + ",1,1\n");
  EXPECT_EQ(e.code(), ErrorCode::AllelePairCount);
  EXPECT_EQ(e.details().count, nloci + 1);
  const GenotypeTable t = read(text + "\n");
  ASSERT_EQ(t.loci(), nloci);
  EXPECT_EQ(t.locus_names[299], locus + "299");
  EXPECT_EQ(t.samples[0].name, name);
  EXPECT_EQ(t.samples[0].loci.count(), nloci - 5);
  for (const int k : {5, 75, 145, 215, 285}) EXPECT_FALSE(t.samples[0].loci.has(k)) << k;
  EXPECT_TRUE(t.samples[0].loci.has(299));
  EXPECT_EQ(t.row(0)[2 * 299], 1);
  EXPECT_EQ(t.row(0)[2 * 299 + 1], 2);

  e = error_of("ID," + std::string(tarvo::SOL + 1, 'x') + ",x\nPOP\nS1,1,1\n");
  EXPECT_EQ(e.code(), ErrorCode::LocusNameTooLong);
  EXPECT_EQ(read("ID," + std::string(tarvo::SOL, 'x') + "," + std::string(tarvo::SOL, 'x') +
                 "\nPOP\nS1,1,1\n")
                .loci(),
            1);
}

// Two-allele SNP genotypes: the GENEPOP test panel (0101, 0102, 0202 and
// 0000 for a missing locus) written in this layout reads the same.
TEST(OwnFormat, SnpPanelReadsLikeItsGenepopFile) {
  std::ifstream in(std::string(TARVO_SOURCE_DIR) + "/tests/e2e/inputs/snp96.gen");
  const GenotypeTable gen = tarvo::read_genepop(in, {});
  ASSERT_EQ(gen.loci(), 96);
  std::string text = "ID";
  for (const auto& name : gen.locus_names) text += "," + name + "," + name;
  text += "\nPOP," + gen.populations[0].name + "\n";
  for (int s = 0; s < gen.size(); ++s) {
    text += gen.samples[std::size_t(s)].name;
    for (int a = 0; a < 2 * gen.loci(); ++a) text += "," + std::to_string(gen.row(s)[a]);
    text += "\n";
  }
  const GenotypeTable own = read(text);
  ASSERT_EQ(own.size(), gen.size());
  EXPECT_EQ(summary(own), summary(gen));
  int missing = 0;
  for (int s = 0; s < own.size(); ++s) {
    EXPECT_EQ(own.samples[std::size_t(s)].loci, gen.samples[std::size_t(s)].loci);
    missing += 96 - own.samples[std::size_t(s)].loci.count();
  }
  EXPECT_GT(missing, 0);
  const auto a = tarvo::count_frequencies(own);
  EXPECT_EQ(a.loci[95].alleles, (std::vector<std::int32_t>{0, 1, 2}));
}

// The cattle data in this layout (its header line has 402 characters) reads
// exactly like the same data in GENEPOP format.
TEST(OwnFormat, CattleReadsLikeGenepopCattle) {
  const auto load = [](const std::string& file, tarvo::GenotypeFormat expected) {
    const std::string path = std::string(TARVO_SOURCE_DIR) + "/tests/data/" + file;
    std::ifstream probe(path);
    EXPECT_EQ(tarvo::detect_format(probe), expected);
    std::ifstream in(path);
    return tarvo::read_genotypes(in, expected, {});
  };
  const auto csv = load("microbov.csv", tarvo::GenotypeFormat::Own);
  const auto gen = load("microbov.gen", tarvo::GenotypeFormat::Genepop);
  EXPECT_EQ(csv.size(), 704);
  EXPECT_EQ(csv.loci(), 30);
  EXPECT_EQ(csv.populations.size(), 15u);
  ASSERT_EQ(csv.size(), gen.size());
  EXPECT_EQ(csv.locus_names, gen.locus_names);
  const auto a = tarvo::count_frequencies(csv), b = tarvo::count_frequencies(gen);
  for (int k = 0; k < csv.loci(); ++k) {
    EXPECT_EQ(a.loci[k].alleles, b.loci[k].alleles) << k;
    EXPECT_EQ(a.loci[k].counts, b.loci[k].counts) << k;
  }
  for (int i = 0; i < csv.size(); ++i) {
    EXPECT_EQ(csv.samples[i].name, gen.samples[i].name);
    EXPECT_EQ(csv.samples[i].loci, gen.samples[i].loci);
    EXPECT_EQ(csv.samples[i].population, gen.samples[i].population);
  }
}

TEST(OwnFormat, MinimumSizeDropsClosedPopulations) {
  // Sizes 1, 1, 2, 1: the first and last are kept whatever their size; the
  // second is dropped and its index reused by the third.
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
  EXPECT_EQ(dropped, std::vector<std::string>{"P1"});
  EXPECT_EQ(summary(t),
            "loci L1\npops P0@0-1 P2@1-3 P3@3-4\nS1 p0 m1: 1 1\nS3 p1 m1: 1 1\n"
            "S4 p1 m1: 1 1\nS5 p2 m1: 1 1\n");
}

}  // namespace
