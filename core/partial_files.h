// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The files being written right now that are not yet complete: temporary
// files, and new files under their final names until they are whole. When a
// run is interrupted (Ctrl+C, a terminating signal) they are removed, so that
// no name is left holding part of a file.
//
// The registry is a fixed table that a signal handler can read without
// taking locks or allocating: each slot holds a path and an atomic flag.
// Whatever writes a file that must not survive an interruption registers it
// (SafeFileWriter does so for every file it writes).

#include <atomic>
#include <cstddef>
#include <string>

namespace rw {

inline constexpr int kMaxPartialFiles = 256;
inline constexpr size_t kMaxPartialPath = 4096;

// Registers `path`; returns its slot, or -1 when the table is full or the
// path too long. A file is registered before it is created, and one that
// cannot be registered is not created (SafeFileWriter, TemporaryFiles).
int RegisterPartialFile(const std::string& path);
// The file is complete or removed: it is no longer the registry's concern.
void ForgetPartialFile(int slot);
// For a signal handler: the path in `slot`, or nullptr when the slot is
// free. Only reads the table.
const char* PartialFilePath(int slot);

// The external tools running right now (VICE's c1541, petcat), each by its
// process group: an interrupted run stops them and all they started before
// it removes the files, since a tool in a group of its own never hears the
// terminal's Ctrl+C. Read by a signal handler like the paths above.
inline constexpr int kMaxToolProcesses = 16;
// Registers the group led by `processGroup`; its slot, or -1 when full.
int RegisterToolProcess(int processGroup);
void ForgetToolProcess(int slot);
// The group in `slot`, or 0 when the slot is free.
int ToolProcessGroup(int slot);

// Registers a path for as long as it lives, unless released earlier.
class PartialFileGuard {
 public:
  PartialFileGuard() = default;
  explicit PartialFileGuard(const std::string& path) : slot_(RegisterPartialFile(path)) {}
  ~PartialFileGuard() { Release(); }
  PartialFileGuard(const PartialFileGuard&) = delete;
  PartialFileGuard& operator=(const PartialFileGuard&) = delete;
  // Registers `path` in place of what was held.
  void Hold(const std::string& path) {
    Release();
    slot_ = RegisterPartialFile(path);
  }
  void Release() {
    ForgetPartialFile(slot_);
    slot_ = -1;
  }
  // True when a path is registered.
  bool held() const { return slot_ >= 0; }

 private:
  int slot_ = -1;
};

}  // namespace rw
