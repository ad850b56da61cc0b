// Philox4x32-10 as its authors published it (ten rounds of two 32 x 32-bit
// multiplications, the Weyl key schedule).
#include "tarvo/keyed_rng.h"

namespace tarvo {

namespace {

constexpr std::uint32_t MULTIPLIER_0 = 0xD2511F53u;
constexpr std::uint32_t MULTIPLIER_1 = 0xCD9E8D57u;
constexpr std::uint32_t WEYL_0 = 0x9E3779B9u;
constexpr std::uint32_t WEYL_1 = 0xBB67AE85u;

PhiloxCounter round(const PhiloxCounter& c, const PhiloxKey& k) {
  const std::uint64_t p0 = std::uint64_t(MULTIPLIER_0) * c[0];
  const std::uint64_t p1 = std::uint64_t(MULTIPLIER_1) * c[2];
  return PhiloxCounter{std::uint32_t(p1 >> 32) ^ c[1] ^ k[0], std::uint32_t(p1),
                       std::uint32_t(p0 >> 32) ^ c[3] ^ k[1], std::uint32_t(p0)};
}

}  // namespace

PhiloxCounter philox4x32_10(PhiloxCounter counter, PhiloxKey key) {
  constexpr int ROUNDS = 10;
  for (int r = 0; r < ROUNDS; ++r) {
    if (r > 0) {
      key[0] += WEYL_0;
      key[1] += WEYL_1;
    }
    counter = round(counter, key);
  }
  return counter;
}

}  // namespace tarvo
