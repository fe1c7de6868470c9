#pragma once
// Runs independent work items on several threads. Items are handed out in
// order; the caller collects results by index, so output never depends on
// which thread did what.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace ccdcrc {

// Called after each finished item with (items done, items in all); never concurrently.
using ProgressCallback = std::function<void(std::size_t, std::size_t)>;

// Calls work(i) for every i below count on up to `jobs` threads (0: one per
// core), the calling thread among them. A thread that cannot be started
// (a process limit, no memory) only lowers the parallelism. The first
// exception thrown by an item is rethrown after all threads end; a progress
// callback cancels a run the same way, by throwing: no further item starts.
inline void parallel_for(std::size_t count, unsigned jobs, const std::function<void(std::size_t)>& work,
                         const ProgressCallback& progress = {}) {
  if (jobs == 0) jobs = std::max(1u, std::thread::hardware_concurrency());
  if (jobs > count) jobs = static_cast<unsigned>(count == 0 ? 1 : count);
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  std::size_t done = 0;
  std::mutex mutex;
  std::exception_ptr first_error;
  auto worker = [&] {
    for (std::size_t i; !failed && (i = next++) < count;) {
      try {
        work(i);
      } catch (...) {
        std::lock_guard<std::mutex> lock(mutex);
        if (!first_error) first_error = std::current_exception();
        failed = true;
      }
      std::lock_guard<std::mutex> lock(mutex);
      ++done;
      try {
        if (progress) progress(done, count);
      } catch (...) {  // told like an item's failure: nothing leaves a thread
        if (!first_error) first_error = std::current_exception();
        failed = true;
      }
    }
  };
  std::vector<std::thread> threads;
  try {
    threads.reserve(jobs - 1);
    for (unsigned j = 1; j < jobs; ++j) threads.emplace_back(worker);
  } catch (...) {  // std::system_error or std::bad_alloc: fewer threads do the work
  }
  worker();
  for (std::thread& thread : threads) thread.join();
  if (first_error) std::rethrow_exception(first_error);
}

}  // namespace ccdcrc
