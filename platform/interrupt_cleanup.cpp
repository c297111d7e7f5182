#include "platform/interrupt_cleanup.h"

#include <unistd.h>

#include <csignal>

#include "core/partial_files.h"

namespace rw {
namespace {

extern "C" void OnInterrupt(int signalNumber) {
  RemovePartialFiles();
  ::_exit(128 + signalNumber);
}

}  // namespace

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
