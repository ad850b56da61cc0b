// The allele frequency table built from the genotypes read, and the lookup of
// an allele's frequency by value.
#include <algorithm>
#include <vector>

#include "tarvo.h"

namespace tarvo {

static int compare_alleles(int32_t a, int32_t b) {
  return a < b ? -1 : (a > b ? 1 : 0);
}

void store_loci_freq(Run& run, int nloci, int anim) {
  Store& st = run.store;
  for (int k = 0; k < nloci; ++k) {
    st.loc[k].nmissing = 0;
    std::fill(std::begin(st.loc[k].cumfreq), std::end(st.loc[k].cumfreq), 0.0);
  }

  std::vector<int32_t> values(size_t(2) * std::max(anim, 0));
  for (int k = 0; k < nloci; ++k) {
    Locus& L = st.loc[k];
    // A locus missing in a sample counts as two missing copies whatever its
    // slots hold, so the table and the loci masks always agree.
    for (int i = 0; i < anim; ++i) {
      const bool scored = locus_missing_bit(k, st.rec[i].loci_mask);
      const int32_t* row = st.row(0, i);
      values[i] = scored ? row[2 * k] : 0;
      values[size_t(anim) + i] = scored ? row[2 * k + 1] : 0;
    }
    std::sort(values.begin(), values.end(),
              [](int32_t a, int32_t b) { return compare_alleles(a, b) < 0; });
    if (values.size() < 2) {
      L.nallele = 0;
      continue;
    }

    // The missing value sorts first, so nmissing is known before the first
    // frequency of a scored allele is computed.
    int runs = 0;
    size_t s = 0;
    while (s < values.size()) {
      const int32_t v = values[s];
      size_t e = s;
      while (e < values.size() && values[e] == v) ++e;
      const int m = int(e - s);
      if (runs < NOA) {
        const int n = runs;
        L.allele[n] = v;
        L.count[n] = m;
        if (v == 0) {
          L.freq[n] = 0.0;
          L.nmissing = m;
        } else {
          L.freq[n] = double(m) / double(2 * anim - L.nmissing);
        }
        L.cumfreq[n] = (n == 0 ? 0.0 : L.cumfreq[n - 1]) + L.freq[n];
      }
      ++runs;
      s = e;
    }
    L.nallele = runs;
    if (runs > NOA) {
      to_log(run,
             "Need to increase allele numbers: change NOA=%d to new value of %d and recomplie\n",
             NOA, runs + 1);
      to_out(run,
             "Need to increase allele numbers: change NOA=%d to new value of %d and recompile\n",
             NOA, runs + 1);
      stop(1);
    }
  }
}

int locusBinarySearch(Run& run, int locus, int low, int high, int allele) {
  const Locus& L = run.store.loc[locus];
  // The two ends are the common values in practice (the missing value sits
  // at entry 0); a table without entries has nothing to compare.
  if (high >= 0) {
    if (allele == L.allele[0]) return 0;
    if (allele == L.allele[high]) return high;
  }
  while (low <= high) {
    const int mid = (low + high) / 2;
    if (allele < L.allele[mid]) {
      high = mid - 1;
    } else if (allele > L.allele[mid]) {
      low = mid + 1;
    } else {
      return mid;
    }
  }

  to_log(run, "locusBinarySearch() Did not find allele <%d> in locus <%s> \n", allele,
         L.name.c_str());
  to_log(run, "Alleles at locus number %d were\n", locus + 1);
  to_out(run, "locusBinarySearch() Did not find allele <%d> in locus <%s> \n", allele,
         L.name.c_str());
  to_out(run, "Alleles at locus number %d were\n", locus + 1);
  for (int j = 0; j < L.nallele && j < NOA; ++j) log_out(run, "%d \n", L.allele[j]);
  if (run.opt.i_option[0] && run.opt.i_option[1]) {
    log_out(run, "\n\nCheck if all alleles in file %s are represented in file %s \n",
            run.opt.i_value[0].c_str(), run.opt.i_value[1].c_str());
  }
  if (run.io.out) std::fflush(run.io.out);
  stop(1);
}

double binsrch(Run& run, int locus, int allele) {
  const int idx = locusBinarySearch(run, locus, 0, run.store.loc[locus].nallele - 1, allele);
  return run.store.loc[locus].freq[idx];
}

}  // namespace tarvo
