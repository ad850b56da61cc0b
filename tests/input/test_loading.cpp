// The loading stage: genotypes and frequencies read from files, or reference
// data simulated from them, with the progress lines of each model.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/input_helpers.h"

namespace {

using std::to_string;

// Two loci, populations North (S1, S2) and South (S3); S2 is missing at L2.
const char* kOwnFormat =
    "ID,L1,L1,L2,L2\nPOP,North\nS1,200,203,301,301\nS2,200,200,0,0\nPOP,South\n"
    "S3,203,207,299,301\n";
const char* kGenepop =
    "Title\nL1, L2\nPOP\nS1, 200203 301301\nS2, 200200 000000\nPOP\nS3, 203207 299301\n";
const char* kFreqTwoLoci = "F1 200 203 207\nF1 0.2 0.3 0.5\nF2 299 301\nF2 0.4 0.6\n";
const std::string kTotal = "          A total of 3 genotype samples were read from 2 loci.\n\n";

int count_of(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// One run of the loading stage on files written to a scratch directory.
struct Loader : testutil::TestRun {
  const testutil::TempDir& dir;
  int nloci = -1, anim = -1, iperm = -1, nBlocks = -1, stage = 3;
  explicit Loader(const testutil::TempDir& d) : dir(d) {
    r.opt.o_value[5] = d.file("simm.txt");
    r.rng.init_genrand(7);
  }
  std::string genotypes(int own_format) {
    r.opt.i_option[0] = 1;
    r.opt.f_option = own_format;
    return r.opt.i_value[0] =
               dir.write(own_format ? "geno.csv" : "geno.gen", own_format ? kOwnFormat : kGenepop);
  }
  std::string frequencies(const std::string& text) {
    r.opt.i_option[1] = 1;
    return r.opt.i_value[1] = dir.write("freq.txt", text);
  }
  int load(int model) {
    return testutil::exit_status(
        [&] { tarvo::read_data(r, nloci, anim, iperm, nBlocks, stage, model); });
  }
};

TEST(InputLoadRead, Models1And2ReadEitherFormat) {
  const std::string counted =
      "L1: 200(3)=0.5/0.5 203(2)=0.3333/0.8333 207(1)=0.1667/1\n"
      "L2 miss 2: 0(2)=0/0 299(1)=0.25/0.25 301(3)=0.75/1\n";
  // Model 2 keeps the file's frequencies under the genotype file's names.
  const std::string from_file =
      "L1: 200=0.2/0.2 203=0.3/0.5 207=0.5/1\nL2: 299=0.4/0.4 301=0.6/1\n";
  struct Case {
    int model, own;
    const char* format_line;
    std::string loci;
  } cases[] = {
      {1, 1, "TARVO spreadsheet format assumed for reading alleles \n", counted},
      {1, 0, "GENEPOP format assumed for reading alleles. \n", counted},
      {2, 1, "TARVO spreadsheet format assumed for reading base pairs \n", from_file},
      {2, 0, "GENEPOP format assumed for reading base pairs. \n", from_file},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.format_line);
    testutil::TempDir dir;
    Loader ld(dir);
    std::string want;
    if (c.model == 2)
      want = "Reading allele frequencies from:                              FILE: \"" +
             ld.frequencies(kFreqTwoLoci) + "\"\n          ";
    want += "Reading allele base pairs for match analysis from:            FILE: \"" +
            ld.genotypes(c.own) + "\" \n          " + c.format_line + kTotal + "\n";
    ASSERT_EQ(ld.load(c.model), -1) << ld.out();
    EXPECT_EQ(ld.out(), want);
    EXPECT_EQ(ld.log(), want);
    EXPECT_EQ(testutil::loci_text(ld.r, 2), c.loci);
    // S2's missing-loci pattern differs from S1's and S3's.
    EXPECT_EQ(std::vector<int>({ld.nloci, ld.anim, ld.nBlocks, ld.iperm, ld.stage}),
              std::vector<int>({2, 3, 2, 2, 3}));
  }
}

TEST(InputLoadRead, LocusCountsOfBothFilesMustAgree) {
  for (const auto& [model, own] : std::vector<std::pair<int, int>>{{2, 0}, {6, 1}}) {
    SCOPED_TRACE(model);
    testutil::TempDir dir;
    Loader ld(dir);
    ld.r.opt.M_value = 5;
    const std::string freq = ld.frequencies(std::string(kFreqTwoLoci) + "F3 1 2\nF3 0.5 0.5\n");
    const std::string geno = ld.genotypes(own);
    EXPECT_EQ(ld.load(model), 1);
    const std::string msg = "There are 3 number of loci read from FILE: \"" + freq +
                            "\"  \nThis differs from 2 number of loci read from FILE: \"" + geno +
                            "\"  \nPlease address this difference before running TARVO again.\n";
    const std::string out = ld.out();
    EXPECT_TRUE(out.ends_with(msg)) << out;
    EXPECT_TRUE(ld.log().ends_with(msg));
    EXPECT_EQ(count_of(out, "A total of"), 0);  // refused before the count line
  }
}

TEST(InputLoadSimulated, StageLinesByModel) {
  const std::string random_y = "          Missing loci combinations randomly sampled using Y=";
  const std::string boot =
      "          Reading alleles for bootstrapping loci combinations:          FILE: \"@\" \n";
  const std::string resampled =
      "          Missing loci combinations defined \n"
      "                  by random sampling of missing alleles. \n\n";
  auto size_line = [](int n, const char* pops) {
    return "          This reference data has " + to_string(n) +
           " samples containing 0 recaptures" + pops + ".\n";
  };
  struct Case {
    int model, M, H, Y;
    std::string lead, size, tail;
    std::string log_tail = "=";  // "=" the same as on standard output
  } cases[] = {
      {3, 4, 2, 25, kTotal, size_line(6, " in 2 populations"), random_y + "0.25\n"},
      {7, 3, 0, 50, kTotal, size_line(3, ""), random_y + "0.50\n"},
      {4, 4, 0, 100, "", size_line(4, ""), random_y + "1.00\n"},
      {8, 4, 2, 100, "", size_line(6, " in 2 population(s)"), random_y + "1.00\n"},
      {5, 3, 3, 100, kTotal, size_line(6, " in 2 population(s)"),
       "          Missing loci combinations defined from:\n"
       "                  random sampling of mising alleles. \n\n",
       "          Missing loci combinations defined from:\n"
       "                  random sampling of missing alleles. \n\n"},
      {6, 2, 1, 100, boot + "          TARVO input format assumed.\n" + kTotal,
       size_line(3, " in 2 population(s)"), resampled},
      {10, 3, 0, 100,
       boot + "          GENEPOP input format assumed with '-f' flag on command line.\n" + kTotal,
       size_line(3, ""), resampled},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.model);
    testutil::TempDir dir;
    Loader ld(dir);
    ld.r.opt.M_value = c.M;
    ld.r.opt.H_value = c.H;
    ld.r.opt.Y_value = c.Y;
    std::string head, geno;
    if (c.model % 2 == 0)
      head = "Reading allele frequencies from:                              FILE: \"" +
             ld.frequencies(kFreqTwoLoci) + "\"\n";
    if (c.model != 4 && c.model != 8) {
      geno = ld.genotypes(c.model != 10);
      if (c.model % 2)
        head = "Reading allele base pairs for match analysis from:            FILE: \"" + geno +
               "\" \n          TARVO spreadsheet format assumed for reading alleles \n";
    }
    ASSERT_EQ(ld.load(c.model), -1);
    const std::string before =
        head + testutil::with_path(c.lead, geno) +
        "STAGE  3: Writing simulated reference genotypes to:                     FILE: \"" +
        ld.r.opt.o_value[5] + "\"\n" + c.size;
    EXPECT_EQ(ld.out(), before + c.tail + "\n");
    EXPECT_EQ(ld.log(), before + (c.log_tail == "=" ? c.tail : c.log_tail) + "\n");
    EXPECT_EQ(std::vector<int>({ld.stage, ld.nloci, ld.anim, ld.nBlocks, ld.r.store.nBlock[1],
                                ld.r.store.nBlock[2]}),
              std::vector<int>({4, 2, c.M + c.H, c.H > 0 ? 2 : 1, c.M, c.M + c.H}));
    EXPECT_GE(ld.iperm, 1);
    if (c.Y == 100 && c.model != 5 && c.model != 6 && c.model != 10) {
      EXPECT_EQ(ld.iperm, 1);  // every locus kept
    }
    // The simulated data went to the GENEPOP file, one separator per population.
    const std::string simm = testutil::read_file(ld.r.opt.o_value[5]);
    EXPECT_TRUE(simm.starts_with(
        "GENEPOP data file created using TARVO simulation\nL1, L2\nPOP\nRec1    ,"));
    EXPECT_EQ(count_of(simm, "\nRec"), c.M + c.H);
    EXPECT_EQ(count_of(simm, "\nPOP\n"), c.H > 0 ? 2 : 1);
  }
}

TEST(InputLoadSimulated, ResampledPatternsComeFromTheGenotypeFile) {
  // Model 5: every simulated sample takes the mask of a sample read.
  testutil::TempDir dir;
  Loader ld(dir);
  ld.genotypes(1);
  ld.r.opt.M_value = 40;
  ASSERT_EQ(ld.load(5), -1);
  int partial = 0;
  for (int i = 0; i < ld.anim; ++i) {
    const uint32_t m = ld.r.store.rec[i].loci_mask;
    EXPECT_TRUE(m == 0b11 || m == 0b01) << m;
    partial += m == 0b01;
  }
  EXPECT_GT(partial, 0);
  EXPECT_LT(partial, 40);
  EXPECT_EQ(ld.iperm, 2);
}

}  // namespace
