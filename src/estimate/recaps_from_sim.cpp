// The standard-error stage: simulate data sets holding the planned
// recaptures, re-run the estimation on each, and report the spread of the
// estimates at every level (Table 2 of the statistics file).
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "tarvo.h"

namespace tarvo {

// Also used by the tests, which check the table without running simulations.
void write_sim_table2(Run& run, int nBlocks, double total, int iteration, const LevelTable& se,
                      int best);
std::string fixed_or_nan(double x, int width, int precision);

namespace {

constexpr double TINY = 1e-200;

void underscores(FILE* f, int n) {
  for (int i = 0; i < n; ++i) std::fputc('_', f);
  std::fputc('\n', f);
}

double pairs_of(double n) {
  return n * (n - 1) / 2;
}

}  // namespace

// A standard error that is not a number prints as "nan" in the field width
// of the number, never with a sign, whatever the C library makes of NaN.
std::string fixed_or_nan(double x, int width, int precision) {
  char buf[64];
  if (std::isnan(x))
    std::snprintf(buf, sizeof buf, "%*s", width, "nan");
  else
    std::snprintf(buf, sizeof buf, "%*.*f", width, precision, x);
  return buf;
}

double std_dev(int s, double sum, double sumsq) {
  if (s <= 2) return 0;
  const double v = (sumsq - sum * sum / s) / (s - 1);
  return v > 0 ? std::sqrt(v) : 0;
}

double get_se(Run& run, int p, int q, int nrows, double sum, double sumsq, double& acc) {
  const int s = run.opt.s_value;
  const std::vector<SimBlockRow>& plan = run.est.simBlock;
  const int rows = std::min<int>(nrows, static_cast<int>(plan.size()));
  double g = 0;
  for (int m = 0; m < rows; ++m)
    if (plan[m].ia == p && plan[m].ib == q) g = static_cast<double>(plan[m].nround) / s;
  // A single run has no spread, and (s - 1) would divide by zero.
  const double h = s > 1 ? s * g * (1 - g) / (s - 1) : 0;
  acc += h;
  if (s <= 1) return 0;
  const double sd = std_dev(s, sum, sumsq);
  if (!(g > TINY)) return sd;
  const double v = sd * sd - h;
  return v > 0 ? std::sqrt(v) : 0;
}

void simBlockRecaps(Run& run, int model, int nloci, int nanim, int /*runno*/, int npairs,
                    int /*nBlocks*/, int /*nrows*/, double E) {
  Estimates& est = run.est;
  const int z = run.opt.z_value;
  const double V = est.alphaCut[z];
  const double cut = est.LLRcut[z];
  const double N = nanim;
  const double W = pairs_of(N) - pairs_of(E);

  if (npairs <= 1) return;
  npairs = std::min(npairs, PAIRS);
  std::vector<MatchPair>& pairs = est.mat_pairs[1];
  std::stable_sort(pairs.begin(), pairs.begin() + npairs,
                   [](const MatchPair& a, const MatchPair& b) { return compare_LLR(a, b) < 0; });
  int K = 0;
  while (K < npairs && pairs[K].llr > cut) ++K;
  if (K == 0) return;

  std::vector<int> blist, rlist;
  int len = 0;
  get_blist_rlist(run, K, blist, rlist, len, 1);
  if (len <= 0) return;

  const std::vector<int32_t>& nBlock = run.store.nBlock;
  for (int j = 0; j < len; ++j) {
    const int u = blist[j] % 1000, t = blist[j] / 1000;
    const int m = rlist[j];
    const int p = u - 1, q = t - 1;
    const size_t cell = static_cast<size_t>(p) * BLOCK + q;
    const double Nu = nBlock[p + 1] - nBlock[p];
    double g = 0, R12 = 0;
    double size_used, n12, V12;
    if (t == u) {
      const double Eb = effectiveBlockSize(run, model, nloci, nanim, p, p, 1, g);
      size_used = std::max<double>(m, std::min(Eb, Nu));
      V12 = W > 1 ? V * (pairs_of(Nu) - g) / W : V * pairs_of(Nu) / pairs_of(N);
      n12 = Nu;
    } else {
      const double Nt = nBlock[q + 1] - nBlock[q];
      n12 = std::sqrt(Nu * Nt);
      size_used = effectiveBlockSize(run, model, nloci, nanim, p, q, 1, g);
      V12 = W > 1 ? V * (Nu * Nt - g) / W : V * Nu * Nt / pairs_of(N);
    }
    get_corrected_match(j, p, q, rlist, V12, size_used, n12, R12);
    est.count[cell] += 1;
    est.sum_N12[cell] += n12;
    est.sum_E12[cell] += size_used;
    est.sum_A[cell] += V12;
    est.sum_rlist[cell] += m;
    est.sd_corR12[cell][0] += R12;
    est.sd_corR12[cell][1] += R12 * R12;
  }
}

void write_sim_table2(Run& run, int nBlocks, double total, int iteration, const LevelTable& se,
                      int best) {
  FILE* f = run.io.fp3;
  if (!f) return;
  const Estimates& est = run.est;
  const int s = run.opt.s_value;
  const int z = run.opt.z_value;

  std::fprintf(f, "\n\n\n");
  underscores(f, 53);
  std::fprintf(f, "Convergence iteration %d with %5.3f false positives\n", iteration + 1,
               est.alphaCut[z]);
  underscores(f, 53);
  std::fprintf(f, "\n");
  underscores(f, 96);
  std::fprintf(f,
               "Table 2  Recaptures found when simulating %-3.2f pairwise comparisons with given "
               "fale positives. \n",
               total);
  if (nBlocks > 1)
    std::fprintf(f, "         For recapture estimates within populations see: %s\n",
                 run.opt.o_value[3].c_str());
  std::fprintf(f, "         Standard error (s.e.) estimated from %d simulation runs\n", s);
  std::fprintf(f, "         '*' indicates the estimate with minimum variance\n");
  std::fprintf(f,
               "         '#' indicates the z value used to estimate recaptures from reference "
               "data\n");
  underscores(f, 96);
  std::fprintf(f, "\n\n");
  std::fprintf(f,
               "  z    False     Matches     Recaps.  False      Effective      Corrected       "
               "Percentage\n");
  std::fprintf(f,
               "       positives                      negatives  size           recaptures      "
               "recaptures\n");
  std::fprintf(f,
               "       (V)       (M)           (M-V)    (T)      (E)            (M-V+T)          "
               "         \n");
  underscores(f, 96);

  for (int k = 0; k < LEVELS; ++k) {
    const double V = est.alphaCut[k];
    const double meanM = est.ngood[0][k] / s, sdM = std_dev(s, est.ngood[0][k], est.ngood[1][k]);
    const double meanR = est.R[0][k] / s;
    const double meanE = est.Ex[0][k] / s, sdE = std_dev(s, est.Ex[0][k], est.Ex[1][k]);
    const double meanRcor = est.Rcor[0][k] / s;
    const double meanPct = est.pctR[0][k] / s, sdPct = std_dev(s, est.pctR[0][k], est.pctR[1][k]);
    const std::string sek = fixed_or_nan(se[k], 5, 2);

    std::fprintf(f, k == z ? "%3d# " : "%3d  ", shown_z(run, k));
    if (V < 0.15)
      std::fprintf(f, " %6.3f    ", V);
    else
      std::fprintf(f, "%6.2f     ", V);
    if (meanM - V < 0) {
      // Fewer simulated matches than expected false positives: no estimate.
      std::fprintf(f, "%6.2f (%5.2f) ", meanM, sdM);
      std::fprintf(f, "%6.2f   ", meanR);
      std::fprintf(f, "%6.2f  ", 0.0);
      std::fprintf(f, "%6.2f (%5.2f) ", meanE, sdE);
      std::fprintf(f, "%6.2f (%s)", 0.0, sek.c_str());
      std::fprintf(f, "%6.2f (%5.2f) ", 0.0, 0.0);
      std::fprintf(f, "   Warning: Shadows > Matches \n");
    } else {
      std::fprintf(f, "%6.2f (%5.2f) ", meanM, sdM);
      std::fprintf(f, "%6.2f   ", meanR);
      std::fprintf(f, "%6.2f  ", meanRcor - meanR);
      std::fprintf(f, "%6.2f (%5.2f) ", meanE, sdE);
      std::fprintf(f, "%6.2f (%s)", meanRcor, sek.c_str());
      std::fputc(k == best ? '*' : ' ', f);
      std::fprintf(f, "%6.2f (%5.2f) \n", meanPct, sdPct);
    }
  }
  std::fflush(f);
}

int get_recaps_from_sim(Run& run, int model, int nloci, int nanim, int nBlocks, int nrows,
                        double total, int groups, int iteration) {
  Estimates& est = run.est;
  const int s = run.opt.s_value;
  const int z = run.opt.z_value;

  if (iteration == 0) est.Rse[0].fill(-1.0);
  double acc = 0;
  // Nothing of an earlier stage may show as this one's, even when the very
  // first run cannot be simulated.
  for (LevelSums* sums : {&est.ngood, &est.R, &est.Ex, &est.Rcor, &est.pctR})
    for (LevelTable& row : *sums) row.fill(0);
  std::fill(est.count.begin(), est.count.end(), 0);
  for (std::vector<double>* tally : {&est.sum_rlist, &est.sum_A, &est.sum_E12, &est.sum_N12})
    std::fill(tally->begin(), tally->end(), 0.0);
  std::fill(est.sd_corR12.begin(), est.sd_corR12.end(), std::array<double, 2>{0, 0});
  out_log(run, "\n");

  if (nrows <= 0 && nBlocks > 1) {
    if (run.io.fp3) std::fprintf(run.io.fp3, "   There were no matches \n");
    return 0;
  }

  std::vector<uint32_t> saved(std::max(nanim, 0));
  for (int i = 0; i < nanim; ++i) saved[i] = run.store.rec[i].loci_mask;

  for (int r = 0; r < s; ++r) {
    if (run.opt.c_value == 1)
      out_log(run, "\n          run=%2d/%d", r + 1, s);
    else
      out_log(run, "\n          Convergence_iteration=%d      run=%2d/%d", iteration + 1, r + 1, s);

    if (run.opt.b_value == 1 || run.opt.b_value == 2) {
      int npat = 0;
      bitperm(run, 0, 0, 1, ' ');
      if (run.opt.b_value == 1)
        get_mbit3(run, nanim, npat, nanim, saved.data());
      else
        get_mbit4(run, nanim, npat, saved.data());
    }

    const int built =
        sim_individual_match_genotypes(run, model, nloci, nanim, nrows, groups, total);
    int npairs = 0;
    double E = 0;
    find_like_recap(run, model, nloci, nanim, nBlocks, r, 1, npairs, E);
    if (nBlocks > 1 && npairs > 0)
      simBlockRecaps(run, model, nloci, nanim, r, npairs, nBlocks, nrows, E);
    if (built < 0) break;
  }

  // Rounding each plan row to whole pairs adds a binomial spread of its own,
  // which is taken out of the spread of the total.
  for (int p = 0; p < nBlocks; ++p)
    for (int q = 0; q < nBlocks; ++q) {
      const size_t cell = static_cast<size_t>(p) * BLOCK + q;
      if (est.sum_rlist[cell] > TINY)
        get_se(run, p, q, nrows, est.sd_corR12[cell][0], est.sd_corR12[cell][1], acc);
    }

  LevelTable se{};
  int best = 0;
  double smallest = 999999.0;
  for (int k = 0; k < LEVELS; ++k) {
    const double sd = std_dev(s, est.Rcor[0][k], est.Rcor[1][k]);
    const double v = sd * sd - acc;
    se[k] = v >= 0 ? std::sqrt(v) : std::nan("");
    if (se[k] < smallest) {
      smallest = se[k];
      best = k;
    }
    if (k == z) {
      est.Rse[0][z] = se[k];
      est.Rse[1][z] = est.Rcor[0][z] / s;
    }
  }

  for (int i = 0; i < nanim; ++i) run.store.rec[i].loci_mask = saved[i];

  write_sim_table2(run, nBlocks, total, iteration, se, best);
  return next_level(run, z, best);
}

}  // namespace tarvo
