// The random generator: MT19937 with its published initialisation and
// tempering (the outputs are exactly std::mt19937's). One generator is seeded
// once per run and passed to whatever draws; every draw happens in a fixed
// order, so a seed reproduces a run exactly.
#pragma once

#include <cstdint>

namespace tarvo {

namespace detail {
class OutputStream;
}

// The bound b with uniform() < rate exactly when the output is below b
// (output * 2^-32 is exact). 2^32 when every output counts: a rate above
// every uniform, or NaN, which no uniform is at or above.
[[nodiscard]] std::uint64_t retype_bound(double rate);

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

  // Passes over n outputs.
  void discard(std::uint64_t n);
  // Passes over the draws of count retypings without using them: each takes
  // one output, and two more when that output is below bound (see
  // retype_bound). This is how a scan finds where each of its parts starts.
  void skip_retypings(std::uint64_t count, std::uint64_t bound);
  [[nodiscard]] static constexpr int words() { return N; }

 private:
  // Generates the outputs of whole states ahead of the draws that use them.
  friend class detail::OutputStream;
  static constexpr int N = 624;  // words of the state
  void regenerate();
  std::uint32_t state_[N];
  std::uint32_t tempered_[N];
  int next_ = N;
  std::uint64_t calls_ = 0;
};

}  // namespace tarvo
