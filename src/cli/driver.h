// The run: the command line, the output files, the loading stage and one
// iteration per false-positive level tried until the level search settles.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tarvo::cli {

// args[0] is the program path. Returns the exit status. Errors and warnings
// written to standard output are copied to err unless copy_problems is false
// (both streams are one file). `terminal`: standard output is a terminal,
// which gets a progress line.
[[nodiscard]] int run_program(const std::vector<std::string>& args, std::ostream& out,
                              std::ostream& err, bool copy_problems = true, bool terminal = false);

}  // namespace tarvo::cli
