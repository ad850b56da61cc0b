// Helpers shared by the input and run tests: scratch files, expected texts
// that may be partial or name a file, and a compact view of the locus table.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "common/test_run.h"

namespace testutil {

// A scratch directory, removed with everything in it after the test.
struct TempDir {
  std::filesystem::path path;
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "tarvo_test_XXXXXX").string();
    if (::mkdtemp(tmpl.data())) path = tmpl;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  std::string file(const std::string& name) const { return (path / name).string(); }
  std::string write(const std::string& name, const std::string& text) const {
    std::ofstream(path / name, std::ios::binary) << text;
    return file(name);
  }
};

// The whole file, or "<missing>" when it cannot be opened.
inline std::string read_file(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  if (!in) return "<missing>";
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline std::string repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

// Every '@' of an expected text stands for the path of the file concerned.
inline std::string with_path(std::string text, const std::string& path) {
  for (size_t at = text.find('@'); at != std::string::npos; at = text.find('@', at + path.size()))
    text.replace(at, 1, path);
  return text;
}

// An expected text that starts with "..." has to occur in the actual text;
// any other has to be the whole of it.
inline ::testing::AssertionResult Shows(const std::string& actual, const std::string& want) {
  const bool part = want.rfind("...", 0) == 0;
  if (part ? actual.find(want.substr(3)) != std::string::npos : actual == want)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "text:\n[" << actual << "]\nwanted" << (part ? " part" : "") << ":\n[" << want << "]";
}

// The first n loci of the table, one a line: "name[ miss m]: value[(count)]=freq/cumfreq ...",
// with the counts and the missing copies shown only when not zero.
inline std::string loci_text(const tarvo::Run& run, int n) {
  std::string s;
  char buf[96];
  for (int k = 0; k < n; ++k) {
    const tarvo::Locus& L = run.store.loc[k];
    s += L.name;
    if (L.nmissing) s += " miss " + std::to_string(L.nmissing);
    s += ":";
    for (int j = 0; j < L.nallele && j < tarvo::NOA; ++j) {
      std::snprintf(buf, sizeof buf, " %d", L.allele[j]);
      s += buf;
      if (L.count[j]) s += "(" + std::to_string(L.count[j]) + ")";
      std::snprintf(buf, sizeof buf, "=%.4g/%.4g", L.freq[j], L.cumfreq[j]);
      s += buf;
    }
    s += "\n";
  }
  return s;
}

}  // namespace testutil
