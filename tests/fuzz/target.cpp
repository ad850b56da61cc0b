// One libFuzzer target; the build names it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz/entries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const tarvo::fuzz::Target* const target = [] {
    const tarvo::fuzz::Target* t = tarvo::fuzz::find_target(TARVO_FUZZ_TARGET);
    if (t == nullptr) {
      std::fprintf(stderr, "no fuzz target named %s\n", TARVO_FUZZ_TARGET);
      std::abort();
    }
    return t;
  }();
  target->entry(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
