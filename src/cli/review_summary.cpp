// The summary lines a biologist reads first: how many animals the samples
// make, what the corrected recaptures count, which matches to look at again
// and what makes the whole answer weaker.
#include <cmath>

#include "cli/reports.h"
#include "report/report.h"

namespace tarvo::cli {

namespace {

using report::format;

// Continuation lines start under the values.
constexpr const char* INDENT = "                          ";

// Up to ten samples by number and name.
std::string sample_list(const std::vector<int>& samples, const GenotypeTable& table) {
  constexpr std::size_t SHOWN = 10;
  std::string list;
  for (std::size_t i = 0; i < samples.size() && i < SHOWN; ++i) {
    const int s = samples[i];
    list += format("%s%d (%s)", i == 0 ? "" : ", ", s + 1,
                   report::shown_name(table.sample(s).name).c_str());
  }
  if (samples.size() > SHOWN) list += format(" and %zu more", samples.size() - SHOWN);
  return list;
}

// Why each flag of PAIR_FLAGS is raised, in its order.
std::vector<std::string> flag_reasons(const Review& v, double error) {
  return {format("mismatches beyond the error rate (P < %g at e = %g)", MISMATCH_TAIL_LIMIT, error),
          "full siblings fit better than one individual",
          "a parent and its offspring fit better than one individual",
          format("in a group joined through a chain of matches (%d group%s)", v.chained_individuals,
                 v.chained_individuals == 1 ? "" : "s"),
          "a sample typed at fewer than half the loci"};
}

std::string flag_lines(const Review& v, double error, const std::string& pairs_file) {
  const int accepted = [&v] {
    int n = 0;
    for (const Individual& ind : v.individuals) n += ind.accepted_pairs;
    return n;
  }();
  std::string text = format("  %-24s%d of %d accepted pair%s (column flags of %s)\n",
                            "Pairs to review:", v.flagged_pairs, accepted, accepted == 1 ? "" : "s",
                            pairs_file.c_str());
  const std::vector<std::string> reasons = flag_reasons(v, error);
  for (std::size_t f = 0; f < v.flag_counts.size() && f < reasons.size(); ++f)
    if (v.flag_counts[f] > 0)
      text += format("%s%3d %-18s%s\n", INDENT, v.flag_counts[f],
                     report::flag_names(PAIR_FLAGS[f]).c_str(), reasons[f].c_str());
  return text;
}

std::string cautions(const Review& v, const GenotypeTable& table) {
  std::string text;
  if (v.differentiated())
    text += format(
        "  Caution: the populations differ in allele frequencies (F_ST %.3g, above %g): the\n"
        "           frequencies pooled over them make chance matches within a population\n"
        "           likelier than the calibration assumes; analysing each population on its\n"
        "           own tells how much.\n",
        v.fst, FST_LIMIT);
  if (!v.untyped_samples.empty())
    text += format("  Caution: %zu sample%s typed at no locus, each counted as an individual: %s\n",
                   v.untyped_samples.size(), v.untyped_samples.size() == 1 ? "" : "s",
                   sample_list(v.untyped_samples, table).c_str());
  if (!v.sparse_samples.empty())
    text += format("  Caution: %zu sample%s typed at fewer than half the loci: %s\n",
                   v.sparse_samples.size(), v.sparse_samples.size() == 1 ? "" : "s",
                   sample_list(v.sparse_samples, table).c_str());
  if (v.few_samples())
    text += format(
        "  Caution: only %d samples (fewer than %d): the estimates rest on very few "
        "pairs.\n",
        v.samples, FEW_SAMPLES);
  return text;
}

}  // namespace

std::string review_summary(const AnalysisResult& r, const std::string& pairs_file) {
  const Review& v = r.review;
  std::string text = format(
      "%sR_hat counts recaptures as pairs of samples of one individual, net of\n"
      "%sfalse and missed matches: an individual with five samples gives ten pairs.\n",
      INDENT, INDENT);
  text += format(
      "  %-24s%d samples, %zu individuals, %d sampled more than once, %d repeat "
      "sample%s\n",
      "Samples, individuals:", v.samples, v.individuals.size(), v.sampled_more_than_once,
      v.repeat_samples(), v.repeat_samples() == 1 ? "" : "s");
  text += flag_lines(v, r.error, pairs_file);
  return text + cautions(v, r.data.reference);
}

std::vector<std::string> review_points(const AnalysisResult& r) {
  const Review& v = r.review;
  std::vector<std::string> points;
  const std::vector<std::string> reasons = flag_reasons(v, r.error);
  for (std::size_t f = 0; f < v.flag_counts.size() && f < reasons.size(); ++f)
    if (v.flag_counts[f] > 0)
      points.push_back(format("%d accepted pair%s flagged %s: %s", v.flag_counts[f],
                              v.flag_counts[f] == 1 ? "" : "s",
                              report::flag_names(PAIR_FLAGS[f]).c_str(), reasons[f].c_str()));
  // The cautions as one sentence each, their line breaks undone.
  std::string words;
  bool space = false;
  for (const char ch : cautions(v, r.data.reference)) {
    const bool blank = ch == ' ' || ch == '\n';
    if (!blank && space && !words.empty()) words += ' ';
    if (!blank) words += ch;
    space = blank;
  }
  const std::string mark = "Caution: ";
  for (std::size_t at = words.find(mark); at != std::string::npos;) {
    const std::size_t next = words.find(mark, at + mark.size());
    std::string point = words.substr(at, next == std::string::npos ? next : next - at);
    while (!point.empty() && point.back() == ' ') point.pop_back();
    points.push_back(point);
    at = next;
  }
  return points;
}

}  // namespace tarvo::cli
