// The tables and the levels plot of real runs, read back with Python's csv
// and xml modules (check_tables.py) and checked against the text reports of
// the same run.
#include <gtest/gtest.h>

#include "e2e/e2e_util.h"

namespace {

using e2e::fs::path;

struct TableRun {
  const char* name;
  const char* input;
  const char* args;
};

TEST(TablesEndToEnd, AgreeWithTheTextReports) {
  const TableRun runs[] = {
      {"several_populations", "two_pops.gen", "-n 100 -s 10 -c 2 -j -r 3"},
      {"one_population", "one_pop.gen", "-n 100 -s 10 -r 11"},
      {"genalex_no_errors", "two_pops_genalex.csv", "-n 100 -c 0 -w -r 5"},
  };
  for (const TableRun& r : runs) {
    SCOPED_TRACE(r.name);
    const path work = e2e::scratch_dir(std::string("tables_") + r.name);
    e2e::fs::copy_file(e2e::source_path("tests/e2e/inputs") / r.input, work / r.input);
    (void)e2e::run_tarvo(work, std::string("-1 ") + r.input + " " + r.args);
    const std::string cmd = "python3 '" + e2e::source_path("tests/e2e/check_tables.py").string() +
                            "' '" + work.string() + "' TARVO > '" + (work / "check.out").string() +
                            "' 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << e2e::read_file(work / "check.out");
    e2e::fs::remove_all(work);
  }
}

}  // namespace
