// The program's message for every library failure, written to the streams
// the message has always gone to, and the exit status that goes with it.
#pragma once

#include <string>

#include "report/report.h"
#include "tarvo/error.h"
#include "tarvo/frequencies.h"

namespace tarvo::cli {

// What a message needs beyond the failure's own details.
struct MessageContext {
  std::string file;  // the file being read when a reader failed
  std::string separator = "POP";
  bool separator_given = false;
  std::string genotype_file;  // set when both input files were given
  std::string frequency_file;
  const FrequencyTable* frequencies = nullptr;  // the table an unknown allele was looked up in
};

// Writes the message and returns the exit status.
[[nodiscard]] int report_error(const Error& error, const MessageContext& context,
                               report::Console& console);

}  // namespace tarvo::cli
