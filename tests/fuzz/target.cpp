// One libFuzzer target; the build gives its index in TARGETS.
#include <cstddef>
#include <cstdint>

#include "fuzz/entries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tarvo::fuzz::TARGETS[TARVO_FUZZ_TARGET].entry(
      std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
