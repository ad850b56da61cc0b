// The ladder of false-positive levels and the LLR threshold of each level,
// read off the pooled top scores of data sets of unrelated individuals.
#include <algorithm>
#include <functional>

#include "tarvo.h"

namespace tarvo {

// V of each level with the usual numbers of simulated sets.
static double ladder(int index) {
  static const double first[8] = {0.01, 0.05, 0.125, 0.25, 0.5, 0.75, 1.0, 1.25};
  if (index < 8) return first[index];
  return (index - 5) * 0.5;
}

void get_alphaCut(Run& run) {
  for (int k = 0; k < LEVELS; ++k) {
    if (run.opt.n_value == 1000)
      run.est.alphaCut[k] = k == 0 ? 0.001 : ladder(k - 1);
    else
      run.est.alphaCut[k] = ladder(k);
  }
}

// Scores every pair of the current simulated set into the top-50 list.
static void score_simulated_set(Run& run, int nloci, int nanim, std::vector<double>& products) {
  toplikelihood_inds(run, 0, 0, 0, 0, 0);
  prepare_scores(run, 1, nanim, nloci);
  for (int i = 1; i < nanim; ++i) {
    pair_products_row(run, 1, i, nloci, products.data());
    const uint32_t mi = run.store.rec[i].loci_mask;
    for (int j = 0; j < i; ++j)
      if ((run.store.rec[j].loci_mask & mi) != 0)
        toplikelihood_offer_product(run, products[j], LEVELS);
  }
  Estimates& est = run.est;
  if (est.is < LEVELS)
    std::stable_sort(est.toplikes.begin(), est.toplikes.end(),
                     [](double a, double b) { return compare_double(a, b) < 0; });
}

void get_LZones(Run& run, int model, int nloci, int nanim) {
  Estimates& est = run.est;
  const int nsets = run.opt.n_value;
  std::vector<uint32_t> saved(std::max(nanim, 1));
  std::vector<double> products(std::max(nanim, 1));
  for (int i = 0; i < nanim; ++i) saved[i] = run.store.rec[i].loci_mask;

  for (int s = 0; s < nsets; ++s) {
    to_out(run, ".");
    bitperm(run, 0, 0, 1, 32);
    int npat = 0;
    if (run.opt.i_option[0])
      get_mbit3(run, nanim, npat, nanim, saved.data());
    else
      get_mbit(run, nanim, nloci, npat, run.opt.Y_value);
    sim_genotypes(run, model, nloci, nanim, 0, 1);
    score_simulated_set(run, nloci, nanim, products);
    std::copy(est.toplikes.begin(), est.toplikes.end(), est.toplike.begin() + size_t(s) * LEVELS);
  }

  const size_t pooled = size_t(nsets) * LEVELS;
  std::copy(est.toplike.begin(), est.toplike.begin() + pooled, est.tot.begin());
  std::sort(est.tot.begin(), est.tot.begin() + pooled, std::greater<double>());
  for (int k = 0; k < LEVELS; ++k) {
    const int index = static_cast<int>(nsets * est.alphaCut[k]);
    est.LLRcut[k] = est.tot[index];
  }
  for (int i = 0; i < nanim; ++i) run.store.rec[i].loci_mask = saved[i];
}

}  // namespace tarvo
