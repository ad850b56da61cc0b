#include <iostream>
#include <string>
#include <vector>

#include "cli/driver.h"

int main(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.emplace_back(argv[i] ? argv[i] : "");
  if (args.empty()) args.emplace_back("tarvo");
  return tarvo::cli::run_program(args, std::cout, std::cerr);
}
