// Unrelated genotypes drawn from the allele frequencies, recapture copies,
// genotyping errors, and the data sets of the standard-error runs.
#include "tarvo/simulation.h"

#include <algorithm>

#include "core/parallel.h"
#include "tarvo/error.h"

namespace tarvo {

namespace {

// The entry a uniform draw v picks: the first whose cumulative frequency
// reaches v; a draw above every one (rounding) takes the last entry; -1 for a
// locus without entries.
int draw_entry(const LocusFrequencies& locus, double v) {
  const int n = locus.size();
  for (int m = 0; m < n; ++m)
    if (v <= locus.cumulative[m]) return m;
  return n - 1;
}

void copy_row(GenotypeTable& table, int dst, int src) {
  const std::int32_t* from = table.row(src);
  std::copy(from, from + 2 * table.loci(), table.row(dst));
}

}  // namespace

AlleleCounts draw_unrelated(GenotypeTable& table, int drawn, const FrequencyTable& freqs,
                            Rng& rng) {
  AlleleCounts counts(freqs.loci.size());
  for (std::size_t k = 0; k < counts.size(); ++k) counts[k].assign(freqs.loci[k].alleles.size(), 0);
  for (int k = 0; k < table.loci(); ++k) {
    const LocusFrequencies& locus = freqs.loci[k];
    for (int j = 0; j < drawn; ++j) {
      std::int32_t* row = table.row(j);
      for (int slot = 0; slot < 2; ++slot) {
        const int m = draw_entry(locus, rng.uniform());
        if (m < 0) continue;
        row[2 * k + slot] = locus.alleles[m];
        counts[k][m] += 1;
      }
    }
  }
  return counts;
}

namespace {

template <typename Draws>
void genotyping_errors(GenotypeTable& table, int s, double rate, const FrequencyTable& freqs,
                       Draws& rng) {
  std::int32_t* row = table.row(s);
  for (int k = 0; k < table.loci(); ++k) {
    if (rng.uniform() >= rate) continue;
    const int slot = rng.coin();
    const LocusFrequencies& locus = freqs.loci[k];
    const int m = draw_entry(locus, rng.uniform());
    if (m < 0) continue;
    row[2 * k + slot] = locus.alleles[m];
  }
}

}  // namespace

void add_genotyping_errors(GenotypeTable& table, int s, double rate, const FrequencyTable& freqs,
                           Rng& rng) {
  genotyping_errors(table, s, rate, freqs, rng);
}

void draw_unrelated(GenotypeTable& table, const FrequencyTable& freqs, const KeyedDraws& draws,
                    DrawStage stage) {
  detail::for_each_row(draws.threads, table.size(), [&](int j) {
    KeyedRng rng(draws.key(stage), std::uint32_t(j));
    std::int32_t* row = table.row(j);
    for (int k = 0; k < table.loci(); ++k) {
      const LocusFrequencies& locus = freqs.loci[std::size_t(k)];
      for (int slot = 0; slot < 2; ++slot) {
        const int m = draw_entry(locus, rng.uniform());
        if (m >= 0) row[2 * k + slot] = locus.alleles[std::size_t(m)];
      }
    }
  });
}

AlleleCounts simulate_reference(GenotypeTable& table, int recaptures, double error,
                                const FrequencyTable& freqs, Rng& rng) {
  const int n = table.size();
  for (int i = 0; i < n; ++i) table.sample(i).name = std::to_string(i + 1);
  AlleleCounts counts = draw_unrelated(table, n - recaptures, freqs, rng);
  if (recaptures == 0) return counts;
  for (int t = 0; t < recaptures; ++t) copy_row(table, n - recaptures + t, t);
  // The copies take their errors first, then the originals.
  for (int s = n - recaptures; s < n; ++s) add_genotyping_errors(table, s, error, freqs, rng);
  for (int s = 0; s < recaptures; ++s) add_genotyping_errors(table, s, error, freqs, rng);
  return counts;
}

namespace {

// Places the copies of plan rows in one set. Each population keeps a counter
// of the positions already overwritten (and, for counted sources, of the
// sources already read), so copies never land on earlier ones.
class Planter {
 public:
  Planter(GenotypeTable& set, int rows, const RecaptureSettings& settings)
      : set_(set), rows_(rows), settings_(settings), position_(set.populations.size(), 0) {}

  void plant(const PlanRow& row, int recaptures) {
    const int ia = row.cell.later;
    const int ib = row.cell.earlier;
    const Population& a = set_.populations[ia];
    const Population& b = set_.populations[ib];
    for (int t = 0; t < recaptures; ++t) {
      const int l = position_[ia];
      position_[ia] += 1;
      int src = 0;
      if (settings_.counted_source) {
        src = b.first + position_[ib];
        position_[ib] += 1;
      } else {
        src = a.end - recaptures + t;
      }
      if (position_[ia] > a.end - a.first) overflow(1, ia, a, ia, ib);
      const bool source_full = position_[ib] > b.end - b.first;
      if (settings_.genotype_file_only) {
        if (source_full) overflow(2, ib, b, ia, ib);
      } else if (source_full && settings_.guard_counted_source) {
        overflow(3, ib, b, ia, ib);
      }
      // More copies than the population holds read before the first sample;
      // such a row always ends in the overflow above.
      if (src >= 0) copy_row(set_, a.first + l, src);
    }
  }

 private:
  [[noreturn]] void overflow(int warning, int counter, const Population& p, int ia, int ib) const {
    throw Error(ErrorCode::RecaptureCapacity, RecaptureDetails{.warning = warning,
                                                               .position = position_[counter],
                                                               .first = p.first,
                                                               .end = p.end,
                                                               .plan_rows = rows_,
                                                               .position_a = position_[ia],
                                                               .position_b = position_[ib]});
  }

  GenotypeTable& set_;
  int rows_;
  const RecaptureSettings& settings_;
  std::vector<long long> position_;
};

// Plants the copies of the plan rows; rounding(m) is the uniform that
// rounds row m. False when a row asked for negative recaptures.
template <typename Rounding>
bool plant_plan(GenotypeTable& set, RecapturePlan& plan, int rows,
                const RecaptureSettings& settings, Rounding&& rounding,
                const std::function<void(const PlantedRow&)>& on_row) {
  Planter planter(set, rows, settings);
  const int used = std::min(rows, static_cast<int>(plan.size()));
  for (int m = 0; m < used; ++m) {
    PlanRow& row = plan[m];
    const double x = row.recaptures;
    const double u = rounding(m);
    const int k = static_cast<int>(x);
    int recaptures = k;
    if (u < x - k) {
      recaptures = k + 1;
      row.rounded_up += 1;
    }
    if (on_row) on_row(PlantedRow{m, recaptures, x, row.cell, rows});
    if (recaptures < 0) return false;
    planter.plant(row, recaptures);
  }
  return true;
}

}  // namespace

bool simulate_with_recaptures(GenotypeTable& set, RecapturePlan& plan, int rows,
                              const RecaptureSettings& settings, const FrequencyTable& freqs,
                              Rng& rng, const std::function<void(const PlantedRow&)>& on_row) {
  (void)draw_unrelated(set, set.size(), freqs, rng);
  if (!plant_plan(
          set, plan, rows, settings, [&rng](int) { return rng.uniform(); }, on_row))
    return false;
  for (int s = 0; s < set.size(); ++s) add_genotyping_errors(set, s, settings.error, freqs, rng);
  return true;
}

bool simulate_with_recaptures(GenotypeTable& set, RecapturePlan& plan, int rows,
                              const RecaptureSettings& settings, const FrequencyTable& freqs,
                              const KeyedDraws& draws,
                              const std::function<void(const PlantedRow&)>& on_row) {
  draw_unrelated(set, freqs, draws, DrawStage::ErrorGenotypes);
  const auto rounding = [&draws](int m) {
    KeyedRng rng(draws.key(DrawStage::ErrorPlan), std::uint32_t(m));
    return rng.uniform();
  };
  if (!plant_plan(set, plan, rows, settings, rounding, on_row)) return false;
  detail::for_each_row(draws.threads, set.size(), [&](int s) {
    KeyedRng rng(draws.key(DrawStage::ErrorGenotypingErrors), std::uint32_t(s));
    genotyping_errors(set, s, settings.error, freqs, rng);
  });
  return true;
}

}  // namespace tarvo
