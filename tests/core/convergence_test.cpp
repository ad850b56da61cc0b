#include "tarvo/convergence.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace tarvo;

namespace {

using Note = LevelSearch::Note;

void expect_step(const LevelSearch::Step& s, int next, Note note, int level) {
  EXPECT_EQ(s.next, next);
  EXPECT_EQ(s.note, note);
  if (note != Note::None) {
    EXPECT_EQ(s.note_level, level);
  }
}

TEST(LevelSearch, TriedLevelsAndSmallest) {
  LevelSearch s;
  EXPECT_EQ(s.smallest(), -1);
  EXPECT_EQ(s.best(), 0);
  s.record(7, std::nan(""), 3.0);
  EXPECT_FALSE(s.tried(7));  // NaN is never a result
  s.record(9, 0.0, 3.0);
  s.record(4, 0.0, 2.0);
  EXPECT_TRUE(s.tried(9));     // an se of exactly 0 is
  EXPECT_EQ(s.smallest(), 4);  // the lower level on a tie
  EXPECT_EQ(s.mean_recaptures()[4], 2.0);
}

TEST(LevelSearch, NextStep) {
  LevelSearch s;
  s.record(5, 2.0, 1.0);
  // This stage's best is the best recorded: converged, stay.
  expect_step(s.next_step(5, 5), 5, Note::Converged, 5);
  // A level not yet tried: go there.
  expect_step(s.next_step(5, 8), 8, Note::TryAnother, 8);
  // Best recorded 5, this stage's best 8 (tried, worse): step from 5 towards 8.
  s.record(8, 3.0, 1.0);
  expect_step(s.next_step(8, 8), 6, Note::TryAnother, 6);
  s.record(6, 4.0, 1.0);
  expect_step(s.next_step(8, 8), 8, Note::Converged, 5);
  // Towards lower levels too.
  s.record(3, 9.0, 1.0);
  expect_step(s.next_step(3, 3), 4, Note::TryAnother, 4);
  // A stage whose every se is NaN reports level 0: untried, tried next,
  // unless it is the current level, which ends the search without a note.
  LevelSearch fresh;
  fresh.record(0, std::nan(""), 0.0);
  expect_step(fresh.next_step(0, 0), 0, Note::None, 0);
  expect_step(fresh.next_step(3, 0), 0, Note::TryAnother, 0);
}

}  // namespace
