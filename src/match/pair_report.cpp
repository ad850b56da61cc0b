// The final list of pairwise matches of the reference data, highest LLR first.
#include <algorithm>
#include <cstdlib>

#include "tarvo.h"

namespace tarvo {

namespace {

void rule(FILE* fp, int width, const char* end) {
  for (int k = 0; k < width; ++k) std::fputc('_', fp);
  std::fputs(end, fp);
}

// Simulated samples are named by their number from 1; real names may or may
// not start with one.
long leading_number(const std::string& name) {
  return std::strtol(name.c_str(), nullptr, 10);
}

void write_simulated_relationships(Run& run, FILE* fp, int nsamples) {
  const int R = run.opt.R_value;
  const auto& rec = run.store.rec;
  std::fprintf(fp, "\n\n          Simulated relationships:\n");
  std::fprintf(fp, "          ");
  rule(fp, 43, "\n");
  std::fprintf(fp, "          List of pairwise matches\n");
  std::fprintf(fp, "          Sample_1               Sample_2\n");
  std::fprintf(fp, "          ");
  rule(fp, 43, "\n");
  for (int t = 0; t < R; ++t)
    std::fprintf(fp, "          %-20s   %-20s\n", rec[nsamples - R + t].name.c_str(),
                 rec[t].name.c_str());
  std::fprintf(fp, "          ");
  rule(fp, 43, "\n");
}

}  // namespace

void tarvo_pair_report(Run& run, int model, int nloci, int nsamples, int npairs, int iteration) {
  const Options& opt = run.opt;
  if (run.io.fp5) std::fclose(run.io.fp5);
  run.io.fp5 = std::fopen(opt.o_value[2].c_str(), "w");
  FILE* fp = run.io.fp5;
  if (!fp) {
    to_err(run, "open_files(): Cannot open <S_pair> for writing\n");
    stop(255);
  }

  std::fprintf(fp, "%s\n", date_line(run).c_str());
  std::fprintf(fp, "Executable file: %s\n", VERSION);
  for (int k = 0; k < 2; ++k)
    if (opt.i_option[k]) std::fprintf(fp, "Input data file: %s\n", opt.i_value[k].c_str());
  std::fprintf(fp, "Output     file: %s\n\n", opt.o_value[2].c_str());

  if (opt.R_value != 0) write_simulated_relationships(run, fp, nsamples);

  npairs = std::min(npairs, PAIRS);
  if (npairs > 0) {
    const double V = run.est.alphaCut[opt.z_value];
    std::fprintf(fp, "\n\n\n\n\n\n\n");
    if (opt.c_value > 1) {
      rule(fp, 51, "\n");
      std::fprintf(fp, "Convergence iteration %d with %5.3f false positives\n", iteration + 1, V);
      rule(fp, 51, "\n\n");
    }
    rule(fp, 96, "\n");
    std::fprintf(fp,
                 "List of pairwise match(s) having cumulative number of false positives "
                 "<=%-8.3g\n\n",
                 V);
    rule(fp, 96, "\n");
    std::fprintf(
        fp,
        "Rank      Sample_pairs     Populations      Alleles                     Match log "
        "   Cumulative\n");
    std::fprintf(
        fp,
        "                                            Total Mismatch Dropout      likelihood "
        "  number    \n");
    std::fprintf(
        fp,
        "                                                                        ratio (LLR) "
        " of false  \n");
    std::fprintf(
        fp,
        "                                                                                    "
        " positives \n");
    rule(fp, 96, "\n");

    const bool by_name = (opt.i_option[0] && !opt.i_option[1]) || model == 2;
    const auto& rec = run.store.rec;
    bool missed_block = false;
    char flag = ' ';
    for (int r = 0; r < npairs; ++r) {
      const MatchPair& mp = run.est.mat_pairs[0][r];
      const int i = mp.sample1, j = mp.sample2;
      int ndrop = 0, nall = 0, nmis = 0;
      allelic_dropout2(run, nloci, i, j, ndrop, nall, nmis);
      const char sep = nmis == 0 ? ':' : '?';
      const double alpha = LLR2alpha(run, mp.llr);
      if (alpha > V) {
        if (opt.w_option) continue;
        if (!missed_block) {
          missed_block = true;
          rule(fp, 51, "\n");
          std::fprintf(fp, "\nAdditional pairs that missed out on match criteria:\n");
          rule(fp, 51, "\n");
        }
      }
      const bool recapture =
          leading_number(rec[i].name) == leading_number(rec[j].name) + nsamples - opt.R_value;
      flag = (recapture || model == 1 || model == 2) ? ' ' : 'e';
      if (alpha >= 999998) break;
      if (by_name)
        std::fprintf(fp,
                     "%3d %10s %c %-10s%c %4d %4d        %3d    %3d   %3d       %8.2f    %10.3f \n",
                     r + 1, rec[i].name.c_str(), sep, rec[j].name.c_str(), flag, rec[i].block + 1,
                     rec[j].block + 1, nall, nmis, ndrop, mp.llr, alpha);
      else
        std::fprintf(fp,
                     "%3d %10d %c %-10d%c %4d %4d        %3d    %3d   %3d       %8.2f    %10.3f \n",
                     r + 1, i + 1, sep, j + 1, flag, rec[i].block + 1, rec[j].block + 1, nall, nmis,
                     ndrop, mp.llr, alpha);
    }
    if (flag == 'e') std::fprintf(fp, "\n'e' in table above denotes false positive match\n");
  }
  std::fflush(fp);
}

}  // namespace tarvo
