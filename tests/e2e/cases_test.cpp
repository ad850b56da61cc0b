// Every folder of tests/e2e/cases is one run of the built program: its
// arguments, the input files it needs, and the exact standard output,
// standard error, exit status and every file the run leaves behind (date
// lines masked).  scripts/update_expected.sh regenerates them.
#include <gtest/gtest.h>

#include <set>

#include "e2e/e2e_util.h"

namespace {

using e2e::fs::path;

const path kCases = e2e::source_path("tests/e2e/cases");
const path kInputs = e2e::source_path("tests/e2e/inputs");

std::vector<std::string> case_names() {
  std::vector<std::string> names;
  for (const auto& entry : e2e::fs::directory_iterator(kCases))
    names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

std::string trim(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

std::vector<std::string> words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> w;
  for (std::string s; in >> s;) w.push_back(s);
  return w;
}

class EndToEnd : public ::testing::TestWithParam<std::string> {};

TEST_P(EndToEnd, MatchesExpectedOutput) {
  const path dir = kCases / GetParam();
  const path work = e2e::scratch_dir("case_" + GetParam());
  std::vector<std::string> inputs;
  if (e2e::fs::exists(dir / "inputs")) inputs = words(e2e::read_file(dir / "inputs"));
  for (const auto& f : inputs) e2e::fs::copy_file(kInputs / f, work / f);

  const e2e::Result r = e2e::run_tarvo(work, trim(e2e::read_file(dir / "args")));
  const path expected = dir / "expected";
  EXPECT_EQ(std::to_string(r.status), trim(e2e::read_file(expected / "status.txt")));
  EXPECT_EQ(e2e::mask_dates(r.out), e2e::read_file(expected / "stdout.txt"));
  EXPECT_EQ(e2e::mask_dates(r.err), e2e::read_file(expected / "stderr.txt"));

  const std::set<std::string> own = {"status.txt", "stdout.txt", "stderr.txt"};
  std::set<std::string> want, got;
  for (const auto& e : e2e::fs::directory_iterator(expected))
    if (!own.count(e.path().filename())) want.insert(e.path().filename());
  for (const auto& e : e2e::fs::directory_iterator(work))
    if (std::find(inputs.begin(), inputs.end(), e.path().filename()) == inputs.end())
      got.insert(e.path().filename());
  EXPECT_EQ(got, want);
  for (const auto& name : want) {
    if (!got.count(name)) continue;
    SCOPED_TRACE(name);
    EXPECT_EQ(e2e::mask_dates(e2e::read_file(work / name)), e2e::read_file(expected / name));
  }
  e2e::fs::remove_all(work);
}

INSTANTIATE_TEST_SUITE_P(Cases, EndToEnd, ::testing::ValuesIn(case_names()),
                         [](const testing::TestParamInfo<std::string>& param_info) {
                           return param_info.param;
                         });

}  // namespace
