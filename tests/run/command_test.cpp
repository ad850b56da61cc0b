// Command-line parser, model selection, value checks and usage table.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tarvo.h"

namespace {

using tarvo::Run;

std::string slurp(FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string text;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  return text;
}

// One parse of a command line with standard output and error captured.
struct Parsed {
  int model = -1;   // what command_line returned, -1 when it ended the process
  int status = -1;  // the exit status when it ended the process
  std::string out, err;
  tarvo::Options opt;
};

Parsed parse(const std::vector<std::string>& words, const std::string& progname = "tarvo") {
  // The parser touches only the options and the standard streams, so one
  // (large) run context serves every case.
  static const auto run = std::make_unique<Run>();
  Parsed p;
  run->io.out = std::tmpfile();
  run->io.err = std::tmpfile();
  std::vector<std::string> args{"./tarvo"};
  args.insert(args.end(), words.begin(), words.end());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  try {
    p.model = tarvo::command_line(*run, int(args.size()), argv.data(), progname);
  } catch (const tarvo::Exit& e) {
    p.status = e.status;
  }
  p.out = slurp(run->io.out);
  p.err = slurp(run->io.err);
  std::fclose(run->io.out);
  std::fclose(run->io.err);
  run->io.out = run->io.err = nullptr;
  p.opt = run->opt;
  return p;
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

// ---------------------------------------------------------------- normalising

TEST(RunCommandLine, NormalisesClustersAndCountlessS) {
  struct Case {
    std::vector<std::string> in, out;
  } cases[] = {
      {{"x/tarvo", "-jz", "3", "-1", "data.txt", "-s"},
       {"x/tarvo", "-j", "-z", "3", "-1", "data.txt", "-s", "100", "--"}},
      {{"tarvo", "-s", "-w"}, {"tarvo", "-s", "100", "-w", "--"}},
      {{"tarvo", "-ws", "-1", "f"}, {"tarvo", "-w", "-s", "100", "-1", "f", "--"}},
      {{"tarvo", "-s", "--", "-1", "f"}, {"tarvo", "-s", "100", "--"}},
      {{"tarvo", "-s", "25"}, {"tarvo", "-s", "25", "--"}},
      {{"tarvo", "-e", "", "-k", ""}, {"tarvo", "-e", "", "-k", "", "--"}},
  };
  for (auto& c : cases) {
    tarvo::Run run;
    run.io.err = std::tmpfile();
    auto args = c.in;
    EXPECT_EQ(tarvo::get_command_line(run, "tarvo", "HbceEmnMrRsTYz", "12dk", "fjpw", args), 1)
        << join(c.in);
    EXPECT_EQ(args, c.out) << join(c.in);
    EXPECT_EQ(slurp(run.io.err), "");
    std::fclose(run.io.err);
  }
}

TEST(RunCommandLine, FailedNormalisationLeavesArgumentsAlone) {
  tarvo::Run run;
  run.io.err = std::tmpfile();
  std::vector<std::string> args{"tarvo", "-1", "f", "stray"};
  const auto before = args;
  EXPECT_EQ(tarvo::get_command_line(run, "tarvo", "HbceEmnMrRsTYz", "12dk", "fjpw", args), 0);
  EXPECT_EQ(args, before);
  std::fclose(run.io.err);
}

TEST(RunCommandLine, ClusterWithValueLetterLastEqualsSeparateOptions) {
  auto a = parse({"-1", "f", "-jz", "3"});
  auto b = parse({"-1", "f", "-j", "-z", "3"});
  ASSERT_EQ(a.model, 1) << a.err;
  ASSERT_EQ(b.model, 1) << b.err;
  EXPECT_EQ(a.opt.j_option, 1);
  EXPECT_EQ(a.opt.z_option, 1);
  EXPECT_EQ(a.opt.z_value, 2);
  EXPECT_EQ(b.opt.j_option, 1);
  EXPECT_EQ(b.opt.z_value, 2);
}

TEST(RunCommandLine, ShapeErrorsEndWithUsageAndStatusOne) {
  struct Case {
    std::vector<std::string> words;
    std::string err;
  } cases[] = {
      {{"-1", "f", "-zj", "3"},
       "\ntarvo: Option '-z' not followed by space before option argument\n"},
      {{"-1", "f", "-z"}, "\ntarvo: Option '-z' not followed by space before option argument\n"},
      {{"-1"}, "\ntarvo: Option '-1' not followed by space before option argument\n"},
      {{"-1", "f", "-sj", "3"},
       "\ntarvo: Option '-s' not followed by space before option argument\n"},
      {{"-1", "-d", "x"}, "\ntarvo: String following option '-1' should not begin with '-' \n"},
      {{"-1", "f", "-e", "0.0.5"},
       "\ntarvo: Argument following option '-e' has more than one '.' \n"},
      {{"-1", "f", "-e", "1.2.3x"},
       "\ntarvo: Argument following option '-e' has more than one '.' \n"
       "\ntarvo: Option '-e' not followed by a space before digits. Offending character was "
       "'x'\n"},
      {{"-1", "f", "-z", "1.5"},
       "\ntarvo: Option '-z' not followed by a space before digits. Offending character was "
       "'.'\n"},
      {{"-1", "f", "-n", "-5"},
       "\ntarvo: Option '-n' not followed by a space before digits. Offending character was "
       "'-'\n"},
      {{"-1", "f", "-s", "5x"},
       "\ntarvo: Option '-s' not followed by a space before digits. Offending character was "
       "'x'\n"},
      {{"-1", "f", "-o1", "x"}, "\n\ntarvo: Unrecognised command '-o1' \n\n"},
      {{"-i1", "f"}, "\n\ntarvo: Unrecognised command '-i1' \n\n"},
      {{"-1", "f", "-jx"}, "\n\ntarvo: Unrecognised command '-jx' \n\n"},
      {{"data.txt"}, "\n\nUnknown option parameter: \"data.txt\"\n\n"},
      {{"-1", "f", "-", "g.txt"},
       "\n\nUnknown option parameter: \"-\"\n\n\n\nUnknown option parameter: \"g.txt\"\n\n"},
      {{"-j", "one", "-1", "f", ""},
       "\n\nUnknown option parameter: \"one\"\n\n"
       "\n\nUnknown option parameter: \"\"\n\n"},
  };
  for (auto& c : cases) {
    auto p = parse(c.words);
    EXPECT_EQ(p.status, 1) << join(c.words);
    EXPECT_EQ(p.err, c.err) << join(c.words);
    EXPECT_TRUE(has_usage(p.out)) << join(c.words);
  }
}

TEST(RunCommandLine, EverythingAfterDoubleDashIsIgnored) {
  auto p = parse({"-1", "f", "--", "junk", "-Q", "-e", "9.9.9"});
  EXPECT_EQ(p.model, 1);
  EXPECT_EQ(p.err, "");
  EXPECT_EQ(p.out, "");
}

TEST(RunCommandLine, StoresValuesAndDefaults) {
  struct Case {
    std::vector<std::string> words;
    int model;
    int tarvo::Options::*field;
    int value;
  } cases[] = {
      {{"-1", "f"}, 1, &tarvo::Options::e_value, 100},
      {{"-1", "f"}, 1, &tarvo::Options::E_value, 100},
      {{"-1", "f", "-e", "0.05"}, 1, &tarvo::Options::e_value, 500},
      {{"-1", "f", "-e", "0.05"}, 1, &tarvo::Options::E_value, 500},
      {{"-1", "f", "-e", "0.0001"}, 1, &tarvo::Options::e_value, 1},
      {{"-1", "f", "-e", ".2"}, 1, &tarvo::Options::e_value, 2000},
      {{"-1", "f", "-M", "500", "-E", "0.0001"}, 5, &tarvo::Options::E_value, 1},
      {{"-1", "f", "-M", "500", "-E", "0.03"}, 5, &tarvo::Options::e_value, 100},
      {{"-1", "f", "-M", "500", "-Y", "0.57"}, 3, &tarvo::Options::Y_value, 57},
      {{"-1", "f", "-M", "500", "-Y", "1"}, 3, &tarvo::Options::Y_value, 100},
      {{"-1", "f", "-M", "500", "-T", "0.57"}, 3, &tarvo::Options::Y_value, 57},
      {{"-1", "f", "-M", "500", "-T", "0.57"}, 3, &tarvo::Options::Y_option, 1},
      {{"-1", "f", "-s"}, 1, &tarvo::Options::s_value, 100},
      {{"-1", "f", "-s"}, 1, &tarvo::Options::s_option, 1},
      {{"-1", "f", "-s", "-w"}, 1, &tarvo::Options::s_value, 100},
      {{"-1", "f", "-s", "-w"}, 1, &tarvo::Options::w_option, 1},
      {{"-1", "f", "-s", "0"}, 1, &tarvo::Options::s_value, 100},
      {{"-1", "f", "-s", "10000"}, 1, &tarvo::Options::s_value, 10000},
      {{"-1", "f", "-b", "0", "-c", "0"}, 1, &tarvo::Options::c_value, 0},
      {{"-1", "f", "-r", "4294"}, 1, &tarvo::Options::r_value, 4294},
      {{"-1", "f", "-m", "3"}, 1, &tarvo::Options::m_value, 3},
      {{"-1", "f", "-f"}, 1, &tarvo::Options::f_option, 1},
      {{"-1", "f", "-p", "-M", "60"}, 9, &tarvo::Options::M_value, 60},
      // the level index
      {{"-1", "f"}, 1, &tarvo::Options::z_value, 5},
      {{"-1", "f", "-n", "1000"}, 1, &tarvo::Options::z_value, 6},
      {{"-1", "f", "-z", "1"}, 1, &tarvo::Options::z_value, 0},
      {{"-1", "f", "-z", "1", "-n", "1000"}, 1, &tarvo::Options::z_value, 1},
      {{"-1", "f", "-z", "0", "-n", "1000"}, 1, &tarvo::Options::z_value, 0},
      {{"-1", "f", "-z", "50"}, 1, &tarvo::Options::z_value, 49},
  };
  for (auto& c : cases) {
    auto p = parse(c.words);
    ASSERT_EQ(p.model, c.model) << join(c.words) << p.err << p.out;
    EXPECT_EQ(p.opt.*c.field, c.value) << join(c.words);
    EXPECT_EQ(p.err, "") << join(c.words);
  }
}

TEST(RunCommandLine, HugeNumbersDoNotOverflow) {
  auto p = parse({"-1", "f", "-z", "99999999999999", "-n", "1000", "-e", "99999999999"});
  EXPECT_EQ(p.model, 0);
  EXPECT_NE(p.err.find("tarvo: Error option z=2147483647 (Accepted range is: 1..50)\n"),
            std::string::npos)
      << p.err;
  EXPECT_NE(p.err.find("tarvo: Error option e="), std::string::npos);
}

TEST(RunCommandLine, FileOptionsAndOutputNames) {
  auto p = parse({"-1", "geno.txt", "-2", "freq.txt", "-k", "Pop", "-w"});
  ASSERT_EQ(p.model, 2);
  const auto& o = p.opt;
  EXPECT_EQ(o.i_value[0], "geno.txt");
  EXPECT_EQ(o.i_value[1], "freq.txt");
  EXPECT_EQ(o.k_option, 1);
  EXPECT_EQ(o.k_value, "Pop");
  EXPECT_EQ(o.d_value, "TARVO");
  const char* suffix[9] = {"_freq.txt", "_miss.txt", "_pair.txt", "_pop.txt", "_stat.txt",
                           "_simm.txt", "_join.txt", "_loci.txt", "_log.txt"};
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(o.o_value[i], std::string("TARVO") + suffix[i]);
    EXPECT_EQ(o.o_option[i], 0);
  }

  auto q = parse({"-1", "geno.txt", "-d", "out/run7"});
  ASSERT_EQ(q.model, 1);
  EXPECT_EQ(q.opt.k_value, "POP");
  for (int i = 0; i < 9; ++i) {
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

TEST(RunCommandLine, DuplicatesEndWithUsage) {
  const std::string notice =
      "Option -T in version 1 has been replaced by option -Y in version 1.10\n"
      "Option -T is backward compatible in this version.\n";
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
      {{"-1", "f", "-M", "500", "-T", "0.8", "-Y", "0.9"}, notice + dup('Y')},
      {{"-1", "f", "-M", "500", "-Y", "0.8", "-T", "0.9"}, notice + dup('T')},
      {{"-1", "f", "-M", "500", "-T", "0.8", "-T", "0.9"}, notice + notice + dup('T')},
  };
  for (auto& c : cases) {
    auto p = parse(c.words);
    EXPECT_EQ(p.status, 1) << join(c.words);
    EXPECT_EQ(p.out.substr(0, c.out_start.size()), c.out_start) << join(c.words);
    EXPECT_TRUE(has_usage(p.out));
    EXPECT_EQ(p.err, "");
  }
}

// ---------------------------------------------------------------- models

TEST(RunModels, SelectsModelFromOptionsPresent) {
  struct Case {
    std::vector<std::string> words;
    int model;
  } cases[] = {
      {{"-1", "f"}, 1},
      {{"-1", "f", "-2", "g"}, 2},
      {{"-1", "f", "-M", "500", "-Y", "0.8"}, 3},
      {{"-1", "f", "-M", "500", "-T", "0.8"}, 3},
      {{"-2", "g", "-M", "500", "-Y", "0.8"}, 4},
      {{"-1", "f", "-M", "500"}, 5},
      {{"-1", "f", "-2", "g", "-M", "500", "-m", "4"}, 6},
      {{"-1", "f", "-M", "500", "-Y", "0.8", "-p"}, 7},
      {{"-2", "g", "-M", "500", "-Y", "0.8", "-p"}, 8},
      {{"-1", "f", "-M", "500", "-p"}, 9},
      {{"-1", "f", "-2", "g", "-M", "500", "-p"}, 10},
      {{"-1", "f", "-b", "2", "-m", "3", "-c", "0", "-j", "-w", "-z", "3"}, 1},
      {{"-1", "f", "-M", "500", "-E", "0.02", "-H", "40", "-R", "20", "-Y", "0.5"}, 3},
      {{"-1", "f", "-M", "500", "-p", "-d", "x", "-k", "P", "-r", "3", "-R", "9", "-E", "0.1"}, 9},
  };
  for (auto& c : cases) {
    auto p = parse(c.words);
    EXPECT_EQ(p.model, c.model) << join(c.words) << p.out << p.err;
  }
}

TEST(RunModels, RefusedAndMissingOptionsNameTheModel) {
  auto inc = [](int m, const char* l) {
    return "\n\nLooks a bit like Model No: " + std::to_string(m) +
           " but with incompatible option -" + l + "\n";
  };
  auto needs = [](int m, const char* l) {
    return "\n\nLooks a bit like Model No: " + std::to_string(m) + " but also needs option -" + l +
           " defined\n";
  };
  const std::vector<std::string> all_create = {"-b", "1",  "-c",  "2",  "-e", "0.01", "-j", "-m",
                                               "5",  "-n", "200", "-s", "20", "-w",   "-z", "4"};
  auto with = [](std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  auto create_lines = [&](int m) {
    std::string s;
    for (const char* l : {"b", "c", "e", "j", "m", "n", "s", "w", "z"}) s += inc(m, l);
    return s;
  };
  struct Case {
    std::vector<std::string> words;
    std::string out;
  } cases[] = {
      {{},
       "\nNeed to specify a file for reading data.\n"
       "   Please read manual for further information.\n\n"},
      {{"-k", "POP"},
       "\nNeed to specify a file for reading data.\n"
       "   Please read manual for further information.\n\n"},
      {{"-1", "f", "-E", "0.02"}, inc(1, "E")},
      {{"-1", "f", "-R", "3", "-Y", "0.8", "-E", "0.02"}, inc(1, "E") + inc(1, "Y") + inc(1, "R")},
      {{"-1", "f", "-2", "g", "-R", "3", "-T", "0.8", "-E", "0.02"},
       "Option -T in version 1 has been replaced by option -Y in version 1.10\n"
       "Option -T is backward compatible in this version.\n" +
           inc(2, "E") + inc(2, "Y") + inc(2, "R")},
      {{"-1", "f", "-M", "500", "-Y", "0.8", "-m", "5", "-b", "0"}, inc(3, "b") + inc(3, "m")},
      {{"-1", "f", "-M", "500", "-m", "5", "-b", "0"}, inc(5, "b") + inc(5, "m")},
      {{"-2", "g", "-M", "500"}, needs(4, "Y")},
      {{"-2", "g", "-M", "500", "-b", "1", "-m", "3"}, needs(4, "Y") + inc(4, "b") + inc(4, "m")},
      {{"-1", "f", "-2", "g", "-M", "500", "-Y", "0.8", "-b", "1"}, inc(6, "b") + inc(6, "Y")},
      {{"-1", "f", "-M", "500", "-p", "-c", "5", "-n", "300"}, inc(9, "c") + inc(9, "n")},
      {with({"-1", "f", "-Y", "0.8", "-p"}, all_create), create_lines(7) + needs(7, "M")},
      {with({"-2", "g", "-Y", "0.8", "-p", "-M", "60"}, all_create), create_lines(8)},
      {with({"-1", "f", "-p"}, all_create), create_lines(9) + needs(9, "M")},
      {with({"-1", "f", "-2", "g", "-Y", "0.8", "-p"}, all_create),
       create_lines(10) + inc(10, "Y") + needs(10, "M")},
  };
  for (auto& c : cases) {
    auto p = parse(c.words);
    EXPECT_EQ(p.model, 0) << join(c.words);
    ASSERT_GE(p.out.size(), c.out.size()) << join(c.words);
    EXPECT_EQ(p.out.substr(0, c.out.size()), c.out) << join(c.words);
    EXPECT_TRUE(has_usage(p.out.substr(c.out.size()))) << join(c.words);
    EXPECT_EQ(p.err, "") << join(c.words);
  }
}

TEST(RunModels, ErrMsgReturnsZero) {
  tarvo::Run run;
  run.io.out = std::tmpfile();
  EXPECT_EQ(tarvo::err_msg(run, 4, "Y", 1), 0);
  EXPECT_EQ(tarvo::err_msg(run, 9, "c", 0), 0);
  EXPECT_EQ(slurp(run.io.out),
            "\n\nLooks a bit like Model No: 4 but also needs option -Y defined\n"
            "\n\nLooks a bit like Model No: 9 but with incompatible option -c\n");
  std::fclose(run.io.out);
}

// ---------------------------------------------------------------- value checks

TEST(RunModels, ValueChecksReportEveryFailure) {
  const std::string anim = std::to_string(tarvo::ANIM);
  struct Case {
    std::vector<std::string> words;
    int model;  // 0 when refused
    std::string err;
  } cases[] = {
      {{"-1", "f",   "-M", "20", "-H", "10", "-R", "30", "-c", "11",
        "-e", "0.5", "-E", "0",  "-n", "50", "-s", "5",  "-z", "51"},
       0,
       "tarvo: Error option R=30 should be less than H=10\n"
       "tarvo: Error option H=10 should be greater or equal to 20\n"
       "tarvo: Error option c=11 should be less than or equal to 10 \n"
       "tarvo: Error option e=0.5000 (Accepted range is: 0.0001..0.2000)\n"
       "tarvo: Error option E=0.0000 (Accepted range is: 0.0001..0.2000)\n"
       "tarvo: Error option n=50 (Accepted range is: 100..1000)\n"
       "tarvo: Error option M=20 (Accepted range is: 50.." +
           anim +
           ")\n"
           "tarvo: Error option (R=30) should be less than or equal to (M/2)=20/2 \n"
           "\ntarvo: Warning option -s=5 (Accepted range is: 10..10000)\n"
           "tarvo: Default 's' value is: s=100 \n"
           "tarvo: Error option z=51 (Accepted range is: 1..50)\n"},
      {{"-2", "g"},
       0,
       "tarvo: Error option Y must be defined with simulated data using allele frequencies with "
       "-2 option \n"
       "tarvo: Error option M must be defined when only '-2 FILE' read.\n"},
      {{"-1", "f", "-b", "3", "-m", "2", "-n", "1001", "-s", "10001"},
       0,
       "tarvo: Error option b=3 (Accepted range is: 0,1 or 2)\n"
       "tarvo: Error option m=2 should be greater or equal to 3\n"
       "tarvo: Error option n=1001 (Accepted range is: 100..1000)\n"
       "\ntarvo: Warning option -s=10001 (Accepted range is: 10..10000)\n"
       "tarvo: Default 's' value is: s=100 \n"},
      {{"-1", "f", "-M", "500", "-H", "10"},
       0,
       "tarvo: Warning option R not defined (i.e. no recaptures simulated between two "
       "populations)\n"
       "tarvo: Error option H=10 should be greater or equal to 20\n"},
      {{"-1", "f", "-M", "500", "-H", "20"},
       5,
       "tarvo: Warning option R not defined (i.e. no recaptures simulated between two "
       "populations)\n"},
      {{"-1", "f", "-M", "500", "-Y", "0.49", "-R", "10"},
       0,
       "tarvo: Error option Y=0.49 (Accepted range is: 0.50..1.00)\n"},
      {{"-1", "f", "-M", "500", "-Y", "0.49"}, 3, ""},
      {{"-1", "f", "-M", "100", "-R", "51"},
       0,
       "tarvo: Error option (R=51) should be less than or equal to (M/2)=100/2 \n"},
      {{"-1", "f", "-M", "100", "-R", "50"}, 5, ""},
      {{"-1", "f", "-M", std::to_string(tarvo::ANIM + 1)},
       0,
       "tarvo: Error option M=" + std::to_string(tarvo::ANIM + 1) + " (Accepted range is: 50.." +
           anim + ")\n"},
      {{"-1", "f", "-M", anim}, 5, ""},
      {{"-1", "f", "-M", "50"}, 5, ""},
      {{"-1", "f", "-e", "0"},
       0,
       "tarvo: Error option e=0.0000 (Accepted range is: 0.0001..0.2000)\n"},
      {{"-1", "f", "-e", "0.2001"},
       0,
       "tarvo: Error option e=0.2001 (Accepted range is: 0.0001..0.2000)\n"},
      {{"-1", "f", "-z", "0"}, 0, "tarvo: Error option z=0 (Accepted range is: 1..50)\n"},
      {{"-1", "f", "-z", "50", "-n", "1000"},
       0,
       "tarvo: Error option z=51 (Accepted range is: 1..50)\n"},
      {{"-1", "f", "-n", "100", "-c", "10", "-b", "2", "-m", "3"}, 1, ""},
  };
  for (auto& c : cases) {
    auto p = parse(c.words);
    EXPECT_EQ(p.model, c.model) << join(c.words);
    EXPECT_EQ(p.err, c.err) << join(c.words);
    EXPECT_EQ(has_usage(p.out), c.model == 0) << join(c.words);
  }
}

TEST(RunModels, CheckArgumentsWithoutInputFile) {
  tarvo::Run run;
  run.io.err = std::tmpfile();
  EXPECT_EQ(tarvo::check_arguments(run, "prog"), 0);
  EXPECT_EQ(slurp(run.io.err), "prog: Error  No input data file defined in argument list\n");
  std::fclose(run.io.err);
}

// ---------------------------------------------------------------- usage table

TEST(RunModels, UsageColumnsLineUpWithLongProgramName) {
  for (const std::string& name : {std::string("t"), std::string("tarvo"), std::string(41, 'p')}) {
    tarvo::Run run;
    run.io.out = std::tmpfile();
    EXPECT_EQ(tarvo::tarvo_usage(run, name), 1);
    const std::string text = slurp(run.io.out);
    std::fclose(run.io.out);

    std::vector<std::string> lines;
    std::size_t from = 0, nl;
    while ((nl = text.find('\n', from)) != std::string::npos) {
      lines.push_back(text.substr(from, nl - from));
      from = nl + 1;
    }
    ASSERT_EQ(from, text.size());
    // rule, empty line, heading, rule, ten rows, rule
    ASSERT_EQ(lines.size(), 15u) << name;
    const std::string rule(73 + name.size(), '_');
    EXPECT_EQ(lines[0], rule);
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[3], rule);
    EXPECT_EQ(lines[14], rule);
    const std::size_t col = lines[2].find("Permitted options");
    EXPECT_EQ(lines[2].substr(0, 25), "Model     Type      Usage");
    EXPECT_EQ(lines[2].size(), col + 17);
    const char* letters[10] = {
        "bcdejkmnrswz",   "bcdejkmnrswz", "cdejknrswzEHMRY", "cdejknrswzEHMRY", "cdejknrswzEHMR",
        "cdejknrswzEHMR", "dkprEMHRY",    "dkprEMHRY",       "dkprEHMR",        "dkprEHMR"};
    for (int m = 0; m < 10; ++m) {
      const std::string& row = lines[4 + m];
      EXPECT_EQ(row.substr(20, name.size()), name);
      EXPECT_EQ(row.size(), col + std::string(letters[m]).size()) << row;
      EXPECT_EQ(row.substr(col), letters[m]) << row;
      EXPECT_EQ(row[col - 1], ' ');
    }
  }
}

}  // namespace
