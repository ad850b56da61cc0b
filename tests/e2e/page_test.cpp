// The report page of real runs rendered in headless Chromium and read back
// from its DOM (check_page.py): the tables hold the rows of the TSV files
// with the same numbers, and the figures show what the files hold.
#include <gtest/gtest.h>

#include "e2e/e2e_util.h"

namespace {

using e2e::fs::path;

// Debian's chromium, or nothing when it is not installed.
std::string chromium() {
  for (const char* name : {"chromium", "chromium-browser"}) {
    const std::string cmd = std::string("command -v ") + name + " > /dev/null 2>&1";
    if (std::system(cmd.c_str()) == 0) return name;
  }
  return "";
}

struct PageRun {
  const char* name;
  const char* input;
  const char* args;
};

TEST(ReportPageEndToEnd, RenderedTablesAndFiguresAgreeWithTheFiles) {
  const std::string browser = chromium();
  if (browser.empty()) GTEST_SKIP() << "chromium is not installed: the report page is not rendered";
  const PageRun runs[] = {
      {"several_populations", "two_pops.gen", "-n 100 -s 10 -c 2 -j -r 3"},
      {"one_population", "one_pop.gen", "-n 100 -s 10 -r 11"},
      {"simulated", "one_pop.gen", "-M 60 -Y 0.8 -R 5 -n 100 -s 10 -c 2 -r 3"},
      {"no_level_search", "two_pops_genalex.csv", "-n 100 -c 0 -w -r 5"},
  };
  for (const PageRun& r : runs) {
    SCOPED_TRACE(r.name);
    const path work = e2e::scratch_dir(std::string("page_") + r.name);
    e2e::fs::copy_file(e2e::source_path("tests/e2e/inputs") / r.input, work / r.input);
    const e2e::Result run = e2e::run_tarvo(work, std::string("-1 ") + r.input + " " + r.args);
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string cmd = "python3 '" + e2e::source_path("tests/e2e/check_page.py").string() +
                            "' " + browser + " '" + work.string() + "' TARVO > '" +
                            (work / "check.out").string() + "' 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << e2e::read_file(work / "check.out");
    e2e::fs::remove_all(work);
  }
}

}  // namespace

namespace {

// The page says how the run was made, less the thread count, which changes
// no result: it is the same page for -t given alone, clustered or not at all.
TEST(ReportPageEndToEnd, SamePageForAnyThreadCount) {
  const path work = e2e::scratch_dir("page_threads");
  e2e::fs::copy_file(e2e::source_path("tests/e2e/inputs/two_pops.gen"), work / "two_pops.gen");
  std::string first;
  for (const char* threads : {"-j", "-jt 2", "-j -t 3", "-t 1 -j"}) {
    SCOPED_TRACE(threads);
    const e2e::Result run =
        e2e::run_tarvo(work, std::string("-1 two_pops.gen -n 100 -s 10 -c 1 -r 3 ") + threads);
    ASSERT_EQ(run.status, 0);
    const std::string page = e2e::mask_dates(e2e::read_file(work / "TARVO_report.html"));
    EXPECT_NE(page.find("<code>tarvo -1 two_pops.gen -n 100 -s 10 -c 1 -r 3 -j</code>"),
              std::string::npos);
    if (first.empty()) first = page;
    EXPECT_EQ(page, first);
  }
  e2e::fs::remove_all(work);
}

}  // namespace
