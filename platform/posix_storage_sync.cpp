// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/posix_storage_sync.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace rw {
namespace {

// Some file systems cannot sync a folder (EINVAL) or are read-only; their
// entries are then as durable as the system makes them.
bool FolderSyncUnsupported(int error) { return error == EINVAL || error == EROFS || error == ENOTSUP; }

template <typename Sync>
bool WithFolder(const std::string& folder, std::string& error, Sync sync) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  const bool ok = sync(fd) == 0 || FolderSyncUnsupported(errno);
  if (!ok) error = std::strerror(errno);
  ::close(fd);
  return ok;
}

}  // namespace

bool PosixStorageSync::SyncFile(std::FILE* file, std::string& error) {
  if (::fsync(::fileno(file)) == 0) return true;
  error = std::strerror(errno);
  return false;
}

bool PosixStorageSync::SyncFolder(const std::string& folder, std::string& error) {
  return WithFolder(folder, error, [](int fd) { return ::fsync(fd); });
}

bool PosixStorageSync::SyncAllIn(const std::string& folder, std::string& error) {
  return WithFolder(folder, error, [](int fd) { return ::syncfs(fd) == 0 ? ::fsync(fd) : -1; });
}

}  // namespace rw
