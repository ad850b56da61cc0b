// Shared pieces of the report and estimation tests: a run with a scratch
// directory for the files it writes, and a few text helpers.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "common/test_run.h"

namespace testutil {

namespace fs = std::filesystem;

inline std::string rule(int n) {
  return std::string(n, '_') + "\n";
}

inline std::string read_file(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// A TestRun with a fixed date, a scratch directory removed at the end, and the
// report handles the code under test may leave open closed.
struct FileRun : TestRun {
  fs::path dir;
  FileRun() {
    static int serial = 0;
    dir = fs::temp_directory_path() /
          ("tarvo_t_" + std::to_string(::getpid()) + "_" + std::to_string(serial++));
    fs::create_directories(dir);
    r.io.now_override = 1700000000;
  }
  ~FileRun() {
    for (FILE* f : {r.io.fp3, r.io.fp5, r.io.fp6, r.io.fp8})
      if (f) std::fclose(f);
    fs::remove_all(dir);
  }
  std::string path(const std::string& name) const { return (dir / name).string(); }
};

// The ladder of levels for -n other than 1000.
inline void ladder(tarvo::Run& run) {
  const double low[8] = {0.01, 0.05, 0.125, 0.25, 0.5, 0.75, 1.0, 1.25};
  for (int k = 0; k < tarvo::LEVELS; ++k) run.est.alphaCut[k] = k < 8 ? low[k] : (k - 5) * 0.5;
}

}  // namespace testutil
