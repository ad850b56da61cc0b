// The tab-separated tables: the pairs, the individuals, the levels and the
// populations of the level the reports hold, for reading into R or pandas.
#include <charconv>
#include <cmath>

#include "report/report.h"
#include "report/tsv_row.h"

namespace tarvo::report {

namespace {

// false_positives_above() of a score below every pooled one.
constexpr double BELOW_EVERY_SCORE = 999998;

const std::string& population_name(const GenotypeTable& table, int p) {
  static const std::string none;
  return p < static_cast<int>(table.populations.size()) ? table.populations[std::size_t(p)].name
                                                        : none;
}

}  // namespace

std::string tsv_number(double x) {
  if (std::isnan(x)) return "NA";
  if (std::isinf(x)) return x > 0 ? "Inf" : "-Inf";
  char buf[32];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, x);
  return ec == std::errc() ? std::string(buf, end) : "NA";
}

std::string tsv_field(const std::string& text) {
  if (text.find_first_of("\t\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

std::string flag_names(unsigned flags) {
  static constexpr const char* NAMES[] = {"excess_mismatches", "full_siblings", "parent_offspring",
                                          "chain", "few_loci"};
  static_assert(std::size(NAMES) == std::size(PAIR_FLAGS));
  std::string text;
  for (std::size_t f = 0; f < std::size(PAIR_FLAGS); ++f)
    if (flags & PAIR_FLAGS[f]) {
      if (!text.empty()) text += ';';
      text += NAMES[f];
    }
  return text;
}

void pairs_table(std::ostream& out, const GenotypeTable& reference,
                 const std::vector<MatchPair>& pairs, const Calibration& calibration,
                 const Review& review, int accepted) {
  header(out, {"rank",
               "sample_1",
               "sample_2",
               "sample_number_1",
               "sample_number_2",
               "population_1",
               "population_2",
               "population_name_1",
               "population_name_2",
               "loci_compared",
               "loci_mismatching",
               "alleles_compared",
               "alleles_mismatching",
               "dropouts",
               "llr",
               "false_positives",
               "accepted",
               "mismatch_probability",
               "llr_vs_full_siblings",
               "llr_vs_parent_offspring",
               "flags"});
  for (std::size_t r = 0; r < pairs.size(); ++r) {
    const MatchPair& pair = pairs[r];
    const LocusComparison loci = compare_loci(reference, pair.later, pair.earlier);
    const AlleleComparison alleles = compare_alleles(reference, pair.later, pair.earlier);
    const double alpha = calibration.false_positives_above(pair.llr);
    Row row(out);
    row.whole(long(r) + 1)
        .text(reference.sample(pair.later).name)
        .text(reference.sample(pair.earlier).name)
        .whole(pair.later + 1)
        .whole(pair.earlier + 1)
        .whole(pair.later_population + 1)
        .whole(pair.earlier_population + 1)
        .text(population_name(reference, pair.later_population))
        .text(population_name(reference, pair.earlier_population))
        .whole(loci.compared)
        .whole(loci.mismatching)
        .whole(alleles.alleles)
        .whole(alleles.mismatches)
        .whole(alleles.dropouts)
        .real(pair.llr);
    // Below every calibration score the false positives are not measured.
    if (alpha >= BELOW_EVERY_SCORE)
      row.na();
    else
      row.real(alpha);
    row.whole(long(r) < accepted ? 1 : 0);
    if (r < review.pairs.size()) {
      const PairReview& p = review.pairs[r];
      row.real(p.mismatch_tail)
          .real(p.llr_vs_full_siblings)
          .real(p.llr_vs_parent_offspring)
          .text(flag_names(p.flags));
    } else {
      row.na().na().na().text("");
    }
  }
}

void individuals_table(std::ostream& out, const GenotypeTable& reference, const Review& review) {
  header(out, {"sample_number", "sample", "population", "population_name", "individual",
               "samples_in_individual"});
  for (int s = 0; s < reference.size(); ++s) {
    const Sample& sample = reference.sample(s);
    const int individual = review.individual_of[std::size_t(s)];
    Row(out)
        .whole(s + 1)
        .text(sample.name)
        .whole(sample.population + 1)
        .text(population_name(reference, sample.population))
        .whole(individual + 1)
        .whole(static_cast<long long>(review.individuals[std::size_t(individual)].samples.size()));
  }
}

void levels_table(std::ostream& out, const LevelsInput& input) {
  header(out, {"z", "llr_threshold", "false_positives", "matches", "net_matches", "false_negatives",
               "effective_size", "r_hat", "percent", "sim_r_hat", "sim_se", "chosen"});
  const Calibration& cal = *input.calibration;
  for (int k = 0; k < LEVELS; ++k) {
    const std::size_t at = std::size_t(k);
    const LevelEstimate& e = (*input.levels)[at];
    Row row(out);
    row.whole(shown_level(k, cal.sets))
        .real(cal.thresholds[at])
        .real(cal.false_positives[at])
        .real(e.matches)
        .real(e.net)
        .real(e.recaptures - e.net)
        .real(e.effective)
        .real(e.recaptures)
        .real(e.percent);
    if (input.search != nullptr && input.search->tried(k))
      row.real(input.search->mean_recaptures()[at]).real(input.search->standard_errors()[at]);
    else
      row.na().na();
    row.whole(k == input.chosen ? 1 : 0);
  }
}

namespace {

struct Simulated {
  bool any = false;
  double matches = 0;
  double recaptures = 0;
  double se = 0;
};

// The simulated values of a cell as the population report shows them: the
// pooled sums with one population, the cell's sums with several.
Simulated simulated(const PopulationsInput& in, PopulationPair cell, bool pooled) {
  Simulated s;
  const StandardErrors* e = in.errors;
  if (e == nullptr || in.runs <= 0) return s;
  const double runs = in.runs;
  double sum = 0, sumsq = 0;
  if (pooled) {
    const std::size_t z = std::size_t(in.level);
    s.matches = e->sums.matches.sum[z] / runs;
    sum = e->sums.recaptures.sum[z];
    sumsq = e->sums.recaptures.sumsq[z];
  } else {
    if (cell.later >= e->populations || cell.earlier >= e->populations || e->cells.empty())
      return s;
    const CellSums& c = e->cell(cell);
    s.matches = c.matches / runs;
    sum = c.recaptures;
    sumsq = c.recaptures_sq;
  }
  if (!(s.matches * runs > TINY)) return s;
  s.any = true;
  s.recaptures = sum / runs;
  s.se = cell_standard_error(*in.plan, in.plan_rows, in.runs, cell, sum, sumsq).se;
  return s;
}

const CellEstimate* reference_cell(const PopulationsInput& in, PopulationPair cell) {
  if (in.estimates == nullptr) return nullptr;
  for (const CellEstimate& c : in.estimates->cells)
    if (c.cell == cell) return &c;
  return nullptr;
}

void population_row(std::ostream& out, const PopulationsInput& in, PopulationPair cell,
                    const CellEstimate* ref, const Simulated& sim) {
  const GenotypeTable& table = *in.reference;
  const auto size = [&table](int p) {
    return p < static_cast<int>(table.populations.size()) ? table.populations[std::size_t(p)].size()
                                                          : table.size();
  };
  Row row(out);
  row.whole(cell.later + 1)
      .whole(cell.earlier + 1)
      .text(population_name(table, cell.later))
      .text(population_name(table, cell.earlier))
      .whole(size(cell.later))
      .whole(size(cell.earlier));
  if (ref != nullptr) {
    row.real(ref->effective).real(ref->false_positives).whole(ref->matches);
    if (ref->shadowed)
      row.na().na();
    else
      row.real(ref->recaptures).real(ref->percent);
  } else {
    row.na().na().whole(0).na().na();
  }
  if (sim.any)
    row.real(sim.matches).real(sim.recaptures).real(sim.se);
  else
    row.na().na().na();
}

}  // namespace

void populations_table(std::ostream& out, const PopulationsInput& input) {
  header(out, {"population_1", "population_2", "population_name_1", "population_name_2", "size_1",
               "size_2", "effective_size", "false_positives", "matches", "r_hat", "percent",
               "sim_matches", "sim_r_hat", "sim_se"});
  const int n = std::max(1, static_cast<int>(input.reference->populations.size()));
  const bool pooled = n == 1;
  // Every population, and every pair of populations that had matches.
  for (int p = 0; p < n; ++p)
    for (int q = 0; q <= p; ++q) {
      const PopulationPair cell{p, q};
      const CellEstimate* ref = reference_cell(input, cell);
      const Simulated sim = simulated(input, cell, pooled);
      if (p == q || ref != nullptr || sim.any) population_row(out, input, cell, ref, sim);
    }
}

}  // namespace tarvo::report
