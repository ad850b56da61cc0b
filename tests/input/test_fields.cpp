// Field operations and number checks shared by the readers. The numbered
// reader exits are checked through the readers that provoke them.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "common/input_helpers.h"

namespace {

using testutil::exit_status;
using testutil::repeat;
using testutil::Shows;
using testutil::TestRun;

TEST(InputFields_ReadLine, HoldsAtMostOneBufferAndFlagsOnlyRealOverflow) {
  const std::string full = repeat("x", tarvo::STR - 1);
  struct Case {
    std::string content;
    std::vector<std::pair<std::string, bool>> pieces;  // text, too long
  } cases[] = {
      {"", {}},
      {"abc\n\nd", {{"abc\n", false}, {"\n", false}, {"d", false}}},
      {"a\r\nb\r\n", {{"a\r\n", false}, {"b\r\n", false}}},
      // The longest line that fits: STR-2 characters and the newline.
      {full.substr(1) + "\n", {{full.substr(1) + "\n", false}}},
      // One more character leaves the newline outside the buffer.
      {full + "\n", {{full, true}, {"\n", false}}},
      // A full buffer at the very end of the file is a complete last line.
      {full, {{full, false}}},
      {full + "x", {{full, true}, {"x", false}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.content.size());
    FILE* f = std::tmpfile();
    std::fwrite(c.content.data(), 1, c.content.size(), f);
    std::rewind(f);
    std::string line;
    bool too_long = true;
    for (const auto& [text, flag] : c.pieces) {
      ASSERT_TRUE(tarvo::read_line(f, line, too_long));
      EXPECT_EQ(line, text);
      EXPECT_EQ(too_long, flag);
    }
    EXPECT_FALSE(tarvo::read_line(f, line, too_long));
    EXPECT_TRUE(line.empty());
    EXPECT_FALSE(too_long);
    std::fclose(f);
  }
}

// Both checks stop at the first bad field with a message on the log and on
// standard output alike.
TEST(InputFields_NumberChecks, WholeNumbersUpToThirtyTwoBitsAndDecimals) {
  struct Case {
    bool decimal;
    std::string field;
    double value;
    std::string msg;  // "" when accepted
  } cases[] = {
      {false, "0102", 102, ""},
      {false, "", 0, ""},
      {false, "2147483647", 2147483647, ""},
      {false, "20x3", 0,
       "\ncheck_int: Non-numeric character (or '.' or '-') read in line 9 (field 2 ) \n"
       "           Character found --> x <--  in \"20x3\"\n"
       "           Please check input file \"f.txt\".\n"},
      {false, "-1", 0, "...Character found --> - <--  in \"-1\"\n"},
      {false, "12 ", 0, "...Character found -->   <--  in \"12 \"\n"},
      {false, "2147483648", 0,
       "\ncheck_int: Number too large read in line 9 (field 2 ) \n"
       "           Number found --> 2147483648 <--\n"
       "           Please check input file \"f.txt\".\n"},
      // Far beyond 64 bits as well.
      {false, "99999999999999999999999", 0, "...Number found --> 99999999999999999999999 <--\n"},
      {true, "0.25", 0.25, ""},
      {true, "", 0, ""},
      {true, ".", 0, ""},
      {true, "5.", 5, ""},
      {true, "-0.5", 0,
       "\ncheck_double: Non-numeric character read in line 9 (field 2)\n"
       "              Character found --> - <-- \n"
       "              Please check input file <f.txt>.\n"},
      {true, "1.2.3", 0,
       "\ncheck_double: Single number had more than one decimal digit '.' in line 9 (field 2)\n"
       "              Number found --> 1.2.3 <-- \n"
       "              Please check input file <f.txt>.\n"},
      // Whichever comes first decides: the second point, or a bad character.
      {true, "1..x", 0, "...Number found --> 1..x <-- \n"},
      {true, "1.x.2", 0, "...Character found --> x <-- \n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.field);
    TestRun t;
    double value = -1;
    EXPECT_EQ(exit_status([&] {
                value = c.decimal ? tarvo::check_double(t.r, c.field, 9, 2, "f.txt")
                                  : tarvo::check_int(t.r, c.field, 9, 2, "f.txt");
              }),
              c.msg.empty() ? -1 : 1);
    EXPECT_DOUBLE_EQ(value, c.msg.empty() ? c.value : -1);
    EXPECT_TRUE(Shows(t.out(), c.msg));
    EXPECT_TRUE(Shows(t.log(), c.msg));
    EXPECT_EQ(t.err(), "");
  }
  // Without a log the message still reaches standard output.
  TestRun t;
  std::fclose(t.r.io.fp7);
  t.r.io.fp7 = nullptr;
  EXPECT_EQ(exit_status([&] { tarvo::check_int(t.r, "a", 1, 1, "f"); }), 1);
  EXPECT_TRUE(Shows(t.out(), "...Character found --> a <--"));
}

TEST(InputFields_TabToCsv, TabsBecomeCommasUnlessTheLineHasCommas) {
  for (const auto& [in, want] : std::vector<std::pair<std::string, std::string>>{
           {"a\tb\t\tc\n", "a,b,,c\n"}, {"a,b c\n", "a,b c\n"}}) {
    TestRun t;
    std::string line = in;
    tarvo::tabtocsv(t.r, line);
    EXPECT_EQ(line, want);
  }
  TestRun t;
  std::string line = "a,b\tc\n";
  EXPECT_EQ(exit_status([&] { tarvo::tabtocsv(t.r, line); }), 1);
  const std::string want =
      "Found both comma's and tabs in input file.  Can accept csv format or tab separated fields "
      "but not both.";
  EXPECT_EQ(t.out(), want);
  EXPECT_EQ(t.log(), want);
  EXPECT_EQ(t.err(), "");
}

TEST(InputFields_Csver, FillsEmptyFieldsAndBlanksTheCommas) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"A,,3\n", "A 0 3\n"},
      {",5, 6,\r\n", "0 5 6 0\r\n"},
      {"x, , y\n", "x 0 y\n"},
      {",,\n", "0 0 0\n"},
      {"S1,   200,  203\n", "S1 200 203\n"},
      // Blanks before a comma are not padding of the next field.
      {"a ,b\n", "a  b\n"},
      // The last line of a file may lack its newline.
      {"a,b,", "a b 0"},
      {"no commas here\n", "no commas here\n"},
      {"", ""},
      // The line grows past the reader's buffer without harm.
      {"N" + repeat(",", tarvo::STR) + "\n", "N" + repeat(" 0", tarvo::STR) + "\n"},
  };
  for (const auto& [in, want] : cases) {
    std::string line = in;
    tarvo::csver(line);
    EXPECT_EQ(line, want) << "input '" << in << "'";
  }
}

TEST(InputFields_Remove, LeadingBlanksFieldsAndThroughACharacter) {
  struct Case {
    char op;  // 'b' rem_blank, 's' rem_string, else rem_string_char with op
    std::string in, want;
  } cases[] = {
      {'b', "   abc \n", "abc \n"},     {'b', "\tabc", "\tabc"},     {'b', "   ", ""},
      {'s', "abc def\n", " def\n"},     {'s', "abc\n", "\n"},        {'s', "abc", ""},
      {',', "Loc1, Loc2\n", " Loc2\n"}, {',', "Loc1\n, x", "\n, x"}, {',', "abc", ""},
      {'\n', "ab\ncd\n", "cd\n"},
  };
  for (const auto& c : cases) {
    std::string text = c.in;
    if (c.op == 'b')
      tarvo::rem_blank(text);
    else if (c.op == 's')
      tarvo::rem_string(text);
    else
      tarvo::rem_string_char(text, c.op);
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
      {"a,", ',', 1},
  };
  for (const auto& [text, c, want] : cases)
    EXPECT_EQ(tarvo::has_char(text, c), want) << "'" << text << "' for '" << c << "'";
}

TEST(InputFatal, UnknownCodeStopsWithoutAWord) {
  for (int code : {0, 16}) {
    TestRun t;
    EXPECT_EQ(exit_status([&] { tarvo::fatal(t.r, code, "x", "", "", "", 1, 2, 3); }), 1);
    EXPECT_EQ(t.err() + t.out() + t.log(), "");
  }
}

}  // namespace
