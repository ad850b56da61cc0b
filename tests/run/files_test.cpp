// Program name, output file set, end-of-run lines, options listing, dimension
// check and population list.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tarvo.h"

namespace {

namespace fs = std::filesystem;
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

std::string read_file(const fs::path& p) {
  FILE* f = std::fopen(p.c_str(), "r");
  if (!f) return "<missing>";
  std::string text = slurp(f);
  std::fclose(f);
  return text;
}

// A run context with captured standard streams; parses the words given.
struct Harness {
  std::unique_ptr<Run> run = std::make_unique<Run>();
  Harness() {
    run->io.out = std::tmpfile();
    run->io.err = std::tmpfile();
  }
  ~Harness() {
    for (FILE* f : {run->io.out, run->io.err, run->io.fp7})
      if (f) std::fclose(f);
  }
  int parse(std::vector<std::string> words) {
    words.insert(words.begin(), "tarvo");
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    return tarvo::command_line(*run, int(words.size()), argv.data(), "tarvo");
  }
  std::string out() { return slurp(run->io.out); }
  std::string err() { return slurp(run->io.err); }
};

struct TempDir {
  fs::path path;
  TempDir() {
    std::string tmpl = (fs::temp_directory_path() / "tarvo_run_XXXXXX").string();
    path = ::mkdtemp(tmpl.data());
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

// ---------------------------------------------------------------- program name

TEST(RunFiles, ProgramNameFollowsLastBackslashOnly) {
  struct Case {
    std::string path, name;
  } cases[] = {
      {"C:\\Program Files\\tarvo\\tarvo.exe", "tarvo.exe"},
      {"bin\\tarvo", "tarvo"},
      {"/usr/local/bin/tarvo", "/usr/local/bin/tarvo"},
      {"./tarvo", "./tarvo"},
      {"tarvo", "tarvo"},
      {"odd\\", ""},
      {"", ""},
  };
  for (auto& c : cases) EXPECT_EQ(tarvo::program_name(c.path), c.name) << c.path;
}

TEST(RunFiles, LongProgramNameIsRefused) {
  const std::size_t room = tarvo::NAMEBUF - 1;
  EXPECT_TRUE(tarvo::program_name_fits(std::string(room, 'a')));
  EXPECT_FALSE(tarvo::program_name_fits(std::string(room + 1, 'a')));
  // Only the part kept as the name has to fit.
  EXPECT_TRUE(tarvo::program_name_fits(std::string(room + 100, 'd') + "\\tarvo"));

  Harness h;
  try {
    tarvo::refuse_long_program_path(*h.run);
    ADD_FAILURE() << "returned";
  } catch (const tarvo::Exit& e) {
    EXPECT_EQ(e.status, 1);
  }
  EXPECT_EQ(h.err(), "tarvo: program path longer than 8191 characters\n");
  EXPECT_EQ(h.out(), "");
}

// ---------------------------------------------------------------- elapsed time

TEST(RunFiles, ElapsedTimeText) {
  struct Case {
    double seconds;
    const char* text;
  } cases[] = {
      {3725, "Elapse time: 1 hours 2 minutes \n"},
      {3660, "Elapse time: 1 hours 1 minute \n"},
      {7200, "Elapse time: 2 hours 0 minutes \n"},
      {61.5, "Elapse time: 1 minute  1.5 seconds\n\n"},
      {0, "Elapse time: \n"},
      {59, "Elapse time:  59.0 seconds\n\n"},
      {59.5, "Elapse time:  59.5 seconds\n\n"},
      {120, "Elapse time: 2 minutes  0.0 seconds\n\n"},
      {3599, "Elapse time: 59 minutes  59.0 seconds\n\n"},
      {0.3, "Elapse time:  0.3 seconds\n\n"},
  };
  for (auto& c : cases) EXPECT_EQ(tarvo::elapsed_text(c.seconds), c.text) << c.seconds;
}

TEST(RunFiles, FinishTimeWritesLogThenStandardOutput) {
  Harness h;
  h.run->io.fp7 = std::tmpfile();
  h.run->io.now_override = 1700000000;
  std::time_t t = 1700000000;
  const std::string date = std::asctime(std::localtime(&t));
  // Pretend the run started 3725 processor seconds ago, so the text is fixed.
  const std::clock_t start = std::clock() - std::clock_t(3725) * CLOCKS_PER_SEC;
  tarvo::finish_time(*h.run, start, "tarvo.exe");
  const std::string expected = "\n\n******Finished  tarvo.exe ******\nFinish time: " + date +
                               "Elapse time: 1 hours 2 minutes \n";
  EXPECT_EQ(slurp(h.run->io.fp7), expected);
  EXPECT_EQ(h.out(), expected);
}

// ---------------------------------------------------------------- output file set

std::string header(const std::string& date, const std::vector<std::string>& inputs,
                   const std::string& name) {
  std::string s = date + "\nExecutable file: TARVO Version 2.00\n";
  for (auto& in : inputs) s += "Input data file: " + in + "\n";
  return s + "Output     file: " + name + "\n\n";
}

TEST(RunFiles, OpensTheFilesOfEachModelWithHeaders) {
  const char* suffix[9] = {"_freq.txt", "_miss.txt", "_pair.txt", "_pop.txt", "_stat.txt",
                           "_simm.txt", "_join.txt", "_loci.txt", "_log.txt"};
  struct Case {
    std::vector<std::string> words;
    int model;
    std::vector<std::string> inputs;
    bool loci, stat, no_recaptures;
  } cases[] = {
      {{"-1", "geno.txt"}, 1, {"geno.txt"}, true, true, false},
      {{"-1", "geno.txt", "-2", "freq.txt"}, 2, {"geno.txt", "freq.txt"}, false, true, false},
      {{"-2", "freq.txt", "-M", "60", "-Y", "0.9"}, 4, {"freq.txt"}, false, true, false},
      {{"-1", "geno.txt", "-M", "60", "-Y", "0.9", "-p"}, 7, {"geno.txt"}, true, false, true},
      {{"-1", "geno.txt", "-M", "60", "-p", "-R", "5"}, 9, {"geno.txt"}, true, false, false},
      {{"-1", "g", "-2", "h", "-M", "60", "-p"}, 10, {"g", "h"}, false, false, true},
  };
  std::time_t t = 1700000000;
  const std::string date = std::asctime(std::localtime(&t));
  for (auto& c : cases) {
    TempDir dir;
    const std::string prefix = (dir.path / "run").string();
    Harness h;
    auto words = c.words;
    words.insert(words.end(), {"-d", prefix});
    ASSERT_EQ(h.parse(words), c.model);
    h.run->io.now_override = t;
    tarvo::open_files(*h.run, c.model);

    auto& io = h.run->io;
    EXPECT_EQ(io.fp0 != nullptr, c.loci) << c.model;
    EXPECT_EQ(io.fp3 != nullptr, c.stat) << c.model;
    ASSERT_NE(io.fp7, nullptr);
    const std::string log_text = date + "\nExecutable file: TARVO Version 2.00\n\n";
    EXPECT_EQ(h.out(), log_text);
    EXPECT_EQ(h.err(), "");
    std::fflush(io.fp7);
    EXPECT_EQ(read_file(prefix + suffix[8]), log_text);

    tarvo::close_files(*h.run, c.model);
    for (FILE* f : {io.fp0, io.fp1, io.fp2, io.fp3, io.fp5, io.fp6}) EXPECT_EQ(f, nullptr);

    auto file = [&](int i) { return read_file(prefix + suffix[i]); };
    auto head = [&](int i) { return header(date, c.inputs, prefix + suffix[i]); };
    EXPECT_EQ(file(0), head(0));
    EXPECT_EQ(file(1), head(1));
    EXPECT_EQ(file(3), head(3));
    const std::string pair_extra =
        c.no_recaptures ? "\n\nNo recaptures simulated.\nIf you desire to simulate recaptures use "
                          "option: [-R NUM]\n"
                        : "";
    EXPECT_EQ(file(2), head(2) + pair_extra) << c.model;
    EXPECT_EQ(file(4), c.stat ? head(4) : "<missing>") << c.model;
    EXPECT_EQ(file(7), c.loci ? "" : "<missing>") << c.model;
    EXPECT_EQ(file(5), "<missing>");
    EXPECT_EQ(file(6), "<missing>");
  }
}

TEST(RunFiles, UnwritableOutputFolderEndsWithStatus255) {
  Harness h;
  ASSERT_EQ(h.parse({"-1", "geno.txt", "-d", "/nonexistent/dir/x"}), 1);
  int status = 0;
  try {
    tarvo::open_files(*h.run, 1);
  } catch (const tarvo::Exit& e) {
    status = e.status;
  }
  EXPECT_EQ(status, 255);
  EXPECT_EQ(h.err(), "open_files(): Cannot open </nonexistent/dir/x_loci.txt> for writing\n");
  EXPECT_EQ(h.out(), "");
}

TEST(RunFiles, LaterOpenFailureKeepsEarlierFiles) {
  TempDir dir;
  const std::string prefix = (dir.path / "r").string();
  // A folder where the log should go makes only that one open fail.
  fs::create_directory(prefix + "_log.txt");
  Harness h;
  ASSERT_EQ(h.parse({"-1", "geno.txt", "-d", prefix}), 1);
  int status = 0;
  try {
    tarvo::open_files(*h.run, 1);
  } catch (const tarvo::Exit& e) {
    status = e.status;
  }
  EXPECT_EQ(status, 255);
  EXPECT_EQ(h.err(), "open_files(): Cannot open <" + prefix + "_log.txt> for writing\n");
  tarvo::close_files(*h.run, 1);
  EXPECT_TRUE(fs::exists(prefix + "_pop.txt"));
}

TEST(RunFiles, CloseFilesWithoutModelClosesNothing) {
  Harness h;
  h.run->io.fp1 = std::tmpfile();
  tarvo::close_files(*h.run, 0);
  EXPECT_NE(h.run->io.fp1, nullptr);
  tarvo::close_files(*h.run, 2);
  EXPECT_EQ(h.run->io.fp1, nullptr);
}

// ---------------------------------------------------------------- options listing

const char* const RULE =
    "          "
    "______________________________________________________________________________________"
    "\n";

std::string listing(Harness& h, uint32_t seed) {
  FILE* f = std::tmpfile();
  tarvo::list_arguments(*h.run, 1, seed, f);
  std::string text = slurp(f);
  std::fclose(f);
  return text;
}

TEST(RunListing, FullTableWithDefaults) {
  Harness h;
  ASSERT_EQ(h.parse({"-1", "geno.txt"}), 1);
  const std::string expected = std::string(RULE) +
                               "\n          Table 1  Options list\n"
                               "                   Status equals one if set by command line\n" +
                               RULE +
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
                               RULE + "\n";
  EXPECT_EQ(listing(h, 4000000000u), expected);
}

TEST(RunListing, RowsFollowTheOptions) {
  struct Case {
    std::vector<std::string> words;
    uint32_t seed;
    std::vector<std::string> rows;
  } cases[] = {
      {{"-1", "g", "-r", "7"}, 7, {"             -r    1        7\n"}},
      {{"-1", "g", "-d", "out"},
       1,
       {"             -d    1        \"out\"\n", "             -o1   1        \"out_freq.txt\"\n",
        "             -o9   1        \"out_log.txt\"\n"}},
      {{"-1", "g", "-n", "1000"}, 1, {"             -z    0        6\n"}},
      {{"-1", "g", "-n", "200"}, 1, {"             -z    0        6\n"}},
      {{"-1", "g", "-n", "1000", "-z", "0"}, 1, {"             -z    1        0\n"}},
      {{"-1", "g", "-z", "12"}, 1, {"             -z    1        12\n"}},
      {{"-1", "g", "-e", "0.05", "-j", "-w", "-s", "-f", "-k", "Site"},
       1,
       {"             -e    1        0.0500\n", "             -E    0        0.0500\n",
        "             -j    1\n", "             -w    1\n", "             -s    1        100\n",
        "             -f    1\n", "             -k    1        \"Site\"\n"}},
      {{"-2", "fr", "-M", "300", "-Y", "0.8", "-H", "40", "-R", "10", "-E", "0.002"},
       1,
       {"             -i1   0\n", "             -i2   1        \"fr\"\n",
        "             -Y    1        0.80\n", "             -M    1        300\n",
        "             -H    1        40\n", "             -R    1        10\n",
        "             -E    1        0.0020\n"}},
      {{"-1", "g", "-M", "300", "-p"}, 1, {"             -p    1\n"}},
  };
  for (auto& c : cases) {
    Harness h;
    ASSERT_GT(h.parse(c.words), 0) << h.err() << h.out();
    const std::string text = listing(h, c.seed);
    for (auto& row : c.rows) EXPECT_NE(text.find(row), std::string::npos) << row << text;
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
    Harness h;
    h.run->io.fp7 = std::tmpfile();
    h.run->opt.M_option = h.run->opt.H_option = 1;
    h.run->opt.M_value = c.M;
    h.run->opt.H_value = c.H;
    int status = 0;
    try {
      tarvo::check_dim(*h.run);
    } catch (const tarvo::Exit& e) {
      status = e.status;
    }
    const std::string msg =
        c.stops ? "\n[-M NUM]+[-G NUM] must be <= " + std::to_string(tarvo::ANIM) + "  \n" : "";
    EXPECT_EQ(status, c.stops ? 1 : 0) << c.M;
    EXPECT_EQ(slurp(h.run->io.fp7), msg);
    EXPECT_EQ(h.out(), msg);
  }
  // Without -H the check does not apply.
  Harness h;
  h.run->opt.M_option = 1;
  h.run->opt.M_value = tarvo::ANIM;
  h.run->opt.H_value = 500;
  EXPECT_NO_THROW(tarvo::check_dim(*h.run));
}

// ---------------------------------------------------------------- population names

TEST(RunListing, BlockNamesOnlyAfterGenotypeFile) {
  Harness h;
  h.run->io.fp6 = std::tmpfile();
  h.run->store.b_name[0] = "North";
  h.run->store.b_name[1] = "South bay";
  h.run->store.b_name[2] = "unused";
  tarvo::write_block_names(*h.run, 2);
  EXPECT_EQ(slurp(h.run->io.fp6), "");

  h.run->opt.i_option[0] = 1;
  tarvo::write_block_names(*h.run, 2);
  EXPECT_EQ(slurp(h.run->io.fp6),
            "\n\n__________________________\n"
            "Population\n"
            "Number     Name\n"
            "__________________________\n"
            "    1      North\n"
            "    2      South bay\n"
            "__________________________\n\n");
  std::fclose(h.run->io.fp6);
}

}  // namespace
