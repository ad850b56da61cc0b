// Work spread over threads. Results never depend on the number of threads:
// callers give every item its own output and merge them in item order.
#pragma once

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>
#include <vector>

namespace tarvo::detail {

// Runs body(worker, item) for items 0..count-1 on up to threads workers
// (worker numbers 0..workers-1), items handed out in increasing order as
// workers free up. Returns the workers used. An exception thrown by body stops
// the handing out; the one from the lowest item is rethrown here.
template <typename Body>
int parallel_for(int threads, int count, Body&& body) {
  const int workers = std::max(1, std::min(threads, count));
  if (workers == 1) {
    for (int item = 0; item < count; ++item) body(0, item);
    return 1;
  }
  std::atomic<int> next{0};
  std::vector<std::exception_ptr> failure(std::size_t(count), nullptr);
  std::atomic<bool> failed{false};
  auto run = [&](int worker) {
    // An item once taken always runs, so every item below a failing one runs.
    while (!failed) {
      const int item = next++;
      if (item >= count) break;
      try {
        body(worker, item);
      } catch (...) {
        failure[std::size_t(item)] = std::current_exception();
        failed = true;
      }
    }
  };
  std::vector<std::thread> pool;
  pool.reserve(std::size_t(workers) - 1);
  for (int w = 1; w < workers; ++w) pool.emplace_back(run, w);
  run(0);
  for (std::thread& t : pool) t.join();
  for (const std::exception_ptr& e : failure)
    if (e) std::rethrow_exception(e);
  return workers;
}

// Runs row(i) for rows 0..count-1 in runs of rows shared among threads:
// for rows whose draws come from streams of their own.
template <typename Row>
void for_each_row(int threads, int count, Row&& row) {
  constexpr int ROWS_PER_ITEM = 256;
  const int items = (count + ROWS_PER_ITEM - 1) / ROWS_PER_ITEM;
  (void)parallel_for(threads, items, [&](int, int item) {
    const int end = std::min(count, (item + 1) * ROWS_PER_ITEM);
    for (int i = item * ROWS_PER_ITEM; i < end; ++i) row(i);
  });
}

}  // namespace tarvo::detail
