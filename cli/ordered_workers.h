// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Work on many items by several threads, with the results handed on in the
// items' order. Standard library only.

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

namespace rw::cli {

// Runs work(i) for every i below `count` on up to `jobs` threads and calls
// deliver(i, result) on the calling thread for i = 0, 1, 2, ... in turn, so
// the output does not depend on which thread finishes first. A worker takes
// an item only while it is fewer than `window` items ahead of the delivery,
// which bounds the results held (and the items being worked on) whatever
// `count` is. When deliver returns false, no further item is started and the
// call returns once the running ones are done. `work` must not throw.
template <class Result>
void RunInOrder(size_t count, unsigned jobs, size_t window, const std::function<Result(size_t)>& work,
                const std::function<bool(size_t, Result&&)>& deliver) {
  if (count == 0) return;
  jobs = static_cast<unsigned>(std::clamp<size_t>(jobs, 1, count));
  window = std::max<size_t>(window, jobs);

  std::mutex mutex;
  std::condition_variable resultReady;
  std::condition_variable roomFree;
  std::vector<std::optional<Result>> waiting(window);  // item i waits in slot i % window
  size_t claimed = 0;
  size_t delivered = 0;
  bool stop = false;

  const auto worker = [&] {
    for (;;) {
      size_t item = 0;
      {
        std::unique_lock lock(mutex);
        roomFree.wait(lock, [&] { return stop || claimed >= count || claimed < delivered + window; });
        if (stop || claimed >= count) return;
        item = claimed++;
      }
      Result result = work(item);
      {
        std::lock_guard lock(mutex);
        waiting[item % window] = std::move(result);
      }
      resultReady.notify_one();
    }
  };

  std::vector<std::thread> threads;
  threads.reserve(jobs);
  for (unsigned i = 0; i < jobs; ++i) {
    try {
      threads.emplace_back(worker);
    } catch (const std::system_error&) {
      break;  // fewer threads than asked for still finish the work
    }
  }
  if (threads.empty()) {
    for (size_t i = 0; i < count; ++i) {
      if (!deliver(i, work(i))) return;
    }
    return;
  }

  for (size_t i = 0; i < count; ++i) {
    Result result;
    {
      std::unique_lock lock(mutex);
      auto& slot = waiting[i % window];
      resultReady.wait(lock, [&] { return slot.has_value(); });
      result = std::move(*slot);
      slot.reset();
      delivered = i + 1;
    }
    roomFree.notify_all();
    if (!deliver(i, std::move(result))) {
      {
        std::lock_guard lock(mutex);
        stop = true;
      }
      roomFree.notify_all();
      break;
    }
  }
  for (auto& thread : threads) thread.join();
}

}  // namespace rw::cli
