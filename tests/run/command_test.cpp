// Command-line parser, model selection, value checks and usage table.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/test_run.h"

namespace {

using testutil::slurp;

// One parse of a command line with standard output and error captured.
struct Parsed {
  int model = -1;   // what command_line returned, -1 when it ended the process
  int status = -1;  // the exit status when it ended the process
  std::string out, err;
  tarvo::Options opt;
};

Parsed parse(const std::vector<std::string>& words) {
  // The parser touches only the options and the standard streams, so one
  // (large) run context serves every case.
  static const auto run = std::make_unique<tarvo::Run>();
  Parsed p;
  run->io.out = std::tmpfile();
  run->io.err = std::tmpfile();
  std::vector<std::string> args{"./tarvo"};
  args.insert(args.end(), words.begin(), words.end());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  p.status = testutil::exit_status(
      [&] { p.model = tarvo::command_line(*run, int(args.size()), argv.data(), "tarvo"); });
  p.out = slurp(run->io.out);
  p.err = slurp(run->io.err);
  std::fclose(run->io.out);
  std::fclose(run->io.err);
  run->io.out = run->io.err = nullptr;
  p.opt = run->opt;
  return p;
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

bool has_usage(const std::string& out) {
  return out.find("Permitted options\n") != std::string::npos &&
         out.find(" 10       Create    tarvo -1 FILE -2 FILE -M NUM -p         dkprEHMR\n") !=
             std::string::npos;
}

std::string join(const std::vector<std::string>& v) {
  std::string s;
  for (auto& w : v) s += w + " ";
  return s;
}

// ---------------------------------------------------------------- parser

TEST(RunCommandLine, NormalisesClustersAndCountlessS) {
  struct Case {
    std::vector<std::string> in, out;  // out empty: refused, the words left alone
  } cases[] = {
      {{"x/tarvo", "-jz", "3", "-1", "data.txt", "-s"},
       {"x/tarvo", "-j", "-z", "3", "-1", "data.txt", "-s", "100", "--"}},
      {{"tarvo", "-s", "-w"}, {"tarvo", "-s", "100", "-w", "--"}},
      {{"tarvo", "-ws", "-1", "f"}, {"tarvo", "-w", "-s", "100", "-1", "f", "--"}},
      {{"tarvo", "-s", "--", "-1", "f"}, {"tarvo", "-s", "100", "--"}},
      {{"tarvo", "-s", "25"}, {"tarvo", "-s", "25", "--"}},
      {{"tarvo", "-e", "", "-k", ""}, {"tarvo", "-e", "", "-k", "", "--"}},
      {{"tarvo", "-1", "f", "stray"}, {}},
  };
  for (const auto& c : cases) {
    testutil::TestRun t;
    auto args = c.in;
    EXPECT_EQ(tarvo::get_command_line(t.r, "tarvo", "HbceEmnMrRsTYz", "12dk", "fjpw", args),
              c.out.empty() ? 0 : 1)
        << join(c.in);
    EXPECT_EQ(args, c.out.empty() ? c.in : c.out) << join(c.in);
    if (!c.out.empty()) {
      EXPECT_EQ(t.err(), "");
    }
  }
}

TEST(RunCommandLine, ShapeErrorsEndWithUsageAndStatusOne) {
  auto digits = [](char letter, char bad) {
    return std::string("\ntarvo: Option '-") + letter +
           "' not followed by a space before digits. Offending character was '" + bad + "'\n";
  };
  auto stray = [](const std::string& w) {
    return "\n\nUnknown option parameter: \"" + w + "\"\n\n";
  };
  struct Case {
    std::vector<std::string> words;
    std::string err;
  } cases[] = {
      {{"-1", "f", "-zj", "3"},
       "\ntarvo: Option '-z' not followed by space before option argument\n"},
      {{"-1", "f", "-z"}, "\ntarvo: Option '-z' not followed by space before option argument\n"},
      // The count-less -s is only allowed as the last letter of a cluster.
      {{"-1", "f", "-sj", "3"},
       "\ntarvo: Option '-s' not followed by space before option argument\n"},
      {{"-1", "-d", "x"}, "\ntarvo: String following option '-1' should not begin with '-' \n"},
      {{"-1", "f", "-e", "1.2.3x"},
       "\ntarvo: Argument following option '-e' has more than one '.' \n" + digits('e', 'x')},
      {{"-1", "f", "-z", "1.5"}, digits('z', '.')},
      {{"-1", "f", "-s", "5x"}, digits('s', 'x')},
      {{"-1", "f", "-o1", "x"}, "\n\ntarvo: Unrecognised command '-o1' \n\n"},
      {{"-1", "f", "-jx"}, "\n\ntarvo: Unrecognised command '-jx' \n\n"},
      {{"-1", "f", "-", "g.txt"}, stray("-") + stray("g.txt")},
      {{"-j", "one", "-1", "f", ""}, stray("one") + stray("")},
  };
  for (auto& c : cases) {
    auto p = parse(c.words);
    EXPECT_EQ(p.status, 1) << join(c.words);
    EXPECT_EQ(p.err, c.err) << join(c.words);
    EXPECT_TRUE(has_usage(p.out)) << join(c.words);
  }
}

TEST(RunCommandLine, SelectsModelAndStoresValues) {
  using O = tarvo::Options;
  struct Case {
    std::vector<std::string> words;
    int model;
    std::vector<std::pair<int O::*, int>> values;
  } cases[] = {
      {{"-1", "f"},
       1,
       {{&O::e_value, 100}, {&O::E_value, 100}, {&O::z_value, 5}, {&O::s_value, 100}}},
      {{"-1", "f", "-2", "g"}, 2, {}},
      {{"-1", "f", "-M", "500", "-Y", "0.57"}, 3, {{&O::Y_value, 57}}},
      {{"-1", "f", "-M", "500", "-T", "0.57"}, 3, {{&O::Y_value, 57}, {&O::Y_option, 1}}},
      {{"-2", "g", "-M", "500", "-Y", "0.8"}, 4, {}},
      {{"-1", "f", "-M", "500", "-E", "0.0001"}, 5, {{&O::E_value, 1}, {&O::e_value, 100}}},
      {{"-1", "f", "-2", "g", "-M", "500", "-m", "4"}, 6, {}},
      {{"-1", "f", "-M", "500", "-Y", "0.8", "-p"}, 7, {}},
      {{"-2", "g", "-M", "500", "-Y", "0.8", "-p"}, 8, {}},
      {{"-1", "f", "-2", "g", "-M", "500", "-p"}, 10, {}},
      // With the further options each model permits.
      {{"-1", "f", "-b", "0", "-c", "0", "-r", "4294", "-m", "3", "-f", "-j", "-w", "-z", "3"},
       1,
       {{&O::b_value, 0},
        {&O::c_value, 0},
        {&O::r_value, 4294},
        {&O::m_value, 3},
        {&O::f_option, 1},
        {&O::j_option, 1},
        {&O::w_option, 1},
        {&O::z_value, 2}}},
      {{"-1", "f", "-M", "500", "-E", "0.02", "-H", "40", "-R", "20", "-Y", "0.5"},
       3,
       {{&O::E_value, 200}, {&O::H_value, 40}, {&O::R_value, 20}, {&O::Y_value, 50}}},
      {{"-1", "f", "-M", "60", "-p", "-d", "x", "-k", "P", "-r", "3", "-R", "9", "-E", "0.1"},
       9,
       {{&O::M_value, 60}, {&O::R_value, 9}, {&O::E_value, 1000}, {&O::p_option, 1}}},
      {{"-1", "f", "-e", "0.05"}, 1, {{&O::e_value, 500}, {&O::E_value, 500}}},
      {{"-1", "f", "-e", "0.0001"}, 1, {{&O::e_value, 1}}},
      {{"-1", "f", "-s", "-w"}, 1, {{&O::s_value, 100}, {&O::s_option, 1}, {&O::w_option, 1}}},
      {{"-1", "f", "-s", "0"}, 1, {{&O::s_value, 100}}},
      {{"-1", "f", "-s", "10000"}, 1, {{&O::s_value, 10000}}},
      // the level index, one higher with -n 1000
      {{"-1", "f", "-n", "1000"}, 1, {{&O::z_value, 6}}},
      {{"-1", "f", "-z", "1"}, 1, {{&O::z_value, 0}}},
      {{"-1", "f", "-z", "1", "-n", "1000"}, 1, {{&O::z_value, 1}}},
      {{"-1", "f", "-z", "0", "-n", "1000"}, 1, {{&O::z_value, 0}}},
      {{"-1", "f", "-z", "50"}, 1, {{&O::z_value, 49}}},
  };
  for (auto& c : cases) {
    auto p = parse(c.words);
    ASSERT_EQ(p.model, c.model) << join(c.words) << p.err << p.out;
    for (const auto& [field, value] : c.values) EXPECT_EQ(p.opt.*field, value) << join(c.words);
    EXPECT_EQ(p.err, "") << join(c.words);
  }
}

TEST(RunCommandLine, FileOptionsAndOutputNames) {
  const char* suffix[9] = {"_freq.txt", "_miss.txt", "_pair.txt", "_pop.txt", "_stat.txt",
                           "_simm.txt", "_join.txt", "_loci.txt", "_log.txt"};
  auto p = parse({"-1", "geno.txt", "-2", "freq.txt", "-k", "Pop", "-w"});
  ASSERT_EQ(p.model, 2);
  EXPECT_EQ(p.opt.i_value[0], "geno.txt");
  EXPECT_EQ(p.opt.i_value[1], "freq.txt");
  EXPECT_EQ(p.opt.k_option, 1);
  EXPECT_EQ(p.opt.k_value, "Pop");
  auto q = parse({"-1", "geno.txt", "-d", "out/run7"});
  ASSERT_EQ(q.model, 1);
  EXPECT_EQ(q.opt.k_value, "POP");
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(p.opt.o_value[i], std::string("TARVO") + suffix[i]);
    EXPECT_EQ(p.opt.o_option[i], 0);
    EXPECT_EQ(q.opt.o_value[i], std::string("out/run7") + suffix[i]);
    EXPECT_EQ(q.opt.o_option[i], 1);
  }
}

TEST(RunCommandLine, PrefixLongerThanNameBufferIsRefused) {
  const std::size_t max = tarvo::NAMEBUF - 10;
  auto ok = parse({"-1", "f", "-d", std::string(max, 'a')});
  ASSERT_EQ(ok.model, 1) << ok.err;
  EXPECT_EQ(ok.opt.o_value[0].size(), max + 9);

  auto bad = parse({"-1", "f", "-d", std::string(max + 1, 'a')});
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.err,
            "tarvo: Error option d: prefix longer than " + std::to_string(max) + " characters\n");
  EXPECT_EQ(bad.out, "");
}

const std::string kNoticeT =
    "Option -T in version 1 has been replaced by option -Y in version 1.10\n"
    "Option -T is backward compatible in this version.\n";

TEST(RunCommandLine, DuplicatesEndWithUsage) {
  auto dup = [](char c) {
    return std::string("\n\nDuplicate option -") + c +
           " found on command line\nPlease check and run tarvo again\n\n";
  };
  struct Case {
    std::vector<std::string> words;
    std::string out_start;
  } cases[] = {
      {{"-1", "f", "-e", "0.01", "-e", "0.02"}, dup('e')},
      {{"-1", "f", "-1", "g"}, dup('1')},
      {{"-1", "f", "-jj"}, dup('j')},
      {{"-1", "f", "-M", "500", "-T", "0.8", "-Y", "0.9"}, kNoticeT + dup('Y')},
      {{"-1", "f", "-M", "500", "-T", "0.8", "-T", "0.9"}, kNoticeT + kNoticeT + dup('T')},
  };
  for (auto& c : cases) {
    auto p = parse(c.words);
    EXPECT_EQ(p.status, 1) << join(c.words);
    EXPECT_TRUE(p.out.starts_with(c.out_start)) << join(c.words) << p.out;
    EXPECT_TRUE(has_usage(p.out));
    EXPECT_EQ(p.err, "");
  }
}

// ---------------------------------------------------------------- models

TEST(RunModels, RefusedAndMissingOptionsNameTheModel) {
  auto inc = [](int m, const char* l) {
    return "\n\nLooks a bit like Model No: " + std::to_string(m) +
           " but with incompatible option -" + l + "\n";
  };
  auto needs = [](int m, const char* l) {
    return "\n\nLooks a bit like Model No: " + std::to_string(m) + " but also needs option -" + l +
           " defined\n";
  };
  const std::vector<std::string> analysis = {"-b", "1",  "-c",  "2",  "-e", "0.01", "-j", "-m",
                                             "5",  "-n", "200", "-s", "20", "-w",   "-z", "4"};
  auto create_lines = [&](int m) {
    std::string s;
    for (const char* l : {"b", "c", "e", "j", "m", "n", "s", "w", "z"}) s += inc(m, l);
    return s;
  };
  using W = std::vector<std::string>;
  struct Case {
    std::vector<std::string> words;
    std::string out;
  } cases[] = {
      {{},
       "\nNeed to specify a file for reading data.\n"
       "   Please read manual for further information.\n\n"},
      {{"-1", "f", "-E", "0.02"}, inc(1, "E")},
      {{"-1", "f", "-R", "3", "-Y", "0.8", "-E", "0.02"}, inc(1, "E") + inc(1, "Y") + inc(1, "R")},
      {{"-1", "f", "-2", "g", "-R", "3", "-T", "0.8", "-E", "0.02"},
       kNoticeT + inc(2, "E") + inc(2, "Y") + inc(2, "R")},
      {{"-1", "f", "-M", "500", "-Y", "0.8", "-m", "5", "-b", "0"}, inc(3, "b") + inc(3, "m")},
      {{"-1", "f", "-M", "500", "-m", "5", "-b", "0"}, inc(5, "b") + inc(5, "m")},
      {{"-2", "g", "-M", "500"}, needs(4, "Y")},
      {{"-2", "g", "-M", "500", "-b", "1", "-m", "3"}, needs(4, "Y") + inc(4, "b") + inc(4, "m")},
      {{"-1", "f", "-2", "g", "-M", "500", "-Y", "0.8", "-b", "1"}, inc(6, "b") + inc(6, "Y")},
      {{"-1", "f", "-M", "500", "-p", "-c", "5", "-n", "300"}, inc(9, "c") + inc(9, "n")},
      {W{"-1", "f", "-Y", "0.8", "-p"} + analysis, create_lines(7) + needs(7, "M")},
      {W{"-2", "g", "-Y", "0.8", "-p", "-M", "60"} + analysis, create_lines(8)},
      {W{"-1", "f", "-p"} + analysis, create_lines(9) + needs(9, "M")},
      {W{"-1", "f", "-2", "g", "-Y", "0.8", "-p"} + analysis,
       create_lines(10) + inc(10, "Y") + needs(10, "M")},
  };
  for (auto& c : cases) {
    auto p = parse(c.words);
    EXPECT_EQ(p.model, 0) << join(c.words);
    ASSERT_TRUE(p.out.starts_with(c.out)) << join(c.words) << p.out;
    EXPECT_TRUE(has_usage(p.out.substr(c.out.size()))) << join(c.words);
    EXPECT_EQ(p.err, "") << join(c.words);
  }
}

// ---------------------------------------------------------------- value checks

TEST(RunModels, ValueChecksReportEveryFailure) {
  const std::string anim = std::to_string(tarvo::ANIM), over = std::to_string(tarvo::ANIM + 1);
  auto E = [](const std::string& s) { return "tarvo: Error option " + s + "\n"; };
  auto s_warning = [](const char* s) {
    return "\ntarvo: Warning option -s=" + std::string(s) +
           " (Accepted range is: 10..10000)\ntarvo: Default 's' value is: s=100 \n";
  };
  const std::string no_R =
      "tarvo: Warning option R not defined (i.e. no recaptures simulated between two "
      "populations)\n";
  struct Case {
    std::vector<std::string> words;
    int model;  // 0 when refused
    std::string err;
  } cases[] = {
      {{"-1", "f",   "-M", "20", "-H", "10", "-R", "30", "-c", "11",
        "-e", "0.5", "-E", "0",  "-n", "50", "-s", "5",  "-z", "51"},
       0,
       E("R=30 should be less than H=10") + E("H=10 should be greater or equal to 20") +
           E("c=11 should be less than or equal to 10 ") +
           E("e=0.5000 (Accepted range is: 0.0001..0.2000)") +
           E("E=0.0000 (Accepted range is: 0.0001..0.2000)") +
           E("n=50 (Accepted range is: 100..1000)") +
           E("M=20 (Accepted range is: 50.." + anim + ")") +
           E("(R=30) should be less than or equal to (M/2)=20/2 ") + s_warning("5") +
           E("z=51 (Accepted range is: 1..50)")},
      {{"-2", "g"},
       0,
       E("Y must be defined with simulated data using allele frequencies with -2 option ") +
           E("M must be defined when only '-2 FILE' read.")},
      {{"-1", "f", "-b", "3", "-m", "2", "-n", "1001", "-s", "10001"},
       0,
       E("b=3 (Accepted range is: 0,1 or 2)") + E("m=2 should be greater or equal to 3") +
           E("n=1001 (Accepted range is: 100..1000)") + s_warning("10001")},
      {{"-1", "f", "-M", "500", "-H", "10"}, 0, no_R + E("H=10 should be greater or equal to 20")},
      {{"-1", "f", "-M", "500", "-H", "20"}, 5, no_R},
      // -Y is range-checked only with -R.
      {{"-1", "f", "-M", "500", "-Y", "0.49", "-R", "10"},
       0,
       E("Y=0.49 (Accepted range is: 0.50..1.00)")},
      {{"-1", "f", "-M", "500", "-Y", "0.49"}, 3, ""},
      {{"-1", "f", "-M", "100", "-R", "51"},
       0,
       E("(R=51) should be less than or equal to (M/2)=100/2 ")},
      {{"-1", "f", "-M", "100", "-R", "50"}, 5, ""},
      {{"-1", "f", "-M", over}, 0, E("M=" + over + " (Accepted range is: 50.." + anim + ")")},
      {{"-1", "f", "-M", anim}, 5, ""},
      {{"-1", "f", "-M", "50"}, 5, ""},
      {{"-1", "f", "-e", "0"}, 0, E("e=0.0000 (Accepted range is: 0.0001..0.2000)")},
      {{"-1", "f", "-e", "0.2001"}, 0, E("e=0.2001 (Accepted range is: 0.0001..0.2000)")},
      {{"-1", "f", "-z", "0"}, 0, E("z=0 (Accepted range is: 1..50)")},
      {{"-1", "f", "-z", "50", "-n", "1000"}, 0, E("z=51 (Accepted range is: 1..50)")},
      {{"-1", "f", "-n", "100", "-c", "10", "-b", "2", "-m", "3"}, 1, ""},
      // Values beyond an int are held at its largest.
      {{"-1", "f", "-z", "99999999999999", "-n", "1000", "-e", "99999999999"},
       0,
       E("e=214748.3647 (Accepted range is: 0.0001..0.2000)") +
           E("z=2147483647 (Accepted range is: 1..50)")},
  };
  for (auto& c : cases) {
    auto p = parse(c.words);
    EXPECT_EQ(p.model, c.model) << join(c.words);
    EXPECT_EQ(p.err, c.err) << join(c.words);
    EXPECT_EQ(has_usage(p.out), c.model == 0) << join(c.words);
  }
  // Unreachable from the command line, where the model check refuses first.
  testutil::TestRun t;
  EXPECT_EQ(tarvo::check_arguments(t.r, "prog"), 0);
  EXPECT_EQ(t.err(), "prog: Error  No input data file defined in argument list\n");
}

// ---------------------------------------------------------------- usage table

TEST(RunModels, UsageColumnsLineUpWithLongProgramName) {
  const char* letters[10] = {
      "bcdejkmnrswz",   "bcdejkmnrswz", "cdejknrswzEHMRY", "cdejknrswzEHMRY", "cdejknrswzEHMR",
      "cdejknrswzEHMR", "dkprEMHRY",    "dkprEMHRY",       "dkprEHMR",        "dkprEHMR"};
  for (const std::string& name : {std::string("t"), std::string("tarvo"), std::string(41, 'p')}) {
    testutil::TestRun t;
    EXPECT_EQ(tarvo::tarvo_usage(t.r, name), 1);
    const std::string text = t.out();
    std::vector<std::string> lines;
    std::size_t from = 0, nl;
    for (; (nl = text.find('\n', from)) != std::string::npos; from = nl + 1)
      lines.push_back(text.substr(from, nl - from));
    ASSERT_EQ(from, text.size());
    // rule, empty line, heading, rule, ten rows, rule
    ASSERT_EQ(lines.size(), 15u) << name;
    const std::string rule(73 + name.size(), '_');
    for (int i : {0, 3, 14}) EXPECT_EQ(lines[i], rule);
    EXPECT_EQ(lines[1], "");
    const std::size_t col = lines[2].find("Permitted options");
    EXPECT_EQ(lines[2].substr(0, 25), "Model     Type      Usage");
    EXPECT_EQ(lines[2].size(), col + 17);
    for (int m = 0; m < 10; ++m) {
      const std::string& row = lines[4 + m];
      EXPECT_EQ(row.substr(20, name.size()), name);
      EXPECT_EQ(row.substr(col - 1), std::string(" ") + letters[m]) << row;
    }
  }
}

}  // namespace
