// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// StorageSync through fsync and syncfs.

#include "core/ports/storage_sync.h"

namespace rw {

class PosixStorageSync : public StorageSync {
 public:
  bool SyncFile(std::FILE* file, std::string& error) override;
  bool SyncFolder(const std::string& folder, std::string& error) override;
  bool SyncAllIn(const std::string& folder, std::string& error) override;
};

}  // namespace rw
