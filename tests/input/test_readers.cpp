// Format detection and the two genotype readers, on small files written for
// each case and on the published data sets under tests/data.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "common/input_helpers.h"

namespace {

using std::to_string;
using testutil::repeat;
using testutil::Shows;
using testutil::with_path;

const std::string kData = std::string(TARVO_SOURCE_DIR) + "/tests/data/";
constexpr bool kOwn = false, kGenepop = true;

// A run reading one genotype file, with its streams captured.
struct Reader : testutil::TestRun {
  int nloci = -1, anim = -1, nBlocks = -1;
  explicit Reader(const std::string& file, const std::string& separator = "") {
    r.opt.i_value[0] = file;
    if (!separator.empty()) {
      r.opt.k_option = 1;
      r.opt.k_value = separator;
    }
  }
  // The exit status, or -1 when the reader returned.
  int read(bool genepop, int max_samples = tarvo::ANIM) {
    return testutil::exit_status([&] {
      if (genepop)
        tarvo::read_base_pairs_GENEPOP(r, nloci, anim, nBlocks, max_samples);
      else
        tarvo::read_base_pairs(r, nloci, anim, nBlocks, max_samples);
    });
  }
  // 0 GENEPOP, 1 own format, or 100 + the exit status.
  int format() {
    int result = -1;
    const int status = testutil::exit_status([&] { result = tarvo::which_data_format(r); });
    return status == -1 ? result : 100 + status;
  }
  const tarvo::Sample& rec(int i) { return r.store.rec[size_t(i)]; }
  int allele(int i, int slot) { return r.store.row(0, i)[slot]; }
  // The loci; the populations as name@first sample; each sample as name,
  // population, loci mask and alleles.
  std::string tables() {
    const tarvo::Store& st = r.store;
    std::string s = "loci";
    for (int k = 0; k < nloci; ++k) s += " " + st.loc[k].name;
    s += "\npops";
    for (int p = 0; p <= nBlocks; ++p)
      s += " " + (p < nBlocks ? st.b_name[p] : "end") + "@" + to_string(st.nBlock[p]);
    s += "\n";
    for (int i = 0; i < anim; ++i) {
      s += rec(i).name + " p" + to_string(rec(i).block) + " m" + to_string(rec(i).loci_mask) + ":";
      for (int a = 0; a < 2 * nloci; ++a) s += " " + to_string(allele(i, a));
      s += "\n";
    }
    return s;
  }
  std::vector<int> blocks() {
    return std::vector<int>(r.store.nBlock.begin(), r.store.nBlock.begin() + nBlocks + 1);
  }
};

std::string crlf(const std::string& text) {
  std::string out;
  for (char c : text) (c == '\n' ? out += "\r\n" : out += c);
  return out;
}

// ================================================================ detection

TEST(InputFormat_Detect, ByTheCommasOfTheFourthOrFirstLaterLineWithOne) {
  const std::string nocomma =
      "No comma found in line 4 and cannot detect if your data is in GENEPOP or TARVO "
      "format.\nPlease read manual.\n";
  auto few = [](int n) {
    return "Number of lines read in file @ was " + to_string(n) +
           "\nThis is too few lines and program is exiting for you to check";
  };
  struct Case {
    std::string content;
    int want;  // 0 GENEPOP, 1 own format, 101 refused
    std::string out = "", log = "";
  } cases[] = {
      {"T\nL1, L2\nPOP\nS1, 200203 301301\n", 0},
      {"ID,L1,L1,L2,L2\nPOP,A\nS0,1,1,1,1\nS1,200,203,301,301\n", 1},
      // One locus per line: line 4 is a name, the first sample decides.
      {"T\nL1\nL2\nL3\nPOP\r\nS1, 0101 0202 0303\r\n", 0},
      // An unnamed separator in line 4 of the own format.
      {"ID,L1,L1\nPOP,A\nS1,1,1\nPOP\nS2,1,1\n", 1},
      // A long line is still one line.
      {"ID" + repeat(",L1,L1", 80) + "\nPOP\nS1" + repeat(",1,1", 80) + "\nS2" +
           repeat(",1,1", 80) + "\n",
       1},
      {"a\nb\nc\nd\ne\n", 101, nocomma},
      {"a,b\nc,d\ne\nf\n", 101, nocomma},  // commas before line 4 do not count
      {"L1\nL2\nL3", 101, few(3), few(3)},
      {"", 101, few(0), few(0)},
  };
  testutil::TempDir dir;
  for (const auto& c : cases) {
    const std::string path = dir.write("g.txt", c.content);
    Reader rd(path);
    EXPECT_EQ(rd.format(), c.want) << c.content;
    EXPECT_EQ(rd.out(), with_path(c.out, path));
    EXPECT_EQ(rd.log(), with_path(c.log, path));
    EXPECT_EQ(rd.err(), "");
  }
  Reader rd(dir.file("none.txt"));
  EXPECT_EQ(rd.format(), 101);
  EXPECT_EQ(rd.out(),
            "which_data_format: Cannot open <" + dir.file("none.txt") + "> for reading\n");
  EXPECT_EQ(rd.log(), "");
  for (const auto& [file, want] : std::vector<std::pair<std::string, int>>{
           {"nancycats.gen", 0}, {"microbov.gen", 0}, {"microbov.csv", 1}})
    EXPECT_EQ(Reader(kData + file).format(), want) << file;
}

// ================================================================ own format

std::string small(const std::string& sep) {
  return "ID,L1,L1,L2,L2\n" + sep + ",North\nS1,200,203,301,301\nS2,200,200,0,0\n" + sep +
         ",South\nS3,203,207,299,301\n";
}

TEST(InputOwn_Read, SmallFileInEveryLayout) {
  // CR LF line ends, empty and blank lines, padding, a second word in a
  // population name, no newline at the end and a chosen separator read alike.
  testutil::TempDir dir;
  const std::string base = small("POP");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {base, ""},
      {crlf(base), ""},
      {"\n" + base.substr(0, base.size() - 1), ""},
      {"ID, L1 , L1,L2,L2\n\nPOP,North\n   \nS1,200,203,301,301\r\nS2,200,200,0,0\n\r\n"
       "POP, South Side\nS3,203,207,299,301",
       ""},
      {small("Pop"), "Pop"},
  };
  for (const auto& [content, sep] : cases) {
    Reader rd(dir.write("g.csv", content), sep);
    ASSERT_EQ(rd.read(kOwn), -1) << rd.err() << rd.out();
    EXPECT_EQ(rd.tables(),
              "loci L1 L2\npops North@0 South@2 end@3\nS1 p0 m3: 200 203 301 301\n"
              "S2 p0 m1: 200 200 0 0\nS3 p1 m3: 203 207 299 301\n");
    EXPECT_EQ(rd.out() + rd.err(), "");
  }
}

TEST(InputOwn_Read, MissingGenotypes) {
  // Either allele 0 makes the locus missing; only the literal text "0"
  // against a non-missing text is refused.
  testutil::TempDir dir;
  const std::vector<std::tuple<std::string, std::string, uint32_t>> cases = {
      {"0", "0", 2u}, {"00", "203", 2u}, {"203", "00", 2u}, {"000", "00", 2u}, {"5", "7", 3u}};
  for (const auto& [a, b, mask] : cases) {
    Reader rd(dir.write("g.csv", "ID,L1,L1,L2,L2\nPOP\nS1," + a + "," + b + ",1,1\n"));
    ASSERT_EQ(rd.read(kOwn), -1) << a << "," << b << rd.err();
    EXPECT_EQ(rd.rec(0).loci_mask, mask) << a << "," << b;
    EXPECT_EQ(rd.r.store.b_name[0], "");
  }
}

TEST(InputOwn_Read, LimitsAreInclusive) {
  // Names of exactly 20 characters, 32 loci, 100 populations; population
  // names are cut to 79 characters.
  std::string header = "ID";
  const std::string sample = "S2345678901234567890" + repeat(",1,2", 32);
  for (int k = 0; k < 32; ++k) {
    std::string name = "L" + std::string(k == 31 ? 19 : 2, char('a' + k % 26));
    header += "," + name + "," + name;
  }
  std::string content = header + "\n";
  for (int p = 0; p < 99; ++p) content += "POP,P" + to_string(p) + "\n" + sample + "\n";
  content += "POP, " + std::string(100, 'n') + "\n" + sample + "\n";
  testutil::TempDir dir;
  Reader rd(dir.write("g.csv", content));
  ASSERT_EQ(rd.read(kOwn), -1) << rd.err();
  EXPECT_EQ(rd.nloci, 32);
  EXPECT_EQ(rd.anim, 100);
  EXPECT_EQ(rd.nBlocks, 100);
  EXPECT_EQ(rd.rec(99).loci_mask, 0xFFFFFFFFu);
  EXPECT_EQ(rd.rec(99).name, "S2345678901234567890");
  EXPECT_EQ(rd.r.store.loc[31].name.size(), 20u);
  EXPECT_EQ(rd.r.store.b_name[98], "P98");
  EXPECT_EQ(rd.r.store.b_name[99], std::string(79, 'n'));
  EXPECT_EQ(rd.allele(99, 63), 2);
}

std::string own_pops(const std::vector<int>& sizes) {
  std::string s = "ID,L1,L1\n";
  int n = 0;
  for (size_t p = 0; p < sizes.size(); ++p) {
    s += "POP,P" + to_string(p) + "\n";
    for (int i = 0; i < sizes[p]; ++i) s += "S" + to_string(n++) + ",1,1\n";
  }
  return s;
}

std::string genepop_pops(const std::vector<int>& sizes) {
  std::string s = "Title\nL1\n";
  int n = 0;
  for (size_t p = 0; p < sizes.size(); ++p) {
    s += "POP\n";
    for (int i = 0; i < sizes[p]; ++i) s += "P" + to_string(p) + " s" + to_string(n++) + ", 0101\n";
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
  } cases[] = {
      {{5, 2, 4}, 3, {0, 5, 9}, {"P1"}},
      {{2, 5, 2}, 3, {0, 2, 7, 9}, {}},
      {{5, 1, 2, 4}, 3, {0, 5, 9}, {"P1", "P2"}},
      {{5, 2, 4}, 2, {0, 5, 7, 11}, {}},
  };
  testutil::TempDir dir;
  for (bool genepop : {kOwn, kGenepop}) {
    for (const auto& c : cases) {
      Reader rd(dir.write("g.txt", genepop ? genepop_pops(c.sizes) : own_pops(c.sizes)));
      rd.r.opt.m_option = 1;
      rd.r.opt.m_value = c.m;
      ASSERT_EQ(rd.read(genepop), -1) << rd.err() << rd.out();
      EXPECT_EQ(rd.blocks(), c.bounds) << "genepop " << genepop;
      EXPECT_EQ(rd.anim, c.bounds.back());
      std::string want;
      for (const auto& name : c.dropped)
        want += "Block " + name + " deleted as it had < m_value=" + to_string(c.m) + "\n";
      EXPECT_EQ(rd.out(), want);
      EXPECT_EQ(rd.log(), want);
      // The samples of a dropped population are overwritten by the next one.
      for (int p = 0; p + 1 < int(c.bounds.size()); ++p)
        for (int i = c.bounds[p]; i < c.bounds[p + 1]; ++i) EXPECT_EQ(rd.rec(i).block, p);
    }
  }
  // A reused index takes the new separator's name, or none.
  Reader rd(dir.write("g.csv", "ID,L1,L1\nPOP,A\nS1,1,1\nPOP,B\nS2,1,1\nPOP\nS3,1,1\nS4,1,1\n"));
  rd.r.opt.m_option = 1;
  rd.r.opt.m_value = 2;
  ASSERT_EQ(rd.read(kOwn), -1);
  EXPECT_EQ(rd.tables(),
            "loci L1\npops A@0 @1 end@3\nS1 p0 m1: 1 1\nS3 p1 m1: 1 1\nS4 p1 m1: 1 1\n");
}

TEST(InputOwn_Read, ExactlyAnimSamplesAndOneMore) {
  const std::string body = "ID,L1,L1\nPOP\n" + repeat("S,1,1\n", tarvo::ANIM);
  testutil::TempDir dir;
  Reader full(dir.write("full.csv", body));
  ASSERT_EQ(full.read(kOwn), -1);
  EXPECT_EQ(full.anim, tarvo::ANIM);
  Reader over(dir.write("over.csv", body + "T,2,2\n"));
  EXPECT_EQ(over.read(kOwn), 1);
  EXPECT_TRUE(Shows(over.err(), "...Last line read was : T,2,2\n   Samples read so far: " +
                                    to_string(tarvo::ANIM + 1)));
}

// ================================================================ refusals

// Each refusal ends the run with status 1. Numbered layout errors go to
// standard error alone, the others to standard output and to the log.
struct Refusal {
  const char* what;
  bool genepop;
  std::string content;
  std::string err, out;   // see testutil::Shows; '@' is the file's path
  std::string log = "=";  // "=" the same as standard output
  int max_samples = tarvo::ANIM;
  std::string separator = "";
};

void expect_refusal(const testutil::TempDir& dir, const Refusal& c) {
  SCOPED_TRACE(c.what);
  const std::string path = dir.write("g.txt", c.content);
  Reader rd(path, c.separator);
  EXPECT_EQ(rd.read(c.genepop, c.max_samples), 1);
  EXPECT_TRUE(Shows(rd.err(), with_path(c.err, path)));
  EXPECT_TRUE(Shows(rd.out(), with_path(c.out, path)));
  EXPECT_TRUE(Shows(rd.log(), with_path(c.log == "=" ? c.out : c.log, path)));
}

TEST(InputOwn_Refuse, EveryMessage) {
  const std::string u35(35, '_'), u87(87, '_');
  auto no_separator = [](const std::string& sep, const std::string& advice) {
    return "\n          In '-1 FILE' must define population structure immediately after allele "
           "header line with loci names\n"
           "          It appears that population number -1 has no samples. Is this correct?\n"
           "          It appears that population separator <" +
           sep + "> was not read in data. Please check.\n          " + advice +
           "\n          \n\n [name_of_population] is optional.  Example run file: \n \n"
           " This first line is required and can contain a description of data contents\n"
           " Locus1, Locus2, Locus3 \n POP [name_of_population_1]\n"
           " Sample_1,      200203 301320 300303\n Sample_2,              ...\n"
           " .                      ...\n Sample_(n),            ...\n"
           " POP [name_of_population_2]\n Sample_(n+1),          ...\n"
           " Sample_(n+2),          ...\n\n";
  };
  const std::string header33 = "ID" + repeat(",L,L", 33);
  const Refusal cases[] = {
      {"code 1", kOwn, "ID,L1,L1\nS1,1,1\n",
       no_separator("POP",
                    "Is the population separator POP used in your data. If not change using -k "
                    "option."),
       ""},
      {"code 1 with -k", kOwn, "ID,L1,L1\nPOP,A\nS1,1,1\n",
       no_separator("Group",
                    "The population separator defined in command line using '-k' was <Group>. "
                    "Is this correct?"),
       "", "=", tarvo::ANIM, "Group"},
      {"code 4", kOwn, "ID,L1,L1,Locus_name_of_21_char,Locus_name_of_21_char\n",
       "If GENEPOP format used check if 'POP' is at beginning of third line.\n"
       "Else if TARVO format:\n  Loci names can only be read with " +
           to_string(tarvo::SOL) +
           " characters. \n  Need to reduce length of locus name OR increase size of SOL and "
           "recompile\n  Last line read was: 1\n <ID,L1,L1,Locus_name_of_21_char,"
           "Locus_name_of_21_char\n>Else check that your data has the correct format (see TARVO "
           "manual).\n",
       ""},
      {"code 5", kOwn, header33 + "\n",
       "Need to increase size of NOL=" + to_string(tarvo::NOL) + " to read more loci\n", ""},
      {"code 6", kOwn, "ID,L1,L1,L2\n",
       "Read first allele but could not find second allele (L2)\nLine number 1\n"
       "Last line read was:\n ID,L1,L1,L2\n \n",
       ""},
      {"code 7", kOwn, "\nID\n", "No loci pairs were read in first line\n", ""},
      {"code 8", kOwn, "ID,L1,L1\nPOP\nSample_name_of_21_chr,1,1\n",
       "Sample names can only be read with " + to_string(tarvo::SOA) +
           " characters. \nNeed to increase size of SOA and recompile OR reduce length of name\n"
           "Last line read was: 3\n <Sample_name_of_21_chr,1,1\n>",
       ""},
      {"code 9", kOwn, "ID,L1,L1\n" + repeat("POP\nS,1,1\n", 101),
       "Too many populations read in dataset\nMaximum populations in this compiled program is:  "
       "BLOCK=" +
           to_string(tarvo::BLOCK) +
           "\nNeed to increase BLOCK parameter in tarvo.h and recompile\n",
       ""},
      {"code 10", kOwn, "ID,L1,L1,L2,L2\nPOP\nS1,200,203,301\n",
       "Read first allele number (301) but could not find second allele number \n"
       "Line number 3\nLast line read was:\n S1,200,203,301\n \n",
       ""},
      {"code 11", kOwn, "ID,L1,L1\nPOP\nS1" + repeat(",1,1", 33) + "\n",
       "read_base_pairs: Need to increase size of NOL=" + to_string(tarvo::NOL) +
           " to read more loci\n",
       ""},
      {"code 12", kOwn, "ID,L1,L1,L2,L2\nPOP,A\nS1,1,1,1,1\nS2,1,1,0,203\n",
       "\n\n" + u35 + "\nAllele pairs must both be missing\n" + u35 +
           "\nNon-missing allele is: <203>\n       Animal name is: S2\n"
           "       Locus  name is: L2\n       Line number is:   3\n"
           "       Line read is: S2,1,1,0,203\n\n",
       ""},
      // Line 7 of the file; shown as samples before (1) + population (1) + 2.
      {"code 12 line", kOwn, "ID,L1,L1\n\nPOP,A\nS1,1,1\nPOP,B\n\nS2,207,0\n",
       "...<207>\n       Animal name is: S2\n       Locus  name is: L1\n"
       "       Line number is:   4\n",
       ""},
      // Only the literal text "0" must be matched by another "0".
      {"code 12 zeros", kOwn, "ID,L1,L1\nPOP\nS1,000,0\n", "...Non-missing allele is: <000>\n", ""},
      {"code 13 fewer", kOwn, "ID,L1,L1,L2,L2\nPOP\nS1,1,1\n",
       "\n\n" + u87 +
           "\nLoci pairs (1) in current line do not match in number with those in header file "
           "(2)\n" +
           u87 +
           "\n       Animal name is: S1\n       Locus  name is: L2\n"
           "       Line number is:   2\n       Line read is: S1,1,1\n\n",
       ""},
      {"code 13 more", kOwn, "ID,L1,L1\nPOP\nS1,1,1,2,2\n", "...Loci pairs (2) in current line",
       ""},
      {"code 14", kOwn, "ID,L1,L1\nPOP\nS1,1,1\nS2,1,1\nS3,1,1\n",
       "read_base_pairs: Need to increase size of ANIM=" + to_string(tarvo::ANIM) +
           " to read more genotype records\n   Last line read was : S3,1,1\n"
           "   Samples read so far: 3",
       "", "=", 2},
      {"code 15", kOwn, "ID,L1,L1\nPOP,A\nS1,1,1\nPOP,B\nPOP,C\nS2,1,1\n",
       "\n          Make sure data is in TARVO format or use '-f' option to define GENEPOP data "
       "format \n\n",
       ""},
      {"allele names", kOwn, "ID,L1,L2\n", "",
       "          Pair of allele names do not match (L1) (L2) in first line of data. locus=1\n"
       "          Make sure data is in TARVO format or use '-f' option to define GENEPOP data "
       "format \n\n"},
      {"allele names locus 2", kOwn, "ID,L1,L1,L2,L3\n", "",
       "...(L2) (L3) in first line of data. locus=2\n"},
      {"first allele not a number", kOwn, "ID,L1,L1\nPOP\nS1,-1,1\n", "",
       "...Character found --> - <--  in \"-1\"\n"},
      {"allele not a number", kOwn, "ID,L1,L1,L2,L2\nPOP\nS1,1,1,2,2x\n", "",
       "...line 3 (field 5 ) \n           Character found --> x <--  in \"2x\"\n"
       "           Please check input file \"@\".\n"},
  };
  testutil::TempDir dir;
  for (const auto& c : cases) expect_refusal(dir, c);
  for (bool genepop : {kOwn, kGenepop}) {
    Reader rd(dir.file("none.txt"));
    EXPECT_EQ(rd.read(genepop), 1);
    EXPECT_EQ(rd.err(), "read_base_pairs: Cannot open input file <" + dir.file("none.txt") + ">\n");
  }
}

TEST(InputGenepop_Refuse, EveryMessage) {
  const Refusal cases[] = {
      {"no loci", kGenepop, "T\nPOP\nS, 0101\n", "",
       "Need loci names to be read. Did not read any (nloci=0)\n"},
      {"33 loci", kGenepop, "T\n" + repeat("L\n", 33) + "POP\n", "",
       "          If data is in GENEPOP format then possibly need to increase size of NOL=" +
           to_string(tarvo::NOL) +
           " and recompile source code to read more loci\n"
           "          Otherwise check that the population separator using the '-k STR' is "
           "correctly defined for the '-1 FILE'.\n"},
      {"locus too long", kGenepop, "T\nL1, Locus_name_of_21_char, L3\nPOP\n",
       "...Last line read was: 2\n <L1, Locus_name_of_21_char, L3\n>Else check", ""},
      {"last locus too long", kGenepop, "T\nL1, Locus_name_of_21_char\nPOP\n",
       "...Last line read was: 2\n <L1, Locus_name_of_21_char\n>Else check", ""},
      {"sample name too long", kGenepop, "T\nL\nPOP\nSample_name_of_21_chr, 0101\n",
       "...Last line read was: 4\n <Sample_name_of_21_chr, 0101\n>", ""},
      {"no comma", kGenepop, "T\nL\nPOP\n\nind1 0102 0304\n", "",
       "Must have comma after sample name then allele numbers. \n"
       "Line number 5\nLast line read was:\n ind1 0102 0304\n \n",
       "Must have comma after sample name then allele number. \n"
       "Line number 5\nLast line read was:\n ind1 0102 0304\n \n"},
      {"no alleles", kGenepop, "T\nL\nPOP\nind1,   \r\n", "",
       "No alleles after sample name (ind1)  \nLine number 4\nLast line read was:\n ind1,   \n \n"},
      {"three digits", kGenepop, "T\nL1, L2\nPOP\nind1, 0102 102\n", "",
       "Must have 4 or 6 integer characters per set of alleles. Read 3 integers in line 4.\n"},
      {"five digits", kGenepop, "T\nL1\nPOP\nind1, 01023\n", "", "...Read 5 integers in line 4.\n"},
      {"one genotype fewer", kGenepop, "T\nL1, L2, L3\nPOP\nind1, 0101 0202\n", "",
       "No. of loci names (3) is different from No. of alleles (2) in line (4)\n"},
      {"one fewer, trailing blank", kGenepop, "T\nL1, L2\nPOP\nind1, 0101 \n", "",
       "...No. of loci names (2) is different from No. of alleles (1)"},
      {"non-digit", kGenepop, "T\nL1, L2\nPOP\nind1, 0101 0a02\n", "",
       "...line 4 (field 3 ) \n           Character found --> a <--  in \"0a\"\n"
       "           Please check input file \"@\".\n"},
      {"too many populations", kGenepop, "T\nL\n" + repeat("POP\nS, 0101\n", 101),
       "...Too many populations read in dataset\n", ""},
      {"too many samples", kGenepop, "T\nL\nPOP\na, 0101\nb, 0101\nc, 0101\n",
       "...Last line read was : c, 0101\n   Samples read so far: 3", "", "=", 2},
      {"long line", kGenepop, "T\nL\nPOP\nind1," + repeat(" 0101", 80) + "\n",
       "...to read to end of line in file @\nLast line read was 4\n", ""},
      {"empty populations", kGenepop,
       "Title\nLoc1\nPOP\nind1, 0101\nPOP\nPOP\nind2, 0101\nPOP\nPOP\nind3, 0101\n", "",
       "OK OK\nPairwise comparisons need more than 1 animal per data block\n"
       "1 animal per data block is allowed but is only meaningfull when compared to other blocks\n"
       "To help you even more here are the names of data blocks that have < 1 sample in them\n\n"
       "     No.   Name of data block\n     ________________________________________\n"
       "     0     ind1\n     0     ind2\n"
       "\n\nI just want to let you know that I am not going to CRASH.\n"
       "I am simply going to STOP on my own accord to give you time to correct your data input "
       "file.\nKeep up the good work!\n"},
      // A first population without samples has no name.
      {"empty first population", kGenepop, "Title\nLoc1\nPOP\nPOP\nind1, 0101\n", "",
       "...________\n     0     \n\n\nI just"},
  };
  testutil::TempDir dir;
  for (const auto& c : cases) expect_refusal(dir, c);
}

// ================================================================ GENEPOP

TEST(InputGenepop_Read, SmallFile) {
  const std::string base = "Title\nLoc1, Loc2\nPOP\nind1, 0102 0304\nind2, 0101 0000\n";
  testutil::TempDir dir;
  for (const std::string& content : {base, crlf(base)}) {
    Reader rd(dir.write("g.gen", content));
    ASSERT_EQ(rd.read(kGenepop), -1) << rd.out();
    EXPECT_EQ(rd.tables(),
              "loci Loc1 Loc2\npops ind2@0 end@2\nind1 p0 m3: 1 2 3 4\nind2 p0 m1: 1 1 0 0\n");
    EXPECT_EQ(rd.out() + rd.err(), "");
  }
}

TEST(InputGenepop_Read, LocusListsOnOneLineOrSeveral) {
  testutil::TempDir dir;
  for (const std::string list : {"  Loc1 ,   Loc2 , Loc3 \r\n", "Loc1\r\n\r\nLoc2\r\nLoc3\r\n",
                                 "Loc1,Loc2\nLoc3\n", "Loc1, Loc2,\n  Loc3  \n"}) {
    Reader rd(dir.write("g.gen", "Title\n" + list + "POP\nS1, 0101 0202 0303\n"));
    ASSERT_EQ(rd.read(kGenepop), -1) << list << rd.out() << rd.err();
    EXPECT_EQ(rd.tables().substr(0, 20), "loci Loc1 Loc2 Loc3\n") << list;
  }
}

TEST(InputGenepop_Read, GenotypeForms) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"200203 0102", "m3: 200 203 1 2"},
      {"0102 200203", "m3: 1 2 200 203"},
      {"0100 0102", "m2: 1 0 1 2"},
      {"000102 0001", "m0: 0 102 0 1"},
      {"0102   0304   ", "m3: 1 2 3 4"},
      {"0102 0304 0506", "m3: 1 2 3 4"},  // one more than the loci: ignored
  };
  testutil::TempDir dir;
  for (const auto& [genotypes, want] : cases) {
    Reader rd(dir.write("g.gen", "T\nA, B\nPOP\nS1,   " + genotypes + "\n"));
    ASSERT_EQ(rd.read(kGenepop), -1) << genotypes << rd.out();
    EXPECT_EQ(rd.tables(), "loci A B\npops S1@0 end@1\nS1 p0 " + want + "\n");
  }
}

TEST(InputGenepop_Read, TitleNamesAndSeparators) {
  // The first line is the title even when empty; names keep inner blanks;
  // 'POP,' and 'POP something' open populations, 'POPULATION 1' does not.
  testutil::TempDir dir;
  Reader rd(dir.write("a.gen",
                      "\nLoc1\nPOPULATION 1\n  POP, first\nCat 12 a , 0101 0202\nPOP something\n"
                      "Dog, 0101 0202\n"));
  ASSERT_EQ(rd.read(kGenepop), -1) << rd.out();
  EXPECT_EQ(rd.tables(),
            "loci Loc1 POPULATION 1\npops Cat@0 Dog@1 end@2\nCat 12 a p0 m3: 1 1 2 2\n"
            "Dog p1 m3: 1 1 2 2\n");
  // A separator as the last line leaves an empty last population, unreported,
  // named like any empty one after the last sample read.
  Reader last(dir.write("b.gen", "T\nL\nPOP\nS1, 0101\nPOP\n"));
  ASSERT_EQ(last.read(kGenepop), -1);
  EXPECT_EQ(last.tables(), "loci L\npops S1@0 S1@1 end@1\nS1 p0 m1: 1 1\n");
  EXPECT_EQ(last.out(), "");
}

// ================================================================ published data

TEST(InputReaders_Published, NancyCatsWithPopSeparator) {
  Reader rd(kData + "nancycats.gen", "Pop");
  ASSERT_EQ(rd.read(kGenepop), -1) << rd.out() << rd.err();
  const std::string tables = rd.tables();
  EXPECT_TRUE(tables.starts_with(
      "loci fca8 fca23 fca43 fca45 fca77 fca78 fca90 fca96 fca37\n"
      "pops 1@0 2@10 3@32 4@44 5@67 6@82 7@93 8@107 9@117 10@126 11@137 12@157 13@171 14@184 "
      "15@201 16@212 17@224 end@237\n"
      "1 p0 m510: 0 0 4 9 4 4 1 3 9 9 3 6 9 9 8 8 10 10\n"));
  // The last line, without a newline: '17, 0912 0209 0204 0000 0609 0307 0808 0000 1010'.
  EXPECT_TRUE(tables.ends_with("\n17 p16 m375: 9 12 2 9 2 4 0 0 6 9 3 7 8 8 0 0 10 10\n"));
  EXPECT_EQ(tables.find('\r'), std::string::npos);
  int missing = 0;
  for (int i = 0; i < 237; ++i)
    for (int k = 0; k < 9; ++k) missing += !tarvo::locus_missing_bit(k, rd.rec(i).loci_mask);
  EXPECT_EQ(missing, 50);
}

TEST(InputReaders_Published, NancyCatsWithoutTheSeparatorOption) {
  // 'Pop' is then a locus name and the first sample line is taken for a
  // list of names, one of them far too long.
  Reader rd(kData + "nancycats.gen");
  EXPECT_EQ(rd.read(kGenepop), 1);
  EXPECT_TRUE(Shows(rd.err(), "...If GENEPOP format used check if 'POP' is at beginning"));
  EXPECT_TRUE(Shows(rd.err(), "...Last line read was: 12\n"));
}

TEST(InputReaders_Published, MicrobovGenepop) {
  Reader rd(kData + "microbov.gen");
  ASSERT_EQ(rd.read(kGenepop), -1) << rd.out() << rd.err();
  EXPECT_TRUE(rd.tables().starts_with(
      "loci INRA63 INRA5 ETH225 ILSTS5 HEL5 HEL1 INRA35 ETH152 INRA23 ETH10 HEL9 CSSM66 INRA32 "
      "ETH3 BM2113 BM1824 HEL13 INRA37 BM1818 ILSTS6 MM12 CSRM60 ETH185 HAUT24 HAUT27 TGLA227 "
      "TGLA126 TGLA122 TGLA53 SPS115\n"
      "pops AFBIBOR9552@0 AFBIZEB9502@50 AFBTLAG9452@100 AFBTND292@151 AFBTSOM9401@181 "
      "FRBTAUB9290@231 FRBTBAZ30540@281 FRBTBDA36124@328 FRBTBPN25811@389 FRBTCHA30896@420 "
      "FRBTGAS9205@475 FRBTLIM5137@525 FRBTMA29952@575 FRBTMBE1549@624 FRBTSAL9285@654 end@704\n"
      "AFBIBOR9503 p0 m1073741823: 183 183 137 141 "));
  // Genotypes with an allele 000 in the file, counted independently.
  int missing = 0;
  for (int i = 0; i < 704; ++i)
    for (int k = 0; k < 30; ++k) missing += !tarvo::locus_missing_bit(k, rd.rec(i).loci_mask);
  EXPECT_EQ(missing, 490);
}

TEST(InputReaders_Published, SpreadsheetExportWithALongHeaderIsRefused) {
  // microbov.csv's header is 402 characters: more than a line may hold.
  Reader rd(kData + "microbov.csv");
  EXPECT_EQ(rd.read(kOwn), 1);
  EXPECT_EQ(rd.err(), "Need to increase size of STR=" + to_string(tarvo::STR) +
                          " and recompile to read to end of line in file " + kData +
                          "microbov.csv\nLast line read was 1\n");
  EXPECT_EQ(rd.out(), "");
}

}  // namespace
