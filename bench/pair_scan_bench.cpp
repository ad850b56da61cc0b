// Pair-scan throughput on the cattle data: the calibration's scoring of one
// simulated set, and one reference scan with its self-comparisons.
#include <benchmark/benchmark.h>

#include <memory>

#include "tarvo.h"

namespace {

std::unique_ptr<tarvo::Run> load_cattle() {
  auto run = std::make_unique<tarvo::Run>();
  tarvo::Run& r = *run;
  r.io.out = nullptr;
  r.opt.i_option[0] = 1;
  r.opt.i_value[0] = std::string(TARVO_SOURCE_DIR) + "/tests/data/microbov.gen";
  r.rng.init_genrand(1);
  tarvo::read_base_pairs_GENEPOP(r, r.nloci, r.anim, r.nBlocks, tarvo::ANIM);
  tarvo::store_loci_freq(r, r.nloci, r.anim);
  tarvo::get_alphaCut(r);
  for (int k = 0; k < tarvo::LEVELS; ++k) r.est.LLRcut[k] = -10.0 - k;
  return run;
}

void BM_SimulatedSetScores(benchmark::State& state) {
  auto run = load_cattle();
  tarvo::Run& r = *run;
  tarvo::sim_genotypes(r, 1, r.nloci, r.anim, 0, 1);
  tarvo::prepare_scores(r, 1, r.anim, r.nloci);
  int64_t pairs = 0;
  for (auto _ : state) {
    double sum = 0;
    for (int i = 1; i < r.anim; ++i)
      for (int j = 0; j < i; ++j) {
        const uint32_t mask = r.store.rec[i].loci_mask & r.store.rec[j].loci_mask;
        if (mask) sum += tarvo::likelihood_inds(r, i, j, r.nloci, mask);
        ++pairs;
      }
    benchmark::DoNotOptimize(sum);
  }
  state.counters["pairs/s"] = benchmark::Counter(double(pairs), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SimulatedSetScores)->Unit(benchmark::kMillisecond);

void BM_ReferenceScanWithSelfComparisons(benchmark::State& state) {
  auto run = load_cattle();
  tarvo::Run& r = *run;
  int64_t pairs = 0;
  for (auto _ : state) {
    int npairs = 0;
    double Ez = 0;
    r.est.mismatch_done = 1;
    tarvo::find_like_recap_data(r, 1, r.nloci, r.anim, r.nBlocks, 0, 0, npairs, Ez);
    pairs += int64_t(r.anim) * (r.anim - 1) / 2;
  }
  state.counters["pairs/s"] = benchmark::Counter(double(pairs), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReferenceScanWithSelfComparisons)->Unit(benchmark::kMillisecond);

}  // namespace

namespace {

// The self-comparisons of a scan draw four numbers per pair and locus.
void BM_Draws(benchmark::State& state) {
  tarvo::Rng rng;
  rng.init_genrand(1);
  double sum = 0;
  for (auto _ : state) {
    for (int i = 0; i < 1000; ++i) sum += rng.drand();
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_Draws);

}  // namespace

BENCHMARK_MAIN();
