// The population report (_pop.txt): the population names, the reference
// estimates per cell and their averages and standard errors over the
// simulation runs.
#include <algorithm>

#include "report/report.h"

namespace tarvo::report {

namespace {

constexpr int TABLE_RULE = 100;
constexpr int ITERATION_RULE = 56;

void cells_head(std::ostream& out, bool by_population) {
  if (!by_population) {
    out << "\n\n\nTable 1  Within population recapture estimate from reference data\n";
    rule(out, TABLE_RULE);
    out << "  Population    Population                 Effective       False       Matches  "
           "Recaptures__________\n";
    out << "  number        size                       sample size     positives   found    "
           "Corrected   (%) \n";
    out << "  n1            s1                          E               V          M        "
           "R_hat        P        \n";
  } else {
    out << "\n\n\nTable 1  Within and between population recapture estimates from data\n";
    rule(out, TABLE_RULE);
    out << "  Population    Population    Effective    Effective       False       Matches  "
           "Recaptures__________\n";
    out << "  number        size          block size   sample size     positives   found    "
           "Corrected   (%) \n";
    out << "  n1   n2       s1   s2        b            e               V          M        "
           "R_hat        P  \n";
  }
  rule(out, TABLE_RULE);
}

// Populations are numbered from 1; a within-population cell shows its
// population twice, a between cell the later sample's population first.
void cell_row(std::ostream& out, const CellEstimate& c, bool by_population) {
  const int later = c.cell.later + 1;
  const int earlier = c.within ? later : c.cell.earlier + 1;
  const int earlier_size = c.within ? c.later_size : c.earlier_size;
  const double size = c.within ? double(c.later_size) : c.size;
  if (c.shadowed) {
    out << format(
        "%4d : %-4d %6d : %-6d %9.2f   %9.2f      %9.3f  %6d    NOTE: Shadows (S) were "
        "greater than matches found (M)  \n",
        later, earlier, c.later_size, earlier_size, size, c.effective, c.false_positives,
        c.matches);
  } else if (c.within && !by_population) {
    out << format("%4d        %6d                      %9.2f      %9.3f  %6d    %9.2f   %9.2f  \n",
                  later, c.later_size, c.effective, c.false_positives, c.matches, c.recaptures,
                  c.percent);
  } else {
    out << format("%4d : %-4d %6d : %-6d %9.2f   %9.2f      %9.3f  %6d    %9.2f   %9.2f %s\n",
                  later, earlier, c.later_size, earlier_size, size, c.effective, c.false_positives,
                  c.matches, c.recaptures, c.percent, c.within ? " " : "");
  }
}

}  // namespace

void population_names(std::ostream& out, const GenotypeTable& table) {
  out << "\n\n__________________________\n";
  out << "Population\n";
  out << "Number     Name\n";
  out << "__________________________\n";
  const int n = std::min(static_cast<int>(table.populations.size()), BLOCK);
  for (int i = 0; i < n; ++i)
    out << format("%5d      %s\n", i + 1,
                  shown_name(table.populations[std::size_t(i)].name).c_str());
  out << "__________________________\n\n";
}

void cells_report(std::ostream& out, const CellsReportInput& input) {
  const std::string iteration = format("Convergence iteration %d with %5.3f false positives\n",
                                       input.iteration + 1, input.false_positives);
  if (!input.any_matches) {
    out << "\n\n";
    rule(out, TABLE_RULE);
    out << iteration << "No recaptures found: \n";
    rule(out, TABLE_RULE);
    return;
  }
  out << "\n\n\n\n\n\n\n\n";
  rule(out, ITERATION_RULE);
  out << iteration;
  rule(out, ITERATION_RULE, "\n\n");
  cells_head(out, input.by_population);
  for (const CellEstimate& c : input.estimates->cells) {
    for (const SizeWarning& w : c.warnings)
      out << format("dataBlockRecaps: Warning %s=%f < rlist[%d]=%d\n", w.name, w.size, w.index,
                    w.matches);
    cell_row(out, c, input.by_population);
  }
  rule(out, TABLE_RULE);
}

namespace {

void standard_errors_head(std::ostream& out, bool by_population, int runs) {
  if (!by_population) {
    out << format(
        "\n\n\n\n\nTable 2  Within population recapture estimate from %d simulation runs\n", runs);
    rule(out, TABLE_RULE);
    out << "  Population    Population                 Effective       False       Matches  "
           "Recaptures__________\n";
    out << "  number        size                       sample size     poitives    found    "
           "Corrected   \n";
    out << "  n1            s1                          E               V          M        "
           "R_sim       s.e.    \n";
  } else {
    out << format(
        "\n\n\n\n\nTable 2  Within and between population recapture estimates from %d "
        "simulation runs\n",
        runs);
    rule(out, TABLE_RULE);
    out << "  Population    Population    Effective    Effective       False       Matches  "
           "Recaptures__________\n";
    out << "  number        size          block size   sample size     positives   found    "
           "Corrected   \n";
    out << "  n1   n2       s1   s2        b            e               V          M        "
           "R_sim       s.e.    \n";
  }
  rule(out, TABLE_RULE);
}

int population_size(const GenotypeTable& table, int p) {
  return table.populations[std::size_t(p)].size();
}

// One population: the pooled sums of the level.
void pooled_row(std::ostream& out, const PopulationSeInput& input) {
  const LevelSums& sums = input.errors->sums;
  const std::size_t z = std::size_t(input.level);
  if (!(sums.matches.sum[z] > TINY)) return;
  const double s = input.runs;
  const double se = cell_standard_error(*input.plan, input.plan_rows, input.runs, {0, 0},
                                        sums.recaptures.sum[z], sums.recaptures.sumsq[z])
                        .se;
  const int size = input.reference->populations.empty() ? input.reference->size()
                                                        : population_size(*input.reference, 0);
  out << format("%4d        %6d                      %9.2f      %9.3f  %9.2f %9.2f  %9.2f \n", 1,
                size, sums.effective.sum[z] / s, input.false_positives, sums.matches.sum[z] / s,
                sums.recaptures.sum[z] / s, se);
}

void cell_se_row(std::ostream& out, const PopulationSeInput& input, PopulationPair cell) {
  const CellSums& c = input.errors->cell(cell);
  if (!(c.matches > TINY)) return;
  const double se = cell_standard_error(*input.plan, input.plan_rows, input.runs, cell,
                                        c.recaptures, c.recaptures_sq)
                        .se;
  const double r = c.runs;
  const double s = input.runs;
  const int Np = population_size(*input.reference, cell.later);
  const int Nq = population_size(*input.reference, cell.earlier);
  if (cell.later == cell.earlier)
    out << format("%4d : %-4d %6d : %-6d %9.2f   %9.2f      %9.3f  %9.2f %9.2f  %9.2f\n",
                  cell.later + 1, cell.earlier + 1, Np, Np, double(Np), c.effective / r,
                  c.false_positives / r, c.matches / s, c.recaptures / s, se);
  else
    out << format("%4d : %-4d %6d : %-6d %9.2f   %9.2f      %9.3f  %9.2f %9.2f  %9.2f \n",
                  cell.later + 1, cell.earlier + 1, Np, Nq, c.size / r, c.effective / r,
                  c.false_positives / r, c.matches / s, c.recaptures / s, se);
}

}  // namespace

void population_standard_errors(std::ostream& out, const PopulationSeInput& input) {
  standard_errors_head(out, input.by_population, input.runs);
  if (!input.by_population) {
    pooled_row(out, input);
  } else {
    const int n =
        std::min(input.errors->populations, static_cast<int>(input.reference->populations.size()));
    for (int p = 0; p < n; ++p)
      for (int q = 0; q < n; ++q) cell_se_row(out, input, PopulationPair{p, q});
  }
  rule(out, TABLE_RULE);
}

}  // namespace tarvo::report
