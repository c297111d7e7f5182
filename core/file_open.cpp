// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/file_open.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace rw {

std::string NotRegularFileReason(unsigned mode) {
  if (S_ISREG(mode)) return "";
  if (S_ISDIR(mode)) return std::strerror(EISDIR);
  if (S_ISFIFO(mode)) return "Not a regular file (a named pipe)";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "Not a regular file (a device)";
  if (S_ISSOCK(mode)) return "Not a regular file (a socket)";
  return "Not a regular file";
}

int OpenRegularFileForReading(const std::string& path, std::string& error, int64_t* size) {
  struct stat status {};
  // Looked at before it is opened: a pipe or a device is never opened at all.
  if (::stat(path.c_str(), &status) != 0) {
    error = std::strerror(errno);
    return -1;
  }
  if (!S_ISREG(status.st_mode)) {
    error = NotRegularFileReason(status.st_mode);
    return -1;
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    error = std::strerror(errno);
    return -1;
  }
  // What was opened is what counts: it may not be what was looked at.
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    error = S_ISREG(status.st_mode) ? std::strerror(errno) : NotRegularFileReason(status.st_mode);
    ::close(fd);
    return -1;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  if (size != nullptr) *size = static_cast<int64_t>(status.st_size);
  return fd;
}

}  // namespace rw
