// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What every benchmark measures with: wall-clock seconds and the process's
// peak resident memory.

#include <sys/resource.h>

#include <chrono>

namespace rw::bench {

using Clock = std::chrono::steady_clock;

inline double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Peak resident memory of this process so far, in KB.
inline long MaxRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace rw::bench
