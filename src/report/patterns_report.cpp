// The missing-loci combinations and the pairwise mismatch table (_miss.txt).
#include "report/report.h"

namespace tarvo::report {

namespace {

void spaces(std::ostream& out, int n) {
  if (n > 0) out << std::string(std::size_t(n), ' ');
}

// '.' for a scored locus, 'M' for a missing one.
void write_mask(std::ostream& out, LociMask mask, int nloci) {
  for (int k = 0; k < nloci; ++k) out << (has_locus(mask, k) ? ".   " : "M   ");
}

}  // namespace

void missing_patterns_report(std::ostream& out, const std::vector<MissingPattern>& patterns,
                             int nloci, int nsamples) {
  if (patterns.empty()) {
    out << "\n\nThere were no missing alleles in this data set\n";
    return;
  }
  const int width = 4 * nloci + 28;
  out << "\n\nMissing allele report\n\n";
  rule(out, width, "");
  out << "\n\n              Locus            ";
  spaces(out, 4 * nloci - 14);
  out << "Frequency     \n";
  out << "            ";
  for (int k = 1; k <= nloci; ++k) out << format("%3d ", k);
  out << '\n';
  rule(out, width, "");
  out << "\nCombination\n";
  int number = 0;
  for (const MissingPattern& pattern : patterns) {
    out << format("  %5d       ", ++number);
    write_mask(out, pattern.mask, nloci);
    out << format(" %7d \n", pattern.count);
  }
  rule(out, width, "");
  out << "\n           ";
  spaces(out, 4 * nloci - 5);
  out << format("Total %10d\n", nsamples);
  rule(out, width, "");
  out << "\n\n\n";
}

void mismatch_table(std::ostream& out, const MismatchCounts& counts, int nloci) {
  out << "\n\n Pairwise missmatch analysis of loci\n";
  out << "____________________________________\n";
  out << " Number      Comparable    Mismatch\n";
  out << "____________________________________\n";
  for (int n = 0; n <= nloci; ++n)
    out << format(" %3d     %12lld %12lld\n", n,
                  static_cast<long long>(counts.comparable[std::size_t(n)]),
                  static_cast<long long>(counts.mismatching[std::size_t(n)]));
  out << "____________________________________\n";
}

}  // namespace tarvo::report
