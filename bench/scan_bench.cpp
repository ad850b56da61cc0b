// Pair-scan throughput on the cattle data: the calibration's scoring of one
// simulated set (products row by row) and one reference scan with its
// self-comparisons; the scan with self-comparisons against the time of
// generating the outputs it consumes, on the cattle data and on the study
// named by TARVO_BENCH_STUDY (bench/run.sh makes a 5,000-sample one); and
// both kernels on SNP panels of 30 to 256 loci, to show that the cost grows
// with the loci and not with the mask words.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tarvo/calibration.h"
#include "tarvo/formats.h"
#include "tarvo/frequencies.h"
#include "tarvo/scan.h"
#include "tarvo/scorer.h"

namespace {

bool is_separator(const std::string& line) {
  return line.size() >= 3 && (line.compare(0, 3, "POP") == 0 || line.compare(0, 3, "Pop") == 0 ||
                              line.compare(0, 3, "pop") == 0);
}

// Just enough GENEPOP for the bench file: locus names on one line, six-digit
// genotypes, 000000 for a missing locus.
tarvo::GenotypeTable load_cattle() {
  std::ifstream in(std::string(TARVO_SOURCE_DIR) + "/tests/data/microbov.gen");
  std::string line;
  std::getline(in, line);  // title
  std::getline(in, line);
  const int nloci = int(std::count(line.begin(), line.end(), ',')) + 1;
  tarvo::GenotypeTable t(nloci, 0);
  t.locus_names.resize(std::size_t(nloci));
  while (std::getline(in, line)) {
    if (is_separator(line)) {
      t.populations.push_back({"", t.size(), t.size()});
      continue;
    }
    const auto comma = line.find(',');
    if (comma == std::string::npos) continue;
    tarvo::Sample sample;
    sample.name = line.substr(0, comma);
    sample.population = int(t.populations.size()) - 1;
    std::vector<std::int32_t> alleles(2 * std::size_t(nloci), 0);
    std::istringstream fields(line.substr(comma + 1));
    std::string g;
    for (int k = 0; k < nloci && fields >> g; ++k) {
      const int value = std::stoi(g);
      alleles[2 * std::size_t(k)] = value / 1000;
      alleles[2 * std::size_t(k) + 1] = value % 1000;
      if (value != 0) sample.loci.set(k);
    }
    t.populations.back().end = t.add_sample(std::move(sample), alleles) + 1;
  }
  return t;
}

// The reference with its masks and genotypes drawn afresh, as a calibration set.
tarvo::GenotypeTable simulated_set(const tarvo::GenotypeTable& ref,
                                   const tarvo::FrequencyTable& freqs, tarvo::Rng& rng) {
  tarvo::GenotypeTable set = ref;
  for (int s = 0; s < set.size(); ++s)
    for (int k = 0; k < set.loci(); ++k)
      for (int slot = 0; slot < 2; ++slot) {
        const tarvo::LocusFrequencies& L = freqs.loci[std::size_t(k)];
        const double u = rng.uniform();
        int m = 0;
        while (m < L.size() - 1 && u > L.cumulative[std::size_t(m)]) ++m;
        set.row(s)[2 * k + slot] = L.alleles[std::size_t(m)];
      }
  return set;
}

void BM_SimulatedSetProducts(benchmark::State& state) {
  const tarvo::GenotypeTable ref = load_cattle();
  const tarvo::FrequencyTable freqs = tarvo::count_frequencies(ref);
  tarvo::Rng rng(1);
  const tarvo::GenotypeTable set = simulated_set(ref, freqs, rng);
  const tarvo::PairScorer scorer(set, freqs, 0.01);
  std::vector<double> products(std::size_t(set.size()));
  std::int64_t pairs = 0;
  for (auto _ : state) {
    double sum = 0;
    for (int i = 1; i < set.size(); ++i) {
      scorer.products(i, 0, i, products.data());
      for (int j = 0; j < i; ++j) sum += products[std::size_t(j)];
      pairs += i;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.counters["pairs/s"] = benchmark::Counter(double(pairs), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SimulatedSetProducts)->Unit(benchmark::kMillisecond);

// The fast mode's filter on the same set: the whole-number bound sums that
// pass over the pairs below a threshold of -20 (about where the lowest
// thresholds of a calibration fall), against the product kernel above.
void BM_SimulatedSetBoundSums(benchmark::State& state) {
  const tarvo::GenotypeTable ref = load_cattle();
  const tarvo::FrequencyTable freqs = tarvo::count_frequencies(ref);
  tarvo::Rng rng(1);
  const tarvo::GenotypeTable set = simulated_set(ref, freqs, rng);
  const tarvo::PairScorer scorer(set, freqs, 0.01);
  const std::int32_t reach = scorer.bound_reach(-20.0);
  std::vector<std::int32_t> sums(std::size_t(set.size()));
  std::int64_t pairs = 0, passed = 0;
  for (auto _ : state) {
    for (int i = 1; i < set.size(); ++i) {
      scorer.score_bounds(i, 0, i, reach, sums.data());
      for (int j = 0; j < i; ++j) passed += int(sums[std::size_t(j)] >= reach);
      pairs += i;
    }
  }
  state.counters["pairs/s"] = benchmark::Counter(double(pairs), benchmark::Counter::kIsRate);
  state.counters["passed"] = double(passed) / double(std::max<std::int64_t>(pairs, 1));
}
BENCHMARK(BM_SimulatedSetBoundSums)->Unit(benchmark::kMillisecond);

// The calibration of the cattle data with 100 sets, on 1 and 2 threads.
void BM_Calibration(benchmark::State& state) {
  const tarvo::GenotypeTable ref = load_cattle();
  const tarvo::FrequencyTable freqs = tarvo::count_frequencies(ref);
  tarvo::CalibrationSettings settings;
  settings.sets = 100;
  settings.threads = int(state.range(0));
  std::int64_t pairs = 0;
  for (auto _ : state) {
    tarvo::Rng rng(1);
    const tarvo::Calibration c = tarvo::calibrate(ref, freqs, settings, rng);
    benchmark::DoNotOptimize(c.thresholds[0]);
    pairs += std::int64_t(settings.sets) * ref.size() * (ref.size() - 1) / 2;
  }
  state.counters["pairs/s"] = benchmark::Counter(double(pairs), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Calibration)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// The reference scan with its self-comparisons, on 1 and 2 threads.
void BM_ReferenceScanWithSelfComparisons(benchmark::State& state) {
  const tarvo::GenotypeTable ref = load_cattle();
  const tarvo::FrequencyTable freqs = tarvo::count_frequencies(ref);
  const tarvo::PairScorer scorer(ref, freqs, 0.01);
  tarvo::ScanSettings settings;
  settings.false_positives = tarvo::false_positive_ladder(200);
  for (int k = 0; k < tarvo::LEVELS; ++k) settings.thresholds[std::size_t(k)] = -10.0 - k;
  settings.retype_error = 0.01;
  settings.threads = int(state.range(0));
  tarvo::Rng rng(1);
  std::int64_t pairs = 0;
  for (auto _ : state) {
    const tarvo::PairScan scan = tarvo::scan_pairs(scorer, settings, rng);
    benchmark::DoNotOptimize(scan.levels[0].recaptures);
    pairs += std::int64_t(ref.size()) * (ref.size() - 1) / 2;
  }
  state.counters["pairs/s"] = benchmark::Counter(double(pairs), benchmark::Counter::kIsRate);
  state.counters["draws/s"] = benchmark::Counter(double(rng.calls()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReferenceScanWithSelfComparisons)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The same scan the fast way: bound sums for the pairs, the self-comparisons
// counted per sample and loci shared.
void BM_ReferenceScanFast(benchmark::State& state) {
  const tarvo::GenotypeTable ref = load_cattle();
  const tarvo::FrequencyTable freqs = tarvo::count_frequencies(ref);
  const tarvo::PairScorer scorer(ref, freqs, 0.01);
  tarvo::ScanSettings settings;
  settings.false_positives = tarvo::false_positive_ladder(200);
  for (int k = 0; k < tarvo::LEVELS; ++k) settings.thresholds[std::size_t(k)] = -10.0 - k;
  settings.retype_error = 0.01;
  settings.threads = int(state.range(0));
  settings.fast = true;
  tarvo::Rng rng(1);
  std::int64_t pairs = 0;
  for (auto _ : state) {
    const tarvo::PairScan scan = tarvo::scan_pairs(scorer, settings, rng);
    benchmark::DoNotOptimize(scan.levels[0].recaptures);
    pairs += std::int64_t(ref.size()) * (ref.size() - 1) / 2;
  }
  state.counters["pairs/s"] = benchmark::Counter(double(pairs), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReferenceScanFast)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// A scan with self-comparisons (thresholds of a calibration of the set, the
// default error rates) against generating the outputs it consumes with the
// generator alone: gen_ms, scan_ms and their ratio, per scan.
void scan_against_generation(benchmark::State& state, const tarvo::GenotypeTable& set) {
  const tarvo::FrequencyTable freqs = tarvo::count_frequencies(set);
  const tarvo::PairScorer scorer(set, freqs, 0.01);
  tarvo::ScanSettings settings;
  settings.false_positives = tarvo::false_positive_ladder(200);
  for (int k = 0; k < tarvo::LEVELS; ++k) settings.thresholds[std::size_t(k)] = 12.0 - 0.2 * k;
  settings.retype_error = 0.01;
  settings.threads = int(state.range(0));
  using Clock = std::chrono::steady_clock;
  double scan_s = 0, generate_s = 0;
  std::uint64_t outputs = 0;
  for (auto _ : state) {
    tarvo::Rng rng(1);
    const auto t0 = Clock::now();
    const tarvo::PairScan scan = tarvo::scan_pairs(scorer, settings, rng);
    const auto t1 = Clock::now();
    tarvo::Rng alone(1);
    alone.discard(rng.calls());
    const auto t2 = Clock::now();
    benchmark::DoNotOptimize(alone.next_u32());
    benchmark::DoNotOptimize(scan.levels[0].recaptures);
    scan_s += std::chrono::duration<double>(t1 - t0).count();
    generate_s += std::chrono::duration<double>(t2 - t1).count();
    outputs = rng.calls();
  }
  const double runs = double(state.iterations());
  state.counters["samples"] = set.size();
  state.counters["outputs"] = double(outputs);
  state.counters["gen_ms"] = 1e3 * generate_s / runs;
  state.counters["scan_ms"] = 1e3 * scan_s / runs;
  state.counters["scan/gen"] = scan_s / generate_s;
}

void BM_CattleScanAgainstGeneration(benchmark::State& state) {
  scan_against_generation(state, load_cattle());
}
BENCHMARK(BM_CattleScanAgainstGeneration)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_StudyScanAgainstGeneration(benchmark::State& state) {
  const char* path = std::getenv("TARVO_BENCH_STUDY");
  if (path == nullptr) {
    state.SkipWithError("TARVO_BENCH_STUDY names no study");
    return;
  }
  std::ifstream in(path);
  const tarvo::GenotypeFormat format = tarvo::detect_format(in);
  in.clear();
  in.seekg(0);
  scan_against_generation(state, tarvo::read_genotypes(in, format, {}));
}
BENCHMARK(BM_StudyScanAgainstGeneration)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

// The generator alone.
void BM_Generator(benchmark::State& state) {
  tarvo::Rng rng(1);
  std::uint32_t x = 0;
  for (auto _ : state)
    for (int i = 0; i < 1 << 20; ++i) x ^= rng.next_u32();
  benchmark::DoNotOptimize(x);
  state.counters["draws/s"] = benchmark::Counter(double(rng.calls()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Generator)->Unit(benchmark::kMillisecond);

// A biallelic panel: minor allele frequencies spread over 0.1-0.5, each
// locus scored with probability 0.9, as in a non-invasive SNP study.
tarvo::GenotypeTable snp_panel(int nloci, int nsamples, tarvo::Rng& rng) {
  tarvo::GenotypeTable t(nloci, nsamples);
  t.locus_names.assign(std::size_t(nloci), "SNP");
  t.populations = {{"", 0, nsamples}};
  std::vector<double> minor_allele(static_cast<std::size_t>(nloci));
  for (double& p : minor_allele) p = 0.1 + 0.4 * rng.uniform();
  for (int s = 0; s < nsamples; ++s) {
    for (int k = 0; k < nloci; ++k) {
      if (rng.uniform() > 0.9) continue;
      t.sample(s).loci.set(k);
      for (int slot = 0; slot < 2; ++slot)
        t.row(s)[2 * k + slot] = rng.uniform() < minor_allele[std::size_t(k)] ? 1 : 2;
    }
  }
  return t;
}

constexpr int PANEL_SAMPLES = 1000;

void BM_PanelProducts(benchmark::State& state) {
  tarvo::Rng rng(2);
  const tarvo::GenotypeTable set = snp_panel(int(state.range(0)), PANEL_SAMPLES, rng);
  const tarvo::FrequencyTable freqs = tarvo::count_frequencies(set);
  const tarvo::PairScorer scorer(set, freqs, 0.01);
  std::vector<double> products(std::size_t(set.size()));
  std::int64_t pairs = 0;
  for (auto _ : state) {
    double sum = 0;
    for (int i = 1; i < set.size(); ++i) {
      scorer.products(i, 0, i, products.data());
      for (int j = 0; j < i; ++j) sum += products[std::size_t(j)];
      pairs += i;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.counters["pairs/s"] = benchmark::Counter(double(pairs), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PanelProducts)->Arg(30)->Arg(64)->Arg(96)->Arg(256)->Unit(benchmark::kMillisecond);

void BM_PanelScanWithSelfComparisons(benchmark::State& state) {
  tarvo::Rng rng(3);
  const tarvo::GenotypeTable ref = snp_panel(int(state.range(0)), PANEL_SAMPLES, rng);
  const tarvo::FrequencyTable freqs = tarvo::count_frequencies(ref);
  const tarvo::PairScorer scorer(ref, freqs, 0.01);
  tarvo::ScanSettings settings;
  settings.false_positives = tarvo::false_positive_ladder(200);
  // Thresholds high enough that no unrelated pair is kept as a match.
  for (int k = 0; k < tarvo::LEVELS; ++k) settings.thresholds[std::size_t(k)] = 50.0 - k;
  settings.retype_error = 0.01;
  std::int64_t pairs = 0;
  for (auto _ : state) {
    const tarvo::PairScan scan = tarvo::scan_pairs(scorer, settings, rng);
    benchmark::DoNotOptimize(scan.levels[0].recaptures);
    pairs += std::int64_t(ref.size()) * (ref.size() - 1) / 2;
  }
  state.counters["pairs/s"] = benchmark::Counter(double(pairs), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PanelScanWithSelfComparisons)
    ->Arg(30)
    ->Arg(64)
    ->Arg(96)
    ->Arg(256)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
