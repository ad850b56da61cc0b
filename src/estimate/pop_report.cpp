// The final population report: the reference estimates left in the temporary
// file, then their averages and standard errors over the simulation runs.
#include <cstdio>

#include "tarvo.h"

namespace tarvo {

namespace {

void rule100(FILE* fp) {
  for (int k = 0; k < 100; ++k) std::fputc('_', fp);
  std::fputc('\n', fp);
}

void write_table_head(FILE* fp, int nBlocks, int s) {
  if (nBlocks <= 1) {
    std::fprintf(
        fp, "\n\n\n\n\nTable 2  Within population recapture estimate from %d simulation runs\n", s);
    rule100(fp);
    std::fprintf(fp,
                 "  Population    Population                 Effective       False       Matches  "
                 "Recaptures__________\n");
    std::fprintf(fp,
                 "  number        size                       sample size     poitives    found    "
                 "Corrected   \n");
    std::fprintf(fp,
                 "  n1            s1                          E               V          M        "
                 "R_sim       s.e.    \n");
  } else {
    std::fprintf(fp,
                 "\n\n\n\n\nTable 2  Within and between population recapture estimates from %d "
                 "simulation runs\n",
                 s);
    rule100(fp);
    std::fprintf(fp,
                 "  Population    Population    Effective    Effective       False       Matches  "
                 "Recaptures__________\n");
    std::fprintf(fp,
                 "  number        size          block size   sample size     positives   found    "
                 "Corrected   \n");
    std::fprintf(fp,
                 "  n1   n2       s1   s2        b            e               V          M        "
                 "R_sim       s.e.    \n");
  }
  rule100(fp);
}

}  // namespace

void tarvo_pop_report(Run& run, int nBlocks, int nrows) {
  const Options& opt = run.opt;
  const std::string& name = opt.o_value[3];
  if (run.io.fp6) std::fclose(run.io.fp6);
  run.io.fp6 = std::fopen(name.c_str(), "w");
  FILE* fp = run.io.fp6;
  if (!fp) {
    to_err(run, "open_files(): Cannot open <%s> for writing\n", name.c_str());
    stop(255);
  }

  const std::string temp = temp_file_name(run);
  FILE* in = std::fopen(temp.c_str(), "r");
  if (!in) {
    to_err(run, "tarvo_pop_report(): Cannot open <%s> for reading\n", temp.c_str());
    stop(255);
  }
  for (int c; (c = std::fgetc(in)) != EOF;) std::fputc(c, fp);
  std::fclose(in);
  std::remove(temp.c_str());

  if (opt.c_value == 0) {
    std::fflush(fp);
    return;
  }

  const int s = opt.s_value;
  const int z = opt.z_value;
  const double V = run.est.alphaCut[z];
  const auto& nBlock = run.store.nBlock;
  const Estimates& est = run.est;
  double acc = 0;  // rounding variance, wanted only by the simulation stage
  write_table_head(fp, nBlocks, s);

  if (nBlocks <= 1) {
    if (est.ngood[0][z] > 1e-200) {
      const double se = get_se(run, 0, 0, nrows, est.Rcor[0][z], est.Rcor[1][z], acc);
      std::fprintf(
          fp, "%4d        %6d                      %9.2f      %9.3f  %9.2f %9.2f  %9.2f \n", 1,
          nBlock[1] - nBlock[0], est.Ex[0][z] / s, V, est.ngood[0][z] / s, est.Rcor[0][z] / s, se);
    }
  } else {
    for (int p = 0; p < nBlocks; ++p) {
      for (int q = 0; q < nBlocks; ++q) {
        const size_t cell = size_t(p) * BLOCK + q;
        if (!(est.sum_rlist[cell] > 1e-200)) continue;
        const double se =
            get_se(run, p, q, nrows, est.sd_corR12[cell][0], est.sd_corR12[cell][1], acc);
        const double r = est.count[cell];
        const int Np = nBlock[p + 1] - nBlock[p];
        const int Nq = nBlock[q + 1] - nBlock[q];
        if (p == q)
          std::fprintf(fp, "%4d : %-4d %6d : %-6d %9.2f   %9.2f      %9.3f  %9.2f %9.2f  %9.2f\n",
                       p + 1, p + 1, Np, Np, double(Np), est.sum_E12[cell] / r, est.sum_A[cell] / r,
                       est.sum_rlist[cell] / s, est.sd_corR12[cell][0] / s, se);
        else
          std::fprintf(fp, "%4d : %-4d %6d : %-6d %9.2f   %9.2f      %9.3f  %9.2f %9.2f  %9.2f \n",
                       p + 1, q + 1, Np, Nq, est.sum_N12[cell] / r, est.sum_E12[cell] / r,
                       est.sum_A[cell] / r, est.sum_rlist[cell] / s, est.sd_corR12[cell][0] / s,
                       se);
      }
    }
  }
  rule100(fp);
  std::fflush(fp);
}

}  // namespace tarvo
