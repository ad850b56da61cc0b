// The reference scan and Table 1 of the statistics file.
#include <algorithm>

#include "tarvo.h"

namespace tarvo {

static void rule(FILE* f, int n) {
  for (int i = 0; i < n; ++i) std::fputc('_', f);
}

static void write_table1(Run& run, int nBlocks) {
  FILE* f = run.io.fp3;
  if (!f) return;
  const Estimates& est = run.est;
  std::fprintf(f, "\n\n\n\n\n\n");
  rule(f, 94);
  std::fprintf(f, "\n\n");
  std::fprintf(f,
               "Table 1  Cumulative matches in reference data when increasing false positives "
               "(-z NUM)\n");
  std::fprintf(f, "         Determined from pooled data over all POP=%d populations\n", nBlocks);
  std::fprintf(
      f,
      "\n\n  z   LLR          False     Matches  Recaps.  False      Effective   Corrected "
      "  Percentage\n");
  std::fprintf(f,
               "      threshold    positives                   negatives  size        recaptures "
               " recaptures\n");
  std::fprintf(f,
               "      (LLRv)       (V)       (M)       (M-V)   (T)        (E)         (M-V+T)      "
               "         \n");
  rule(f, 94);
  std::fprintf(f, "\n");
  for (int k = 0; k < LEVELS; ++k) {
    std::fprintf(f, "%3d %9.2f ", shown_z(run, k), est.LLRcut[k]);
    if (est.alphaCut[k] < 0.15)
      std::fprintf(f, "  %9.3f   ", est.alphaCut[k]);
    else
      std::fprintf(f, " %9.2f    ", est.alphaCut[k]);
    std::fprintf(f, "%5.0f  %9.2f  %9.2f  %9.2f   %9.2f  %9.2f\n", est.d_ngood[k], est.d_R[k],
                 est.d_Rcor[k] - est.d_R[k], est.d_Ex[k], est.d_Rcor[k], est.d_pctR[k]);
  }
  std::fprintf(f, "\n\n");
  std::fflush(f);
}

void get_recaps_from_data(Run& run, int model, int nloci, int nanim, int nBlocks, int& npairs,
                          int quiet) {
  double E = 0;
  find_like_recap_data(run, model, nloci, nanim, nBlocks, 0, 0, npairs, E);
  if (npairs > 1) {
    auto& bank = run.est.mat_pairs[0];
    std::stable_sort(bank.begin(), bank.begin() + npairs,
                     [](const MatchPair& a, const MatchPair& b) { return compare_LLR(a, b) < 0; });
  }
  if (!quiet) write_table1(run, nBlocks);
}

}  // namespace tarvo
