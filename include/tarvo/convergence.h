// Convergence over the false-positive level: the standard error found at
// each level tried, the level with the smallest, and where to go next.
#pragma once

#include "tarvo/scan.h"

namespace tarvo {

class LevelSearch {
 public:
  LevelSearch() { se_.fill(-1.0); }
  // A level's standard error and the mean R_hat of its runs.
  void record(int level, double se, double mean_recaptures);
  // A level holds a result (an se of exactly 0 counts; NaN never does).
  [[nodiscard]] bool tried(int level) const { return se_[level] >= 0; }
  // Tried level with the smallest se (the lower on a tie), -1 when none.
  [[nodiscard]] int smallest() const;
  // smallest(), or 0 when none.
  [[nodiscard]] int best() const;
  [[nodiscard]] const LevelTable& standard_errors() const { return se_; }
  [[nodiscard]] const LevelTable& mean_recaptures() const { return mean_; }

  enum class Note { None, TryAnother, Converged };
  struct Step {
    int next = 0;  // level of the next iteration (the current one: stop)
    Note note = Note::None;
    int note_level = 0;  // the level the note names
  };
  // After a stage at level z whose runs had their smallest se at stage_best.
  [[nodiscard]] Step next_step(int z, int stage_best) const;

 private:
  LevelTable se_{};
  LevelTable mean_{};
};

}  // namespace tarvo
