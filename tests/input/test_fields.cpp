// Field operations and the numbered reader exits.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tarvo.h"

using tarvo::Run;

namespace {

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

// A run whose standard output, standard error and log are temporary files.
struct Captured {
  std::unique_ptr<Run> run = std::make_unique<Run>();
  Captured() {
    run->io.out = std::tmpfile();
    run->io.err = std::tmpfile();
    run->io.fp7 = std::tmpfile();
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
};

std::string repeat(char c, int n) {
  return std::string(size_t(n), c);
}

// ---------------------------------------------------------------- read_line

struct ReadCase {
  std::string content;
  std::vector<std::string> lines;  // pieces returned, in order
  std::vector<bool> too_long;
};

TEST(InputFields_ReadLine, HoldsAtMostOneBufferAndFlagsOnlyRealOverflow) {
  const int full = tarvo::STR - 1;
  const std::vector<ReadCase> cases = {
      {"", {}, {}},
      {"abc\n\nd", {"abc\n", "\n", "d"}, {false, false, false}},
      {"a\r\nb\r\n", {"a\r\n", "b\r\n"}, {false, false}},
      // The longest line that fits: STR-2 characters and the newline.
      {repeat('x', full - 1) + "\n", {repeat('x', full - 1) + "\n"}, {false}},
      // One more character leaves the newline outside the buffer.
      {repeat('x', full) + "\n", {repeat('x', full), "\n"}, {true, false}},
      // A full buffer at the very end of the file is a complete last line.
      {repeat('x', full), {repeat('x', full)}, {false}},
      {repeat('x', full + 1), {repeat('x', full), "x"}, {true, false}},
  };
  for (const auto& c : cases) {
    FILE* f = std::tmpfile();
    std::fwrite(c.content.data(), 1, c.content.size(), f);
    std::rewind(f);
    std::string line;
    bool too_long = true;
    for (size_t i = 0; i < c.lines.size(); ++i) {
      ASSERT_TRUE(tarvo::read_line(f, line, too_long)) << c.content.size() << " piece " << i;
      EXPECT_EQ(line, c.lines[i]);
      EXPECT_EQ(too_long, c.too_long[i]) << "piece " << i << " of " << c.content.size();
    }
    EXPECT_FALSE(tarvo::read_line(f, line, too_long));
    EXPECT_TRUE(line.empty());
    EXPECT_FALSE(too_long);
    std::fclose(f);
  }
}

// ---------------------------------------------------------------- check_int

TEST(InputFields_CheckInt, ConvertsDigitStrings) {
  const std::vector<std::pair<std::string, int>> cases = {
      {"0", 0}, {"000", 0}, {"", 0}, {"203", 203}, {"0102", 102}, {"2147483647", 2147483647}};
  for (const auto& [field, value] : cases) {
    Captured cap;
    EXPECT_EQ(tarvo::check_int(*cap.run, field, 1, 2, "f.txt"), value) << field;
    EXPECT_EQ(cap.out(), "");
  }
}

TEST(InputFields_CheckInt, RefusesAnyNonDigitOnLogAndStdout) {
  const std::vector<std::pair<std::string, char>> cases = {
      {"-1", '-'}, {"2.5", '.'}, {"1e3", 'e'}, {"+5", '+'}, {"12 ", ' '}, {"20x3", 'x'}};
  for (const auto& [field, bad] : cases) {
    Captured cap;
    EXPECT_EQ(cap.status([&] { tarvo::check_int(*cap.run, field, 7, 3, "geno.csv"); }), 1);
    const std::string want =
        "\ncheck_int: Non-numeric character (or '.' or '-') read in line 7 (field 3 ) \n"
        "           Character found --> " +
        std::string(1, bad) + " <--  in \"" + field +
        "\"\n"
        "           Please check input file \"geno.csv\".\n";
    EXPECT_EQ(cap.out(), want) << field;
    EXPECT_EQ(cap.log(), want) << field;
    EXPECT_EQ(cap.err(), "");
  }
}

TEST(InputFields_CheckInt, RefusesValuesBeyondThirtyTwoBits) {
  for (std::string field : {"2147483648", "4294967296", "99999999999999999999999"}) {
    Captured cap;
    EXPECT_EQ(cap.status([&] { tarvo::check_int(*cap.run, field, 4, 5, "g.gen"); }), 1);
    const std::string want =
        "\ncheck_int: Number too large read in line 4 (field 5 ) \n"
        "           Number found --> " +
        field +
        " <--\n"
        "           Please check input file \"g.gen\".\n";
    EXPECT_EQ(cap.out(), want);
    EXPECT_EQ(cap.log(), want);
    EXPECT_EQ(cap.err(), "");
  }
}

TEST(InputFields_CheckInt, WorksWithoutALog) {
  Captured cap;
  std::fclose(cap.run->io.fp7);
  cap.run->io.fp7 = nullptr;
  EXPECT_EQ(cap.status([&] { tarvo::check_int(*cap.run, "a", 1, 1, "f"); }), 1);
  EXPECT_NE(cap.out().find("Character found --> a <--"), std::string::npos);
  cap.run->io.fp7 = std::tmpfile();  // for the destructor
}

// ---------------------------------------------------------------- check_double

TEST(InputFields_CheckDouble, ConvertsDecimals) {
  const std::vector<std::pair<std::string, double>> cases = {
      {"0.25", 0.25}, {"", 0.0}, {".", 0.0}, {"5.", 5.0}, {"12", 12.0}, {".5", 0.5}};
  for (const auto& [field, value] : cases) {
    Captured cap;
    EXPECT_DOUBLE_EQ(tarvo::check_double(*cap.run, field, 1, 2, "f"), value) << field;
  }
}

TEST(InputFields_CheckDouble, RefusesSignsExponentsAndSecondPoint) {
  struct Case {
    std::string field;
    std::string want;
  };
  const std::string nonnum = "\ncheck_double: Non-numeric character read in line 9 (field 2)\n";
  const std::string points =
      "\ncheck_double: Single number had more than one decimal digit '.' in line 9 (field 2)\n";
  const std::string tail = "              Please check input file <freq.txt>.\n";
  const std::vector<Case> cases = {
      {"1e-3", nonnum + "              Character found --> e <-- \n" + tail},
      {"1-2", nonnum + "              Character found --> - <-- \n" + tail},
      {"-0.5", nonnum + "              Character found --> - <-- \n" + tail},
      {"1.2.3", points + "              Number found --> 1.2.3 <-- \n" + tail},
      // The second point is found before the character that follows it.
      {"1..x", points + "              Number found --> 1..x <-- \n" + tail},
      // A bad character before any second point is reported as such.
      {"1.x.2", nonnum + "              Character found --> x <-- \n" + tail},
  };
  for (const auto& c : cases) {
    Captured cap;
    EXPECT_EQ(cap.status([&] { tarvo::check_double(*cap.run, c.field, 9, 2, "freq.txt"); }), 1);
    EXPECT_EQ(cap.out(), c.want) << c.field;
    EXPECT_EQ(cap.log(), c.want) << c.field;
    EXPECT_EQ(cap.err(), "");
  }
}

// ---------------------------------------------------------------- tabtocsv

TEST(InputFields_TabToCsv, TabsBecomeCommasUnlessTheLineHasCommas) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"a\tb\t\tc\n", "a,b,,c\n"}, {"a,b c\n", "a,b c\n"}, {"plain\n", "plain\n"}};
  for (const auto& [in, want] : cases) {
    Captured cap;
    std::string line = in;
    tarvo::tabtocsv(*cap.run, line);
    EXPECT_EQ(line, want);
  }
}

TEST(InputFields_TabToCsv, RefusesCommasAndTabsTogether) {
  Captured cap;
  std::string line = "a,b\tc\n";
  EXPECT_EQ(cap.status([&] { tarvo::tabtocsv(*cap.run, line); }), 1);
  const std::string want =
      "Found both comma's and tabs in input file.  Can accept csv format or tab separated fields "
      "but not both.";
  EXPECT_EQ(cap.out(), want);
  EXPECT_EQ(cap.log(), want);
  EXPECT_EQ(cap.err(), "");
}

// ---------------------------------------------------------------- csver

TEST(InputFields_Csver, FillsEmptyFieldsAndBlanksTheCommas) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"A,,3\n", "A 0 3\n"},
      {",5, 6,\r\n", "0 5 6 0\r\n"},
      {"x, , y\n", "x 0 y\n"},
      {"Name,,\n", "Name 0 0\n"},
      {"Name,1,\r\n", "Name 1 0\r\n"},
      {",\n", "0 0\n"},
      {",,\n", "0 0 0\n"},
      {"S1,   200,  203\n", "S1 200 203\n"},
      // Blanks before a comma are not padding of the next field.
      {"a ,b\n", "a  b\n"},
      // The last line of a file may lack its newline.
      {"a,b,", "a b 0"},
      {"no commas here\n", "no commas here\n"},
      {"", ""},
  };
  for (const auto& [in, want] : cases) {
    std::string line = in;
    tarvo::csver(line);
    EXPECT_EQ(line, want) << "input '" << in << "'";
  }
}

TEST(InputFields_Csver, LengthensLinesBeyondTheBufferWithoutHarm) {
  std::string line = "N" + repeat(',', tarvo::STR) + "\n";
  tarvo::csver(line);
  std::string want = "N";
  for (int i = 0; i < tarvo::STR; ++i) want += " 0";
  EXPECT_EQ(line, want + "\n");
}

// ---------------------------------------------------------------- rem_* and has_char

TEST(InputFields_Remove, LeadingBlanksFieldsAndThroughACharacter) {
  struct Case {
    std::string op, in;
    char c;
    std::string want;
  };
  const std::vector<Case> cases = {
      {"blank", "   abc \n", 0, "abc \n"},
      {"blank", "\tabc", 0, "\tabc"},
      {"blank", "   ", 0, ""},
      {"string", "abc def\n", 0, " def\n"},
      {"string", "abc\n", 0, "\n"},
      {"string", "abc", 0, ""},
      {"string", " abc", 0, " abc"},
      {"char", "Loc1, Loc2\n", ',', " Loc2\n"},
      {"char", "Loc1\n, x", ',', "\n, x"},
      {"char", "abc", ',', ""},
      {"char", "ab\ncd\n", '\n', "cd\n"},
  };
  for (const auto& c : cases) {
    std::string text = c.in;
    if (c.op == "blank")
      tarvo::rem_blank(text);
    else if (c.op == "string")
      tarvo::rem_string(text);
    else
      tarvo::rem_string_char(text, c.c);
    EXPECT_EQ(text, c.want) << c.op << " on '" << c.in << "'";
  }
}

TEST(InputFields_HasChar, PositionAfterTheFirstCharacterOrZero) {
  const std::vector<std::tuple<std::string, char, int>> cases = {
      {"Sample_1 12 14\n", ' ', 8},
      {" x", ' ', 0},
      {"abc", ',', 0},
      {"", ',', 0},
      {",a,b", ',', 0},
      {"ind1, 0102", ',', 4},
      {"a,", ',', 1},
      {"ab cd ef", ' ', 2},
  };
  for (const auto& [text, c, want] : cases)
    EXPECT_EQ(tarvo::has_char(text, c), want) << "'" << text << "' for '" << c << "'";
}

// ---------------------------------------------------------------- fatal

TEST(InputFatal, EveryCodeWritesItsLinesToStandardErrorOnly) {
  using std::to_string;
  const std::string u35 = repeat('_', 35), u87 = repeat('_', 87);
  struct Case {
    int code;
    std::vector<std::string> s;
    int i1, i2, i3;
    std::string want;
  };
  const std::vector<Case> cases = {
      {2, {"nofile.csv"}, 0, 0, 0, "read_base_pairs: Cannot open input file <nofile.csv>\n"},
      {3,
       {"big.csv"},
       12,
       0,
       0,
       "Need to increase size of STR=" + to_string(tarvo::STR) +
           " and recompile to read to end of line in file big.csv\nLast line read was 12\n"},
      {4,
       {"ID,Averyveryverylonglocus\n"},
       1,
       0,
       0,
       "If GENEPOP format used check if 'POP' is at beginning of third line.\n"
       "Else if TARVO format:\n"
       "  Loci names can only be read with " +
           to_string(tarvo::SOL) +
           " characters. \n"
           "  Need to reduce length of locus name OR increase size of SOL and recompile\n"
           "  Last line read was: 1\n <ID,Averyveryverylonglocus\n>"
           "Else check that your data has the correct format (see TARVO manual).\n"},
      {5,
       {},
       0,
       0,
       0,
       "Need to increase size of NOL=" + to_string(tarvo::NOL) + " to read more loci\n"},
      {6,
       {"L2", "ID,L1,L1,L2\n"},
       1,
       0,
       0,
       "Read first allele but could not find second allele (L2)\n"
       "Line number 1\nLast line read was:\n ID,L1,L1,L2\n \n"},
      {7, {}, 0, 0, 0, "No loci pairs were read in first line\n"},
      {8,
       {"S,1\n"},
       5,
       0,
       0,
       "Sample names can only be read with " + to_string(tarvo::SOA) +
           " characters. \n"
           "Need to increase size of SOA and recompile OR reduce length of name\n"
           "Last line read was: 5\n <S,1\n>"},
      {9,
       {},
       0,
       0,
       0,
       "Too many populations read in dataset\n"
       "Maximum populations in this compiled program is:  BLOCK=" +
           to_string(tarvo::BLOCK) +
           "\nNeed to increase BLOCK parameter in tarvo.h and recompile\n"},
      {10,
       {"301", "S1,200,203,301\n"},
       4,
       0,
       0,
       "Read first allele number (301) but could not find second allele number \n"
       "Line number 4\nLast line read was:\n S1,200,203,301\n \n"},
      {11,
       {},
       0,
       0,
       0,
       "read_base_pairs: Need to increase size of NOL=" + to_string(tarvo::NOL) +
           " to read more loci\n"},
      {12,
       {"203", "S1", "L1", "S1,0,203\n"},
       3,
       0,
       0,
       "\n\n" + u35 + "\nAllele pairs must both be missing\n" + u35 +
           "\nNon-missing allele is: <203>\n"
           "       Animal name is: S1\n"
           "       Locus  name is: L1\n"
           "       Line number is:   3\n"
           "       Line read is: S1,0,203\n\n"},
      {13,
       {"S1", "L2", "S1,1,1\n"},
       1,
       2,
       3,
       "\n\n" + u87 +
           "\nLoci pairs (1) in current line do not match in number with those in header file "
           "(2)\n" +
           u87 +
           "\n"
           "       Animal name is: S1\n"
           "       Locus  name is: L2\n"
           "       Line number is:   3\n"
           "       Line read is: S1,1,1\n\n"},
      {14,
       {"S3,1,1\n"},
       3,
       0,
       0,
       "read_base_pairs: Need to increase size of ANIM=" + to_string(tarvo::ANIM) +
           " to read more genotype records\n   Last line read was : S3,1,1\n"
           "   Samples read so far: 3"},
      {15,
       {},
       0,
       0,
       0,
       "\n          Make sure data is in TARVO format or use '-f' option to define GENEPOP data "
       "format \n\n"},
      {0, {}, 0, 0, 0, ""},
      {16, {"x"}, 1, 2, 3, ""},
  };
  for (const auto& c : cases) {
    Captured cap;
    std::vector<std::string> s = c.s;
    s.resize(4);
    EXPECT_EQ(cap.status([&] {
      tarvo::fatal(*cap.run, c.code, s[0], s[1], s[2], s[3], c.i1, c.i2, c.i3);
    }),
              1);
    EXPECT_EQ(cap.err(), c.want) << "code " << c.code;
    EXPECT_EQ(cap.out(), "") << "code " << c.code;
    EXPECT_EQ(cap.log(), "") << "code " << c.code;
  }
}

TEST(InputFatal, CodeOneNamesTheSeparatorAndShowsAnExampleFile) {
  const std::string lead =
      "\n          In '-1 FILE' must define population structure immediately after allele header "
      "line with loci names\n"
      "          It appears that population number -1 has no samples. Is this correct?\n"
      "          It appears that population separator <Pop> was not read in data. Please "
      "check.\n";
  const std::string example =
      "          \n\n [name_of_population] is optional.  Example run file: \n \n"
      " This first line is required and can contain a description of data contents\n"
      " Locus1, Locus2, Locus3 \n"
      " POP [name_of_population_1]\n"
      " Sample_1,      200203 301320 300303\n"
      " Sample_2,              ...\n"
      " .                      ...\n"
      " Sample_(n),            ...\n"
      " POP [name_of_population_2]\n"
      " Sample_(n+1),          ...\n"
      " Sample_(n+2),          ...\n\n";
  for (int k_option : {0, 1}) {
    Captured cap;
    cap.run->opt.k_option = k_option;
    EXPECT_EQ(cap.status([&] { tarvo::fatal(*cap.run, 1, "Pop", "", "", "", -1); }), 1);
    const std::string middle =
        k_option ? "          The population separator defined in command line using '-k' was "
                   "<Pop>. Is this correct?\n"
                 : "          Is the population separator POP used in your data. If not change "
                   "using -k option.\n";
    EXPECT_EQ(cap.err(), lead + middle + example);
    EXPECT_EQ(cap.out(), "");
  }
}

}  // namespace
