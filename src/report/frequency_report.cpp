// The allele frequency report (_freq.txt).
#include "report/report.h"

namespace tarvo::report {

namespace {

constexpr int FREQUENCY_RULE = 81;
constexpr int NAME_COLUMN = 10;

template <typename T>
T entry_or_zero(const std::vector<T>& values, int j) {
  return std::size_t(j) < values.size() ? values[std::size_t(j)] : T{};
}

// Writes one locus; returns false when the locus held only missing values.
// extra: characters the name column grows by.
bool write_locus(std::ostream& out, const LocusFrequencies& locus, int number, int extra) {
  const std::string shown = shown_name(locus.name);
  const char* name = shown.c_str();
  const int width = NAME_COLUMN + extra;
  const int entries = locus.size();
  bool only_missing = false;
  const std::string grown(std::size_t(extra), ' ');
  out << grown
      << "    loci          loci      allele     allele     allele  allele       cumulative'n  \n";
  out << grown
      << "    name          number    name       number     count   frequency    frequency\n\n";
  int listed = 0;
  for (int j = 0; j < entries; ++j) {
    const int count = entry_or_zero(locus.counts, j);
    if (locus.alleles[std::size_t(j)] != 0) {
      ++listed;
      out << format("%*s  %10d %10d %10d", width, name, number, locus.alleles[std::size_t(j)],
                    listed);
      out << format("%10d  %10.5f   %10.5f ", count, entry_or_zero(locus.freqs, j),
                    entry_or_zero(locus.cumulative, j));
    } else {
      out << format("%*s  %10d         M           0", width, name, number);
      out << format("%10d        -            -", count);
      if (entries == 1) {
        out << "\n\nWARNING: This locus only had missing values\n\n";
        only_missing = true;
      }
    }
    if (j < entries - 1) out << '\n';
  }
  // A locus without entries has nothing adding up to one either.
  const double last = entries > 0 ? entry_or_zero(locus.cumulative, entries - 1) : 0.0;
  if (last > 1.00001 || last < 0.99999) {
    out << format("WARNING: Allele frequencies do not add up to one: freq=%12.9f \n", last);
  }
  out << "\n\n\n";
  return !only_missing;
}

}  // namespace

bool frequency_report(std::ostream& out, const FrequencyTable& freqs, bool counted, int samples,
                      const std::string& file) {
  const int extra = column_growth(
      freqs.loci, NAME_COLUMN, [](const LocusFrequencies& l) { return std::string_view(l.name); });
  const int width = FREQUENCY_RULE + extra;
  out << "\n\n\n";
  rule(out, width, "\n\n");
  if (counted)
    out << format("Allele frequencies of %d records read from file <%s> \n", samples, file.c_str());
  else
    out << format("Allele frequencies read from file: <%s>\n\n", file.c_str());
  rule(out, width, "\n\n");
  bool usable = true;
  for (int i = 0; i < freqs.size(); ++i) {
    if (!write_locus(out, freqs.loci[std::size_t(i)], i + 1, extra)) usable = false;
  }
  rule(out, width, "\n\n");
  return usable;
}

}  // namespace tarvo::report
