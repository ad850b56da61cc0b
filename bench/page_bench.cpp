// Writing the report page of the largest run the program takes: 30,000
// samples, a full store of 6,000 pairs (half of them accepted) and a
// calibration of 1,000 sets. The page must take well under a second; its
// size in bytes is reported beside the time.
#include <benchmark/benchmark.h>

#include <sstream>

#include "report/html_report.h"

namespace {

using namespace tarvo;

struct LargestRun {
  Calibration calibration;
  std::vector<MatchPair> pairs;
  report::PageInput page;
};

LargestRun largest_run() {
  LargestRun run;
  Calibration& cal = run.calibration;
  cal.sets = MAX_SETS;
  cal.false_positives = false_positive_ladder(MAX_SETS);
  for (int k = 0; k < LEVELS; ++k) cal.thresholds[std::size_t(k)] = 20.0 - 0.5 * k;
  for (int i = 0; i < LEVELS * MAX_SETS; ++i) cal.pooled.push_back(22.0 - 30.0 * i / 50000.0);
  std::ostringstream pairs, individuals;
  pairs << "rank\tsample_1\tsample_2\tpopulation_1\tpopulation_2\tpopulation_name_1\t"
           "population_name_2\tloci_compared\tloci_mismatching\talleles_compared\t"
           "alleles_mismatching\tdropouts\tllr\tfalse_positives\taccepted\n";
  for (int r = 0; r < PAIRS; ++r) {
    const double llr = 30.0 - r * 0.004;
    run.pairs.push_back({2 * r + 1, 2 * r, 0, 0, llr, 0xffffu});
    pairs << r + 1 << "\tsample_" << 2 * r + 1 << "\tsample_" << 2 * r
          << "\t1\t1\tPop\tPop\t16\t0\t"
          << "32\t0\t0\t" << report::tsv_number(llr) << "\t0.0012345678901\t" << (r < 3000) << "\n";
  }
  individuals << "sample_number\tsample\tpopulation\tpopulation_name\tindividual\t"
                 "samples_in_individual\n";
  for (int s = 0; s < ANIM; ++s)
    individuals << s + 1 << "\tsample_" << s << "\t1\tPop\t" << (s < 6000 ? s / 2 + 1 : s - 2999)
                << "\t" << (s < 6000 ? 2 : 1) << "\n";
  report::PageInput& page = run.page;
  page.title = "Recaptures in study.gen";
  page.date = "Mon Dec  7 05:56:07 2026\n";
  page.summary.recaptures = "3000";
  page.summary.false_positives = "0.01";
  page.tables.pairs = pairs.str();
  page.tables.individuals = individuals.str();
  return run;
}

void BM_ReportPageLargestRun(benchmark::State& state) {
  LargestRun run = largest_run();
  run.page.scores = {&run.calibration, &run.pairs, 5};
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::ostringstream out;
    report::html_report(out, run.page);
    bytes = out.str().size();
    benchmark::DoNotOptimize(bytes);
  }
  state.counters["page_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_ReportPageLargestRun)->Unit(benchmark::kMillisecond);

}  // namespace
