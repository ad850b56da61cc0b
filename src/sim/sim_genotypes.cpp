// Unrelated genotypes drawn from the allele frequencies, recapture copies and
// genotyping errors.
#include "tarvo.h"

namespace tarvo {

// The first entry whose cumulative frequency reaches v, or -1 when none does.
static int draw_entry(const Locus& L, double v) {
  for (int m = 0; m < L.nallele; ++m)
    if (v <= L.cumfreq[m]) return m;
  return -1;
}

static void relationship_rule(FILE* stream) {
  if (stream) std::fprintf(stream, "          ___________________________________________\n");
}

void sim_genotypes(Run& run, int model, int nloci, int nsamples, int R, int simulated) {
  Store& st = run.store;
  for (int k = 0; k < NOL; ++k)
    for (int a = 0; a < NOA; ++a) st.loc[k].count[a] = 0;
  if (!simulated && nsamples > 0) {
    for (int i = 0; i < nsamples; ++i) {
      st.rec[i].block = i < run.opt.M_value ? 0 : 1;
      if (model != 1 && model != 2) st.rec[i].name = std::to_string(i + 1);
    }
  }
  const int drawn = nsamples - R;
  for (int k = 0; k < nloci; ++k) {
    Locus& L = st.loc[k];
    for (int j = 0; j < drawn; ++j) {
      int32_t* row = st.row(simulated, j);
      for (int slot = 0; slot < 2; ++slot) {
        int m = draw_entry(L, run.rng.drand());
        if (m < 0) {
          // A draw above every cumulative frequency (rounding) takes the last allele.
          if (L.nallele == 0) continue;
          m = L.nallele - 1;
        }
        row[2 * k + slot] = L.allele[m];
        L.count[m] += 1;
      }
    }
  }
  if (R == 0) return;

  to_log(run, "\n\n          Simulated relationships:\n");
  relationship_rule(run.io.fp7);
  to_log(run, "          List of pairwise matches\n");
  to_log(run, "          Sample_1               Sample_2\n");
  relationship_rule(run.io.fp7);
  to_out(run, "\n          Simulated relationships:\n");
  relationship_rule(run.io.out);
  to_out(run, "          List of pairwise matches\n");
  to_out(run, "          Sample_1               Sample_2\n");
  relationship_rule(run.io.out);
  for (int t = 0; t < R; ++t) {
    const int copy = nsamples - R + t;
    int32_t* dst = st.row(simulated, copy);
    const int32_t* src = st.row(simulated, t);
    for (int k = 0; k < 2 * nloci; ++k) dst[k] = src[k];
    out_log(run, "          %-20s   %-20s\n", st.rec[copy].name.c_str(), st.rec[t].name.c_str());
  }
  relationship_rule(run.io.out);
  if (run.io.out) std::fflush(run.io.out);
  relationship_rule(run.io.fp7);
  add_loci_errors(run, nloci, 1, simulated, run.opt.E_value / 10000.0, nsamples, R);
}

void add_loci_errors(Run& run, int nloci, int names, int simulated, double rate, int nsamples,
                     int R) {
  for (int s = nsamples - R; s < nsamples; ++s)
    add_loci_errors_n(run, nloci, names, simulated, rate, s);
  for (int s = 0; s < R; ++s) add_loci_errors_n(run, nloci, names, simulated, rate, s);
}

void add_loci_errors_n(Run& run, int nloci, int /*names*/, int simulated, double rate, int s) {
  int32_t* row = run.store.row(simulated, s);
  for (int k = 0; k < nloci; ++k) {
    if (run.rng.drand() >= rate) continue;
    const int r = run.rng.randchoice();
    const Locus& L = run.store.loc[k];
    int m = draw_entry(L, run.rng.drand());
    if (m < 0) {
      if (L.nallele == 0) continue;
      m = L.nallele - 1;
    }
    row[2 * k + r] = L.allele[m];
  }
}

}  // namespace tarvo
