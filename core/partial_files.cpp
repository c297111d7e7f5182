// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/partial_files.h"

#include <cstring>

namespace rw {
namespace {

struct Slot {
  std::atomic<bool> used{false};    // taken by a writer
  std::atomic<bool> filled{false};  // the path is complete and may be read
  char path[kMaxPartialPath] = {};
};

Slot slots[kMaxPartialFiles];

static_assert(std::atomic<bool>::is_always_lock_free, "a signal handler reads the flags");

std::atomic<int> toolGroups[kMaxToolProcesses];

static_assert(std::atomic<int>::is_always_lock_free, "a signal handler reads the tool groups");

}  // namespace

int RegisterPartialFile(const std::string& path) {
  if (path.size() + 1 > kMaxPartialPath) return -1;
  for (int i = 0; i < kMaxPartialFiles; ++i) {
    bool expected = false;
    if (!slots[i].used.compare_exchange_strong(expected, true)) continue;
    std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
    slots[i].filled.store(true);
    return i;
  }
  return -1;
}

void ForgetPartialFile(int slot) {
  if (slot < 0 || slot >= kMaxPartialFiles) return;
  slots[slot].filled.store(false);
  slots[slot].used.store(false);
}

const char* PartialFilePath(int slot) {
  if (slot < 0 || slot >= kMaxPartialFiles || !slots[slot].filled.load()) return nullptr;
  return slots[slot].path;
}

int RegisterToolProcess(int processGroup) {
  if (processGroup <= 0) return -1;
  for (int i = 0; i < kMaxToolProcesses; ++i) {
    int expected = 0;
    if (toolGroups[i].compare_exchange_strong(expected, processGroup)) return i;
  }
  return -1;
}

void ForgetToolProcess(int slot) {
  if (slot >= 0 && slot < kMaxToolProcesses) toolGroups[slot].store(0);
}

int ToolProcessGroup(int slot) { return slot >= 0 && slot < kMaxToolProcesses ? toolGroups[slot].load() : 0; }

}  // namespace rw
