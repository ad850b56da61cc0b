// The random generator: MT19937 with its published initialisation and
// tempering (the outputs are exactly std::mt19937's). One generator is seeded
// once per run and passed to whatever draws; every draw happens in a fixed
// order, so a seed reproduces a run exactly.
#pragma once

#include <cstdint>

namespace tarvo {

class Rng {
 public:
  explicit Rng(std::uint32_t seed = 5489u) { seed_with(seed); }
  void seed_with(std::uint32_t seed);
  [[nodiscard]] std::uint32_t next_u32() {
    ++calls_;
    if (next_ >= N) regenerate();
    return tempered_[next_++];
  }
  // Uniform in [0, 1).
  [[nodiscard]] double uniform() { return next_u32() * (1.0 / 4294967296.0); }
  // A fair coin: 1 when the draw is at least one half.
  [[nodiscard]] int coin() { return uniform() >= 0.5 ? 1 : 0; }
  // Outputs drawn since seeding.
  [[nodiscard]] std::uint64_t calls() const { return calls_; }

 private:
  static constexpr int N = 624;
  void regenerate();
  std::uint32_t state_[N];
  std::uint32_t tempered_[N];
  int next_ = N;
  std::uint64_t calls_ = 0;
};

}  // namespace tarvo
