// The loading stage: genotypes and frequencies read from files, or reference
// data simulated from them, with the progress lines of each model.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "tarvo.h"

namespace {

namespace fs = std::filesystem;

struct Capture {
  FILE* f = std::tmpfile();
  ~Capture() { std::fclose(f); }
  std::string text() {
    std::fflush(f);
    std::rewind(f);
    std::string s;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    std::fseek(f, 0, SEEK_END);
    return s;
  }
};

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

int count_of(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// Two loci, populations North (S1, S2) and South (S3); S2 is missing at L2.
const char* kOwnFormat =
    "ID,L1,L1,L2,L2\n"
    "POP,North\n"
    "S1,200,203,301,301\n"
    "S2,200,200,0,0\n"
    "POP,South\n"
    "S3,203,207,299,301\n";

const char* kGenepop =
    "Title\n"
    "L1, L2\n"
    "POP\n"
    "S1, 200203 301301\n"
    "S2, 200200 000000\n"
    "POP\n"
    "S3, 203207 299301\n";

const char* kFreqTwoLoci =
    "F1 200 203 207\n"
    "F1 0.2 0.3 0.5\n"
    "F2 299 301\n"
    "F2 0.4 0.6\n";

class LoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    run = std::make_unique<tarvo::Run>();
    run->io.out = out.f;
    run->io.err = err.f;
    run->io.fp7 = log.f;
    std::string tmpl = (fs::temp_directory_path() / "tarvo_load_XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir = tmpl;
    run->opt.o_value[5] = (dir / "simm.txt").string();
    run->rng.init_genrand(7);
  }
  void TearDown() override { fs::remove_all(dir); }

  std::string genotypes(const std::string& text, int own_format) {
    const fs::path p = dir / (own_format ? "geno.csv" : "geno.gen");
    std::ofstream(p, std::ios::binary) << text;
    run->opt.i_option[0] = 1;
    run->opt.i_value[0] = p.string();
    run->opt.f_option = own_format;
    return p.string();
  }
  std::string frequencies(const std::string& text) {
    const fs::path p = dir / "freq.txt";
    std::ofstream(p, std::ios::binary) << text;
    run->opt.i_option[1] = 1;
    run->opt.i_value[1] = p.string();
    return p.string();
  }

  // Runs the stage; the status it stopped with, or -1 when it returned.
  int load(int model) {
    try {
      tarvo::read_data(*run, nloci, anim, iperm, nBlocks, stage, model);
    } catch (const tarvo::Exit& e) {
      return e.status;
    }
    return -1;
  }

  Capture out, err, log;
  std::unique_ptr<tarvo::Run> run;
  fs::path dir;
  int nloci = -1, anim = -1, iperm = -1, nBlocks = -1, stage = 3;
};

// ------------------------------------------------------------------ models 1 and 2

using InputLoadRead = LoadTest;

TEST_F(InputLoadRead, Model1CountsFrequenciesFromEitherFormat) {
  struct Case {
    const char* text;
    int own;
    const char* format_line;
  };
  const Case cases[] = {
      {kOwnFormat, 1, "          TARVO spreadsheet format assumed for reading alleles \n"},
      {kGenepop, 0, "          GENEPOP format assumed for reading alleles. \n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format_line);
    const long at_out = std::ftell(out.f), at_log = std::ftell(log.f);
    const std::string file = genotypes(c.text, c.own);
    run->pat.used = 0;
    ASSERT_EQ(load(1), -1);
    const std::string want =
        "Reading allele base pairs for match analysis from:            FILE: \"" + file + "\" \n" +
        c.format_line +
        "          A total of 3 genotype samples were read from 2 loci.\n\n"
        "\n";
    EXPECT_EQ(out.text().substr(at_out), want);
    EXPECT_EQ(log.text().substr(at_log), want);
    EXPECT_EQ(nloci, 2);
    EXPECT_EQ(anim, 3);
    EXPECT_EQ(nBlocks, 2);
    EXPECT_EQ(iperm, 2);  // S2's pattern differs from S1's and S3's
    EXPECT_EQ(stage, 3);

    // The table is counted from the samples: L1 has 200 x3, 203 x2, 207 x1.
    const tarvo::Locus& L1 = run->store.loc[0];
    ASSERT_EQ(L1.nallele, 3);
    EXPECT_EQ(L1.count[0], 3);
    EXPECT_DOUBLE_EQ(L1.freq[2], 1.0 / 6.0);
    const tarvo::Locus& L2 = run->store.loc[1];
    ASSERT_EQ(L2.nallele, 3);
    EXPECT_EQ(L2.allele[0], 0);
    EXPECT_EQ(L2.nmissing, 2);
    EXPECT_DOUBLE_EQ(L2.freq[2], 0.75);
  }
}

TEST_F(InputLoadRead, Model2KeepsTheFileFrequencies) {
  const std::string freq = frequencies(kFreqTwoLoci);
  const std::string geno = genotypes(kGenepop, 0);
  ASSERT_EQ(load(2), -1);
  const std::string want =
      "Reading allele frequencies from:                              FILE: \"" + freq +
      "\"\n"
      "          Reading allele base pairs for match analysis from:            FILE: \"" +
      geno +
      "\" \n"
      "          GENEPOP format assumed for reading base pairs. \n"
      "          A total of 3 genotype samples were read from 2 loci.\n\n"
      "\n";
  EXPECT_EQ(out.text(), want);
  EXPECT_EQ(log.text(), want);
  EXPECT_EQ(nloci, 2);
  EXPECT_EQ(anim, 3);
  EXPECT_EQ(nBlocks, 2);
  EXPECT_EQ(iperm, 2);
  EXPECT_EQ(stage, 3);
  // Frequencies from the file, names from the genotype file.
  const tarvo::Locus& L1 = run->store.loc[0];
  EXPECT_EQ(L1.name, "L1");
  ASSERT_EQ(L1.nallele, 3);
  EXPECT_DOUBLE_EQ(L1.freq[0], 0.2);
  EXPECT_EQ(run->store.loc[1].name, "L2");
  EXPECT_DOUBLE_EQ(run->store.loc[1].cumfreq[0], 0.4);

  // The own format names its reader the same way.
  run = std::make_unique<tarvo::Run>();
  run->io.out = out.f;
  run->io.fp7 = log.f;
  frequencies(kFreqTwoLoci);
  genotypes(kOwnFormat, 1);
  const long at = std::ftell(out.f);
  ASSERT_EQ(load(2), -1);
  EXPECT_NE(
      out.text().find("          TARVO spreadsheet format assumed for reading base pairs \n", at),
      std::string::npos);
}

TEST_F(InputLoadRead, LocusCountsOfBothFilesMustAgree) {
  struct Case {
    int model;
    int own;
  };
  const Case cases[] = {{2, 0}, {2, 1}, {6, 1}, {10, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.model);
    run = std::make_unique<tarvo::Run>();
    run->io.out = out.f;
    run->io.fp7 = log.f;
    run->opt.M_value = 5;
    const std::string freq = frequencies(std::string(kFreqTwoLoci) + "F3 1 2\nF3 0.5 0.5\n");
    const std::string geno = genotypes(c.own ? kOwnFormat : kGenepop, c.own);
    const long at_out = std::ftell(out.f), at_log = std::ftell(log.f);
    EXPECT_EQ(load(c.model), 1);
    const std::string msg = "There are 3 number of loci read from FILE: \"" + freq +
                            "\"  \n"
                            "This differs from 2 number of loci read from FILE: \"" +
                            geno +
                            "\"  \n"
                            "Please address this difference before running TARVO again.\n";
    const std::string o = out.text().substr(at_out), l = log.text().substr(at_log);
    ASSERT_GE(o.size(), msg.size());
    ASSERT_GE(l.size(), msg.size());
    EXPECT_EQ(o.substr(o.size() - msg.size()), msg);
    EXPECT_EQ(l.substr(l.size() - msg.size()), msg);
    EXPECT_EQ(count_of(o, "A total of"), 0);  // refused before the count line
  }
}

// ------------------------------------------------------------------ simulated reference data

using InputLoadSimulated = LoadTest;

TEST_F(InputLoadSimulated, StageLinesByModel) {
  struct Case {
    int model, own, M, H, Y;
    bool geno, freq;
    std::string lead;  // after the file lines, before the stage line
    std::string size_line;
    std::string out_tail, log_tail;
  };
  const std::string total = "          A total of 3 genotype samples were read from 2 loci.\n\n";
  const std::string random_y = "          Missing loci combinations randomly sampled using Y=";
  const Case cases[] = {
      {3, 1, 4, 2, 25, true, false, total,
       "          This reference data has 6 samples containing 0 recaptures in 2 populations.\n",
       random_y + "0.25\n", random_y + "0.25\n"},
      {7, 1, 3, 0, 50, true, false, total,
       "          This reference data has 3 samples containing 0 recaptures.\n",
       random_y + "0.50\n", random_y + "0.50\n"},
      {4, 1, 4, 0, 100, false, true, "",
       "          This reference data has 4 samples containing 0 recaptures.\n",
       random_y + "1.00\n", random_y + "1.00\n"},
      {8, 1, 4, 2, 100, false, true, "",
       "          This reference data has 6 samples containing 0 recaptures in 2 population(s).\n",
       random_y + "1.00\n", random_y + "1.00\n"},
      {5, 1, 3, 3, 100, true, false, total,
       "          This reference data has 6 samples containing 0 recaptures in 2 population(s).\n",
       "          Missing loci combinations defined from:\n"
       "                  random sampling of mising alleles. \n\n",
       "          Missing loci combinations defined from:\n"
       "                  random sampling of missing alleles. \n\n"},
      {6, 1, 2, 1, 100, true, true,
       "          Reading alleles for bootstrapping loci combinations:          FILE: \"GENO\" \n"
       "          TARVO input format assumed.\n" +
           total,
       "          This reference data has 3 samples containing 0 recaptures in 2 population(s).\n",
       "          Missing loci combinations defined \n"
       "                  by random sampling of missing alleles. \n\n",
       "          Missing loci combinations defined \n"
       "                  by random sampling of missing alleles. \n\n"},
      {10, 0, 3, 0, 100, true, true,
       "          Reading alleles for bootstrapping loci combinations:          FILE: \"GENO\" \n"
       "          GENEPOP input format assumed with '-f' flag on command line.\n" +
           total,
       "          This reference data has 3 samples containing 0 recaptures.\n",
       "          Missing loci combinations defined \n"
       "                  by random sampling of missing alleles. \n\n",
       "          Missing loci combinations defined \n"
       "                  by random sampling of missing alleles. \n\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.model);
    run = std::make_unique<tarvo::Run>();
    run->io.out = out.f;
    run->io.fp7 = log.f;
    run->opt.o_value[5] = (dir / "simm.txt").string();
    run->opt.M_value = c.M;
    run->opt.H_value = c.H;
    run->opt.Y_value = c.Y;
    fs::remove(run->opt.o_value[5]);
    std::string head;
    if (c.freq) {
      head = "Reading allele frequencies from:                              FILE: \"" +
             frequencies(kFreqTwoLoci) + "\"\n";
    }
    std::string lead = c.lead;
    if (c.geno) {
      const std::string geno = genotypes(c.own ? kOwnFormat : kGenepop, c.own);
      if (!c.freq) {
        head = "Reading allele base pairs for match analysis from:            FILE: \"" + geno +
               "\" \n" +
               (c.own ? "          TARVO spreadsheet format assumed for reading alleles \n"
                      : "          GENEPOP format assumed for reading alleles. \n");
      }
      const size_t g = lead.find("GENO");
      if (g != std::string::npos) lead.replace(g, 4, geno);
    }
    stage = 3;
    const long at_out = std::ftell(out.f), at_log = std::ftell(log.f);
    ASSERT_EQ(load(c.model), -1);

    const std::string stage_line =
        "STAGE  3: Writing simulated reference genotypes to:                     FILE: \"" +
        run->opt.o_value[5] + "\"\n";
    EXPECT_EQ(out.text().substr(at_out),
              head + lead + stage_line + c.size_line + c.out_tail + "\n");
    EXPECT_EQ(log.text().substr(at_log),
              head + lead + stage_line + c.size_line + c.log_tail + "\n");
    EXPECT_EQ(stage, 4);
    EXPECT_EQ(nloci, 2);
    EXPECT_EQ(anim, c.M + c.H);
    EXPECT_EQ(nBlocks, c.H > 0 ? 2 : 1);
    EXPECT_EQ(run->store.nBlock[1], c.M);
    EXPECT_EQ(run->store.nBlock[2], c.M + c.H);
    EXPECT_GE(iperm, 1);
    if (c.Y == 100 && c.model != 5 && c.model != 6 && c.model != 10) {
      EXPECT_EQ(iperm, 1);  // every locus kept
    }

    // The simulated data went to the GENEPOP file, one separator per population.
    const std::string simm = slurp(run->opt.o_value[5]);
    EXPECT_EQ(
        simm.rfind("GENEPOP data file created using TARVO simulation\nL1, L2\nPOP\nRec1    ,", 0),
        0u);
    EXPECT_EQ(count_of(simm, "\nRec"), c.M + c.H);
    EXPECT_EQ(count_of(simm, "\nPOP\n"), c.H > 0 ? 2 : 1);
  }
}

TEST_F(InputLoadSimulated, ResampledPatternsComeFromTheGenotypeFile) {
  // Model 5: every simulated sample takes the mask of a sample read.
  genotypes(kOwnFormat, 1);
  run->opt.M_value = 40;
  ASSERT_EQ(load(5), -1);
  int partial = 0;
  for (int i = 0; i < anim; ++i) {
    const uint32_t m = run->store.rec[i].loci_mask;
    EXPECT_TRUE(m == 0b11 || m == 0b01) << m;
    partial += m == 0b01;
  }
  EXPECT_GT(partial, 0);
  EXPECT_LT(partial, 40);
  EXPECT_EQ(iperm, 2);
}

}  // namespace
