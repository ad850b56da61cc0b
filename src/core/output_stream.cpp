#include "core/output_stream.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "core/kernels.h"

namespace tarvo::detail {

namespace {
constexpr std::uint64_t WORDS = std::uint64_t(MT_WORDS);
}  // namespace

OutputStream::OutputStream(Rng& rng, bool own_thread, std::size_t reach, std::uint64_t bound,
                           int chunk_states)
    : rng_(rng), reach_(std::max<std::size_t>(reach, 1)), bound_(bound) {
  // Whole words of marks per chunk: eight states are 78 words.
  constexpr std::uint64_t STEP = 8;
  std::uint64_t states = std::max<std::uint64_t>(std::uint64_t(std::max(chunk_states, 1)),
                                                 (reach_ + WORDS - 1) / WORDS);
  states = (states + STEP - 1) / STEP * STEP;
  chunk_words_ = states * WORDS;
  ring_words_ = chunk_words_ * RING_CHUNKS;
  mark_words_ = ring_words_ / 64;
  marks_.assign(mark_words_, 0);
  first_is_current_ = rng.next_ < Rng::N;
  start_ = first_is_current_ ? std::uint64_t(rng.next_) : 0;
  ring_.assign(ring_words_ + reach_, 0);
  state_.assign(rng.state_, rng.state_ + Rng::N);
  snapshot_.assign(WORDS * RING_CHUNKS, 0);
  release_at_ = chunk_words_;
  if (own_thread) producer_ = std::thread([this] { produce(); });
}

OutputStream::~OutputStream() {
  stop();
}

// The chunk's states in order; the first output of the stream may be the
// run's current state, already generated.
void OutputStream::generate_chunk(std::uint64_t chunk) {
  const std::uint64_t slot = chunk % RING_CHUNKS;
  std::uint32_t* out = ring_.data() + slot * chunk_words_;
  for (std::uint64_t b = 0; b * WORDS < chunk_words_; ++b) {
    if (chunk == 0 && b == 0 && first_is_current_)
      std::copy(rng_.tempered_, rng_.tempered_ + Rng::N, out);
    else
      mt_regenerate(state_.data(), out + b * WORDS);
    if (b == 0)
      std::copy(state_.begin(), state_.end(), snapshot_.begin() + std::ptrdiff_t(slot * WORDS));
  }
  mark_below(out, chunk_words_, bound_, marks_.data() + slot * (chunk_words_ / 64));
  // Reads running past the ring's end continue into this copy of its start.
  if (slot == 0) std::copy(out, out + reach_, ring_.data() + ring_words_);
}

void OutputStream::wake(std::atomic<bool>& waits) {
  if (!waits.load()) return;
  const std::lock_guard<std::mutex> lock(mutex_);
  changed_.notify_all();
}

void OutputStream::produce() {
  for (std::uint64_t chunk = 0;; ++chunk) {
    if (chunk >= released_.load() + RING_CHUNKS) {
      std::unique_lock<std::mutex> lock(mutex_);
      producer_waits_.store(true);
      changed_.wait(lock,
                    [&] { return stopping_.load() || chunk < released_.load() + RING_CHUNKS; });
      producer_waits_.store(false);
    }
    if (stopping_.load()) return;
    generate_chunk(chunk);
    produced_.store(chunk + 1);
    wake(reader_waits_);
  }
}

void OutputStream::release(std::uint64_t position) {
  const std::uint64_t chunk = position / chunk_words_;
  release_at_ = (chunk + 1) * chunk_words_;
  if (!producer_.joinable()) return;
  released_.store(chunk);
  if (chunk % (RING_CHUNKS / 2) == 0) wake(producer_waits_);
}

void OutputStream::wait_for(std::uint64_t position) {
  const std::uint64_t need = position + reach_;
  if (!producer_.joinable()) {
    // The chunk written over is one the reader has passed.
    while (generated_ * chunk_words_ < need) generate_chunk(generated_++);
    ready_ = generated_ * chunk_words_;
    return;
  }
  if (produced_.load() * chunk_words_ < need) {
    wake(producer_waits_);
    std::unique_lock<std::mutex> lock(mutex_);
    reader_waits_.store(true);
    changed_.wait(lock, [&] { return produced_.load() * chunk_words_ >= need; });
    reader_waits_.store(false);
  }
  ready_ = produced_.load() * chunk_words_;
}

void OutputStream::stop() {
  if (!producer_.joinable()) return;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_.store(true);
    changed_.notify_all();
  }
  producer_.join();
}

void OutputStream::finish(std::uint64_t end) {
  stop();
  if (end == start_) return;
  // The state whose outputs hold the last one consumed, rebuilt from the
  // state after its chunk's first outputs.
  const std::uint64_t last = end - 1;
  const std::uint64_t block = last / WORDS;
  const std::uint64_t states = chunk_words_ / WORDS;
  const std::uint64_t slot = (block / states) % RING_CHUNKS;
  std::copy_n(snapshot_.begin() + std::ptrdiff_t(slot * WORDS), Rng::N, rng_.state_);
  for (std::uint64_t b = 0; b < block % states; ++b) mt_regenerate(rng_.state_, rng_.tempered_);
  const std::uint32_t* outputs = ring_.data() + slot * chunk_words_ + (block % states) * WORDS;
  std::copy(outputs, outputs + Rng::N, rng_.tempered_);
  rng_.next_ = int(end - block * WORDS);
  rng_.calls_ += end - start_;
}

}  // namespace tarvo::detail
