#include "cli/models.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace tarvo::cli {
namespace {

Model model_of(std::vector<std::string> args) {
  std::ostringstream out, err;
  report::Console console(&out, &err);
  args.insert(args.begin(), "tarvo");
  return select_model(parse_options(args, "tarvo", console), console);
}

TEST(SelectModel, EveryModelFromItsOptions) {
  EXPECT_EQ(number(model_of({"-1", "a"})), 1);
  EXPECT_EQ(number(model_of({"-1", "a", "-2", "f"})), 2);
  EXPECT_EQ(number(model_of({"-1", "a", "-M", "60", "-Y", "0.8"})), 3);
  EXPECT_EQ(number(model_of({"-2", "f", "-M", "60", "-Y", "0.8"})), 4);
  EXPECT_EQ(number(model_of({"-1", "a", "-M", "60"})), 5);
  EXPECT_EQ(number(model_of({"-1", "a", "-2", "f", "-M", "60"})), 6);
  EXPECT_EQ(number(model_of({"-1", "a", "-M", "60", "-Y", "0.8", "-p"})), 7);
  EXPECT_EQ(number(model_of({"-2", "f", "-M", "60", "-Y", "0.8", "-p"})), 8);
  EXPECT_EQ(number(model_of({"-1", "a", "-M", "60", "-p"})), 9);
  EXPECT_EQ(number(model_of({"-1", "a", "-2", "f", "-M", "60", "-p"})), 10);
}

// Each trait of a model is the option that selects it.
TEST(SelectModel, TraitsFollowTheOptionsThatSelect) {
  const std::vector<std::vector<std::string>> lines = {{"-1", "a"},
                                                       {"-1", "a", "-2", "f"},
                                                       {"-1", "a", "-M", "60", "-Y", "0.8"},
                                                       {"-2", "f", "-M", "60", "-Y", "0.8"},
                                                       {"-1", "a", "-2", "f", "-M", "60", "-p"},
                                                       {"-1", "a", "-M", "60", "-p"}};
  for (const std::vector<std::string>& line : lines) {
    const auto has = [&](const char* letter) {
      return std::find(line.begin(), line.end(), letter) != line.end();
    };
    const ModelTraits& t = traits(model_of(line));
    EXPECT_EQ(t.real_data, !has("-M")) << line.size();
    EXPECT_EQ(t.creates_only, has("-p")) << line.size();
    EXPECT_EQ(t.frequency_file, has("-2")) << line.size();
    EXPECT_EQ(t.drawn_masks, has("-Y")) << line.size();
  }
}

TEST(SelectModel, RefusedAndMissingOptions) {
  EXPECT_EQ(model_of({}), Model::None);
  EXPECT_EQ(model_of({"-1", "a", "-R", "3"}), Model::None);
  EXPECT_EQ(model_of({"-2", "f", "-M", "60"}), Model::None);       // model 4 needs -Y
  EXPECT_EQ(model_of({"-1", "a", "-p", "-c", "3"}), Model::None);  // create-only needs -M, no -c
}

TEST(SelectModel, RefusalsInTheirOrderNameTheModel) {
  std::ostringstream out, err;
  report::Console console(&out, &err);
  const std::vector<std::string> args = {"tarvo", "-R", "2", "-Y", "0.8", "-E", "0.1", "-1", "a"};
  EXPECT_EQ(select_model(parse_options(args, "tarvo", console), console), Model::None);
  EXPECT_EQ(out.str(),
            "\n\nLooks a bit like Model No: 1 but with incompatible option -E\n"
            "\n\nLooks a bit like Model No: 1 but with incompatible option -Y\n"
            "\n\nLooks a bit like Model No: 1 but with incompatible option -R\n");
}

TEST(CheckValues, RangesAndTheQuietDefaultOfRuns) {
  std::ostringstream out, err;
  report::Console console(&out, &err);
  const std::vector<std::string> args = {"tarvo", "-1", "a", "-s", "0"};
  Options o = parse_options(args, "tarvo", console);
  EXPECT_TRUE(check_values(o, "tarvo", console));
  EXPECT_EQ(o.runs.value, 100);
  const std::vector<std::string> bad = {"tarvo", "-1", "a", "-e", "0.5", "-b", "3"};
  Options b = parse_options(bad, "tarvo", console);
  EXPECT_FALSE(check_values(b, "tarvo", console));
  EXPECT_NE(err.str().find("Error option e=0.5000"), std::string::npos);
  EXPECT_NE(err.str().find("Error option b=3"), std::string::npos);
}

struct Checked {
  std::ostringstream out, err;
  report::Console console{&out, &err};
  bool check(std::vector<std::string> args) {
    args.insert(args.begin(), "tarvo");
    Options o = parse_options(args, "tarvo", console);
    return check_values(o, "tarvo", console);
  }
};

TEST(CheckValues, ScoringProbabilityInRangeWithOrWithoutRecaptures) {
  for (const char* y : {"99999", "0.01", "0.49", "1.01"}) {
    for (const bool recaptures : {false, true}) {
      SCOPED_TRACE(std::string(y) + (recaptures ? " with -R" : ""));
      std::vector<std::string> args = {"-1", "a", "-M", "60", "-Y", y};
      if (recaptures) args.insert(args.end(), {"-R", "5"});
      Checked c;
      EXPECT_FALSE(c.check(args));
      EXPECT_NE(c.err.str().find("(Accepted range is: 0.50..1.00)"), std::string::npos);
    }
  }
  Checked c;
  EXPECT_TRUE(c.check({"-1", "a", "-M", "60", "-T", "0.5", "-p"}));
  EXPECT_TRUE(c.check({"-2", "f", "-M", "60", "-Y", "1"}));
}

// Levels are numbered from 0 with 1000 sets: the message gives the number
// typed and the range in that numbering.
TEST(CheckValues, LevelOutOfRangeAsTyped) {
  Checked thousand;
  EXPECT_FALSE(thousand.check({"-1", "a", "-n", "1000", "-z", "50"}));
  EXPECT_EQ(thousand.err.str(), "tarvo: Error option z=50 (Accepted range is: 0..49)\n");
  EXPECT_TRUE(thousand.check({"-1", "a", "-n", "1000", "-z", "0"}));
  Checked usual;
  EXPECT_FALSE(usual.check({"-1", "a", "-z", "0"}));
  EXPECT_FALSE(usual.check({"-1", "a", "-z", "51"}));
  EXPECT_EQ(usual.err.str(),
            "tarvo: Error option z=0 (Accepted range is: 1..50)\n"
            "tarvo: Error option z=51 (Accepted range is: 1..50)\n");
  EXPECT_TRUE(usual.check({"-1", "a", "-z", "50"}));
}

}  // namespace
}  // namespace tarvo::cli
