#include <unistd.h>

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "cli/driver.h"

int main(int argc, char** argv) {
  // A reader that goes away (`| head`) makes standard output fail as a full
  // device does: the run still writes its reports and ends with status 255.
  std::signal(SIGPIPE, SIG_IGN);
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.emplace_back(argv[i] ? argv[i] : "");
  if (args.empty()) args.emplace_back("tarvo");
  return tarvo::cli::run_program(args, std::cout, std::cerr, isatty(STDOUT_FILENO) == 1);
}
