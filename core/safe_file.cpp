// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/safe_file.h"

#include "core/file_open.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <random>
#include <set>

namespace rw {

namespace {

std::string Describe(int error) { return std::strerror(error != 0 ? error : EIO); }

constexpr const char* kTemporaryEnding = ".rwpart";
constexpr size_t kSuffixDigits = 16;

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string InFolder(const std::string& folder, const std::string& name) {
  return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::string RandomSuffix() {
  static thread_local std::mt19937_64 random{std::random_device{}()};
  static const char kDigits[] = "0123456789abcdef";
  uint64_t value = random();
  std::string digits(kSuffixDigits, '0');
  for (char& digit : digits) {
    digit = kDigits[value & 0xF];
    value >>= 4;
  }
  return digits;
}

// Gives `from` the name `to` only if nothing (not even a dangling link) has
// it; 0 or the system's error (EEXIST when the name is taken).
int RenameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  int error = errno;
  if (error != EINVAL && error != ENOSYS && error != EOPNOTSUPP) return error;
  // A file system that cannot refuse in a rename: a hard link takes the
  // name only if it is free, in one step.
  if (::link(from.c_str(), to.c_str()) == 0) {
    ::unlink(from.c_str());
    return 0;
  }
  error = errno;
  if (error != EPERM && error != EOPNOTSUPP && error != ENOSYS && error != EMLINK) return error;
  // Without links either (FAT on SD cards): check, then rename.
  struct stat status {};
  if (::lstat(to.c_str(), &status) == 0) return EEXIST;
  if (errno != ENOENT) return errno;
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

// Leftovers are looked for once per folder and run.
void RemoveLeftoversOnce(const std::string& folder) {
  static std::mutex mutex;
  static std::set<std::string> done;
  {
    std::lock_guard lock(mutex);
    if (!done.insert(folder).second) return;
  }
  RemoveLeftoverTemporaryFiles(folder);
}

bool IsHexDigits(const std::string& text, size_t from, size_t count) {
  for (size_t i = from; i < from + count; ++i) {
    const char c = text[i];
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

}  // namespace

bool SyncFolderContents(StorageSync& storageSync, const std::string& folder, std::string& error) {
  return storageSync.SyncAllIn(folder.empty() ? "." : folder, error);
}

std::string TemporaryFileName(const std::string& finalName, const std::string& suffix) {
  // "." + NAME + "." + suffix + ".rwpart" within NAME_MAX: NAME is cut, at
  // the start of a UTF-8 character, never the final name itself.
  const size_t fixed = 2 + suffix.size() + std::strlen(kTemporaryEnding);
  size_t keep = finalName.size();
  if (fixed + keep > kMaxFileNameBytes) {
    keep = kMaxFileNameBytes - fixed;
    while (keep > 0 && (static_cast<unsigned char>(finalName[keep]) & 0xC0) == 0x80) --keep;
  }
  return "." + finalName.substr(0, keep) + "." + suffix + kTemporaryEnding;
}

bool IsTemporaryFileName(const std::string& name) {
  const size_t ending = std::strlen(kTemporaryEnding);
  // "." + NAME (possibly empty) + "." + digits + ending.
  if (name.size() < 2 + kSuffixDigits + ending || name.size() > kMaxFileNameBytes || name.front() != '.') return false;
  if (name.compare(name.size() - ending, ending, kTemporaryEnding) != 0) return false;
  const size_t digits = name.size() - ending - kSuffixDigits;
  return name[digits - 1] == '.' && IsHexDigits(name, digits, kSuffixDigits);
}

int RemoveLeftoverTemporaryFiles(const std::string& folder, int64_t minimumAgeSeconds) {
  const int folderFd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd < 0) return 0;
  DIR* entries = ::fdopendir(folderFd);
  if (entries == nullptr) {
    ::close(folderFd);
    return 0;
  }
  const time_t now = std::time(nullptr);
  int removed = 0;
  while (const dirent* entry = ::readdir(entries)) {
    const std::string name = entry->d_name;
    if (!IsTemporaryFileName(name)) continue;
    struct stat before {};
    if (::fstatat(folderFd, name.c_str(), &before, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(before.st_mode)) continue;
    if (now - before.st_mtim.tv_sec < minimumAgeSeconds) continue;
    const int fd = ::openat(folderFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) continue;
    // A writer still at work holds the lock; a killed one holds nothing.
    struct stat opened {};
    struct stat still {};
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &opened) == 0 &&
        ::fstatat(folderFd, name.c_str(), &still, AT_SYMLINK_NOFOLLOW) == 0 && opened.st_dev == still.st_dev &&
        opened.st_ino == still.st_ino && ::unlinkat(folderFd, name.c_str(), 0) == 0) {
      ++removed;
    }
    ::close(fd);
  }
  ::closedir(entries);
  return removed;
}

std::string NumberedName::Candidate(uint64_t n) const {
  return InFolder(folder, n == 0 ? stem + extension : stem + "(" + std::to_string(n) + ")" + extension);
}

SafeFileWriter::~SafeFileWriter() { Discard(); }

bool SafeFileWriter::Open(const std::string& path, std::string& error) {
  Discard();
  path_ = path;
  neverReplace_ = false;
  const std::string folder = FolderOf(path);
  const std::string name = NameOf(path);
  if (name.empty()) {
    error = Describe(EISDIR);
    return false;
  }
  RemoveLeftoversOnce(folder);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string candidate =
        InFolder(path.find('/') == std::string::npos ? "" : folder, TemporaryFileName(name, RandomSuffix()));
    // Registered before it exists: an interruption between the two would
    // otherwise leave the new file behind.
    partial_.Hold(candidate);
    if (!partial_.held()) {
      error = candidate.size() >= kMaxPartialPath ? Describe(ENAMETOOLONG) : "too many files are being written at once";
      return false;
    }
    // Exclusive: never a file that is already there, nor through a link.
    const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
      const int openError = errno;
      partial_.Release();
      if (openError == EEXIST) continue;
      error = Describe(openError);
      return false;
    }
    // In use for as long as it is open: no other run takes it for a leftover.
    ::flock(fd, LOCK_EX | LOCK_NB);
    file_ = ::fdopen(fd, "wb");
    if (file_ == nullptr) {
      error = Describe(errno);
      ::close(fd);
      ::unlink(candidate.c_str());
      partial_.Release();
      return false;
    }
    temporaryPath_ = candidate;
    return true;
  }
  error = Describe(EEXIST);
  return false;
}

bool SafeFileWriter::OpenUnnamed(const std::string& path, std::string& error) {
  Discard();
  // The file is named through /proc/self/fd, which needs no privilege (a
  // link from the descriptor itself would).
  static const bool canLink = ::access("/proc/self/fd", X_OK) == 0;
  const std::string folder = FolderOf(path);
  if (canLink && !NameOf(path).empty()) {
    RemoveLeftoversOnce(folder);
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd >= 0) {
      file_ = ::fdopen(fd, "wb");
      if (file_ != nullptr) {
        // Its bytes come in one or a few large writes, which stdio passes
        // straight on; without a buffer of its own it also skips the fstat
        // that sizes one, a system call in each of many thousand files.
        std::setvbuf(file_, nullptr, _IONBF, 0);
        path_ = path;
        unnamed_ = true;
        neverReplace_ = true;
        return true;
      }
      ::close(fd);
    }
  }
  if (!Open(path, error)) return false;
  neverReplace_ = true;
  return true;
}

bool SafeFileWriter::Write(const void* data, size_t size, std::string& error) {
  if (file_ == nullptr) {
    error = Describe(EBADF);
    return false;
  }
  errno = 0;
  if (size != 0 && std::fwrite(data, 1, size, file_) != size) {
    error = Describe(errno);
    return false;
  }
  return true;
}

bool SafeFileWriter::Flush(std::string& error) {
  if (file_ == nullptr) {
    error = Describe(EBADF);
    return false;
  }
  errno = 0;
  if (permissions_ >= 0 && ::fchmod(::fileno(file_), static_cast<mode_t>(permissions_)) != 0) {
    error = Describe(errno);
    Discard();
    return false;
  }
  errno = 0;
  if (std::fflush(file_) != 0) {
    error = Describe(errno);
    Discard();
    return false;
  }
  // The data reaches the device before the file takes its name, so the name
  // never stands for bytes still in the write cache.
  if (!deferSync_ && !storageSync_.SyncFile(file_, error)) {
    Discard();
    return false;
  }
  return true;
}

bool SafeFileWriter::Finish(std::string& error) {
  if (!Flush(error)) return false;
  errno = 0;
  const bool closed = std::fclose(file_) == 0;
  const int closeErrno = errno;
  file_ = nullptr;
  if (!closed) {
    error = Describe(closeErrno);
    Discard();
    return false;
  }
  return true;
}

int SafeFileWriter::LinkUnnamed(const std::string& path) {
  const std::string self = "/proc/self/fd/" + std::to_string(::fileno(file_));
  return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
}

bool SafeFileWriter::CloseLinked(const std::string& path, std::string& error) {
  errno = 0;
  const bool closed = std::fclose(file_) == 0;
  const int closeErrno = errno;
  file_ = nullptr;
  unnamed_ = false;
  if (closed) return true;
  // Whatever did not reach the file must not stand under its name.
  ::unlink(path.c_str());
  error = Describe(closeErrno);
  return false;
}

bool SafeFileWriter::Commit(bool replace, std::string& error) {
  if (unnamed_) {
    if (!Flush(error)) return false;
    if (const int linkError = LinkUnnamed(path_); linkError != 0) {
      error = Describe(linkError);
      Discard();
      return false;
    }
    if (!CloseLinked(path_, error)) return false;
    return deferSync_ || storageSync_.SyncFolder(FolderOf(path_), error);
  }
  if (!Finish(error)) return false;
  int renameError = 0;
  // Only a file (or a link, which is replaced as a link) is ever replaced:
  // a rename over a named pipe or a device node would remove it.
  struct stat status {};
  if (replace && !neverReplace_ && ::lstat(path_.c_str(), &status) == 0 && !S_ISREG(status.st_mode) &&
      !S_ISLNK(status.st_mode)) {
    error = NotRegularFileReason(status.st_mode);
    Discard();
    return false;
  }
  if (replace && !neverReplace_) {
    if (::rename(temporaryPath_.c_str(), path_.c_str()) != 0) renameError = errno;
  } else {
    renameError = RenameNoReplace(temporaryPath_, path_);
  }
  if (renameError != 0) {
    error = Describe(renameError);
    Discard();
    return false;
  }
  temporaryPath_.clear();
  partial_.Release();
  // The new name itself is an entry of the folder.
  return deferSync_ || storageSync_.SyncFolder(FolderOf(path_), error);
}

bool SafeFileWriter::CommitUnderFreeName(const NumberedName& names, std::string& chosen, std::string& error) {
  chosen = names.Candidate(0);
  if (unnamed_ ? !Flush(error) : !Finish(error)) return false;
  // Where the last writer of each series found its name: the numbers before
  // it are taken, so a long series is not tried from the start each time,
  // even when files of several series are written in turn (the programs of
  // many joined tapes, "2", "3", "2(1)", "3(1)", ...). Only series that went
  // past their first name are kept.
  static std::mutex mutex;
  static std::map<std::string, uint64_t> lastNumbers;
  uint64_t n = 0;
  {
    std::lock_guard lock(mutex);
    if (const auto last = lastNumbers.find(chosen); last != lastNumbers.end()) n = last->second;
  }
  for (;; ++n) {
    if (names.limit != 0 && n > names.limit) {
      chosen = names.Candidate(0);
      error = "no free name, " + names.stem + "(1)" + names.extension + " to " + names.stem + "(" +
              std::to_string(names.limit) + ")" + names.extension + " all exist";
      Discard();
      return false;
    }
    chosen = names.Candidate(n);
    const int renameError = unnamed_ ? LinkUnnamed(chosen) : RenameNoReplace(temporaryPath_, chosen);
    if (renameError == EEXIST) continue;
    if (renameError != 0) {
      error = Describe(renameError);
      Discard();
      return false;
    }
    break;
  }
  if (n > 0) {
    std::lock_guard lock(mutex);
    lastNumbers[names.Candidate(0)] = n;
  }
  if (unnamed_ && !CloseLinked(chosen, error)) return false;
  path_ = chosen;
  temporaryPath_.clear();
  partial_.Release();
  return deferSync_ || storageSync_.SyncFolder(FolderOf(chosen), error);
}

void SafeFileWriter::Discard() {
  if (file_ != nullptr) {
    std::fclose(file_);  // an unnamed file is gone with it
    file_ = nullptr;
  }
  unnamed_ = false;
  if (!temporaryPath_.empty()) {
    ::unlink(temporaryPath_.c_str());
    temporaryPath_.clear();
  }
  partial_.Release();
}

bool WriteWholeFile(StorageSync& storageSync, const std::string& path, const void* data, size_t size, bool replace,
                    std::string& error) {
  SafeFileWriter writer(storageSync);
  return writer.Open(path, error) && writer.Write(data, size, error) && writer.Commit(replace, error);
}

bool WriteTemporaryFile(const std::string& path, const void* data, size_t size, std::string& error) {
  NoStorageSync unsynced;
  SafeFileWriter writer(unsynced);
  return writer.Open(path, error) && writer.Write(data, size, error) && writer.Commit(true, error);
}

}  // namespace rw
