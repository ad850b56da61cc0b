// Every seed and every past finding of the fuzz targets, replayed through the
// same entries in every build: each must be read or refused, nothing else.
#include <gtest/gtest.h>

#include "e2e/e2e_util.h"
#include "fuzz/entries.h"

namespace {

TEST(FuzzCorpus, EveryInputIsReadOrRefused) {
  for (const tarvo::fuzz::Target& target : tarvo::fuzz::TARGETS) {
    const auto dir = e2e::source_path("tests/fuzz/corpus") / target.name;
    ASSERT_TRUE(e2e::fs::is_directory(dir)) << dir;
    for (const auto& file : e2e::fs::directory_iterator(dir)) {
      SCOPED_TRACE(file.path().string());
      target.entry(e2e::read_file(file.path()));
    }
  }
}

}  // namespace
