// The pairwise report (_pair.txt): the simulated relationships, the list of
// matching pairs highest LLR first, and the clusters of accepted matches.
#include <cstdlib>

#include "report/report.h"

namespace tarvo::report {

namespace {

constexpr int LIST_RULE = 96;
constexpr int ITERATION_RULE = 51;
constexpr int RELATION_RULE = 43;
// false_positives_above() of a score below every pooled one.
constexpr double BELOW_EVERY_SCORE = 999998;

// Simulated samples are named by their number from 1; real names may or may
// not start with one.
long leading_number(const std::string& name) {
  return std::strtol(name.c_str(), nullptr, 10);
}

void simulated_relationships(std::ostream& out, const GenotypeTable& table, int recaptures) {
  const int n = table.size();
  out << "\n\n          Simulated relationships:\n";
  out << "          ";
  rule(out, RELATION_RULE);
  out << "          List of pairwise matches\n";
  out << "          Sample_1               Sample_2\n";
  out << "          ";
  rule(out, RELATION_RULE);
  for (int t = 0; t < recaptures; ++t) {
    const int copy = n - recaptures + t;
    out << format("          %-20s   %-20s\n", shown_name(table.sample(copy).name).c_str(),
                  shown_name(table.sample(t).name).c_str());
  }
  out << "          ";
  rule(out, RELATION_RULE);
}

// The sample columns of the pair list are 10 wide, grown by extra each.
constexpr int NAME_COLUMN = 10;
constexpr std::size_t NAMES_END = 22;  // where the header's name columns end

void list_head(std::ostream& out, const PairReportInput& input, double V, int extra) {
  out << "\n\n\n\n\n\n\n";
  if (input.several_iterations) {
    rule(out, ITERATION_RULE);
    out << format("Convergence iteration %d with %5.3f false positives\n", input.iteration + 1, V);
    rule(out, ITERATION_RULE, "\n\n");
  }
  const int width = LIST_RULE + 2 * extra;
  rule(out, width);
  out << format(
      "List of pairwise match(s) having cumulative number of false positives <=%-8.3g\n\n", V);
  rule(out, width);
  const std::string grown(std::size_t(2 * extra), ' ');
  for (std::string line :
       {"Rank      Sample_pairs     Populations      Alleles                     Match log "
        "   Cumulative\n",
        "                                            Total Mismatch Dropout      likelihood "
        "  number    \n",
        "                                                                        ratio (LLR) "
        " of false  \n",
        "                                                                                    "
        " positives \n"})
    out << line.insert(NAMES_END, grown);
  rule(out, width);
}

void pair_row(std::ostream& out, const PairReportInput& input, int rank, const MatchPair& pair,
              double false_positives, char flag, int extra) {
  const GenotypeTable& table = *input.reference;
  const AlleleComparison a = compare_alleles(table, pair.later, pair.earlier);
  const char sep = a.mismatches == 0 ? ':' : '?';
  const int later_population = pair.later_population + 1;
  const int earlier_population = pair.earlier_population + 1;
  if (input.by_name)
    out << format("%3d %*s %c %-*s%c %4d %4d        %3d    %3d   %3d       %8.2f    %10.3f \n",
                  rank, NAME_COLUMN + extra, shown_name(table.sample(pair.later).name).c_str(), sep,
                  NAME_COLUMN + extra, shown_name(table.sample(pair.earlier).name).c_str(), flag,
                  later_population, earlier_population, a.alleles, a.mismatches, a.dropouts,
                  pair.llr, false_positives);
  else
    out << format("%3d %10d %c %-10d%c %4d %4d        %3d    %3d   %3d       %8.2f    %10.3f \n",
                  rank, pair.later + 1, sep, pair.earlier + 1, flag, later_population,
                  earlier_population, a.alleles, a.mismatches, a.dropouts, pair.llr,
                  false_positives);
}

// A simulated pair that is not one of the planted recaptures is a false
// positive ('e'); real data cannot tell.
char pair_flag(const PairReportInput& input, const MatchPair& pair) {
  if (input.real_data) return ' ';
  const GenotypeTable& table = *input.reference;
  const bool recapture =
      leading_number(table.sample(pair.later).name) ==
      leading_number(table.sample(pair.earlier).name) + table.size() - input.recaptures_simulated;
  return recapture ? ' ' : 'e';
}

void pair_list(std::ostream& out, const PairReportInput& input) {
  const double V = input.calibration->false_positives[std::size_t(input.level)];
  const int extra = input.by_name
                        ? column_growth(input.reference->samples(), NAME_COLUMN,
                                        [](const Sample& s) { return std::string_view(s.name); })
                        : 0;
  list_head(out, input, V, extra);
  const std::vector<MatchPair>& pairs = *input.pairs;
  bool missed_block = false;
  char flag = ' ';
  for (std::size_t r = 0; r < pairs.size(); ++r) {
    const MatchPair& pair = pairs[r];
    const double alpha = input.calibration->false_positives_above(pair.llr);
    if (alpha > V) {
      if (input.leave_out_misses) continue;
      if (!missed_block) {
        missed_block = true;
        rule(out, ITERATION_RULE);
        out << "\nAdditional pairs that missed out on match criteria:\n";
        rule(out, ITERATION_RULE);
      }
    }
    // The flag of a pair past the last listed one still decides the note.
    flag = pair_flag(input, pair);
    if (alpha >= BELOW_EVERY_SCORE) break;
    pair_row(out, input, int(r) + 1, pair, alpha, flag, extra);
  }
  if (flag == 'e') out << "\n'e' in table above denotes false positive match\n";
}

}  // namespace

void pair_report(std::ostream& out, const PairReportInput& input) {
  if (input.recaptures_simulated != 0)
    simulated_relationships(out, *input.reference, input.recaptures_simulated);
  if (!input.pairs->empty()) pair_list(out, input);
}

void cluster_listing(std::ostream& out, const Clusters& clusters, const GenotypeTable& reference) {
  // Fewer than three samples come from fewer than two pairs, which are not
  // grouped.
  if (clusters.samples.size() < 3) return;
  out << "\n\n";
  rule(out, LIST_RULE, "");
  out << "\nClustered groups of pairwise matches\n";
  rule(out, LIST_RULE, "");
  out << "\nGroup\n";
  int number = 0;
  for (const std::vector<int>& group : clusters.groups) {
    ++number;
    for (std::size_t k = 0; k < group.size(); ++k) {
      const std::string name = shown_name(reference.sample(group[k]).name);
      if (k == 0)
        out << format("\nGP%-4d  %s ", number, name.c_str());
      else
        out << format("%s ", name.c_str());
    }
  }
}

}  // namespace tarvo::report
