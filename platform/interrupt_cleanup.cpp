// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/interrupt_cleanup.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "core/partial_files.h"

namespace rw {
namespace {

extern "C" void OnInterrupt(int signalNumber) {
  StopToolProcesses();
  RemovePartialFiles();
  ::_exit(128 + signalNumber);
}

}  // namespace

void StopToolProcesses() {
  for (int slot = 0; slot < kMaxToolProcesses; ++slot) {
    const int group = ToolProcessGroup(slot);
    if (group <= 0) continue;
    ::kill(-group, SIGKILL);
    // Its leader ended (and reaped), it can write no file any more: what it
    // was writing can now be removed for good.
    while (::waitpid(group, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
}

void RemovePartialFiles() {
  for (int slot = 0; slot < kMaxPartialFiles; ++slot) {
    if (const char* path = PartialFilePath(slot)) ::unlink(path);
  }
}

void InstallInterruptCleanup() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  // One cleanup at a time: a second signal waits for the first to finish.
  for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, signalNumber);
  for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) sigaction(signalNumber, &action, nullptr);
}

}  // namespace rw
