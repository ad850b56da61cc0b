#include <memory>

#include "tarvo.h"

int main(int argc, char** argv) {
  // The tables are large; keep them off the stack.
  auto run = std::make_unique<tarvo::Run>();
  try {
    return tarvo::run_main(*run, argc, argv);
  } catch (const tarvo::Exit& e) {
    std::fflush(nullptr);
    return e.status;
  }
}
