// The end-to-end case runner and the golden whole run, shared by the case
// tests and the thread-count test.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <vector>

#include "e2e/e2e_util.h"

namespace e2e {

inline const fs::path kCases = source_path("tests/e2e/cases");
inline const fs::path kInputs = source_path("tests/e2e/inputs");
inline const fs::path kGolden = source_path("tests/e2e/golden");

inline std::vector<std::string> case_names() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(kCases)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

inline std::string trim(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

inline std::vector<std::string> words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> w;
  for (std::string s; in >> s;) w.push_back(s);
  return w;
}

// Files a case is expected to leave behind, besides its status and streams.
inline std::set<std::string> expected_files(const std::string& name) {
  static const std::set<std::string> own = {"status.txt", "stdout.txt", "stderr.txt"};
  std::set<std::string> want;
  for (const auto& e : fs::directory_iterator(kCases / name / "expected"))
    if (!own.count(e.path().filename())) want.insert(e.path().filename());
  return want;
}

// With TARVO_UPDATE_EXPECTED set (scripts/update_expected.sh), a case run
// without extra arguments writes what it gave as its expected output.
inline void write_expected(const fs::path& expected, const Result& r, const fs::path& work,
                           const std::vector<std::string>& inputs) {
  fs::remove_all(expected);
  fs::create_directories(expected);
  write_file(expected / "status.txt", std::to_string(r.status) + "\n");
  write_file(expected / "stdout.txt", mask_dates(r.out));
  write_file(expected / "stderr.txt", mask_dates(r.err));
  for (const auto& e : fs::directory_iterator(work))
    if (std::find(inputs.begin(), inputs.end(), e.path().filename()) == inputs.end())
      write_file(expected / e.path().filename(), mask_dates(read_file(e.path())));
}

// Runs one case with its arguments followed by extra, and compares its
// status, streams and every file left behind with the expected ones.
inline void expect_case(const std::string& name, const std::string& extra = "") {
  SCOPED_TRACE(name + " " + extra);
  const fs::path dir = kCases / name;
  const fs::path work = scratch_dir("case_" + name);
  std::vector<std::string> inputs;
  if (fs::exists(dir / "inputs")) inputs = words(read_file(dir / "inputs"));
  for (const auto& f : inputs) fs::copy_file(kInputs / f, work / f);

  const Result r = run_tarvo(work, trim(read_file(dir / "args")) + extra);
  const fs::path expected = dir / "expected";
  if (extra.empty() && std::getenv("TARVO_UPDATE_EXPECTED") != nullptr) {
    write_expected(expected, r, work, inputs);
    fs::remove_all(work);
    return;
  }
  EXPECT_EQ(std::to_string(r.status), trim(read_file(expected / "status.txt")));
  EXPECT_EQ(mask_dates(r.out), read_file(expected / "stdout.txt"));
  EXPECT_EQ(mask_dates(r.err), read_file(expected / "stderr.txt"));

  const std::set<std::string> want = expected_files(name);
  std::set<std::string> got;
  for (const auto& e : fs::directory_iterator(work))
    if (std::find(inputs.begin(), inputs.end(), e.path().filename()) == inputs.end())
      got.insert(e.path().filename());
  EXPECT_EQ(got, want);
  for (const auto& file : want) {
    if (!got.count(file)) continue;
    SCOPED_TRACE(file);
    EXPECT_EQ(mask_dates(read_file(work / file)), read_file(expected / file));
  }
  fs::remove_all(work);
}

// Copies the golden data into a fresh folder and runs the program there.
struct GoldenRun {
  fs::path dir;
  Result result;
  GoldenRun(const std::string& name, const std::string& args) : dir(scratch_dir(name)) {
    fs::copy_file(kGolden / "cattle_repeats.gen", dir / "cattle_repeats.gen");
    result = run_tarvo(dir, args);
  }
  ~GoldenRun() { fs::remove_all(dir); }
  GoldenRun(const GoldenRun&) = delete;
  GoldenRun& operator=(const GoldenRun&) = delete;
  [[nodiscard]] std::string file(const std::string& name) const {
    return mask_dates(read_file(dir / name));
  }
};

inline std::string golden_full(const std::string& name) {
  return mask_dates(read_file(kGolden / "cattle_full" / name));
}

// The whole golden analysis with standard errors, every file compared.
inline void expect_golden_full_run(const std::string& extra = "") {
  SCOPED_TRACE("golden " + extra);
  GoldenRun g("full", "-1 cattle_repeats.gen -n 100 -s 20 -c 3 -r 5 -j" + extra);
  EXPECT_EQ(g.result.status, 0);
  EXPECT_EQ(g.result.err, "");
  EXPECT_EQ(mask_dates(g.result.out), golden_full("stdout.txt"));
  for (const char* name : {"TARVO_join.txt", "TARVO_loci.txt", "TARVO_log.txt", "TARVO_miss.txt",
                           "TARVO_pair.txt", "TARVO_pop.txt", "TARVO_stat.txt"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(g.file(name), golden_full(name));
  }
  // The frequency report as made independently, then the panel power block
  // (checked on its own in the report tests).
  const std::string freq = g.file("TARVO_freq.txt");
  EXPECT_EQ(freq.substr(0, freq.find("Probability of identity of two unrelated")),
            golden_full("TARVO_freq.txt"));
  EXPECT_FALSE(fs::exists(g.dir / "TARVO_simm.txt"));
  EXPECT_FALSE(fs::exists(g.dir / "TARVO_temp.txt"));
}

}  // namespace e2e
