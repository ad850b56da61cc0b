// Convergence over the false-positive level: which level has the smallest
// standard error so far, and where to try next.
#include "tarvo/convergence.h"

namespace tarvo {

void LevelSearch::record(int level, double se, double mean_recaptures) {
  se_[level] = se;
  mean_[level] = mean_recaptures;
}

int LevelSearch::smallest() const {
  int best = -1;
  for (int k = 0; k < LEVELS; ++k)
    if (tried(k) && (best < 0 || se_[k] < se_[best])) best = k;
  return best;
}

int LevelSearch::best() const {
  const int b = smallest();
  return b < 0 ? 0 : b;
}

// Returning the current level tells the driver that the search has ended.
LevelSearch::Step LevelSearch::next_step(int z, int stage_best) const {
  const auto try_level = [z](int y) { return Step{y, y == z ? Note::None : Note::TryAnother, y}; };
  if (!tried(stage_best)) return try_level(stage_best);
  const int g = best();
  if (g == stage_best) return Step{z, Note::Converged, stage_best};
  // Step from the best recorded level towards this stage's best.
  const int y = stage_best > g ? g + 1 : g - 1;
  if (tried(y)) return Step{z, Note::Converged, best()};
  return try_level(y);
}

}  // namespace tarvo
