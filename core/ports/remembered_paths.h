// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The folders the program remembers between runs, as the tape logic sees
// them: five fixed keys, each a folder path (or empty). The settings file
// implements this; tests use MemoryPaths. Standard library only.

#include <array>
#include <cstdint>
#include <string>

namespace rw {

enum class PersistentPath : int32_t {
  SavePath = 0,      // the join's output folder
  LoadPath = 1,      // where the split window last loaded an image
  JoinPath = 2,      // where the join window last added files
  SplitPath = 3,     // where the last split wrote its files
  DefSplitPath = 4,  // the default output folder; empty when removed
};

class RememberedPaths {
 public:
  virtual ~RememberedPaths() = default;
  virtual std::string ReadPersistentPath(PersistentPath which) = 0;
  virtual void WritePersistentPath(const std::string& path, PersistentPath which) = 0;
};

// Remembers in memory only; a key never written reads as `fallback`.
class MemoryPaths : public RememberedPaths {
 public:
  explicit MemoryPaths(std::string fallback = "") : fallback_(std::move(fallback)) {}
  std::string ReadPersistentPath(PersistentPath which) override {
    const auto& slot = slots_[static_cast<size_t>(which)];
    return slot.written ? slot.value : fallback_;
  }
  void WritePersistentPath(const std::string& path, PersistentPath which) override {
    slots_[static_cast<size_t>(which)] = {true, path};
  }

 private:
  struct Slot {
    bool written = false;
    std::string value;
  };
  std::string fallback_;
  std::array<Slot, 5> slots_{};
};

}  // namespace rw
