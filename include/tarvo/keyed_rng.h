// Counter-based draws for the fast mode: Philox4x32-10, whose output block is
// a pure function of a key and a counter. Every row of every stage draws
// from a stream of its own, named by the run's seed, the stage, the run, a
// pass and the row, so no row's draws depend on how many came before it:
// rows can be drawn in any order, on any number of threads, with the same
// bytes.
#pragma once

#include <array>
#include <cstdint>
#include <limits>

namespace tarvo {

// Philox4x32 with ten rounds: the block of a counter under a key.
using PhiloxCounter = std::array<std::uint32_t, 4>;
using PhiloxKey = std::array<std::uint32_t, 2>;
[[nodiscard]] PhiloxCounter philox4x32_10(PhiloxCounter counter, PhiloxKey key);

// The stages that draw, each with streams of its own.
enum class DrawStage : std::uint32_t {
  ReferenceScan = 1,
  CalibrationGenotypes = 2,
  ErrorMasks = 3,
  ErrorGenotypes = 4,
  ErrorPlan = 5,
  ErrorGenotypingErrors = 6,
  ErrorScan = 7,
  CalibrationMasks = 8,
};

// The name of a family of streams: one stream per row.
struct StreamKey {
  std::uint32_t seed = 0;
  DrawStage stage = DrawStage::ReferenceScan;
  std::uint32_t run = 0;   // a simulated set or a standard-error run
  std::uint32_t pass = 0;  // the convergence iteration
};

// The streams of one simulated set: its seed, run, pass, and the threads
// that draw its rows (the draws never depend on them).
struct KeyedDraws {
  std::uint32_t seed = 0;
  std::uint32_t run = 0;
  std::uint32_t pass = 0;
  int threads = 1;
  [[nodiscard]] StreamKey key(DrawStage stage) const { return StreamKey{seed, stage, run, pass}; }
};

// The outputs of one row's stream, in order.
class KeyedRng {
 public:
  KeyedRng() = default;
  KeyedRng(const StreamKey& key, std::uint32_t row) { start(key, row); }
  void start(const StreamKey& key, std::uint32_t row) {
    key_ = PhiloxKey{key.seed, static_cast<std::uint32_t>(key.stage)};
    counter_ = PhiloxCounter{0, row, key.run, key.pass};
    next_ = 4;
  }
  [[nodiscard]] std::uint32_t next_u32() {
    if (next_ == 4) {
      block_ = philox4x32_10(counter_, key_);
      ++counter_[0];
      next_ = 0;
    }
    return block_[std::size_t(next_++)];
  }
  // Uniform in [0, 1) on 32 bits, as the sequential generator's.
  [[nodiscard]] double uniform() { return next_u32() * (1.0 / 4294967296.0); }
  // A fair coin: 1 when the draw is at least one half.
  [[nodiscard]] int coin() { return uniform() >= 0.5 ? 1 : 0; }
  // Uniform in (0, 1] on 53 bits: the tails of inverted laws need them.
  [[nodiscard]] double open_uniform() {
    const std::uint64_t hi = next_u32(), lo = next_u32();
    const std::uint64_t bits = ((hi << 32) | lo) >> 11;
    return double(bits + 1) * (1.0 / 9007199254740992.0);
  }

 private:
  PhiloxKey key_{};
  PhiloxCounter counter_{};
  PhiloxCounter block_{};
  int next_ = 4;
};

}  // namespace tarvo
