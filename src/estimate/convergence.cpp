// Convergence over the false-positive level: which level has the smallest
// standard error so far, where to try next, and the notes that say so.
#include <cstdio>

#include "tarvo.h"

namespace tarvo {

namespace {

void underscores_line(FILE* f) {
  for (int i = 0; i < 60; ++i) std::fputc('_', f);
  std::fputs(" \n", f);
}

// A level not yet simulated holds -1.  A standard error of exactly 0 (every
// run found the same estimate) is the best a level can do, so it counts as
// simulated; not a number never does.
bool simulated_level(const Run& run, int k) { return run.est.Rse[0][k] >= 0; }

// The simulated level with the smallest standard error, the lower level on a
// tie; -1 when no level has been simulated.
int smallest_positive_se(const Run& run) {
  int best = -1;
  for (int k = 0; k < LEVELS; ++k) {
    const double v = run.est.Rse[0][k];
    if (simulated_level(run, k) && (best < 0 || v < run.est.Rse[0][best])) best = k;
  }
  return best;
}

}  // namespace

int z_done_before(const Run& run, int k) { return simulated_level(run, k) ? 1 : 0; }

int find_best_z(const Run& run) {
  const int best = smallest_positive_se(run);
  return best < 0 ? 0 : best;
}

void z_warning(Run& run, int y, int z) {
  if (y == z) return;
  const LevelTable& V = run.est.alphaCut;
  const char* second = run.opt.c_value > 1
                           ? "        Trying another run with       '-z %2d' (V=%5.3f False "
                             "positives)\n"
                           : "        Possibly try another run with '-z %2d' (V=%5.3f False "
                             "positives)\n";
  for (FILE* f : {run.io.fp3, run.io.fp7, run.io.out}) {
    if (!f) continue;
    std::fprintf(f,
                 "\n\nNOTE:   Above run initiated with      '-z %2d' (V=%5.3f False positives)\n",
                 shown_z(run, z), V[z]);
    std::fprintf(f, second, shown_z(run, y), V[y]);
  }
  if (run.io.out) std::fflush(run.io.out);
}

void z_converge_note2(Run& run, int k, FILE* f) {
  if (!f) return;
  const Estimates& est = run.est;
  std::fprintf(f, "\n\nNOTE:   Convergence found with '-z %2d' (V=%5.3f false positives)\n",
               shown_z(run, k), est.alphaCut[k]);
  const int m = smallest_positive_se(run);
  std::fputs("\n\n", f);
  underscores_line(f);
  std::fputs("Convergence summary of total corrected recaptures (R_hat)        \n", f);
  underscores_line(f);
  std::fputs("                    Reference       Simulated   \n", f);
  std::fputs("                    data            data        \n", f);
  underscores_line(f);
  std::fputs(" -z      False      R_hat           R_hat   s.e. \n", f);
  std::fputs("         positives                               \n", f);
  underscores_line(f);
  for (int j = 0; j < LEVELS; ++j) {
    if (!simulated_level(run, j)) continue;
    std::fprintf(f, "%3d  %10.3f %10.3f      %10.3f %6.3f", shown_z(run, j), est.alphaCut[j],
                 est.d_Rcor[j], est.Rse[1][j], est.Rse[0][j]);
    std::fputs(j == m ? " (min s.e.)\n" : "\n", f);
  }
  underscores_line(f);
}

void z_converge_note(Run& run, int k) {
  z_converge_note2(run, k, run.io.fp3);
  z_converge_note2(run, k, run.io.fp7);
  z_converge_note2(run, k, run.io.out);
  if (run.io.out) std::fflush(run.io.out);
}

// Returning the current level tells the driver that the search has ended.
int next_level(Run& run, int z, int b) {
  if (!z_done_before(run, b)) {
    z_warning(run, b, z);
    return b;
  }
  const int g = find_best_z(run);
  if (g == b) {
    z_converge_note(run, b);
    return z;
  }
  // Step from the best recorded level towards this stage's best.
  const int y = b > g ? g + 1 : g - 1;
  if (z_done_before(run, y)) {
    z_converge_note(run, find_best_z(run));
    return z;
  }
  z_warning(run, y, z);
  return y;
}

}  // namespace tarvo
