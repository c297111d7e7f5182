// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A fresh folder under the system's temporary folder, removed with its content
// when the test ends.

#include <cstdint>
#include <string>
#include <vector>

#include "core/ports/storage_sync.h"

namespace rw::test {

class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  // Writes `bytes` to `name` inside the folder and returns the file's path.
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const;
  std::string Write(const std::string& name, const std::string& text) const;
  // The names of the folder's entries, sorted.
  std::vector<std::string> Names() const;

 private:
  std::string path_;
};

// Writers into a scratch folder need no sync: its files go with it.
inline NoStorageSync noSync;

// Points TMPDIR (the user's temporary folder) at `folder` while it lives and
// puts the previous value back afterwards, also when a test ends early.
class TemporaryFolderOverride {
 public:
  explicit TemporaryFolderOverride(const std::string& folder);
  ~TemporaryFolderOverride();
  TemporaryFolderOverride(const TemporaryFolderOverride&) = delete;
  TemporaryFolderOverride& operator=(const TemporaryFolderOverride&) = delete;
  void Set(const std::string& folder) const;

 private:
  bool hadValue_ = false;
  std::string previous_;
};

// The names of the entries of `folder`, sorted.
std::vector<std::string> NamesIn(const std::string& folder);

std::vector<uint8_t> ReadFileBytes(const std::string& path);
std::string ReadFileText(const std::string& path);

// The folder of the real tape images shipped beside the project, or an empty
// text when it is not there (tests then skip).
std::string RealTapesFolder();

}  // namespace rw::test
