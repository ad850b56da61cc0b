// The generator's outputs as a stream read in order by one reader. The
// outputs are generated a chunk (whole generator states) at a time into a
// ring of chunks, by a thread of their own or, with one thread, by the reader
// when it runs out; the reader sees any run of up to reach() outputs from a
// position as one contiguous array, and beside the outputs a bit per output
// telling whether it is below a bound (the retyping errors), found by the
// generating thread. When the reader is done, the run's
// generator is left exactly where drawing the consumed outputs one by one
// would have left it.
#pragma once

#include <algorithm>
#include <atomic>
#include <bit>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "tarvo/rng.h"

namespace tarvo::detail {

class OutputStream {
 public:
  // reach: the most outputs the reader needs at once. chunk_states: the
  // generator states (624 outputs each) per chunk, raised to cover reach.
  OutputStream(Rng& rng, bool own_thread, std::size_t reach, std::uint64_t bound,
               int chunk_states = 16);
  OutputStream(const OutputStream&) = delete;
  OutputStream& operator=(const OutputStream&) = delete;
  ~OutputStream();

  // Position of the reader's first output.
  [[nodiscard]] std::uint64_t start() const { return start_; }
  [[nodiscard]] std::size_t reach() const { return reach_; }
  [[nodiscard]] std::uint64_t chunk_words() const { return chunk_words_; }
  [[nodiscard]] static constexpr int ring_chunks() { return RING_CHUNKS; }
  // Outputs position .. position + reach() - 1. Positions never go back: the
  // outputs before position may be overwritten from now on.
  [[nodiscard]] const std::uint32_t* at(std::uint64_t position) {
    if (position >= release_at_) release(position);
    if (position + reach_ > ready_) wait_for(position);
    // Positions advance by less than the ring between calls: no division.
    while (position - turn_ >= ring_words_) turn_ += ring_words_;
    return ring_.data() + (position - turn_);
  }
  // Offset from position of the first output below the bound among the
  // count from position (count when none is), for a position from the one
  // at() last had to it plus reach().
  [[nodiscard]] int first_below(std::uint64_t position, int count) const {
    std::uint64_t word = (position - turn_) / 64;
    if (word >= mark_words_) word -= mark_words_;
    const int skipped = int(position % 64);
    std::uint64_t bits = marks_[std::size_t(word)] >> skipped;
    int offset = 0, span = 64 - skipped;
    for (;;) {
      if (bits != 0) return std::min(offset + std::countr_zero(bits), count);
      offset += span;
      if (offset >= count) return count;
      if (++word == mark_words_) word = 0;
      bits = marks_[std::size_t(word)];
      span = 64;
    }
  }
  // Stops the generation and places the run's generator after the outputs
  // before end.
  void finish(std::uint64_t end);

 private:
  // The producer sleeps once the ring is full and is woken when half of it
  // is free again: one wake-up per RING_CHUNKS / 2 chunks.
  static constexpr int RING_CHUNKS = 32;
  void release(std::uint64_t position);
  void wait_for(std::uint64_t position);
  void generate_chunk(std::uint64_t chunk);
  void produce();
  void stop();
  void wake(std::atomic<bool>& waits);

  Rng& rng_;
  std::size_t reach_;
  std::uint64_t chunk_words_;
  std::uint64_t ring_words_;
  std::uint64_t start_;
  bool first_is_current_;            // the first state's outputs are the run's current ones
  std::vector<std::uint32_t> ring_;  // RING_CHUNKS chunks, then a copy of the first reach_
  std::uint64_t bound_;
  std::vector<std::uint64_t> marks_;  // bit o % 64 of word o / 64: output o below the bound
  std::uint64_t mark_words_;
  std::vector<std::uint32_t> state_;     // the producer's generator state
  std::vector<std::uint32_t> snapshot_;  // per ring chunk: the state after its first outputs
  std::uint64_t ready_ = 0;              // outputs the reader knows are generated
  std::uint64_t release_at_ = 0;         // the reader's next chunk boundary
  std::uint64_t turn_ = 0;               // position of the ring's start in the reader's turn
  std::uint64_t generated_ = 0;          // chunks generated (inline generation)
  // Each side sleeps on changed_ only after saying so, and the other wakes it
  // only then: most chunks pass without a system call.
  std::atomic<std::uint64_t> produced_{0};  // chunks generated
  std::atomic<std::uint64_t> released_{0};  // chunks the reader is done with
  std::atomic<bool> stopping_{false};
  std::atomic<bool> producer_waits_{false};
  std::atomic<bool> reader_waits_{false};
  std::mutex mutex_;
  std::condition_variable changed_;
  std::thread producer_;
};

}  // namespace tarvo::detail
