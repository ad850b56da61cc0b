// The table of distinct missing-loci patterns and the ways simulated samples
// get their patterns.
#include "tarvo.h"

namespace tarvo {

int bitperm(Run& run, uint32_t mask, int count, int reset, char tag) {
  Patterns& p = run.pat;
  if (reset) {
    p.used = 0;
    return 0;
  }
  bool found = false;
  for (int e = 0; e < p.used; ++e) {
    if (p.perm[e].mask == mask) {
      found = true;
      if (count) p.perm[e].count += 1;
    }
  }
  if (found) return p.used;
  if (p.used >= PERM) {
    to_log(run, "Maximum number of missing value combinations %d has exceeded PERM=%d.\n",
           p.used + 1, PERM);
    to_log(run, "Need to increase PERM.\n");
    to_log(run, "Program stopped due to condition above\n");
    to_out(run, "\nMaximum number of missing value combinations %d has exceeded PERM=%d.\n",
           p.used + 1, PERM);
    to_out(run, "Need to increase PERM.\n");
    to_out(run, "Program stopped due to condition above\n");
    stop(1);
  }
  p.perm[p.used] = MissPattern{mask, count ? 1 : 0, tag};
  p.used += 1;
  return p.used;
}

void get_mbit2(Run& run, int n, int& npat) {
  npat = 0;
  for (int i = 0; i < n; ++i) npat = bitperm(run, run.store.rec[i].loci_mask, 1, 0, 's');
}

void get_mbit(Run& run, int n, int nloci, int& npat, int y) {
  npat = 0;
  const double Y = y / 100.0;
  const uint32_t full = all_loci_mask(nloci);
  for (int j = 0; j < n; ++j) {
    uint32_t mask;
    do {
      mask = full;
      for (int k = 0; k < nloci; ++k)
        if (run.rng.drand() > Y) mask &= ~(1u << k);
    } while (mask == 0);
    run.store.rec[j].loci_mask = mask;
    npat = bitperm(run, mask, 1, 0, 's');
  }
}

void get_mbit3(Run& run, int n, int& npat, int nsrc, const uint32_t* src) {
  npat = 0;
  for (int i = 0; i < n; ++i) {
    int idx = static_cast<int>(nsrc * run.rng.drand());
    run.store.rec[i].loci_mask = src[idx];
    npat = bitperm(run, src[idx], 1, 0, 's');
  }
}

void get_mbit4(Run& run, int n, int& npat, const uint32_t* src) {
  npat = 0;
  for (int i = 0; i < n; ++i) {
    int b = run.store.rec[i].block;
    double lo = run.store.nBlock[b], hi = run.store.nBlock[b + 1];
    int idx = static_cast<int>(lo + run.rng.drand() * (hi - lo));
    run.store.rec[i].loci_mask = src[idx];
    npat = bitperm(run, src[idx], 1, 0, 's');
  }
}

void bitout2(uint32_t mask, int nloci, FILE* stream) {
  for (int k = 0; k < nloci; ++k) {
    unsigned byte = (mask >> (8 * (k / 8))) & 0xffu;
    std::fprintf(stream, "%c   ", ((byte >> (k % 8)) & 1u) ? '.' : 'M');
  }
}

static void spaces(FILE* stream, int n) {
  for (int i = 0; i < n; ++i) std::fputc(' ', stream);
}

void print_missing_loci(Run& run, int nloci, int npat, int nsamples, FILE* stream) {
  const int width = 4 * nloci + 28;
  auto rule = [&] {
    for (int i = 0; i < width; ++i) std::fputc('_', stream);
  };
  if (npat == 0) {
    std::fprintf(stream, "\n\nThere were no missing alleles in this data set\n");
    return;
  }
  std::fprintf(stream, "\n\nMissing allele report\n\n");
  rule();
  std::fprintf(stream, "\n\n              Locus            ");
  spaces(stream, 4 * nloci - 14);
  std::fprintf(stream, "Frequency     \n");
  std::fprintf(stream, "            ");
  for (int k = 1; k <= nloci; ++k) std::fprintf(stream, "%3d ", k);
  std::fprintf(stream, "\n");
  rule();
  std::fprintf(stream, "\nCombination\n");
  std::fflush(stream);
  for (int j = 0; j < npat; ++j) {
    std::fprintf(stream, "  %5d       ", j + 1);
    bitout2(run.pat.perm[j].mask, nloci, stream);
    std::fprintf(stream, " %7d \n", run.pat.perm[j].count);
    std::fflush(stream);
  }
  rule();
  std::fprintf(stream, "\n           ");
  spaces(stream, 4 * nloci - 5);
  std::fprintf(stream, "Total %10d\n", nsamples);
  rule();
  std::fprintf(stream, "\n\n\n");
  std::fflush(stream);
}

void show(Run& run, uint32_t mask) {
  log_out(run, "(%05u decimal)", mask);
  for (int b = 31; b >= 0; --b) {
    char c = ((mask >> b) & 1u) ? '1' : '0';
    to_out(run, "%c", c);
    to_log(run, "%c", c);
  }
  log_out(run, " binary");
}

}  // namespace tarvo
