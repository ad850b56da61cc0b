// The run: the command line, the output files, the loading stage and one
// iteration per false-positive level tried until the level search settles.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tarvo::cli {

// args[0] is the program path. Returns the exit status.
// `terminal`: standard output is a terminal, which gets a progress line.
[[nodiscard]] int run_program(const std::vector<std::string>& args, std::ostream& out,
                              std::ostream& err, bool terminal = false);

}  // namespace tarvo::cli
