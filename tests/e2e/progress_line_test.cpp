// Standard output on a terminal (a pseudo-terminal made by script(1)): the
// lines of the calibration sets and the simulation runs give way to one
// progress line rewritten in place, while the log keeps every line; and a
// quiet run keeps the opening block, the warnings and the summary.
#include <gtest/gtest.h>

#include "e2e/e2e_util.h"

namespace {

using e2e::fs::path;

int count(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

constexpr const char* ARGS = "-1 two_pops.gen -n 100 -s 10 -c 2 -r 3";

path prepared(const std::string& name) {
  const path work = e2e::scratch_dir(name);
  e2e::fs::copy_file(e2e::source_path("tests/e2e/inputs/two_pops.gen"), work / "two_pops.gen");
  return work;
}

TEST(ProgressLine, OneLineRewrittenOnATerminalAndEveryLineInTheLog) {
  if (std::system("command -v script > /dev/null 2>&1") != 0)
    GTEST_SKIP() << "script(1) is not installed: no pseudo-terminal to run under";
  const path plain = prepared("progress_plain");
  const e2e::Result lines = e2e::run_tarvo(plain, ARGS);
  ASSERT_EQ(lines.status, 0);
  const path work = prepared("progress_terminal");
  const std::string bin = path(TARVO_EXE).parent_path().string();
  const std::string cmd = "cd '" + work.string() + "' && PATH='" + bin +
                          "':\"$PATH\" script -qec \"tarvo " + ARGS +
                          "\" typescript > /dev/null 2>&1 < /dev/null";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  const std::string screen = e2e::read_file(work / "typescript");
  // Rewritten in place: a carriage return and an erase before every update.
  EXPECT_GE(count(screen, "\r\x1b[KSTAGE"), 2);
  EXPECT_NE(screen.find("calibration set"), std::string::npos);
  EXPECT_NE(screen.find("iteration 1 (at most 2), run "), std::string::npos);
  EXPECT_NE(screen.find(" left"), std::string::npos);
  EXPECT_NE(screen.find(" elapsed"), std::string::npos);
  EXPECT_EQ(screen.find("(Simulating"), std::string::npos);
  EXPECT_EQ(screen.find("run= 1/10"), std::string::npos);
  EXPECT_LT(count(screen, "\n") + 20, count(lines.out, "\n"));
  EXPECT_NE(screen.find("Summary\r\n"), std::string::npos);
  // The log does not know where standard output went.
  EXPECT_EQ(e2e::mask_dates(e2e::read_file(work / "TARVO_log.txt")),
            e2e::mask_dates(e2e::read_file(plain / "TARVO_log.txt")));
  e2e::fs::remove_all(work);
  e2e::fs::remove_all(plain);
}

TEST(ProgressLine, QuietKeepsTheOpeningBlockWarningsAndSummary) {
  const path work = prepared("progress_quiet");
  const e2e::Result full = e2e::run_tarvo(work, ARGS);
  const std::string log = e2e::read_file(work / "TARVO_log.txt");
  for (const char* quiet : {"-q", "--quiet"}) {
    SCOPED_TRACE(quiet);
    const e2e::Result q = e2e::run_tarvo(work, std::string(ARGS) + " " + quiet);
    ASSERT_EQ(q.status, 0);
    const std::string opening = full.out.substr(0, full.out.find("STAGE  2"));
    EXPECT_EQ(e2e::mask_dates(q.out.substr(0, opening.size())), e2e::mask_dates(opening));
    EXPECT_EQ(q.out.find("STAGE  2"), std::string::npos);
    EXPECT_EQ(q.out.find("Convergence iteration 2"), std::string::npos);
    EXPECT_NE(q.out.find("\nSummary\n"), std::string::npos);
    EXPECT_EQ(full.out.substr(full.out.find("\nSummary\n")),
              q.out.substr(q.out.find("\nSummary\n")));
    EXPECT_EQ(e2e::mask_dates(e2e::read_file(work / "TARVO_log.txt")), e2e::mask_dates(log));
  }
  // Warnings are still told.
  e2e::fs::copy_file(e2e::source_path("tests/e2e/inputs/nancycats.gen"), work / "nancycats.gen");
  const e2e::Result warned = e2e::run_tarvo(work, "-1 nancycats.gen -n 100 -s 10 -c 1 -r 1 -q");
  EXPECT_NE(warned.out.find("Warning: 17 sample names are given to more than one sample"),
            std::string::npos);
  // Errors are still told.
  const e2e::Result missing = e2e::run_tarvo(work, "-1 absent.gen -q");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.out.find("Cannot open <absent.gen>"), std::string::npos);
  e2e::fs::remove_all(work);
}

}  // namespace
