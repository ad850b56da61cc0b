// The one-page HTML report of a run, from what the run wrote to its tables.
#pragma once

#include "cli/outputs.h"
#include "cli/reports.h"
#include "report/html_report.h"

namespace tarvo::cli {

// Writes <prefix>_report.html through the output set, with the TSV texts
// the run wrote and the levels plot as its file holds it.
void write_report_page(const ChosenLevel& chosen, const report::PageTables& tables,
                       const std::string& levels_svg, OutputSet& outputs);

}  // namespace tarvo::cli
