// The panel power table and the frequency report's closing block.
#include "report/power_report.h"

#include <cmath>

#include "report/report.h"

namespace tarvo::report {

namespace {

constexpr int FREQUENCY_RULE = 81;

// Six significant digits; NA (read as missing by R and pandas) when undefined.
std::string number(double v) {
  return std::isnan(v) ? std::string("NA") : format("%.6g", v);
}

// Tabs and line ends of a name would break the row.
std::string field(std::string name) {
  for (char& c : name)
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  return name;
}

std::string needed(const PanelPower& panel, double target) {
  const int k = loci_needed(panel, target);
  if (k == 0) return "not reached";
  return format("%d %s", k, k == 1 ? "locus" : "loci");
}

// The products over every locus with alleles: those of the last rank.
const LocusPower* last_rank(const PanelPower& panel) {
  const LocusPower* last = nullptr;
  for (const LocusPower& L : panel.loci)
    if (L.rank > 0 && (last == nullptr || L.rank > last->rank)) last = &L;
  return last;
}

}  // namespace

void loci_power_tsv(std::ostream& out, const std::vector<PanelPower>& panels) {
  out << "population\tpopulation_number\tlocus_number\tlocus\talleles\tsamples_scored\tobserved_"
         "het\texpected_het\t"
         "expected_het_unbiased\tpid\tpid_sib\trank\tcumulative_pid\tcumulative_pid_sib\n";
  for (const PanelPower& panel : panels) {
    const std::string name = field(panel.population < 0 ? std::string("all") : panel.name);
    for (std::size_t k = 0; k < panel.loci.size(); ++k) {
      const LocusPower& L = panel.loci[k];
      out << name << '\t' << panel.population + 1 << '\t' << k + 1 << '\t' << field(L.name) << '\t'
          << L.alleles << '\t' << L.scored << '\t' << number(L.observed_het) << '\t'
          << number(L.expected_het) << '\t' << number(L.expected_het_unbiased) << '\t'
          << number(L.pid) << '\t' << number(L.pid_sib) << '\t'
          << (L.rank > 0 ? std::to_string(L.rank) : "NA") << '\t' << number(L.cumulative_pid)
          << '\t' << number(L.cumulative_pid_sib) << '\n';
    }
  }
}

void power_summary(std::ostream& out, const std::vector<PanelPower>& panels,
                   const std::string& tsv_name) {
  out << "Probability of identity of two unrelated individuals (PID) and of two siblings\n"
         "(PIDsib), the loci taken from the most informative (smallest PIDsib).\n"
      << format("Per locus values in <%s>\n\n", tsv_name.c_str());
  out << format("%-20s %5s %15s %15s %16s %16s\n", "population", "loci", "PIDsib < 0.01",
                "PIDsib < 0.001", "PIDsib all loci", "PID all loci");
  for (const PanelPower& panel : panels) {
    const LocusPower* last = last_rank(panel);
    const std::string name = panel.population < 0 ? "all samples" : shown_name(panel.name);
    out << format("%-20s %5zu %15s %15s %16s %16s\n", name.c_str(), panel.loci.size(),
                  needed(panel, 0.01).c_str(), needed(panel, 0.001).c_str(),
                  last ? format("%.4e", last->cumulative_pid_sib).c_str() : "-",
                  last ? format("%.4e", last->cumulative_pid).c_str() : "-");
  }
  out << '\n';
  rule(out, FREQUENCY_RULE, "\n\n");
}

}  // namespace tarvo::report
