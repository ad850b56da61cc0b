// The scan over all pairs of a data set: per-level match counts and
// detectability counts, the stored matching pairs and the level estimator.
#include <algorithm>
#include <cmath>

#include "tarvo.h"

namespace tarvo {

int binarySearch(const double* v, int lo, int hi, double x) {
  if (x >= v[0]) return 0;
  if (x <= v[hi]) return -1;
  while (lo <= hi) {
    const int mid = (lo + hi) / 2;
    if (x < v[mid])
      lo = mid + 1;
    else if (x > v[mid])
      hi = mid - 1;
    else
      return mid;
  }
  return lo;
}

double LLR2alpha(const Run& run, double x) {
  const int k = binarySearch(run.est.tot.data(), 0, LEVELS * run.opt.n_value - 1, x);
  if (k == -1) return 999999;
  return double(k) / run.opt.n_value;
}

int compare_LLR(const MatchPair& a, const MatchPair& b) {
  if (a.llr > b.llr) return -1;
  if (a.llr < b.llr) return 1;
  return 0;
}

int compare_double(double a, double b) {
  const double d = a - b;
  if (d > 0) return -1;
  if (d < 0) return 1;
  return 0;
}

int inblock(Run& run, int n, int nblocks) {
  const auto& nBlock = run.store.nBlock;
  if (nblocks >= 0 && nblocks <= BLOCK) {
    if (n < nBlock[0]) return -1;
    for (int p = 0; p < nblocks; ++p)
      if (n < nBlock[p + 1]) return p;
  }
  log_out(run,
          "\n\nShould not reach this code in function inblocks   nblocks=%d  nBlock[0]=%d "
          "nBlock[1]=%d n=%d\n",
          nblocks, nBlock[0], nBlock[1], n);
  log_out(run, "Sincere appologies. This is a program error and will terminate now\n");
  stop(1);
}

void store_match_pairs(Run& run, int idx, int i, int j, int pi, int pj, double L, uint32_t mask,
                       int bank) {
  if (idx > PAIRS - 1) {
    log_out(run, "\nNeed to increase variable PAIRS to hold pairwise matches (nrec+1=%d)> PAIRS\n",
            idx);
    log_out(run,
            "Alternatively increase MAX_RANK which will reduce the number of pairs recorded in "
            "your dataset\n");
    stop(1);
  }
  run.est.mat_pairs[bank][idx] = MatchPair{i, j, pi + 1, pj + 1, L, mask};
}

int toplikelihood_inds(Run& run, int i, int j, int nloci, uint32_t mask, int n) {
  Estimates& est = run.est;
  if (nloci == 0) {
    est.is = 0;
    // Entries a small data set never fills hold the floor score, not the
    // previous set's values.
    est.toplikes.fill(FLOOR_LLR);
    est.top_floor_product = 0;
    return 0;
  }
  return toplikelihood_offer(run, likelihood_inds(run, i, j, nloci, mask), n);
}

// Products below this bound have a log clearly below the smallest score held
// (the margin is far above the rounding of exp and log), so they would be
// dropped anyway.
static void update_floor_product(Estimates& est, int n) {
  est.top_floor_product = std::exp(est.toplikes[n - 1]) * (1 - 1e-9);
}

int toplikelihood_offer(Run& run, double L, int n) {
  Estimates& est = run.est;
  if (est.is < n) {
    est.toplikes[est.is] = L;
    est.is += 1;
    if (est.is == n) {
      std::stable_sort(est.toplikes.begin(), est.toplikes.begin() + n,
                       [](double a, double b) { return compare_double(a, b) < 0; });
      update_floor_product(est, n);
    }
    return est.is;
  }
  const int k = binarySearch(est.toplikes.data(), 0, n - 1, L);
  if (k >= 0) {
    for (int m = n - 1; m > k; --m) est.toplikes[m] = est.toplikes[m - 1];
    est.toplikes[k] = L;
    update_floor_product(est, n);
  }
  est.is += 1;
  return est.is;
}

int toplikelihood_offer_product(Run& run, double like, int n) {
  Estimates& est = run.est;
  if (est.is >= n && like < est.top_floor_product) return ++est.is;
  return toplikelihood_offer(run, score_of_product(like), n);
}

namespace {

struct ScanCounts {
  std::array<int64_t, LEVELS + 1> match_from{};   // pairs first counted at level k
  std::array<int64_t, LEVELS + 1> detect_from{};  // self-scores first above cut(k)
  std::array<int64_t, NOL + 1> comparable{};
  std::array<int64_t, NOL + 1> mismatching{};
};

// First level whose threshold the self-score exceeds; LEVELS when none.
int first_level_below(const LevelTable& cut, double x) {
  int lo = 0, hi = LEVELS;
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    if (x > cut[mid])
      hi = mid;
    else
      lo = mid + 1;
  }
  return lo;
}

void write_mismatch_table(Run& run, int nloci, const ScanCounts& c) {
  FILE* f = run.io.fp2;
  if (!f) return;
  std::fprintf(f, "\n\n Pairwise missmatch analysis of loci\n");
  std::fprintf(f, "____________________________________\n");
  std::fprintf(f, " Number      Comparable    Mismatch\n");
  std::fprintf(f, "____________________________________\n");
  for (int n = 0; n <= nloci; ++n)
    std::fprintf(f, " %3d     %12lld %12lld\n", n, (long long)c.comparable[n],
                 (long long)c.mismatching[n]);
  std::fprintf(f, "____________________________________\n");
  std::fflush(f);
}

// Scores every pair of the store; returns the number of stored pairs.
int scan_pairs(Run& run, int model, int nloci, int nsamples, int nblocks, int simulated,
               bool mismatches, ScanCounts& c) {
  prepare_scores(run, simulated, nsamples, nloci);
  const LevelTable& cut = run.est.LLRcut;
  std::vector<int> pop(std::max(nsamples, 1));
  int npairs = 0;
  if (nsamples >= 1) pop[0] = inblock(run, 0, nblocks);
  for (int i = 1; i < nsamples; ++i) {
    const int pi = inblock(run, i, nblocks);
    pop[i] = pi;
    const uint32_t mi = run.store.rec[i].loci_mask;
    for (int j = 0; j < i; ++j) {
      const uint32_t mask = run.store.rec[j].loci_mask & mi;
      if (mask == 0) continue;
      if (mismatches) {
        int ncomp, nmis;
        loci_missmatch(run, nloci, i, j, ncomp, nmis);
        c.comparable[ncomp] += 1;
        c.mismatching[nmis] += 1;
      }
      double L, Lj, Li;
      likeme2(run, model, i, j, nloci, nsamples, mask, simulated, L, Lj, Li);
      const int k = binarySearch(cut.data(), 0, LEVELS - 1, L);
      if (k >= 0) {
        c.match_from[k] += 1;
        if (npairs <= PAIRS - 1) {
          store_match_pairs(run, npairs, i, j, pi, pop[j], L, mask, simulated);
          npairs += 1;
          if (npairs == PAIRS)
            log_out(run,
                    "Warning only first %d pairs recorded.\nTo read more pairs change PAIRS and "
                    "recompile.",
                    PAIRS);
        }
      }
      c.detect_from[first_level_below(cut, Li)] += 1;
      c.detect_from[first_level_below(cut, Lj)] += 1;
    }
  }
  return npairs;
}

template <typename F>
void for_each_level(const Run& run, const ScanCounts& c, int nsamples, F&& f) {
  int64_t M = 0, S = 0;
  for (int z = 0; z < LEVELS; ++z) {
    M += c.match_from[z];
    S += c.detect_from[z];
    f(z, estimate_level(double(M), double(S), double(nsamples), run.est.alphaCut[z]));
  }
}

}  // namespace

LevelEstimate estimate_level(double M, double S, double N, double V) {
  LevelEstimate e{};
  e.M = M;
  e.R = M - V;
  if (e.R < 0) e.R = 0;
  e.E = 0.5 + 0.5 * std::sqrt(1 + 4 * S);
  const double h = 1 - e.R / e.E;
  if (h <= 0) {
    e.Rhat = 0;
  } else {
    const double l = 1 - std::exp(std::log(h) / e.E);
    e.Rhat = N * (1 - std::pow(1 - l, N));
  }
  e.pct = 100 * e.Rhat / (N - e.Rhat);
  return e;
}

void find_like_recap_data(Run& run, int model, int nloci, int nsamples, int nblocks, int /*flag*/,
                          int /*simulated*/, int& npairs, double& Ez) {
  Estimates& est = run.est;
  ScanCounts c;
  const bool mismatches = est.mismatch_done == 0;
  npairs = scan_pairs(run, model, nloci, nsamples, nblocks, 0, mismatches, c);
  for_each_level(run, c, nsamples, [&](int z, const LevelEstimate& e) {
    est.d_ngood[z] = e.M;
    est.d_R[z] = e.R;
    est.d_Ex[z] = e.E;
    est.d_Rcor[z] = e.Rhat;
    est.d_pctR[z] = e.pct;
  });
  Ez = est.d_Ex[run.opt.z_value];
  if (mismatches) {
    write_mismatch_table(run, nloci, c);
    est.mismatch_done = 1;
  }
}

void find_like_recap(Run& run, int model, int nloci, int nsamples, int nblocks, int runno,
                     int simulated, int& npairs, double& Ez) {
  Estimates& est = run.est;
  ScanCounts c;
  npairs = scan_pairs(run, model, nloci, nsamples, nblocks, simulated, false, c);
  if (runno == 0) {
    for (LevelSums* t : {&est.ngood, &est.R, &est.Ex, &est.Rcor, &est.pctR}) *t = LevelSums{};
  }
  for_each_level(run, c, nsamples, [&](int z, const LevelEstimate& e) {
    const double v[5] = {e.M, e.R, e.E, e.Rhat, e.pct};
    LevelSums* t[5] = {&est.ngood, &est.R, &est.Ex, &est.Rcor, &est.pctR};
    for (int m = 0; m < 5; ++m) {
      (*t[m])[0][z] += v[m];
      (*t[m])[1][z] += v[m] * v[m];
    }
    if (z == run.opt.z_value) Ez = e.E;
  });
}

}  // namespace tarvo
