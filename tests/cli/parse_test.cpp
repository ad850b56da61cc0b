#include <gtest/gtest.h>

#include <sstream>

#include "cli/options.h"

namespace tarvo::cli {
namespace {

struct Parsed {
  std::ostringstream out, err;
  report::Console console{&out, &err};
  Options parse(std::vector<std::string> args) {
    args.insert(args.begin(), "tarvo");
    return parse_options(args, "tarvo", console);
  }
};

// Each entry holds its value where its kind says, and a letter has one entry.
TEST(OptionTable, EveryEntryIsComplete) {
  std::string letters;
  for (const OptionEntry& entry : OPTION_TABLE) {
    EXPECT_EQ(letters.find(entry.letter), std::string::npos) << entry.letter;
    letters += entry.letter;
    const bool numeric = entry.kind == OptionKind::Integer || entry.kind == OptionKind::Decimal ||
                         entry.kind == OptionKind::Level;
    EXPECT_EQ(entry.number != nullptr, numeric) << entry.letter;
    EXPECT_EQ(entry.text != nullptr, entry.kind == OptionKind::Text) << entry.letter;
    EXPECT_EQ(entry.flag != nullptr, entry.kind == OptionKind::Flag) << entry.letter;
    EXPECT_EQ(entry.kind == OptionKind::Decimal, entry.scale > 1) << entry.letter;
    EXPECT_TRUE(entry.range == RangeText::None || entry.number != nullptr) << entry.letter;
    if (entry.long_name != nullptr) {
      EXPECT_EQ(find_long_option(entry.long_name), &entry);
    }
    if (entry.letter != 0) {
      EXPECT_EQ(find_option(entry.letter), &entry);
      continue;
    }
    // An option with only a long name is a flag, listed by that name.
    ASSERT_NE(entry.long_name, nullptr);
    EXPECT_EQ(entry.kind, OptionKind::Flag) << entry.long_name;
  }
  EXPECT_EQ(find_option('i'), nullptr);
  EXPECT_EQ(find_option('\0'), nullptr);
}

TEST(ParseOptions, ClusteredLettersTakeTheNextWord) {
  Parsed p;
  const Options o = p.parse({"-jz", "3", "-1", "a.gen"});
  EXPECT_TRUE(o.composites);
  EXPECT_TRUE(o.level.given);
  EXPECT_EQ(o.level.value, 2);  // counted from 0
  EXPECT_EQ(o.genotype_file.value, "a.gen");
  EXPECT_FALSE(o.frequency_file.given);
}

TEST(ParseOptions, DecimalValuesAreExactScaledIntegers) {
  Parsed p;
  const Options o = p.parse({"-e", "0.57", "-Y", "0.29", "-1", "a"});
  EXPECT_EQ(o.error_scaled.value, 5700);
  EXPECT_EQ(o.score_percent.value, 29);
  EXPECT_DOUBLE_EQ(o.error(), 0.57);
  // -E follows -e unless given.
  EXPECT_EQ(o.retype_error_scaled.value, 5700);
  EXPECT_FALSE(o.retype_error_scaled.given);
}

TEST(ParseOptions, CountlessRunsTakeTheDefault) {
  Parsed at_end;
  EXPECT_EQ(at_end.parse({"-1", "a", "-s"}).runs.value, 100);
  Parsed before_option;
  const Options o = before_option.parse({"-s", "-j", "-1", "a"});
  EXPECT_EQ(o.runs.value, 100);
  EXPECT_TRUE(o.runs.given);
  EXPECT_TRUE(o.composites);
}

TEST(ParseOptions, WordsAfterDoubleDashAreRefusedAsStrays) {
  Parsed bare;
  EXPECT_TRUE(bare.parse({"-1", "a", "--"}).genotype_file.given);
  Parsed p;
  EXPECT_THROW((void)p.parse({"-1", "a", "--", "-q", "stray"}), Exit);
  EXPECT_NE(p.err.str().find("Unknown option parameter: \"-q\""), std::string::npos);
  EXPECT_NE(p.err.str().find("Unknown option parameter: \"stray\""), std::string::npos);
}

// An empty word must not read as 0 (which -c, -b and -r accept).
TEST(ParseOptions, EmptyNumbersAreRefused) {
  for (const char* letter : {"-c", "-r", "-b", "-R", "-s", "-e", "-Y", "-z", "-n"}) {
    Parsed p;
    SCOPED_TRACE(letter);
    EXPECT_THROW((void)p.parse({"-1", "a", letter, ""}), Exit);
    EXPECT_NE(p.err.str().find(std::string("Argument following option '") + letter + "' is empty"),
              std::string::npos);
  }
}

TEST(ParseOptions, SetsOfAThousandCountLevelsFromZero) {
  Parsed p;
  const Options o = p.parse({"-n", "1000", "-z", "1", "-1", "a"});
  EXPECT_EQ(o.level.value, 1);
  EXPECT_EQ(o.shown_level(o.level.value), 1);
}

TEST(ParseOptions, SeedsCoverTheUnsigned32BitRangeOnly) {
  Parsed p;
  EXPECT_EQ(p.parse({"-r", "0004294967295"}).seed.value, 4294967295u);
  EXPECT_THROW((void)p.parse({"-r", "4294967296"}), Exit);
  EXPECT_THROW((void)p.parse({"-r", "99999999999999999999"}), Exit);
}

TEST(ParseOptions, QuietLongAndShortAndClustered) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"-1", "a", "-q"}, {"-1", "a", "--quiet"}, {"-jq", "-1", "a"}}) {
    Parsed p;
    EXPECT_TRUE(p.parse(args).quiet);
  }
  Parsed p;
  EXPECT_FALSE(p.parse({"-1", "a"}).quiet);
  // After "--" the long name is a stray word, as any other.
  EXPECT_THROW((void)p.parse({"-1", "a", "--", "--quiet"}), Exit);
}

TEST(ParseOptions, FastOnlyAsAWholeWord) {
  Parsed p;
  EXPECT_FALSE(p.parse({"-1", "a"}).fast);
  EXPECT_TRUE(p.parse({"--fast", "-1", "a"}).fast);
  // Given twice it is still one mode, not a duplicate.
  EXPECT_TRUE(p.parse({"-1", "a", "--fast", "--fast"}).fast);
  for (const std::vector<std::string>& args : {std::vector<std::string>{"-1", "a", "--fas"},
                                               {"-1", "a", "--fastest"},
                                               {"-1", "a", "-fast"},
                                               {"-1", "a", "--", "--fast"}}) {
    Parsed refused;
    EXPECT_THROW((void)refused.parse(args), Exit) << args[2];
  }
}

// The fast row closes the listing, and only when set: default runs list as
// they always have.
TEST(ListOptions, FastRowOnlyWhenSet) {
  Parsed p;
  Options o = p.parse({"-1", "a"});
  std::ostringstream plain;
  list_options(plain, o, 1);
  EXPECT_EQ(plain.str().find("--fast"), std::string::npos);
  o.fast = true;
  std::ostringstream fast;
  list_options(fast, o, 1);
  const std::string row = "             -z    0        6\n         --fast    1\n";
  EXPECT_NE(fast.str().find(row), std::string::npos) << fast.str();
}

TEST(ParseOptions, GrammarFailuresExitWithUsage) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"-x"}, {"-1", "a", "-1", "b"}, {"-e", "1x"}, {"-1"}, {"stray"}}) {
    Parsed p;
    EXPECT_THROW((void)p.parse(args), Exit);
    EXPECT_NE(p.out.str().find("Permitted options"), std::string::npos);
  }
}

}  // namespace
}  // namespace tarvo::cli
