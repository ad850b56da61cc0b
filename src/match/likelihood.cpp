// The pair log-likelihood ratio under the genotyping-error model, the
// self-comparisons with simulated errors, and the allele comparisons.
//
// The score of a pair is ln of a product of per-locus factors taken in locus
// order.  Thresholds are compared with equal values, so the fast tables below
// keep exactly the same double expressions as like_ind: a factor per sample and
// locus (the match factor of that sample's genotype) and an unordered genotype
// code, so that the pair loops need no search and no log per locus.
#include <algorithm>
#include <bit>
#include <cmath>

#include "tarvo.h"

namespace tarvo {

static constexpr double PRODUCT_FLOOR = 1e-200;
static constexpr uint16_t NO_CODE = 0xffff;

static inline double score_of(double like) {
  return like < PRODUCT_FLOOR ? FLOOR_LLR : std::log(like);
}

static inline double match_factor(double ea, double eb, double p1, double p2, int b1, int b2) {
  double G = p1 * p2;
  if (b1 != b2) G = G * 2.0;
  return eb + ea / G;
}

double score_of_product(double like) {
  return score_of(like);
}

void pair_products_row(const Run& run, int simulated, int i, int nloci, double* products) {
  const ScoreTable& T = run.scores[simulated];
  const auto& rec = run.store.rec;
  const uint16_t* ci = &T.code[size_t(i) * NOL];
  const uint32_t mi = rec[i].loci_mask;
  const double eb = T.eb;
  // A locus outside the pair's mask multiplies by 1.0, which is exact, so
  // each product equals the one taken over the compared loci only.
  auto factor = [&](uint32_t m, int k, const uint16_t* cj, const double* fj) {
    return (m >> k & 1u) ? (ci[k] == cj[k] ? fj[k] : eb) : 1.0;
  };
  int j = 0;
  for (; j + 4 <= i; j += 4) {
    const uint32_t m0 = mi & rec[j].loci_mask, m1 = mi & rec[j + 1].loci_mask;
    const uint32_t m2 = mi & rec[j + 2].loci_mask, m3 = mi & rec[j + 3].loci_mask;
    const uint16_t* c0 = &T.code[size_t(j) * NOL];
    const double* f0 = &T.factor[size_t(j) * NOL];
    double l0 = 1, l1 = 1, l2 = 1, l3 = 1;
    for (int k = 0; k < nloci; ++k) {
      l0 *= factor(m0, k, c0, f0);
      l1 *= factor(m1, k, c0 + NOL, f0 + NOL);
      l2 *= factor(m2, k, c0 + 2 * NOL, f0 + 2 * NOL);
      l3 *= factor(m3, k, c0 + 3 * NOL, f0 + 3 * NOL);
    }
    products[j] = l0;
    products[j + 1] = l1;
    products[j + 2] = l2;
    products[j + 3] = l3;
  }
  for (; j < i; ++j) {
    const uint32_t m = mi & rec[j].loci_mask;
    const uint16_t* cj = &T.code[size_t(j) * NOL];
    const double* fj = &T.factor[size_t(j) * NOL];
    double l = 1;
    for (int k = 0; k < nloci; ++k) l *= factor(m, k, cj, fj);
    products[j] = l;
  }
}

double like_ind(LikeState& st, double E, double p1, double p2, int a1, int a2, int b1, int b2,
                int& first) {
  const bool match = (a1 == b1 && a2 == b2) || (a1 == b2 && a2 == b1);
  if (first == 0) {
    first = 1;
    st.ea = (1.0 - E) * (1.0 - E);
    st.eb = E * (2.0 - E);
    st.like = match ? match_factor(st.ea, st.eb, p1, p2, b1, b2) : st.eb;
  } else {
    st.like = st.like * (match ? match_factor(st.ea, st.eb, p1, p2, b1, b2) : st.eb);
  }
  return score_of(st.like);
}

// Index of an allele value in the locus table, or -1.
static int allele_index(const Locus& L, int value) {
  const int32_t* end = L.allele + L.nallele;
  const int32_t* p = std::lower_bound(L.allele, end, value);
  return (p != end && *p == value) ? int(p - L.allele) : -1;
}

void prepare_scores(Run& run, int simulated, int nsamples, int nloci) {
  ScoreTable& T = run.scores[simulated];
  const double E = run.opt.e_value / 10000.0;
  T.ea = (1.0 - E) * (1.0 - E);
  T.eb = E * (2.0 - E);
  T.nsamples = nsamples;
  const size_t cells = size_t(std::max(nsamples, 0)) * NOL;
  if (T.code.size() < cells) {
    T.code.resize(cells);
    T.factor.resize(cells);
    T.idx.resize(cells * 2);
  }
  if (T.bad.size() < size_t(std::max(nsamples, 0))) T.bad.resize(nsamples);
  for (int s = 0; s < nsamples; ++s) {
    const int32_t* row = run.store.row(simulated, s);
    const uint32_t mask = run.store.rec[s].loci_mask;
    T.bad[s] = 0;
    for (int k = 0; k < nloci; ++k) {
      const size_t c = size_t(s) * NOL + k;
      const Locus& L = run.store.loc[k];
      const int i1 = allele_index(L, row[2 * k]);
      const int i2 = allele_index(L, row[2 * k + 1]);
      if (i1 < 0 || i2 < 0) {
        T.code[c] = NO_CODE;
        T.factor[c] = 0;
        T.idx[2 * c] = T.idx[2 * c + 1] = 0;
        if (locus_missing_bit(k, mask)) T.bad[s] = 1;
        continue;
      }
      T.idx[2 * c] = uint8_t(i1);
      T.idx[2 * c + 1] = uint8_t(i2);
      T.code[c] = uint16_t(std::min(i1, i2) * 256 + std::max(i1, i2));
      T.factor[c] = match_factor(T.ea, T.eb, L.freq[i1], L.freq[i2], row[2 * k], row[2 * k + 1]);
    }
  }
}

[[noreturn]] static void no_locus_compared(Run& run, uint32_t mask) {
  log_out(run, "\nSee code in:  likelihood_ind() \n\n");
  show(run, mask);
  stop(1);
}

// The score as written: one frequency lookup per allele.  Used for samples
// holding an allele that the frequency table lacks, so that the lookup stops
// the run with its own message at the locus where it is met.
static double pair_score_by_lookup(Run& run, int simulated, int i, int j, int nloci, uint32_t mask,
                                   bool& compared) {
  LikeState st;
  int first = 0;
  double result = 0;
  const double E = run.opt.e_value / 10000.0;
  const int32_t* a = run.store.row(simulated, i);
  const int32_t* b = run.store.row(simulated, j);
  for (int k = 0; k < nloci; ++k) {
    if (!locus_missing_bit(k, mask)) continue;
    const double p1 = binsrch(run, k, b[2 * k]);
    const double p2 = binsrch(run, k, b[2 * k + 1]);
    result = like_ind(st, E, p1, p2, a[2 * k], a[2 * k + 1], b[2 * k], b[2 * k + 1], first);
  }
  compared = first != 0;
  return result;
}

static double pair_score(Run& run, int simulated, int i, int j, int nloci, uint32_t mask,
                         bool& compared) {
  const ScoreTable& T = run.scores[simulated];
  if (T.bad[i] || T.bad[j])
    return pair_score_by_lookup(run, simulated, i, j, nloci, mask, compared);
  const uint32_t usable = mask & all_loci_mask(nloci);
  compared = usable != 0;
  if (!compared) return 0;
  const uint16_t* ci = &T.code[size_t(i) * NOL];
  const uint16_t* cj = &T.code[size_t(j) * NOL];
  const double* fj = &T.factor[size_t(j) * NOL];
  uint32_t bits = usable;
  int k = std::countr_zero(bits);
  double like = ci[k] == cj[k] ? fj[k] : T.eb;
  bits &= bits - 1;
  while (bits) {
    k = std::countr_zero(bits);
    like = like * (ci[k] == cj[k] ? fj[k] : T.eb);
    bits &= bits - 1;
  }
  return score_of(like);
}

// One copy of a genotype typed again: with probability Es one of its alleles is
// replaced by a draw from the population.  Returns false when the copy is the
// sample's own genotype.
static inline bool retype(Run& run, const Locus& L, double Es, int& i1, int& i2) {
  if (run.rng.drand() >= Es) return false;
  const int r = run.rng.randchoice();
  const double v = run.rng.drand();
  int m = 0;
  while (m < L.nallele && v > L.cumfreq[m]) ++m;
  // A draw above every cumulative frequency (rounding) takes the last allele.
  if (m == L.nallele) m = L.nallele - 1;
  if (m < 0) return false;
  if (r == 1)
    i1 = m;
  else
    i2 = m;
  return true;
}

static double self_score(Run& run, int simulated, int s, int t, int nloci, uint32_t mask,
                         bool& compared) {
  const ScoreTable& T = run.scores[simulated];
  const double Es = run.opt.E_value / 10000.0;
  const uint32_t usable = mask & all_loci_mask(nloci);
  compared = usable != 0;
  double like = 0;
  bool first = true;
  for (uint32_t bits = usable; bits; bits &= bits - 1) {
    const int k = std::countr_zero(bits);
    const Locus& L = run.store.loc[k];
    const size_t cs = size_t(s) * NOL + k, ct = size_t(t) * NOL + k;
    int c1 = T.idx[2 * cs], c2 = T.idx[2 * cs + 1];
    int d1 = T.idx[2 * ct], d2 = T.idx[2 * ct + 1];
    const bool err1 = retype(run, L, Es, c1, c2);
    const bool err2 = retype(run, L, Es, d1, d2);
    double f;
    if (!err1 && !err2) {
      f = T.code[cs] == T.code[ct] ? T.factor[ct] : T.eb;
    } else {
      const bool match = (c1 == d1 && c2 == d2) || (c1 == d2 && c2 == d1);
      f = match ? match_factor(T.ea, T.eb, L.freq[d1], L.freq[d2], L.allele[d1], L.allele[d2])
                : T.eb;
    }
    like = first ? f : like * f;
    first = false;
  }
  return compared ? score_of(like) : 0;
}

// The self-comparison as written, for samples with alleles the table lacks:
// the lookup of the copy's alleles stops the run with its own message.
static double self_score_by_lookup(Run& run, int simulated, int s, int t, int nloci, uint32_t mask,
                                   bool& compared) {
  LikeState st;
  int first = 0;
  double result = 0;
  const double E = run.opt.e_value / 10000.0;
  const double Es = run.opt.E_value / 10000.0;
  const int32_t* a = run.store.row(simulated, s);
  const int32_t* b = run.store.row(simulated, t);
  for (int k = 0; k < nloci; ++k) {
    if (!locus_missing_bit(k, mask)) continue;
    const Locus& L = run.store.loc[k];
    int c[2] = {a[2 * k], a[2 * k + 1]}, d[2] = {b[2 * k], b[2 * k + 1]};
    for (int* g : {c, d}) {
      int i1 = -2, i2 = -2;
      if (retype(run, L, Es, i1, i2)) {
        if (i1 >= 0) g[0] = L.allele[i1];
        if (i2 >= 0) g[1] = L.allele[i2];
      }
    }
    const double p1 = binsrch(run, k, d[0]);
    const double p2 = binsrch(run, k, d[1]);
    result = like_ind(st, E, p1, p2, c[0], c[1], d[0], d[1], first);
  }
  compared = first != 0;
  return result;
}

static double self_any(Run& run, int simulated, int s, int t, int nloci, uint32_t mask,
                       bool& compared) {
  const ScoreTable& T = run.scores[simulated];
  if (T.bad[s] || T.bad[t])
    return self_score_by_lookup(run, simulated, s, t, nloci, mask, compared);
  return self_score(run, simulated, s, t, nloci, mask, compared);
}

double likelihood_ind(Run& run, int i, int j, int nloci, uint32_t mask) {
  bool compared;
  const double L = pair_score(run, 0, i, j, nloci, mask, compared);
  if (!compared) no_locus_compared(run, mask);
  return L;
}

double likelihood_inds(Run& run, int i, int j, int nloci, uint32_t mask) {
  bool compared;
  const double L = pair_score(run, 1, i, j, nloci, mask, compared);
  return compared ? L : 0;
}

double likelihood_ind2(Run& run, int /*model*/, int s, int t, int nloci, uint32_t mask) {
  bool compared;
  const double L = self_any(run, 0, s, t, nloci, mask, compared);
  if (!compared) no_locus_compared(run, mask);
  return L;
}

double likelihood_inds2(Run& run, int /*model*/, int s, int t, int nloci, uint32_t mask) {
  bool compared;
  const double L = self_any(run, 1, s, t, nloci, mask, compared);
  return compared ? L : 0;
}

void likeme2(Run& run, int model, int i, int j, int nloci, int /*nsamples*/, uint32_t mask,
             int simulated, double& L, double& Lj, double& Li) {
  if (simulated) {
    L = likelihood_inds(run, i, j, nloci, mask);
    Lj = likelihood_inds2(run, model, j, j, nloci, mask);
    Li = likelihood_inds2(run, model, i, i, nloci, mask);
  } else {
    L = likelihood_ind(run, i, j, nloci, mask);
    Lj = likelihood_ind2(run, model, j, j, nloci, mask);
    Li = likelihood_ind2(run, model, i, i, nloci, mask);
  }
}

int compare(int a1, int a2, int b1, int b2) {
  return std::max(int(a1 == b1) + int(a2 == b2), int(a1 == b2) + int(a2 == b1));
}

void loci_missmatch(Run& run, int nloci, int i, int j, int& ncomp, int& nmis) {
  ncomp = 0;
  nmis = 0;
  const uint32_t both = run.store.rec[i].loci_mask & run.store.rec[j].loci_mask;
  const int32_t* a = run.store.row(0, i);
  const int32_t* b = run.store.row(0, j);
  for (int k = 0; k < nloci; ++k) {
    if (!locus_missing_bit(k, both)) continue;
    ncomp += 1;
    const bool same = (a[2 * k] == b[2 * k] && a[2 * k + 1] == b[2 * k + 1]) ||
                      (a[2 * k] == b[2 * k + 1] && a[2 * k + 1] == b[2 * k]);
    if (!same) nmis += 1;
  }
}

void allelic_dropout2(Run& run, int nloci, int i, int j, int& ndrop, int& nall, int& nmis) {
  ndrop = 0;
  nall = 0;
  int shared = 0;
  const uint32_t both = run.store.rec[i].loci_mask & run.store.rec[j].loci_mask;
  const int32_t* a = run.store.row(0, i);
  const int32_t* b = run.store.row(0, j);
  for (int k = 0; k < nloci; ++k) {
    if (!locus_missing_bit(k, both)) continue;
    nall += 2;
    const int s = compare(a[2 * k], a[2 * k + 1], b[2 * k], b[2 * k + 1]);
    shared += s;
    const bool homozygous = a[2 * k] == a[2 * k + 1] || b[2 * k] == b[2 * k + 1];
    if (s <= 1 && homozygous && a[2 * k] != 0) ndrop += 1;
  }
  nmis = nall - shared;
}

}  // namespace tarvo
