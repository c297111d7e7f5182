// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Making written data durable. A success message promises the user that the
// file is safe, and users write straight to SD cards and pull them out right
// after it: the data and the folder entry must be on the device by then, not
// in the system's write cache. The standard library has no way to ask for
// that: each program's main() makes the platform's way and hands it to what
// writes files (core/safe_file.h).
// Standard library only, like messages.h.

#include <cstdio>
#include <string>

namespace rw {

class StorageSync {
 public:
  virtual ~StorageSync() = default;
  // The bytes and size of an open, flushed file.
  virtual bool SyncFile(std::FILE* file, std::string& error) = 0;
  // The entries of a folder: a rename or a new name in it.
  virtual bool SyncFolder(const std::string& folder, std::string& error) = 0;
  // Everything written so far to the file system that holds `folder`, and
  // the folder's entries: one call after many files.
  virtual bool SyncAllIn(const std::string& folder, std::string& error) = 0;
};

// Syncs nothing: for files that do not outlive the run (temporary files
// another program reads at once), and for tests and benchmarks that measure
// or check everything but the device.
class NoStorageSync final : public StorageSync {
 public:
  bool SyncFile(std::FILE*, std::string&) override { return true; }
  bool SyncFolder(const std::string&, std::string&) override { return true; }
  bool SyncAllIn(const std::string&, std::string&) override { return true; }
};

}  // namespace rw
