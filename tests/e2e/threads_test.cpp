// Results never depend on the number of threads: every case that runs an
// analysis, and the golden whole run, give the same bytes with 1, 2, 3 and 8.
#include "e2e/case_runner.h"

namespace {

TEST(ThreadCounts, EveryCaseAndTheGoldenRunGiveTheSameFiles) {
  for (const int threads : {1, 2, 3, 8}) {
    const std::string option = " -t " + std::to_string(threads);
    // Cases that stop at the command line would take -t as part of what
    // they test.
    for (const std::string& name : e2e::case_names())
      if (!e2e::expected_files(name).empty()) e2e::expect_case(name, option);
    e2e::expect_golden_full_run(option);
  }
}

}  // namespace
