// The output files of a run: opened at the start with their headers, the
// pairwise and population reports opened again for their final text.
#pragma once

#include <fstream>
#include <string>

#include "cli/models.h"
#include "cli/options.h"
#include "report/report.h"

namespace tarvo::cli {

struct OutputFiles {
  std::ofstream loci;  // frequency file for reading back (odd models)
  std::ofstream freq;
  std::ofstream miss;
  std::ofstream stat;  // models 1-6
  std::ofstream pair;
  std::ofstream pop;
  std::ofstream log;
};

// The current time in asctime's layout (ends in a newline).
[[nodiscard]] std::string date_line();

// The header of a report file written now.
[[nodiscard]] report::Header header_now(const Options& options);

// Opens every file of the model, writes the headers and starts the log
// (attached to the console). Throws Exit{255} when a file cannot be written.
void open_outputs(OutputFiles& files, const Options& options, Model model,
                  report::Console& console);

// Truncates a report file for its final text; message names the file in the
// failure message. Throws Exit{255} when it cannot be written.
void reopen(std::ofstream& file, const std::string& name, const std::string& shown_name,
            report::Console& console);

}  // namespace tarvo::cli
