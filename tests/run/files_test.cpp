// Program name, output file set, end-of-run lines, options listing, dimension
// check and population list.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "common/input_helpers.h"

namespace {

using testutil::exit_status;
using testutil::read_file;
using testutil::slurp;

// A run context with captured standard streams and no log yet, which parses
// the words given.
struct Harness : testutil::TestRun {
  Harness() {
    std::fclose(r.io.fp7);
    r.io.fp7 = nullptr;
  }
  int parse(std::vector<std::string> words) {
    words.insert(words.begin(), "tarvo");
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    return tarvo::command_line(r, int(words.size()), argv.data(), "tarvo");
  }
};

const char* const kSuffix[9] = {"_freq.txt", "_miss.txt", "_pair.txt", "_pop.txt", "_stat.txt",
                                "_simm.txt", "_join.txt", "_loci.txt", "_log.txt"};

// ---------------------------------------------------------------- program name and time

TEST(RunFiles, ProgramNameFollowsLastBackslashOnlyAndMustFit) {
  const std::pair<std::string, std::string> cases[] = {
      {"C:\\Program Files\\tarvo\\tarvo.exe", "tarvo.exe"},
      {"bin\\tarvo", "tarvo"},
      {"/usr/local/bin/tarvo", "/usr/local/bin/tarvo"},
      {"tarvo", "tarvo"},
      {"odd\\", ""},
      {"", ""},
  };
  for (const auto& [path, name] : cases) EXPECT_EQ(tarvo::program_name(path), name) << path;
  const std::size_t room = tarvo::NAMEBUF - 1;
  EXPECT_TRUE(tarvo::program_name_fits(std::string(room, 'a')));
  EXPECT_FALSE(tarvo::program_name_fits(std::string(room + 1, 'a')));
  // Only the part kept as the name has to fit.
  EXPECT_TRUE(tarvo::program_name_fits(std::string(room + 100, 'd') + "\\tarvo"));

  testutil::TestRun t;
  EXPECT_EQ(exit_status([&] { tarvo::refuse_long_program_path(t.r); }), 1);
  EXPECT_EQ(t.err(), "tarvo: program path longer than 8191 characters\n");
  EXPECT_EQ(t.out(), "");
}

TEST(RunFiles, ElapsedTimeText) {
  const std::pair<double, const char*> cases[] = {
      {3725, "Elapse time: 1 hours 2 minutes \n"},
      {3660, "Elapse time: 1 hours 1 minute \n"},
      {7200, "Elapse time: 2 hours 0 minutes \n"},
      {3599, "Elapse time: 59 minutes  59.0 seconds\n\n"},
      {120, "Elapse time: 2 minutes  0.0 seconds\n\n"},
      {61.5, "Elapse time: 1 minute  1.5 seconds\n\n"},
      {59.5, "Elapse time:  59.5 seconds\n\n"},
      {0.3, "Elapse time:  0.3 seconds\n\n"},
      {0, "Elapse time: \n"},
  };
  for (const auto& [seconds, text] : cases)
    EXPECT_EQ(tarvo::elapsed_text(seconds), text) << seconds;
}

TEST(RunFiles, FinishTimeWritesLogThenStandardOutput) {
  testutil::TestRun t;
  t.r.io.now_override = 1700000000;
  std::time_t now = 1700000000;
  // Pretend the run started 3725 processor seconds ago, so the text is fixed.
  tarvo::finish_time(t.r, std::clock() - std::clock_t(3725) * CLOCKS_PER_SEC, "tarvo.exe");
  const std::string want = "\n\n******Finished  tarvo.exe ******\nFinish time: " +
                           std::string(std::asctime(std::localtime(&now))) +
                           "Elapse time: 1 hours 2 minutes \n";
  EXPECT_EQ(t.log(), want);
  EXPECT_EQ(t.out(), want);
}

// ---------------------------------------------------------------- output file set

TEST(RunFiles, OpensTheFilesOfEachModelWithHeaders) {
  struct Case {
    std::vector<std::string> words;
    int model;
    std::vector<std::string> inputs;
    bool loci, stat, no_recaptures;
  } cases[] = {
      {{"-1", "geno.txt"}, 1, {"geno.txt"}, true, true, false},
      {{"-2", "freq.txt", "-M", "60", "-Y", "0.9"}, 4, {"freq.txt"}, false, true, false},
      {{"-1", "geno.txt", "-M", "60", "-p", "-R", "5"}, 9, {"geno.txt"}, true, false, false},
      {{"-1", "g", "-2", "h", "-M", "60", "-p"}, 10, {"g", "h"}, false, false, true},
  };
  std::time_t now = 1700000000;
  const std::string date = std::asctime(std::localtime(&now));
  for (auto& c : cases) {
    SCOPED_TRACE(c.model);
    testutil::TempDir dir;
    const std::string prefix = dir.file("run");
    Harness h;
    auto words = c.words;
    words.insert(words.end(), {"-d", prefix});
    ASSERT_EQ(h.parse(words), c.model);
    h.r.io.now_override = now;
    tarvo::open_files(h.r, c.model);
    auto& io = h.r.io;
    auto file = [&](int i) { return read_file(prefix + kSuffix[i]); };
    EXPECT_EQ(io.fp0 != nullptr, c.loci);
    EXPECT_EQ(io.fp3 != nullptr, c.stat);
    const std::string log_text = date + "\nExecutable file: TARVO Version 2.00\n\n";
    EXPECT_EQ(h.out(), log_text);
    EXPECT_EQ(h.err(), "");
    std::fflush(io.fp7);
    EXPECT_EQ(file(8), log_text);

    tarvo::close_files(h.r, c.model);
    for (FILE* f : {io.fp0, io.fp1, io.fp2, io.fp3, io.fp5, io.fp6}) EXPECT_EQ(f, nullptr);
    auto head = [&](int i) {
      std::string s = date + "\nExecutable file: TARVO Version 2.00\n";
      for (auto& in : c.inputs) s += "Input data file: " + in + "\n";
      return s + "Output     file: " + prefix + kSuffix[i] + "\n\n";
    };
    for (int i : {0, 1, 3}) EXPECT_EQ(file(i), head(i));
    EXPECT_EQ(file(2), head(2) + (c.no_recaptures ? "\n\nNo recaptures simulated.\nIf you desire "
                                                    "to simulate recaptures use option: [-R NUM]\n"
                                                  : ""));
    EXPECT_EQ(file(4), c.stat ? head(4) : "<missing>");
    EXPECT_EQ(file(7), c.loci ? "" : "<missing>");
    EXPECT_EQ(file(5), "<missing>");
    EXPECT_EQ(file(6), "<missing>");
  }
}

TEST(RunFiles, OpenFailureEndsWithStatus255AndKeepsEarlierFiles) {
  testutil::TempDir dir;
  const std::string prefix = dir.file("r");
  // A folder where the log should go makes only that one open fail.
  std::filesystem::create_directory(prefix + "_log.txt");
  const std::pair<std::string, std::string> cases[] = {
      {"/nonexistent/dir/x", "/nonexistent/dir/x_loci.txt"}, {prefix, prefix + "_log.txt"}};
  for (const auto& [given, failed] : cases) {
    Harness h;
    ASSERT_EQ(h.parse({"-1", "geno.txt", "-d", given}), 1);
    EXPECT_EQ(exit_status([&] { tarvo::open_files(h.r, 1); }), 255);
    EXPECT_EQ(h.err(), "open_files(): Cannot open <" + failed + "> for writing\n");
    EXPECT_EQ(h.out(), "");
    tarvo::close_files(h.r, 1);
  }
  EXPECT_TRUE(std::filesystem::exists(prefix + "_pop.txt"));
}

TEST(RunFiles, CloseFilesWithoutModelClosesNothing) {
  Harness h;
  h.r.io.fp1 = std::tmpfile();
  tarvo::close_files(h.r, 0);
  EXPECT_NE(h.r.io.fp1, nullptr);
  tarvo::close_files(h.r, 2);
  EXPECT_EQ(h.r.io.fp1, nullptr);
}

// ---------------------------------------------------------------- options listing

std::string listing(Harness& h, uint32_t seed) {
  FILE* f = std::tmpfile();
  tarvo::list_arguments(h.r, 1, seed, f);
  std::string text = slurp(f);
  std::fclose(f);
  return text;
}

TEST(RunListing, FullTableWithDefaults) {
  Harness h;
  ASSERT_EQ(h.parse({"-1", "geno.txt"}), 1);
  const std::string rule = std::string(10, ' ') + std::string(86, '_') + "\n";
  EXPECT_EQ(listing(h, 4000000000u),
            rule +
                "\n          Table 1  Options list\n"
                "                   Status equals one if set by command line\n" +
                rule +
                "\n          Option   Status   Value\n"
                "             -b    0        1\n"
                "             -c    0        10\n"
                "             -d    0        \"TARVO\"\n"
                "             -e    0        0.0100\n"
                "             -E    0        0.0100\n"
                "             -f    0\n"
                "             -j    0\n"
                "             -H    0        0\n"
                "             -i1   1        \"geno.txt\"\n"
                "             -i2   0\n"
                "             -k    0        \"POP\"\n"
                "             -m    0        10\n"
                "             -M    0        0\n"
                "             -n    0        200\n"
                "             -o1   0        \"TARVO_freq.txt\"\n"
                "             -o2   0        \"TARVO_miss.txt\"\n"
                "             -o3   0        \"TARVO_pair.txt\"\n"
                "             -o4   0        \"TARVO_pop.txt\"\n"
                "             -o5   0        \"TARVO_stat.txt\"\n"
                "             -o6   0        \"TARVO_simm.txt\"\n"
                "             -o7   0        \"TARVO_join.txt\"\n"
                "             -o8   0        \"TARVO_loci.txt\"\n"
                "             -o9   0        \"TARVO_log.txt\"\n"
                "             -p    0\n"
                "             -r    0        4000000000\n"
                "             -R    0        0\n"
                "             -s    0        100\n"
                "             -w    0\n"
                "             -Y    0        1.00\n"
                "             -z    0        6\n" +
                rule + "\n");
}

TEST(RunListing, RowsFollowTheOptions) {
  struct Case {
    std::vector<std::string> words;
    uint32_t seed;
    std::vector<std::string> rows;
  } cases[] = {
      {{"-1", "g", "-r", "7"}, 7, {"-r    1        7"}},
      {{"-1", "g", "-d", "out"},
       1,
       {"-d    1        \"out\"", "-o1   1        \"out_freq.txt\"",
        "-o9   1        \"out_log.txt\""}},
      // The level as the user numbers it.
      {{"-1", "g", "-n", "1000"}, 1, {"-z    0        6"}},
      {{"-1", "g", "-n", "1000", "-z", "0"}, 1, {"-z    1        0"}},
      {{"-1", "g", "-z", "12"}, 1, {"-z    1        12"}},
      {{"-1", "g", "-e", "0.05", "-j", "-w", "-s", "-f", "-k", "Site"},
       1,
       {"-e    1        0.0500", "-E    0        0.0500", "-j    1", "-w    1",
        "-s    1        100", "-f    1", "-k    1        \"Site\""}},
      {{"-2", "fr", "-M", "300", "-Y", "0.8", "-H", "40", "-R", "10", "-E", "0.002", "-p"},
       1,
       {"-i1   0", "-i2   1        \"fr\"", "-Y    1        0.80", "-M    1        300",
        "-H    1        40", "-R    1        10", "-E    1        0.0020", "-p    1"}},
  };
  for (auto& c : cases) {
    Harness h;
    ASSERT_GT(h.parse(c.words), 0) << h.err() << h.out();
    const std::string text = listing(h, c.seed);
    for (auto& row : c.rows)
      EXPECT_NE(text.find("\n             " + row + "\n"), std::string::npos) << row << text;
  }
}

// ---------------------------------------------------------------- dimension check

TEST(RunListing, DimensionCheckStopsWhenSimulatedSamplesExceedCapacity) {
  struct Case {
    int M, H;
    bool stops;
  } cases[] = {
      {tarvo::ANIM - 10, 20, true},
      {tarvo::ANIM - 20, 20, false},
      {tarvo::ANIM, INT_MAX, true},
  };
  for (auto& c : cases) {
    testutil::TestRun t;
    t.r.opt.M_option = t.r.opt.H_option = 1;
    t.r.opt.M_value = c.M;
    t.r.opt.H_value = c.H;
    EXPECT_EQ(exit_status([&] { tarvo::check_dim(t.r); }), c.stops ? 1 : -1) << c.M;
    const std::string msg =
        c.stops ? "\n[-M NUM]+[-G NUM] must be <= " + std::to_string(tarvo::ANIM) + "  \n" : "";
    EXPECT_EQ(t.log(), msg);
    EXPECT_EQ(t.out(), msg);
  }
  // Without -H the check does not apply.
  testutil::TestRun t;
  t.r.opt.M_option = 1;
  t.r.opt.M_value = tarvo::ANIM;
  t.r.opt.H_value = 500;
  EXPECT_EQ(exit_status([&] { tarvo::check_dim(t.r); }), -1);
}

// ---------------------------------------------------------------- population names

TEST(RunListing, BlockNamesOnlyAfterGenotypeFile) {
  Harness h;
  h.r.io.fp6 = std::tmpfile();
  h.r.store.b_name[0] = "North";
  h.r.store.b_name[1] = "South bay";
  h.r.store.b_name[2] = "unused";
  tarvo::write_block_names(h.r, 2);
  EXPECT_EQ(slurp(h.r.io.fp6), "");

  h.r.opt.i_option[0] = 1;
  tarvo::write_block_names(h.r, 2);
  EXPECT_EQ(slurp(h.r.io.fp6),
            "\n\n__________________________\nPopulation\nNumber     Name\n"
            "__________________________\n    1      North\n    2      South bay\n"
            "__________________________\n\n");
  std::fclose(h.r.io.fp6);
}

}  // namespace
