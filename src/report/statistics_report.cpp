// The statistics file: Table 1 from the reference data, Table 2 from each
// stage of standard-error runs, and the notes of the level search.
#include <cmath>

#include "report/report.h"

namespace tarvo::report {

namespace {

constexpr int TABLE1_RULE = 94;
constexpr int TABLE2_RULE = 96;

// A standard error that is not a number prints as "nan" in the field width
// of the number, never with a sign, whatever the C library makes of NaN.
std::string fixed_or_nan(double x, int width, int precision) {
  if (std::isnan(x)) return format("%*s", width, "nan");
  return format("%*.*f", width, precision, x);
}

// V with three decimals when small, two otherwise, in the same width.
void write_false_positives(std::ostream& out, double V, const char* small, const char* large) {
  out << format(V < 0.15 ? small : large, V);
}

}  // namespace

void table1(std::ostream& out, const Calibration& calibration,
            const std::array<LevelEstimate, LEVELS>& levels, int populations) {
  out << "\n\n\n\n\n\n";
  rule(out, TABLE1_RULE, "\n\n");
  out << "Table 1  Cumulative matches in reference data when increasing false positives "
         "(-z NUM)\n";
  out << format("         Determined from pooled data over all POP=%d populations\n", populations);
  out << "\n\n  z   LLR          False     Matches  Recaps.  False      Effective   Corrected "
         "  Percentage\n";
  out << "      threshold    positives                   negatives  size        recaptures "
         " recaptures\n";
  out << "      (LLRv)       (V)       (M)       (M-V)   (T)        (E)         (M-V+T)      "
         "         \n";
  rule(out, TABLE1_RULE);
  for (int k = 0; k < LEVELS; ++k) {
    const LevelEstimate& e = levels[std::size_t(k)];
    out << format("%3d %9.2f ", shown_level(k, calibration.sets),
                  calibration.thresholds[std::size_t(k)]);
    write_false_positives(out, calibration.false_positives[std::size_t(k)], "  %9.3f   ",
                          " %9.2f    ");
    out << format("%5.0f  %9.2f  %9.2f  %9.2f   %9.2f  %9.2f\n", e.matches, e.net,
                  e.recaptures - e.net, e.effective, e.recaptures, e.percent);
  }
  out << "\n\n";
}

namespace {

void table2_head(std::ostream& out, const Table2Input& input) {
  out << "\n\n\n";
  rule(out, 53);
  out << format("Convergence iteration %d with %5.3f false positives\n", input.iteration + 1,
                input.calibration->false_positives[std::size_t(input.level)]);
  rule(out, 53);
  out << '\n';
  rule(out, TABLE2_RULE);
  out << format(
      "Table 2  Recaptures found when simulating %-3.2f pairwise comparisons with given "
      "fale positives. \n",
      input.total);
  if (input.by_population)
    out << format("         For recapture estimates within populations see: %s\n",
                  input.population_file.c_str());
  out << format("         Standard error (s.e.) estimated from %d simulation runs\n", input.runs);
  out << "         '*' indicates the estimate with minimum variance\n";
  out << "         '#' indicates the z value used to estimate recaptures from reference data\n";
  rule(out, TABLE2_RULE);
  out << "\n\n";
  out << "  z    False     Matches     Recaps.  False      Effective      Corrected       "
         "Percentage\n";
  out << "       positives                      negatives  size           recaptures      "
         "recaptures\n";
  out << "       (V)       (M)           (M-V)    (T)      (E)            (M-V+T)          "
         "         \n";
  rule(out, TABLE2_RULE);
}

void table2_row(std::ostream& out, const Table2Input& input, int k) {
  const LevelSums& sums = input.errors->sums;
  const std::size_t at = std::size_t(k);
  const int s = input.runs;
  const double V = input.calibration->false_positives[at];
  const double meanM = sums.matches.sum[at] / s;
  const double sdM = std_dev(s, sums.matches.sum[at], sums.matches.sumsq[at]);
  const double meanR = sums.net.sum[at] / s;
  const double meanE = sums.effective.sum[at] / s;
  const double sdE = std_dev(s, sums.effective.sum[at], sums.effective.sumsq[at]);
  const double meanRcor = sums.recaptures.sum[at] / s;
  const double meanPct = sums.percent.sum[at] / s;
  const double sdPct = std_dev(s, sums.percent.sum[at], sums.percent.sumsq[at]);
  const std::string se = fixed_or_nan(input.errors->se[at], 5, 2);

  out << format(k == input.level ? "%3d# " : "%3d  ", shown_level(k, input.calibration->sets));
  write_false_positives(out, V, " %6.3f    ", "%6.2f     ");
  out << format("%6.2f (%5.2f) ", meanM, sdM);
  out << format("%6.2f   ", meanR);
  if (meanM - V < 0) {
    // Fewer simulated matches than expected false positives: no estimate.
    out << format("%6.2f  ", 0.0);
    out << format("%6.2f (%5.2f) ", meanE, sdE);
    out << format("%6.2f (%s)", 0.0, se.c_str());
    out << format("%6.2f (%5.2f) ", 0.0, 0.0);
    out << "   Warning: Shadows > Matches \n";
  } else {
    out << format("%6.2f  ", meanRcor - meanR);
    out << format("%6.2f (%5.2f) ", meanE, sdE);
    out << format("%6.2f (%s)", meanRcor, se.c_str());
    out << (k == input.errors->best ? '*' : ' ');
    out << format("%6.2f (%5.2f) \n", meanPct, sdPct);
  }
}

void underscores_line(std::ostream& out) {
  rule(out, 60, " \n");
}

}  // namespace

void table2(std::ostream& out, const Table2Input& input) {
  table2_head(out, input);
  for (int k = 0; k < LEVELS; ++k) table2_row(out, input, k);
}

void no_simulated_matches_note(std::ostream& out) {
  out << "   There were no matches \n";
}

void try_another_note(std::ostream& out, int next, int current, const LevelTable& false_positives,
                      int sets, bool more_iterations) {
  if (next == current) return;
  out << format("\n\nNOTE:   Above run initiated with      '-z %2d' (V=%5.3f False positives)\n",
                shown_level(current, sets), false_positives[std::size_t(current)]);
  const char* second =
      more_iterations
          ? "        Trying another run with       '-z %2d' (V=%5.3f False positives)\n"
          : "        Possibly try another run with '-z %2d' (V=%5.3f False positives)\n";
  out << format(second, shown_level(next, sets), false_positives[std::size_t(next)]);
}

void converged_note(std::ostream& out, const LevelSearch& search, int level,
                    const LevelTable& false_positives, const LevelTable& reference_recaptures,
                    int sets) {
  out << format("\n\nNOTE:   Convergence found with '-z %2d' (V=%5.3f false positives)\n",
                shown_level(level, sets), false_positives[std::size_t(level)]);
  const int smallest = search.smallest();
  out << "\n\n";
  underscores_line(out);
  out << "Convergence summary of total corrected recaptures (R_hat)        \n";
  underscores_line(out);
  out << "                    Reference       Simulated   \n";
  out << "                    data            data        \n";
  underscores_line(out);
  out << " -z      False      R_hat           R_hat   s.e. \n";
  out << "         positives                               \n";
  underscores_line(out);
  for (int j = 0; j < LEVELS; ++j) {
    if (!search.tried(j)) continue;
    const std::size_t at = std::size_t(j);
    out << format("%3d  %10.3f %10.3f      %10.3f %6.3f", shown_level(j, sets), false_positives[at],
                  reference_recaptures[at], search.mean_recaptures()[at],
                  search.standard_errors()[at]);
    out << (j == smallest ? " (min s.e.)\n" : "\n");
  }
  underscores_line(out);
}

}  // namespace tarvo::report
