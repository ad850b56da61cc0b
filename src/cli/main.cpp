#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "cli/driver.h"

namespace {

// Standard output and standard error on one file (a terminal, 2>&1): the
// errors copied to standard error would be shown twice.
bool one_file(int a, int b) {
  struct stat first {};
  struct stat second {};
  return fstat(a, &first) == 0 && fstat(b, &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

}  // namespace

int main(int argc, char** argv) {
  // A reader that goes away (`| head`) makes standard output fail as a full
  // device does: the run still writes its reports and ends with status 255.
  std::signal(SIGPIPE, SIG_IGN);
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.emplace_back(argv[i] ? argv[i] : "");
  if (args.empty()) args.emplace_back("tarvo");
  return tarvo::cli::run_program(args, std::cout, std::cerr, !one_file(1, 2),
                                 isatty(STDOUT_FILENO) == 1);
}
