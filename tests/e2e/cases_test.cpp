// Every folder of tests/e2e/cases is one run of the built program: its
// arguments, the input files it needs, and the exact standard output,
// standard error, exit status and every file the run leaves behind (date
// lines masked).  scripts/update_expected.sh regenerates them.
#include "e2e/case_runner.h"

namespace {

class EndToEnd : public ::testing::TestWithParam<std::string> {};

TEST_P(EndToEnd, MatchesExpectedOutput) {
  e2e::expect_case(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Cases, EndToEnd, ::testing::ValuesIn(e2e::case_names()),
                         [](const testing::TestParamInfo<std::string>& param_info) {
                           return param_info.param;
                         });

}  // namespace
