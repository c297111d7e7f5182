// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A program started with its arguments as bytes (a file name that is not
// UTF-8 reaches it unchanged, which QProcess cannot do), its standard output
// and error collected in files, so that a test can signal it while it runs
// and read what it printed afterwards.

#include <gtest/gtest.h>
#include <sys/types.h>

#include <string>
#include <vector>

#include "support/scratch_folder.h"

namespace rw::test {

class RunningProgram {
 public:
  // `environment` holds "NAME=VALUE" entries added to (or replacing those
  // of) the test's own environment; LC_ALL=C is always set.
  RunningProgram(const std::string& program, const std::vector<std::string>& arguments,
                 const std::vector<std::string>& environment = {});
  ~RunningProgram();  // a program still running is killed
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  void Signal(int signalNumber) const;
  // Waits up to `timeoutMs` for the end: the exit status, 128 + N when
  // signal N ended it, -1 when it did not end in time (it is then killed).
  int Wait(int timeoutMs = 60000);
  // True while it has not ended (and was not reaped).
  bool Running();

  std::string out() const;
  std::string err() const;

 private:
  ScratchFolder files_;
  pid_t pid_ = -1;
  int status_ = -1;
};

// What RunCliBytes gives back; exitCode -1 when it hung.
struct ProgramOutcome {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Whether `text` (what a program printed, a file) holds `part`; when it does
// not, the message shows both.
inline testing::AssertionResult Holds(const std::string& text, const std::string& part) {
  if (text.find(part) != std::string::npos) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "\"" << part << "\" is not in:\n" << text;
}

// True once process `pid` has ended (gone, or a zombie nobody reaped yet),
// waiting up to five seconds.
bool Ended(pid_t pid);

// Runs reelwright-cli with `arguments` as bytes and waits for it.
ProgramOutcome RunCliBytes(const std::vector<std::string>& arguments, const std::vector<std::string>& environment = {},
                           int timeoutMs = 60000);

}  // namespace rw::test
