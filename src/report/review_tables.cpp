// The tables of the review: one row per individual, and one row of the key
// figures of the run.
#include <cmath>

#include "report/report.h"
#include "report/tsv_row.h"

namespace tarvo::report {

namespace {

// Numbers from 1 or names, separated by ';'.
std::string joined(const std::vector<int>& samples, const GenotypeTable& reference, bool names) {
  std::string text;
  for (const int s : samples) {
    if (!text.empty()) text += ';';
    text += names ? reference.sample(s).name : std::to_string(s + 1);
  }
  return text;
}

}  // namespace

void groups_table(std::ostream& out, const GenotypeTable& reference, const Review& review) {
  header(out, {"individual", "samples", "sample_numbers", "sample_names", "accepted_pairs",
               "possible_pairs", "weakest_llr", "most_mismatching_alleles", "flags"});
  for (std::size_t i = 0; i < review.individuals.size(); ++i) {
    const Individual& ind = review.individuals[i];
    Row row(out);
    row.whole(long(i) + 1)
        .whole(static_cast<long long>(ind.samples.size()))
        .text(joined(ind.samples, reference, false))
        .text(joined(ind.samples, reference, true))
        .whole(ind.accepted_pairs)
        .whole(ind.possible_pairs())
        .real(ind.weakest_llr);
    if (ind.most_mismatching_alleles < 0)
      row.na();
    else
      row.whole(ind.most_mismatching_alleles);
    row.text(ind.chain() ? "chain" : "");
  }
}

void summary_table(std::ostream& out, const SummaryInput& in) {
  const Review& r = *in.review;
  const std::size_t z = std::size_t(in.level);
  header(out, {"samples",
               "populations",
               "individuals",
               "sampled_more_than_once",
               "repeat_samples",
               "accepted_pairs",
               "z",
               "false_positives",
               "llr_threshold",
               "r_hat",
               "r_hat_se",
               "seed",
               "error_rate",
               "flagged_pairs",
               "excess_mismatches",
               "full_siblings",
               "parent_offspring",
               "chain",
               "few_loci",
               "chained_individuals",
               "fst",
               "samples_untyped",
               "samples_few_loci"});
  Row row(out);
  row.whole(r.samples)
      .whole(in.populations)
      .whole(static_cast<long long>(r.individuals.size()))
      .whole(r.sampled_more_than_once)
      .whole(r.repeat_samples())
      .whole(in.accepted)
      .whole(shown_level(in.level, in.calibration->sets))
      .real(in.calibration->false_positives[z])
      .real(in.calibration->thresholds[z])
      .real(in.estimate->recaptures);
  if (in.se < 0)
    row.na();
  else
    row.real(in.se);
  row.whole(in.seed).real(in.error).whole(r.flagged_pairs);
  for (const int count : r.flag_counts) row.whole(count);
  row.whole(r.chained_individuals)
      .real(r.fst)
      .whole(static_cast<long long>(r.untyped_samples.size()))
      .whole(static_cast<long long>(r.sparse_samples.size()));
}

}  // namespace tarvo::report
