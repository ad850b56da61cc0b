// The panel power: the per-locus table (<prefix>_loci_power.tsv) and the
// short block closing the frequency report.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "tarvo/power.h"

namespace tarvo::report {

// Tab-separated, one header line; the rows of all samples (population "all",
// number 0) first, then each population's. Undefined values are written NA.
void loci_power_tsv(std::ostream& out, const std::vector<PanelPower>& panels);

// The loci needed to reach PIDsib below 0.01 and 0.001, one line per panel.
void power_summary(std::ostream& out, const std::vector<PanelPower>& panels,
                   const std::string& tsv_name);

}  // namespace tarvo::report
