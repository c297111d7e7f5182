// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A piece of work run beside the calling thread, for the passes over a long
// tape that split in two. Standard library only.

#include <exception>
#include <functional>
#include <system_error>
#include <thread>
#include <utility>

namespace rw {

// Starts `work` on a second thread. Where no thread can be had, the work
// waits and Join runs it on the calling thread instead, so a caller gets the
// same result either way; it only takes longer. Join waits for the work and
// passes on what it threw. A SecondThread dropped without Join (the caller's
// own work threw) still waits for it, and keeps quiet about its exception.
class SecondThread {
 public:
  explicit SecondThread(std::function<void()> work) : work_(std::move(work)) {
    try {
      thread_ = std::thread([this] {
        try {
          work_();
        } catch (...) {
          error_ = std::current_exception();
        }
      });
    } catch (const std::system_error&) {
      // Join runs the work.
    }
  }
  SecondThread(const SecondThread&) = delete;
  SecondThread& operator=(const SecondThread&) = delete;
  ~SecondThread() {
    if (thread_.joinable()) thread_.join();
  }

  void Join() {
    if (!thread_.joinable()) {
      work_();
      return;
    }
    thread_.join();
    if (error_) std::rethrow_exception(error_);
  }

 private:
  std::function<void()> work_;
  std::exception_ptr error_;
  std::thread thread_;
};

}  // namespace rw
