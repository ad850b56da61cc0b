// The help text: the options with their defaults and meaning come from the
// option table, as the README and the manual give them.
#include "cli/help.h"

#include "cli/options.h"
#include "report/report.h"
#include "tarvo/limits.h"

namespace tarvo::cli {

InfoRequest info_request(std::span<const std::string> args) {
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--") break;
    if (args[i] == "-h" || args[i] == "--help") return InfoRequest::Help;
    if (args[i] == "--version") return InfoRequest::Version;
  }
  return InfoRequest::None;
}

std::string version_text() {
  return std::string(VERSION) + "\n";
}

std::string help_text(const std::string& progname) {
  const char* p = progname.c_str();
  std::string text = report::format(
      "Usage: %s -1 FILE [options]                  analyse genotypes (models 1, 2 with "
      "-2 FILE)\n"
      "       %s -1 FILE|-2 FILE -M NUM [options]   simulate reference data (models 3-10)\n"
      "       %s                                    the table of models\n\n",
      p, p, p);
  text +=
      "Finds the samples that come from the same individual, calibrates the match threshold\n"
      "by simulation and estimates recaptures with standard errors.\n\n"
      "Input:\n";
  const auto input = [](const OptionEntry& entry) {
    return entry.letter >= '0' && entry.letter <= '9';
  };
  for (const OptionEntry& entry : OPTION_TABLE)
    if (input(entry)) text += entry.help;
  text += "\nOptions (default in brackets):\n";
  for (const OptionEntry& entry : OPTION_TABLE)
    if (!input(entry) && entry.help != nullptr) text += entry.help;
  return text +
         "  -h, --help  this help;  --version  the version\n\n"
         "Options are case-sensitive; flags may be clustered (-jz 3); -- ends the options.\n"
         "Exit status: 0 after a complete run, 1 after a command-line or input error,\n"
         "255 when an output file cannot be written. See the manual: man tarvo.\n";
}

}  // namespace tarvo::cli
