// A folder holding an input and the results of a first run, for the tests
// that check a later run leaves them as they were.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "e2e/e2e_util.h"

namespace e2e {

using Files = std::map<std::string, std::string>;

inline Files files_in(const fs::path& dir) {
  Files files;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.is_regular_file()) files[e.path().filename()] = read_file(e.path());
  return files;
}

struct EarlierRun {
  fs::path dir;
  Files files;
  EarlierRun(const std::string& name, const std::string& args,
             const std::string& input = "one_pop.gen")
      : dir(scratch_dir(name)) {
    fs::copy_file(source_path("tests/e2e/inputs") / input, dir / input);
    EXPECT_EQ(run_tarvo(dir, args).status, 0);
    files = files_in(dir);
  }
  EarlierRun(const EarlierRun&) = delete;
  EarlierRun& operator=(const EarlierRun&) = delete;
  ~EarlierRun() { fs::remove_all(dir); }
};

// The log of a run that has not replaced the earlier files.
inline const std::string kRunningLog = "TARVO_log.txt.running";

inline std::string failed_line(int status, const std::string& outcome) {
  return "******Run failed (exit status " + std::to_string(status) + "): " + outcome + " ******\n";
}

// Files with their dates masked, to compare runs made at different times.
inline Files masked(Files files) {
  for (auto& [name, text] : files) text = mask_dates(text);
  return files;
}

}  // namespace e2e
