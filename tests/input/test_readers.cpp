// Format detection and the two genotype readers, on small files written for
// each case and on the published data sets under tests/data.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tarvo.h"

using tarvo::Run;

namespace {

const std::string kData = std::string(TARVO_SOURCE_DIR) + "/tests/data/";

std::string slurp(FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string text;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  std::fseek(f, 0, SEEK_END);
  return text;
}

// A file in the temporary directory that is gone after the test.
struct TempFile {
  std::string path;
  explicit TempFile(const std::string& content) {
    static int counter = 0;
    path = (std::filesystem::temp_directory_path() /
            ("tarvo_read_" + std::to_string(getpid()) + "_" + std::to_string(counter++) + ".txt"))
               .string();
    std::ofstream(path, std::ios::binary) << content;
  }
  ~TempFile() { std::filesystem::remove(path); }
};

// A run whose standard output, standard error and log are temporary files,
// reading the genotype file given.
struct Captured {
  std::unique_ptr<Run> run = std::make_unique<Run>();
  int nloci = -1, anim = -1, nBlocks = -1;
  explicit Captured(const std::string& file = "") {
    run->io.out = std::tmpfile();
    run->io.err = std::tmpfile();
    run->io.fp7 = std::tmpfile();
    run->opt.i_value[0] = file;
  }
  ~Captured() {
    std::fclose(run->io.out);
    std::fclose(run->io.err);
    std::fclose(run->io.fp7);
  }
  std::string out() { return slurp(run->io.out); }
  std::string err() { return slurp(run->io.err); }
  std::string log() { return slurp(run->io.fp7); }
  // The exit status the call ended with, or -1 when it returned.
  int status(const std::function<void()>& call) {
    try {
      call();
    } catch (const tarvo::Exit& e) {
      return e.status;
    }
    return -1;
  }
  int own(int max_samples = tarvo::ANIM) {
    return status([&] { tarvo::read_base_pairs(*run, nloci, anim, nBlocks, max_samples); });
  }
  int genepop(int max_samples = tarvo::ANIM) {
    return status([&] { tarvo::read_base_pairs_GENEPOP(*run, nloci, anim, nBlocks, max_samples); });
  }
  int format() {
    int result = -1;
    int st = status([&] { result = tarvo::which_data_format(*run); });
    return st == -1 ? result : 100 + st;
  }
  const tarvo::Sample& rec(int i) { return run->store.rec[size_t(i)]; }
  int allele(int i, int slot) { return run->store.row(0, i)[slot]; }
  std::vector<int> blocks() {
    return std::vector<int>(run->store.nBlock.begin(), run->store.nBlock.begin() + nBlocks + 1);
  }
};

std::string crlf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

std::string repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

// ================================================================ detection

TEST(InputFormat_Detect, ByTheCommasOfTheFourthOrFirstLaterLineWithOne) {
  struct Case {
    std::string content;
    int want;  // 0 GENEPOP, 1 own format
  };
  const std::vector<Case> cases = {
      {"T\nL1, L2\nPOP\nS1, 200203 301301\n", 0},
      {"ID,L1,L1,L2,L2\nPOP,A\nS0,1,1,1,1\nS1,200,203,301,301\n", 1},
      // One locus per line: line 4 is a name, the first sample decides.
      {"T\nL1\nL2\nL3\nPOP\nS1, 0101 0202 0303\n", 0},
      {"T\nL1\nL2\nL3\nPOP\r\nS1, 0101 0202 0303\r\n", 0},
      // An unnamed separator or an empty line in line 4 of the own format.
      {"ID,L1,L1\nPOP,A\nS1,1,1\nPOP\nS2,1,1\n", 1},
      {"ID,L1,L1\nPOP,A\nS1,1,1\n\nS2,1,1\n", 1},
      // A long line is still one line.
      {std::string("ID") + repeat(",L1,L1", 80) + "\nPOP\nS1" + repeat(",1,1", 80) + "\nS2" +
           repeat(",1,1", 80) + "\n",
       1},
  };
  for (const auto& c : cases) {
    TempFile f(c.content);
    Captured cap(f.path);
    EXPECT_EQ(cap.format(), c.want) << c.content;
    EXPECT_EQ(cap.out(), "");
  }
}

TEST(InputFormat_Detect, PublishedDataSets) {
  for (const auto& [file, want] : std::vector<std::pair<std::string, int>>{
           {"nancycats.gen", 0}, {"microbov.gen", 0}, {"microbov.csv", 1}}) {
    Captured cap(kData + file);
    EXPECT_EQ(cap.format(), want) << file;
  }
}

TEST(InputFormat_Detect, Refusals) {
  struct Case {
    std::string content;
    bool missing;
    std::string out, log;
  };
  const std::string nocomma =
      "No comma found in line 4 and cannot detect if your data is in GENEPOP or TARVO "
      "format.\nPlease read manual.\n";
  const std::vector<Case> cases = {
      {"a\nb\nc\nd\ne\n", false, nocomma, ""},
      {"a,b\nc,d\ne\nf\n", false, nocomma, ""},
      {"", true, "which_data_format: Cannot open <@> for reading\n", ""},
  };
  for (const auto& c : cases) {
    TempFile f(c.content);
    std::string path = c.missing ? f.path + ".none" : f.path;
    Captured cap(path);
    EXPECT_EQ(cap.format(), 101);
    std::string want = c.out;
    if (auto at = want.find('@'); at != std::string::npos) want.replace(at, 1, path);
    EXPECT_EQ(cap.out(), want);
    EXPECT_EQ(cap.log(), c.log);
    EXPECT_EQ(cap.err(), "");
  }
  for (const std::string content : {"L1\nL2\nL3\n", "L1\nL2\nL3", ""}) {
    TempFile f(content);
    Captured cap(f.path);
    EXPECT_EQ(cap.format(), 101);
    int n = content.empty() ? 0 : 3;
    const std::string want = "Number of lines read in file " + f.path + " was " +
                             std::to_string(n) +
                             "\nThis is too few lines and program is exiting for you to check";
    EXPECT_EQ(cap.out(), want);
    EXPECT_EQ(cap.log(), want);
  }
}

// ================================================================ own format

const std::string kSmall =
    "ID,L1,L1,L2,L2\nPOP,North\nS1,200,203,301,301\nS2,200,200,0,0\nPOP,South\n"
    "S3,203,207,299,301\n";

TEST(InputOwn_Read, SmallFileFillsTheTables) {
  // The same file with CR LF line ends, with empty and blank lines, and
  // without a newline at its end reads alike.
  const std::vector<std::string> variants = {
      kSmall,
      crlf(kSmall),
      "\n" + kSmall.substr(0, kSmall.size() - 1),
      "ID, L1 , L1,L2,L2\n\nPOP,North\n   \nS1,200,203,301,301\r\nS2,200,200,0,0\n\r\n"
      "POP, South Side\nS3,203,207,299,301",
  };
  for (const auto& content : variants) {
    TempFile f(content);
    Captured cap(f.path);
    ASSERT_EQ(cap.own(), -1) << cap.err() << cap.out();
    EXPECT_EQ(cap.nloci, 2);
    EXPECT_EQ(cap.anim, 3);
    EXPECT_EQ(cap.nBlocks, 2);
    EXPECT_EQ(cap.run->store.loc[0].name, "L1");
    EXPECT_EQ(cap.run->store.loc[1].name, "L2");
    EXPECT_EQ(cap.run->store.b_name[0], "North");
    EXPECT_EQ(cap.run->store.b_name[1], "South");
    EXPECT_EQ(cap.blocks(), (std::vector<int>{0, 2, 3}));
    EXPECT_EQ(cap.rec(0).name, "S1");
    EXPECT_EQ(cap.rec(2).name, "S3");
    EXPECT_EQ(cap.rec(1).block, 0);
    EXPECT_EQ(cap.rec(2).block, 1);
    EXPECT_EQ(cap.rec(0).loci_mask, 3u);
    EXPECT_EQ(cap.rec(1).loci_mask, 1u);
    EXPECT_EQ(cap.rec(2).loci_mask, 3u);
    const int want[3][4] = {{200, 203, 301, 301}, {200, 200, 0, 0}, {203, 207, 299, 301}};
    for (int i = 0; i < 3; ++i)
      for (int s = 0; s < 4; ++s) EXPECT_EQ(cap.allele(i, s), want[i][s]) << i << "," << s;
    EXPECT_EQ(cap.out(), "");
    EXPECT_EQ(cap.err(), "");
  }
}

TEST(InputOwn_Read, MissingGenotypes) {
  // Either allele 0 makes the locus missing; only the literal text "0"
  // against a non-missing text is refused.
  struct Case {
    std::string a, b;
    uint32_t mask;
  };
  const std::vector<Case> cases = {
      {"0", "0", 2u}, {"00", "203", 2u}, {"203", "00", 2u}, {"000", "00", 2u}, {"5", "7", 3u}};
  for (const auto& c : cases) {
    TempFile f("ID,L1,L1,L2,L2\nPOP\nS1," + c.a + "," + c.b + ",1,1\n");
    Captured cap(f.path);
    ASSERT_EQ(cap.own(), -1) << c.a << "," << c.b << cap.err();
    EXPECT_EQ(cap.rec(0).loci_mask, c.mask) << c.a << "," << c.b;
    EXPECT_EQ(cap.run->store.b_name[0], "");
  }
}

TEST(InputOwn_Read, LimitsAreInclusive) {
  // Names of exactly 20 characters, 32 loci, 100 populations.
  std::string header = "ID";
  std::string sample = "S2345678901234567890";
  for (int k = 0; k < 32; ++k) {
    std::string name = std::string(k == 31 ? 19 : 2, char('a' + k % 26)).insert(0, 1, 'L');
    header += "," + name + "," + name;
    sample += ",1,2";
  }
  std::string content = header + "\n";
  for (int p = 0; p < 100; ++p) content += "POP,P" + std::to_string(p) + "\n" + sample + "\n";
  TempFile f(content);
  Captured cap(f.path);
  ASSERT_EQ(cap.own(), -1) << cap.err();
  EXPECT_EQ(cap.nloci, 32);
  EXPECT_EQ(cap.anim, 100);
  EXPECT_EQ(cap.nBlocks, 100);
  EXPECT_EQ(cap.rec(99).loci_mask, 0xFFFFFFFFu);
  EXPECT_EQ(cap.rec(99).name, "S2345678901234567890");
  EXPECT_EQ(cap.run->store.loc[31].name.size(), 20u);
  EXPECT_EQ(cap.run->store.b_name[99], "P99");
  EXPECT_EQ(cap.allele(99, 63), 2);
}

TEST(InputOwn_Read, PopulationNamesTakeTheFirstWordCutTo79) {
  std::string longname(100, 'n');
  TempFile f("ID,L1,L1\nPOP,North Side\nS1,1,1\nPOP, " + longname + "\nS2,1,1\n");
  Captured cap(f.path);
  ASSERT_EQ(cap.own(), -1);
  EXPECT_EQ(cap.run->store.b_name[0], "North");
  EXPECT_EQ(cap.run->store.b_name[1], std::string(79, 'n'));
}

TEST(InputOwn_Read, SeparatorTextFromOption) {
  TempFile f("ID,L1,L1\nPop,A\nS1,1,1\nPop\nS2,1,1\n");
  Captured cap(f.path);
  cap.run->opt.k_option = 1;
  cap.run->opt.k_value = "Pop";
  ASSERT_EQ(cap.own(), -1) << cap.err();
  EXPECT_EQ(cap.nBlocks, 2);
}

std::string own_pops(const std::vector<int>& sizes) {
  std::string s = "ID,L1,L1\n";
  int n = 0;
  for (size_t p = 0; p < sizes.size(); ++p) {
    ((s += "POP,P") += std::to_string(p)) += "\n";
    for (int i = 0; i < sizes[p]; ++i) ((s += 'S') += std::to_string(n++)) += ",1,1\n";
  }
  return s;
}

std::string genepop_pops(const std::vector<int>& sizes) {
  std::string s = "Title\nL1\nPOP\n";
  int n = 0;
  for (size_t p = 0; p < sizes.size(); ++p) {
    if (p) s += "POP\n";
    for (int i = 0; i < sizes[p]; ++i)
      ((((s += 'P') += std::to_string(p)) += " s") += std::to_string(n++)) += ", 0101\n";
  }
  return s;
}

// The -m rule is the same in both readers: only populations that a later
// separator closes, and never the first, are dropped.
TEST(InputReaders_MinimumSize, DropsSmallClosedPopulationsAfterTheFirst) {
  struct Case {
    std::vector<int> sizes;
    int m;
    std::vector<int> bounds;
    std::vector<std::string> dropped;  // names announced
  };
  const std::vector<Case> cases = {
      {{5, 2, 4}, 3, {0, 5, 9}, {"P1"}},
      {{2, 5, 2}, 3, {0, 2, 7, 9}, {}},
      {{5, 1, 2, 4}, 3, {0, 5, 9}, {"P1", "P2"}},
      {{5, 2, 4}, 2, {0, 5, 7, 11}, {}},
  };
  for (bool genepop : {false, true}) {
    for (const auto& c : cases) {
      TempFile f(genepop ? genepop_pops(c.sizes) : own_pops(c.sizes));
      Captured cap(f.path);
      cap.run->opt.m_option = 1;
      cap.run->opt.m_value = c.m;
      ASSERT_EQ(genepop ? cap.genepop() : cap.own(), -1) << cap.err() << cap.out();
      EXPECT_EQ(cap.blocks(), c.bounds) << "genepop " << genepop;
      EXPECT_EQ(cap.anim, c.bounds.back());
      std::string want;
      for (const auto& name : c.dropped)
        want += "Block " + name + " deleted as it had < m_value=" + std::to_string(c.m) + "\n";
      EXPECT_EQ(cap.out(), want);
      EXPECT_EQ(cap.log(), want);
      // The samples of a dropped population are overwritten by the next one.
      for (int p = 0; p + 1 < int(c.bounds.size()); ++p)
        for (int i = c.bounds[p]; i < c.bounds[p + 1]; ++i) EXPECT_EQ(cap.rec(i).block, p);
    }
  }
  // A reused index takes the new separator's name, or none.
  TempFile f("ID,L1,L1\nPOP,A\nS1,1,1\nPOP,B\nS2,1,1\nPOP\nS3,1,1\nS4,1,1\n");
  Captured cap(f.path);
  cap.run->opt.m_option = 1;
  cap.run->opt.m_value = 2;
  ASSERT_EQ(cap.own(), -1);
  EXPECT_EQ(cap.nBlocks, 2);
  EXPECT_EQ(cap.run->store.b_name[1], "");
  EXPECT_EQ(cap.rec(1).name, "S3");
}

TEST(InputOwn_Read, ExactlyAnimSamplesAndOneMore) {
  std::string body = "ID,L1,L1\nPOP\n";
  for (int i = 0; i < tarvo::ANIM; ++i) body += "S,1,1\n";
  {
    TempFile f(body);
    Captured cap(f.path);
    ASSERT_EQ(cap.own(), -1);
    EXPECT_EQ(cap.anim, tarvo::ANIM);
  }
  TempFile f(body + "T,2,2\n");
  Captured cap(f.path);
  EXPECT_EQ(cap.own(), 1);
  EXPECT_EQ(cap.err(),
            "read_base_pairs: Need to increase size of ANIM=" + std::to_string(tarvo::ANIM) +
                " to read more genotype records\n   Last line read was : T,2,2\n"
                "   Samples read so far: " +
                std::to_string(tarvo::ANIM + 1));
}

// Each refusal of the own-format reader: the exit status is 1, and the
// message goes to standard error (numbered codes) or to the log and
// standard output.
TEST(InputOwn_Refuse, EveryMessage) {
  struct Case {
    std::string what, content;
    std::string err;  // substring expected on standard error ("" = nothing)
    std::string out;  // substring expected on standard output and the log
    int max_samples = tarvo::ANIM;
  };
  const std::string u35(35, '_'), u87(87, '_');
  std::string pairs33 = "S1";
  for (int k = 0; k < 33; ++k) pairs33 += ",1,1";
  std::string header33 = "ID";
  for (int k = 0; k < 33; ++k) header33 += ",L" + std::to_string(k) + ",L" + std::to_string(k);
  std::string pops101 = "ID,L1,L1\n";
  for (int p = 0; p < 101; ++p) pops101 += "POP\nS,1,1\n";
  const std::vector<Case> cases = {
      {"code 1", "ID,L1,L1\nS1,1,1\n",
       "It appears that population number -1 has no samples. Is this correct?\n"
       "          It appears that population separator <POP> was not read in data.",
       ""},
      {"code 3", "ID,L1,L1\nPOP\nS1" + repeat(",1", 200) + "\n",
       "Need to increase size of STR=" + std::to_string(tarvo::STR) +
           " and recompile to read to end of line in file @\nLast line read was 3\n",
       ""},
      {"code 4", "ID,L1,L1,Locus_name_of_21_char,Locus_name_of_21_char\n",
       "  Last line read was: 1\n <ID,L1,L1,Locus_name_of_21_char,Locus_name_of_21_char\n>", ""},
      {"code 4 last field", "ID,L1,L1,Locus_name_of_21_char\n", "Last line read was: 1\n", ""},
      {"code 5", header33 + "\n",
       "Need to increase size of NOL=" + std::to_string(tarvo::NOL) + " to read more loci\n", ""},
      {"code 6", "ID,L1,L1,L2\n",
       "Read first allele but could not find second allele (L2)\nLine number 1\n"
       "Last line read was:\n ID,L1,L1,L2\n \n",
       ""},
      {"code 7", "\nID\n", "No loci pairs were read in first line\n", ""},
      {"code 8", "ID,L1,L1\nPOP\nSample_name_of_21_chr,1,1\n",
       "Last line read was: 3\n <Sample_name_of_21_chr,1,1\n>", ""},
      {"code 9", pops101, "Too many populations read in dataset\n", ""},
      {"code 10", "ID,L1,L1,L2,L2\nPOP\nS1,200,203,301\n",
       "Read first allele number (301) but could not find second allele number \n"
       "Line number 3\nLast line read was:\n S1,200,203,301\n \n",
       ""},
      {"code 11", "ID,L1,L1\nPOP\n" + pairs33 + "\n",
       "read_base_pairs: Need to increase size of NOL=" + std::to_string(tarvo::NOL), ""},
      {"code 12 first", "ID,L1,L1,L2,L2\nPOP,A\nS1,1,1,1,1\nS2,1,1,0,203\n",
       "\n\n" + u35 + "\nAllele pairs must both be missing\n" + u35 +
           "\nNon-missing allele is: <203>\n       Animal name is: S2\n"
           "       Locus  name is: L2\n       Line number is:   3\n"
           "       Line read is: S2,1,1,0,203\n\n",
       ""},
      // Line 7 of the file; shown as samples before (1) + population (1) + 2.
      {"code 12 second", "ID,L1,L1\n\nPOP,A\nS1,1,1\nPOP,B\n\nS2,207,0\n",
       "Non-missing allele is: <207>\n       Animal name is: S2\n       Locus  name is: L1\n"
       "       Line number is:   4\n",
       ""},
      // Only the literal text "0" must be matched by another "0".
      {"code 12 zeros", "ID,L1,L1\nPOP\nS1,000,0\n", "Non-missing allele is: <000>\n", ""},
      {"code 13 fewer", "ID,L1,L1,L2,L2\nPOP\nS1,1,1\n",
       "\n\n" + u87 +
           "\nLoci pairs (1) in current line do not match in number with those in header file "
           "(2)\n" +
           u87 +
           "\n       Animal name is: S1\n       Locus  name is: L2\n"
           "       Line number is:   2\n       Line read is: S1,1,1\n\n",
       ""},
      {"code 13 more", "ID,L1,L1\nPOP\nS1,1,1,2,2\n",
       "Loci pairs (2) in current line do not match in number with those in header file (1)\n", ""},
      {"code 14", "ID,L1,L1\nPOP\nS1,1,1\nS2,1,1\nS3,1,1\n",
       "Need to increase size of ANIM=" + std::to_string(tarvo::ANIM) +
           " to read more genotype records\n   Last line read was : S3,1,1\n"
           "   Samples read so far: 3",
       "", 2},
      {"code 15", "ID,L1,L1\nPOP,A\nS1,1,1\nPOP,B\nPOP,C\nS2,1,1\n",
       "\n          Make sure data is in TARVO format or use '-f' option to define GENEPOP data "
       "format \n\n",
       ""},
      {"allele names", "ID,L1,L2\n", "",
       "          Pair of allele names do not match (L1) (L2) in first line of data. locus=1\n"
       "          Make sure data is in TARVO format or use '-f' option to define GENEPOP data "
       "format \n\n"},
      {"allele names locus 2", "ID,L1,L1,L2,L3\n", "",
       "(L2) (L3) in first line of data. locus=2\n"},
      {"check_int", "ID,L1,L1,L2,L2\nPOP\nS1,1,1,2,2x\n", "",
       "\ncheck_int: Non-numeric character (or '.' or '-') read in line 3 (field 5 ) \n"
       "           Character found --> x <--  in \"2x\"\n"
       "           Please check input file \"@\".\n"},
      {"check_int sign", "ID,L1,L1\nPOP\nS1,-1,1\n", "", "Character found --> - <--  in \"-1\"\n"},
  };
  for (const auto& c : cases) {
    TempFile f(c.content);
    Captured cap(f.path);
    EXPECT_EQ(cap.own(c.max_samples), 1) << c.what;
    auto fill = [&](std::string s) {
      if (auto at = s.find('@'); at != std::string::npos) s.replace(at, 1, f.path);
      return s;
    };
    const std::string err = cap.err(), out = cap.out(), log = cap.log();
    if (c.err.empty()) {
      EXPECT_EQ(err, "") << c.what;
    } else {
      EXPECT_NE(err.find(fill(c.err)), std::string::npos) << c.what << ":\n" << err;
      EXPECT_EQ(out, "") << c.what;
      EXPECT_EQ(log, "") << c.what;
    }
    if (!c.out.empty()) {
      EXPECT_NE(out.find(fill(c.out)), std::string::npos) << c.what << ":\n" << out;
      EXPECT_EQ(log, out) << c.what;
    }
  }
  Captured cap(kData + "no_such_file.csv");
  EXPECT_EQ(cap.own(), 1);
  EXPECT_EQ(cap.err(), "read_base_pairs: Cannot open input file <" + kData + "no_such_file.csv>\n");
}

TEST(InputOwn_Refuse, SeparatorOptionNamedInCodeOne) {
  TempFile f("ID,L1,L1\nPOP,A\nS1,1,1\n");
  Captured cap(f.path);
  cap.run->opt.k_option = 1;
  cap.run->opt.k_value = "Group";
  EXPECT_EQ(cap.own(), 1);
  EXPECT_NE(cap.err().find("The population separator defined in command line using '-k' was "
                           "<Group>. Is this correct?\n"),
            std::string::npos);
}

TEST(InputOwn_Refuse, SpreadsheetExportWithALongHeader) {
  // microbov.csv's header is 402 characters: more than a line may hold.
  Captured cap(kData + "microbov.csv");
  EXPECT_EQ(cap.own(), 1);
  EXPECT_EQ(cap.err(), "Need to increase size of STR=" + std::to_string(tarvo::STR) +
                           " and recompile to read to end of line in file " + kData +
                           "microbov.csv\nLast line read was 1\n");
  EXPECT_EQ(cap.out(), "");
}

// ================================================================ GENEPOP

TEST(InputGenepop_Read, SmallFile) {
  const std::string base = "Title\nLoc1, Loc2\nPOP\nind1, 0102 0304\nind2, 0101 0000\n";
  for (const std::string& content : {base, crlf(base)}) {
    TempFile f(content);
    Captured cap(f.path);
    ASSERT_EQ(cap.genepop(), -1) << cap.out();
    EXPECT_EQ(cap.nloci, 2);
    EXPECT_EQ(cap.anim, 2);
    EXPECT_EQ(cap.nBlocks, 1);
    EXPECT_EQ(cap.blocks(), (std::vector<int>{0, 2}));
    EXPECT_EQ(cap.run->store.b_name[0], "ind2");
    EXPECT_EQ(cap.run->store.loc[1].name, "Loc2");
    EXPECT_EQ(cap.rec(0).name, "ind1");
    EXPECT_EQ(cap.rec(0).loci_mask, 3u);
    EXPECT_EQ(cap.rec(1).loci_mask, 1u);
    EXPECT_EQ(cap.allele(0, 0), 1);
    EXPECT_EQ(cap.allele(0, 1), 2);
    EXPECT_EQ(cap.allele(0, 2), 3);
    EXPECT_EQ(cap.allele(0, 3), 4);
    EXPECT_EQ(cap.out(), "");
    EXPECT_EQ(cap.err(), "");
  }
}

TEST(InputGenepop_Read, LocusListsOnOneLineOrSeveral) {
  const std::vector<std::string> lists = {
      "Loc1, Loc2, Loc3\n",      "Loc1\nLoc2\nLoc3\n",          "Loc1,Loc2\nLoc3\n",
      "Loc1, Loc2,\n  Loc3  \n", "  Loc1 ,   Loc2 , Loc3 \r\n", "Loc1\r\n\r\nLoc2\r\nLoc3\r\n",
  };
  for (size_t i = 0; i < lists.size(); ++i) {
    TempFile f("Title\n" + lists[i] + "POP\nS1, 0101 0202 0303\n");
    Captured cap(f.path);
    ASSERT_EQ(cap.genepop(), -1) << lists[i] << cap.out() << cap.err();
    ASSERT_EQ(cap.nloci, 3) << lists[i];
    for (int k = 0; k < 3; ++k)
      EXPECT_EQ(cap.run->store.loc[size_t(k)].name, "Loc" + std::to_string(k + 1)) << lists[i];
  }
}

TEST(InputGenepop_Read, GenotypeForms) {
  struct Case {
    std::string genotypes;
    std::vector<int> alleles;
    uint32_t mask;
  };
  const std::vector<Case> cases = {
      {"200203 0102", {200, 203, 1, 2}, 3u},
      {"0102 200203", {1, 2, 200, 203}, 3u},
      {"0100 0102", {1, 0, 1, 2}, 2u},
      {"000102 0001", {0, 102, 0, 1}, 0u},
      {"0102   0304   ", {1, 2, 3, 4}, 3u},
      {"0102 0304 0506", {1, 2, 3, 4}, 3u},  // one more than the loci: ignored
  };
  for (const auto& c : cases) {
    TempFile f("T\nA, B\nPOP\nS1,   " + c.genotypes + "\n");
    Captured cap(f.path);
    ASSERT_EQ(cap.genepop(), -1) << c.genotypes << cap.out();
    for (int s = 0; s < 4; ++s) EXPECT_EQ(cap.allele(0, s), c.alleles[size_t(s)]) << c.genotypes;
    EXPECT_EQ(cap.rec(0).loci_mask, c.mask) << c.genotypes;
  }
}

TEST(InputGenepop_Read, TitleNamesAndSeparators) {
  // The first line is the title even when empty; names keep inner blanks;
  // 'POP,' and 'POP something' open populations, 'POPULATION 1' does not.
  TempFile f(
      "\nLoc1\nPOPULATION 1\n  POP, first\nCat 12 a , 0101 0202\nPOP something\n"
      "Dog, 0101 0202\n");
  Captured cap(f.path);
  ASSERT_EQ(cap.genepop(), -1) << cap.out();
  EXPECT_EQ(cap.nloci, 2);
  EXPECT_EQ(cap.run->store.loc[1].name, "POPULATION 1");
  EXPECT_EQ(cap.nBlocks, 2);
  EXPECT_EQ(cap.rec(0).name, "Cat 12 a");
  EXPECT_EQ(cap.run->store.b_name[0], "Cat");
  EXPECT_EQ(cap.run->store.b_name[1], "Dog");
  // A separator as the last line leaves an empty last population, unreported.
  TempFile g("T\nL\nPOP\nS1, 0101\nPOP\n");
  Captured cap2(g.path);
  ASSERT_EQ(cap2.genepop(), -1);
  EXPECT_EQ(cap2.nBlocks, 2);
  EXPECT_EQ(cap2.blocks(), (std::vector<int>{0, 1, 1}));
  EXPECT_EQ(cap2.out(), "");
}

TEST(InputGenepop_Read, EmptyPopulationsAreListedThenTheRunStops) {
  TempFile f("Title\nLoc1\nPOP\nind1, 0101\nPOP\nPOP\nind2, 0101\nPOP\nPOP\nind3, 0101\n");
  Captured cap(f.path);
  EXPECT_EQ(cap.genepop(), 1);
  const std::string want =
      "OK OK\n"
      "Pairwise comparisons need more than 1 animal per data block\n"
      "1 animal per data block is allowed but is only meaningfull when compared to other blocks\n"
      "To help you even more here are the names of data blocks that have < 1 sample in them\n\n"
      "     No.   Name of data block\n"
      "     ________________________________________\n"
      "     0     ind1\n"
      "     0     ind2\n"
      "\n\nI just want to let you know that I am not going to CRASH.\n"
      "I am simply going to STOP on my own accord to give you time to correct your data input "
      "file.\n"
      "Keep up the good work!\n";
  EXPECT_EQ(cap.out(), want);
  EXPECT_EQ(cap.log(), want);
  EXPECT_EQ(cap.err(), "");
  // A first population without samples has no name.
  TempFile g("Title\nLoc1\nPOP\nPOP\nind1, 0101\n");
  Captured cap2(g.path);
  EXPECT_EQ(cap2.genepop(), 1);
  EXPECT_NE(cap2.out().find("________\n     0     \n\n\nI just"), std::string::npos) << cap2.out();
}

TEST(InputGenepop_Refuse, EveryMessage) {
  struct Case {
    std::string what, content;
    std::string err;  // whole standard error
    std::string out;  // whole standard output
    std::string log;  // whole log ("=" for the same as standard output)
    int max_samples = tarvo::ANIM;
  };
  std::string loci33 = "T\n";
  for (int k = 0; k < 33; ++k) ((loci33 += 'L') += std::to_string(k)) += (k % 5 == 4 ? "\n" : ", ");
  loci33 += "\nPOP\n";
  std::string pops101 = "T\nL\n";
  for (int p = 0; p < 101; ++p) pops101 += "POP\nS, 0101\n";
  const std::string nol =
      "          If data is in GENEPOP format then possibly need to increase size of NOL=" +
      std::to_string(tarvo::NOL) +
      " and recompile source code to read more loci\n"
      "          Otherwise check that the population separator using the '-k STR' is correctly "
      "defined for the '-1 FILE'.\n";
  const std::string code4 =
      "If GENEPOP format used check if 'POP' is at beginning of third line.\n"
      "Else if TARVO format:\n  Loci names can only be read with " +
      std::to_string(tarvo::SOL) +
      " characters. \n  Need to reduce length of locus name OR increase size of SOL and "
      "recompile\n";
  const std::vector<Case> cases = {
      {"no loci", "T\nPOP\nS, 0101\n", "",
       "Need loci names to be read. Did not read any (nloci=0)\n", "="},
      {"33 loci", loci33, "", nol, "="},
      {"33 loci one per line", "T\n" + repeat("L\n", 33) + "POP\n", "", nol, "="},
      {"locus too long", "T\nL1, Locus_name_of_21_char, L3\nPOP\n",
       code4 + "  Last line read was: 2\n <L1, Locus_name_of_21_char, L3\n>Else check that your "
               "data has the correct format (see TARVO manual).\n",
       "", ""},
      {"last locus too long", "T\nL1, Locus_name_of_21_char\nPOP\n",
       code4 + "  Last line read was: 2\n <L1, Locus_name_of_21_char\n>Else check that your data "
               "has the correct format (see TARVO manual).\n",
       "", ""},
      {"sample name too long", "T\nL\nPOP\nSample_name_of_21_chr, 0101\n",
       "Sample names can only be read with " + std::to_string(tarvo::SOA) +
           " characters. \nNeed to increase size of SOA and recompile OR reduce length of name\n"
           "Last line read was: 4\n <Sample_name_of_21_chr, 0101\n>",
       "", ""},
      {"no comma", "T\nL\nPOP\n\nind1 0102 0304\n", "",
       "Must have comma after sample name then allele numbers. \n"
       "Line number 5\nLast line read was:\n ind1 0102 0304\n \n",
       "Must have comma after sample name then allele number. \n"
       "Line number 5\nLast line read was:\n ind1 0102 0304\n \n"},
      {"no alleles", "T\nL\nPOP\nind1,\n", "",
       "No alleles after sample name (ind1)  \nLine number 4\nLast line read was:\n ind1,\n \n",
       "="},
      {"no alleles blanks", "T\nL\nPOP\nind1,   \r\n", "",
       "No alleles after sample name (ind1)  \nLine number 4\nLast line read was:\n ind1,   \n \n",
       "="},
      {"three digits", "T\nL1, L2\nPOP\nind1, 0102 102\n", "",
       "Must have 4 or 6 integer characters per set of alleles. Read 3 integers in line 4.\n", "="},
      {"five digits", "T\nL1\nPOP\nind1, 01023\n", "",
       "Must have 4 or 6 integer characters per set of alleles. Read 5 integers in line 4.\n", "="},
      {"one genotype fewer", "T\nL1, L2, L3\nPOP\nind1, 0101 0202\n", "",
       "No. of loci names (3) is different from No. of alleles (2) in line (4)\n", "="},
      {"one genotype fewer, trailing blank", "T\nL1, L2\nPOP\nind1, 0101 \n", "",
       "No. of loci names (2) is different from No. of alleles (1) in line (4)\n", "="},
      {"non-digit", "T\nL1, L2\nPOP\nind1, 0101 0a02\n", "",
       "\ncheck_int: Non-numeric character (or '.' or '-') read in line 4 (field 3 ) \n"
       "           Character found --> a <--  in \"0a\"\n"
       "           Please check input file \"@\".\n",
       "="},
      {"too many populations", pops101,
       "Too many populations read in dataset\n"
       "Maximum populations in this compiled program is:  BLOCK=" +
           std::to_string(tarvo::BLOCK) +
           "\nNeed to increase BLOCK parameter in tarvo.h and recompile\n",
       "", ""},
      {"too many samples", "T\nL\nPOP\na, 0101\nb, 0101\nc, 0101\n",
       "read_base_pairs: Need to increase size of ANIM=" + std::to_string(tarvo::ANIM) +
           " to read more genotype records\n   Last line read was : c, 0101\n"
           "   Samples read so far: 3",
       "", "", 2},
      {"long line", "T\nL\nPOP\nind1," + repeat(" 0101", 80) + "\n",
       "Need to increase size of STR=" + std::to_string(tarvo::STR) +
           " and recompile to read to end of line in file @\nLast line read was 4\n",
       "", ""},
  };
  for (const auto& c : cases) {
    TempFile f(c.content);
    Captured cap(f.path);
    EXPECT_EQ(cap.genepop(c.max_samples), 1) << c.what;
    auto fill = [&](std::string s) {
      if (auto at = s.find('@'); at != std::string::npos) s.replace(at, 1, f.path);
      return s;
    };
    EXPECT_EQ(cap.err(), fill(c.err)) << c.what;
    EXPECT_EQ(cap.out(), fill(c.out)) << c.what;
    EXPECT_EQ(cap.log(), c.log == "=" ? fill(c.out) : fill(c.log)) << c.what;
  }
  Captured cap(kData + "no_such_file.gen");
  EXPECT_EQ(cap.genepop(), 1);
  EXPECT_EQ(cap.err(), "read_base_pairs: Cannot open input file <" + kData + "no_such_file.gen>\n");
}

// ================================================================ published data

TEST(InputReaders_Published, NancyCatsWithPopSeparator) {
  Captured cap(kData + "nancycats.gen");
  cap.run->opt.k_option = 1;
  cap.run->opt.k_value = "Pop";
  ASSERT_EQ(cap.genepop(), -1) << cap.out() << cap.err();
  EXPECT_EQ(cap.anim, 237);
  EXPECT_EQ(cap.nloci, 9);
  EXPECT_EQ(cap.nBlocks, 17);
  EXPECT_EQ(cap.run->store.loc[0].name, "fca8");
  EXPECT_EQ(cap.run->store.loc[8].name, "fca37");
  EXPECT_EQ(cap.run->store.b_name[0], "1");
  EXPECT_EQ(cap.run->store.b_name[16], "17");
  EXPECT_EQ(cap.run->store.nBlock[17], 237);
  // '1, 0000 0409 ...': the first locus is missing, the second is 4/9.
  EXPECT_EQ(cap.rec(0).loci_mask, 0x1FEu);
  EXPECT_EQ(cap.allele(0, 2), 4);
  EXPECT_EQ(cap.allele(0, 3), 9);
  // The last line has no newline: '17, 0912 0209 0204 0000 0609 0307 0808 0000 1010'.
  EXPECT_EQ(cap.rec(236).loci_mask, 0x1FFu & ~(1u << 3) & ~(1u << 7));
  EXPECT_EQ(cap.allele(236, 16), 10);
  EXPECT_EQ(cap.allele(236, 17), 10);
  int missing = 0;
  for (int i = 0; i < 237; ++i) {
    ASSERT_EQ(cap.rec(i).name.find('\r'), std::string::npos);
    for (int k = 0; k < 9; ++k) missing += !tarvo::locus_missing_bit(k, cap.rec(i).loci_mask);
  }
  EXPECT_EQ(missing, 50);
}

TEST(InputReaders_Published, NancyCatsWithoutTheSeparatorOption) {
  // 'Pop' is then a locus name and the first sample line is taken for a
  // list of names, one of them far too long.
  Captured cap(kData + "nancycats.gen");
  EXPECT_EQ(cap.genepop(), 1);
  EXPECT_NE(cap.err().find("If GENEPOP format used check if 'POP' is at beginning of third line"),
            std::string::npos);
  EXPECT_NE(cap.err().find("Last line read was: 12\n"), std::string::npos);
}

TEST(InputReaders_Published, MicrobovGenepop) {
  Captured cap(kData + "microbov.gen");
  ASSERT_EQ(cap.genepop(), -1) << cap.out() << cap.err();
  EXPECT_EQ(cap.anim, 704);
  EXPECT_EQ(cap.nloci, 30);
  EXPECT_EQ(cap.nBlocks, 15);
  EXPECT_EQ(cap.run->store.loc[0].name, "INRA63");
  EXPECT_EQ(cap.run->store.loc[29].name, "SPS115");
  EXPECT_EQ(cap.rec(0).name, "AFBIBOR9503");
  EXPECT_EQ(cap.allele(0, 0), 183);
  EXPECT_EQ(cap.allele(0, 3), 141);
  EXPECT_EQ(cap.run->store.nBlock[1], 50);
  EXPECT_EQ(cap.run->store.b_name[0], "AFBIBOR9552");
  // Genotypes with an allele 000 in the file, counted independently.
  int missing = 0;
  for (int i = 0; i < 704; ++i)
    for (int k = 0; k < 30; ++k) missing += !tarvo::locus_missing_bit(k, cap.rec(i).loci_mask);
  EXPECT_EQ(missing, 490);
}

}  // namespace
