// Simulated data sets with planted recaptures for the standard-error runs:
// unrelated genotypes, then the planned number of repeat pairs copied within
// or between populations, then genotyping errors on every sample.
#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "tarvo.h"

namespace tarvo {

namespace {

// A capacity warning goes as one block to the log and then to standard output,
// and the run ends: a plan that does not fit the populations would otherwise
// copy genotypes over earlier pairs or read from a neighbouring population.
[[noreturn]] void capacity_warning(Run& run, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    to_log(run, "%s", line.c_str());
    if (run.io.out) std::fflush(run.io.out);
  }
  for (const std::string& line : lines) to_out(run, "%s", line.c_str());
  if (run.io.out) std::fflush(run.io.out);
  stop(1);
}

std::string format(const char* fmt, int a, int b, int c) {
  char buf[512];
  std::snprintf(buf, sizeof buf, fmt, a, b, c);
  return buf;
}

std::vector<std::string> warning_tail(int nrows, int posA, int posB) {
  return {"Overwriting pair matches may cause extra matches in diagonal block\n",
          "eg This could occur if R_valueS in simulation is greater than BLOCK size\n",
          format("BLOCK number=%d  blockpos[simBlock[m].ia]=%d blockpos[simBlock[m].ib]=%d \n",
                 nrows, posA, posB)};
}

}  // namespace

void allocate_match(Run& run, int nloci, int dst, int src) {
  const int32_t* from = run.store.row(1, src);
  int32_t* to = run.store.row(1, dst);
  std::copy(from, from + 2 * nloci, to);
}

int sim_individual_match_genotypes(Run& run, int model, int nloci, int nsamples, int nrows,
                                   int /*spare*/, double expected) {
  Options& opt = run.opt;
  std::vector<SimBlockRow>& plan = run.est.simBlock;
  const std::vector<int32_t>& nBlock = run.store.nBlock;

  for (Locus& locus : run.store.loc) std::fill(std::begin(locus.count), std::end(locus.count), 0);
  std::array<int, BLOCK> blockpos{};

  sim_genotypes(run, model, nloci, nsamples, 0, 1);

  if (model != 1 && model != 2) {
    // The simulation models plant all their recaptures through one row; its
    // round-up count carries on from whatever the plan held.
    if (plan.empty()) plan.resize(1);
    plan[0].ia = 0;
    plan[0].ib = opt.H_value != 0 ? 1 : 0;
    plan[0].rhat = expected;
    nrows = 1;
  }
  // Never read beyond the rows the plan actually has.
  const int rows = std::min<int>(nrows, static_cast<int>(plan.size()));

  // Real genotype files (and any run with a second simulated population) take
  // the copied genotypes from the population's own position counter; the
  // frequency-file models copy the last positions onto the first ones.
  const bool counted_source =
      (opt.i_option[0] && !opt.i_option[1]) || model == 2 || opt.H_value != 0;
  const bool genotype_file_only = opt.i_option[0] && !opt.i_option[1];

  for (int m = 0; m < rows; ++m) {
    SimBlockRow& row = plan[m];
    const double x = row.rhat;
    const double u = run.rng.drand();
    const int k = static_cast<int>(x);
    int R = k;
    if (u < x - k) {
      R = k + 1;
      row.nround += 1;
    }

    const int ia = row.ia, ib = row.ib;
    const char* name_a = run.store.b_name[ia].c_str();
    const char* name_b = run.store.b_name[ib].c_str();
    if (R < 0) {
      if (nrows == 1)
        log_out(run, "    No matches found:   Recap estimate is %d parent-offspring pairs \n", R);
      else
        log_out(run,
                "    No matches found:   Recap estimate is %d parent-offspring pairs in "
                "populations %d (%s) and %d (%s)\n",
                R, ia + 1, name_a, ib + 1, name_b);
      return -1;
    }
    if (nrows == 1)
      log_out(run, "  (Simulating %3d recaptures) %5.2f", R, x);
    else
      log_out(run, "\n             (Simulating %3d recaptures in populations %2d '%s' and %d '%s')",
              R, ia + 1, name_a, ib + 1, name_b);

    const int Amin = nBlock[ia], Amax = nBlock[ia + 1];
    const int Bmin = nBlock[ib], Bmax = nBlock[ib + 1];
    for (int t = 0; t < R; ++t) {
      const int l = blockpos[ia];
      blockpos[ia] += 1;
      int src;
      if (counted_source) {
        src = Bmin + blockpos[ib];
        blockpos[ib] += 1;
      } else {
        src = Amax - R + t;
      }

      if (blockpos[ia] > Amax - Amin) {
        std::vector<std::string> lines = {
            "\n\nsim_individual_match_genotypes:\n",
            format("\nWarning 1: high density of recaptures in blocks - may have overwritten some "
                   "pair matches blockpos[simBlock[m].ia]=%d  Amin=%d  Amax=%d\n",
                   blockpos[ia], Amin, Amax)};
        for (std::string& s : warning_tail(nrows, blockpos[ia], blockpos[ib]))
          lines.push_back(std::move(s));
        capacity_warning(run, lines);
      }
      const bool source_full = blockpos[ib] > Bmax - Bmin;
      if (genotype_file_only) {
        if (source_full) {
          std::vector<std::string> lines = {
              format("\nWarning 2: high density of recaps in blocks - may have overwritten some "
                     "pair matches blockposA[simBlock[m].ib]=%d  Bmin=%d  Bmax=%d\n",
                     blockpos[ib], Bmin, Bmax)};
          for (std::string& s : warning_tail(nrows, blockpos[ia], blockpos[ib]))
            lines.push_back(std::move(s));
          capacity_warning(run, lines);
        }
      } else if (source_full && (opt.H_value != 0 || model == 2)) {
        // Model 2 also draws its sources from the counter, so it needs the
        // same guard against reading past the source population.
        std::vector<std::string> lines = {
            format("\nWarning 3: high density of recaps in blocks - may have overwritten some "
                   "pair matches blockposA[simBlock[m].ib]=%d  Bmin=%d  Bmax=%d\n",
                   blockpos[ib], Bmin, Bmax)};
        for (std::string& s : warning_tail(nrows, blockpos[ia], blockpos[ib]))
          lines.push_back(std::move(s));
        capacity_warning(run, lines);
      }

      allocate_match(run, nloci, Amin + l, src);
    }
  }

  const double Es = opt.E_value / 10000.0;
  for (int s = 0; s < nsamples; ++s) add_loci_errors_n(run, nloci, 1, 1, Es, s);
  return 1;
}

}  // namespace tarvo
