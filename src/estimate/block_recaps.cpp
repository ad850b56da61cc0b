// Recapture estimates per population and per pair of populations at the
// current false-positive level, and the recapture plan that the standard-error
// simulation follows.
#include <algorithm>
#include <cmath>

#include "tarvo.h"

namespace tarvo {

namespace {

void rule(FILE* fp, int width, const char* end) {
  for (int k = 0; k < width; ++k) std::fputc('_', fp);
  std::fputs(end, fp);
}

int pop_size(const Run& run, int index) {
  return run.store.nBlock[index + 1] - run.store.nBlock[index];
}

void write_header(Run& run, FILE* fp) {
  std::fprintf(fp, "%s\n", date_line(run).c_str());
  std::fprintf(fp, "Executable file: %s\n", VERSION);
  for (int k = 0; k < 2; ++k)
    if (run.opt.i_option[k]) std::fprintf(fp, "Input data file: %s\n", run.opt.i_value[k].c_str());
  std::fprintf(fp, "Output     file: %s\n\n", run.opt.o_value[3].c_str());
}

void write_table_head(FILE* fp, int nBlocks) {
  if (nBlocks <= 1) {
    std::fprintf(fp, "\n\n\nTable 1  Within population recapture estimate from reference data\n");
    rule(fp, 100, "\n");
    std::fprintf(fp,
                 "  Population    Population                 Effective       False       Matches  "
                 "Recaptures__________\n");
    std::fprintf(fp,
                 "  number        size                       sample size     positives   found    "
                 "Corrected   (%c) \n",
                 '%');
    std::fprintf(fp,
                 "  n1            s1                          E               V          M        "
                 "R_hat        P        \n");
  } else {
    std::fprintf(fp,
                 "\n\n\nTable 1  Within and between population recapture estimates from data\n");
    rule(fp, 100, "\n");
    std::fprintf(fp,
                 "  Population    Population    Effective    Effective       False       Matches  "
                 "Recaptures__________\n");
    std::fprintf(fp,
                 "  number        size          block size   sample size     positives   found    "
                 "Corrected   (%c) \n",
                 '%');
    std::fprintf(fp,
                 "  n1   n2       s1   s2        b            e               V          M        "
                 "R_hat        P  \n");
  }
  rule(fp, 100, "\n");
}

void note_row(FILE* fp, int a, int b, int na, int nb, double size, double E, double V, int M) {
  std::fprintf(fp,
               "%4d : %-4d %6d : %-6d %9.2f   %9.2f      %9.3f  %6d    NOTE: Shadows (S) were "
               "greater than matches found (M)  \n",
               a, b, na, nb, size, E, V, M);
}

// The false positives expected among the pairs of one cell: its share of the
// undetectable weight when that weight is usable, else its share of all pairs.
double cell_false_positives(double V, double cell_pairs, double g, double W, double N) {
  if (W > 1) return V * (cell_pairs - g) / W;
  return V * cell_pairs / (N * (N - 1) / 2);
}

}  // namespace

double get_corrected_match(int pos, int /*a*/, int /*b*/, const std::vector<int>& rlist, double V,
                           double E12, double N12, double& R12) {
  const double m = rlist[pos];
  const double w = std::max(m, std::min(E12, N12));
  const double l = 1 - std::exp(std::log(1 - (m - V) / w) / w);
  R12 = l < 0 ? 0 : N12 * (1 - std::pow(1 - l, N12));
  return R12;
}

void get_blist_rlist(Run& run, int n, std::vector<int>& blist, std::vector<int>& rlist, int& len,
                     int set) {
  blist.clear();
  rlist.clear();
  const auto& pairs = run.est.mat_pairs[set];
  const double cut = run.est.LLRcut[run.opt.z_value];
  n = std::clamp(n, 0, int(pairs.size()));
  for (int r = 0; r < n; ++r) {
    const MatchPair& mp = pairs[r];
    if (!(mp.llr > cut)) continue;
    const int key = mp.pop2 * 1000 + mp.pop1;
    auto it = std::find(blist.begin(), blist.end(), key);
    if (it == blist.end()) {
      blist.push_back(key);
      rlist.push_back(1);
    } else {
      rlist[it - blist.begin()] += 1;
    }
  }
  len = int(blist.size());
}

// The score tables of the set are those its pair scan prepared; the store and
// the masks are the same here, so they are not rebuilt for every population.
double effectiveBlockSize(Run& run, int model, int nloci, int nanim, int p, int q, int set,
                          double& g) {
  const double cut = run.est.LLRcut[run.opt.z_value];
  const auto& nBlock = run.store.nBlock;
  const auto& rec = run.store.rec;
  g = 0;
  for (int i = nBlock[p]; i < nBlock[p + 1]; ++i) {
    const int jend = p == q ? std::min(i, nBlock[q + 1]) : nBlock[q + 1];
    for (int j = nBlock[q]; j < jend; ++j) {
      const uint32_t mask = rec[i].loci_mask & rec[j].loci_mask;
      if (mask == 0) continue;
      double L = 0, Lj = 0, Li = 0;
      likeme2(run, model, i, j, nloci, nanim, mask, set, L, Lj, Li);
      if (Li > cut) g += 0.5;
      if (Lj > cut) g += 0.5;
    }
  }
  if (p == q) return 0.5 + 0.5 * std::sqrt(1 + 8 * g);
  return std::sqrt(g);
}

double dataBlockRecaps(Run& run, int nloci, int nBlocks, int nanim, int goodPairs, double Etotal,
                       int& nrows, int model, int iteration) {
  const std::string temp = temp_file_name(run);
  FILE* fp = std::fopen(temp.c_str(), "w");
  if (!fp) {
    to_err(run, "dataBlockRecaps(): Cannot open <%s> for writing\n", temp.c_str());
    stop(255);
  }
  run.io.fp8 = fp;
  write_header(run, fp);

  const double N = nanim;
  const double W = N * (N - 1) / 2 - Etotal * (Etotal - 1) / 2;
  const double V = run.est.alphaCut[run.opt.z_value];
  auto& plan = run.est.simBlock;
  plan.clear();
  double result = 0;

  auto finish = [&]() {
    rule(fp, 100, "\n");
    std::fclose(fp);
    run.io.fp8 = nullptr;
    nrows = int(plan.size());
    return result;
  };

  if (goodPairs == 0) {
    std::fprintf(fp, "\n\n");
    rule(fp, 100, "\n");
    std::fprintf(fp, "Convergence iteration %d with %5.3f false positives\n", iteration + 1, V);
    std::fprintf(fp, "No recaptures found: \n");
    return finish();
  }

  std::fprintf(fp, "\n\n\n\n\n\n\n\n");
  rule(fp, 56, "\n");
  std::fprintf(fp, "Convergence iteration %d with %5.3f false positives\n", iteration + 1, V);
  rule(fp, 56, "\n\n");
  write_table_head(fp, nBlocks);

  // Matches beyond the stored ones were counted but never recorded.
  std::vector<int> blist, rlist;
  int len = 0;
  get_blist_rlist(run, std::min(goodPairs, run.totalPairs), blist, rlist, len, 0);

  for (int j = 0; j < len; ++j) {
    const int M = rlist[j];
    const int u = blist[j] % 1000;  // later sample's population, from 1
    const int t = blist[j] / 1000;  // earlier sample's population, from 1
    const int Nu = pop_size(run, u - 1);
    if (t == u) {
      double E = 0, g = 0;
      if (nBlocks <= 1) {
        E = Etotal;
        g = Etotal * (Etotal - 1) / 2;
      } else {
        E = effectiveBlockSize(run, model, nloci, nanim, u - 1, u - 1, 0, g);
      }
      const double Vu = cell_false_positives(V, Nu * (Nu - 1.0) / 2, g, W, N);
      if (M <= Vu) {
        note_row(fp, t, t, Nu, Nu, Nu, E, Vu, M);
        continue;
      }
      // With more net matches than the effective size the logarithm is
      // undefined; bound E as the simulated estimate does.
      if (M - Vu >= E) E = std::max(double(M), std::min(E, double(Nu)));
      const double h = 1 - (M - Vu) / E;
      const double x = std::exp(std::log(h) / E);
      const double Rhat = (1 - std::pow(x, Nu)) * Nu;
      const double P = 100 * Rhat / (Nu - Rhat);
      plan.push_back(SimBlockRow{u - 1, u - 1, Rhat, 0});
      result += Rhat;
      if (nBlocks <= 1)
        std::fprintf(
            fp, "%4d        %6d                      %9.2f      %9.3f  %6d    %9.2f   %9.2f  \n", t,
            Nu, E, Vu, M, Rhat, P);
      else
        std::fprintf(fp, "%4d : %-4d %6d : %-6d %9.2f   %9.2f      %9.3f  %6d    %9.2f   %9.2f  \n",
                     t, t, Nu, Nu, double(Nu), E, Vu, M, Rhat, P);
      continue;
    }

    const int Nt = pop_size(run, t - 1);
    const double B = std::sqrt(double(Nu) * Nt);
    double g = 0;
    double E12 = effectiveBlockSize(run, model, nloci, nanim, u - 1, t - 1, 0, g);
    double E1 = std::min(E12 * std::sqrt(double(Nu) / Nt), double(Nu));
    double E2 = std::min(E12 * std::sqrt(double(Nt) / Nu), double(Nt));
    E12 = std::min(E12, B);
    struct Named {
      const char* name;
      double* value;
    };
    const Named sizes[3] = {{"E1", &E1}, {"E2", &E2}, {"E12", &E12}};
    for (const Named& s : sizes) {
      if (M > *s.value) {
        std::fprintf(fp, "dataBlockRecaps: Warning %s=%f < rlist[%d]=%d\n", s.name, *s.value, j, M);
        *s.value = M;
      }
    }
    const double Vut = cell_false_positives(V, double(Nu) * Nt, g, W, N);
    for (const Named& s : sizes) {
      const double arg = 1 - (M - Vut) / *s.value;
      if (arg < 1e-200) {
        out_log(run, "Cannot get log of %f in dataBlockRecaps() j=%d rlist[j]=%d alpha=%f  %s=%f\n",
                arg, j, M, Vut, s.name, *s.value);
        stop(1);
      }
    }
    if (M <= Vut) {
      note_row(fp, u, t, Nu, Nt, B, E12, Vut, M);
      continue;
    }
    const double h = 1 - (M - Vut) / E12;
    const double Rhat = B * (1 - std::pow(h, B / E12));
    const double P = 100 * Rhat / B;
    plan.push_back(SimBlockRow{u - 1, t - 1, Rhat, 0});
    result += Rhat;
    std::fprintf(fp, "%4d : %-4d %6d : %-6d %9.2f   %9.2f      %9.3f  %6d    %9.2f   %9.2f \n", u,
                 t, Nu, Nt, B, E12, Vut, M, Rhat, P);
  }
  return finish();
}

}  // namespace tarvo
