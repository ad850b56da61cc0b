// Every seed and every past finding of the fuzz targets, replayed through the
// same entries in every build: each must be read or refused, nothing else.
#include <gtest/gtest.h>

#include "e2e/e2e_util.h"
#include "fuzz/entries.h"

namespace {

const e2e::fs::path kCorpus = e2e::source_path("tests/fuzz/corpus");

TEST(FuzzCorpus, EveryInputIsReadOrRefused) {
  for (const tarvo::fuzz::Target& target : tarvo::fuzz::TARGETS) {
    const auto dir = kCorpus / target.name;
    ASSERT_TRUE(e2e::fs::is_directory(dir)) << dir;
    for (const auto& file : e2e::fs::directory_iterator(dir)) {
      SCOPED_TRACE(file.path().string());
      target.entry(e2e::read_file(file.path()));
    }
  }
}

// The build makes one fuzz target per corpus folder.
TEST(FuzzCorpus, EveryFolderHasItsTarget) {
  for (const auto& dir : e2e::fs::directory_iterator(kCorpus))
    EXPECT_NE(tarvo::fuzz::find_target(dir.path().filename().string()), nullptr) << dir.path();
}

}  // namespace
