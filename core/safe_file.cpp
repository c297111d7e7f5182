#include "core/safe_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

namespace rw {
namespace fs = std::filesystem;

namespace {

std::string Describe(int error) { return std::strerror(error != 0 ? error : EIO); }

StorageSync* installedSync = nullptr;

std::string FolderOf(const std::string& path) {
  const fs::path target = fs::u8path(path);
  return target.has_parent_path() ? target.parent_path().string() : std::string(".");
}

}  // namespace

void SetStorageSync(StorageSync* sync) { installedSync = sync; }
StorageSync* InstalledStorageSync() { return installedSync; }

bool SyncWrittenFile(const std::string& path, std::string& error) {
  if (installedSync == nullptr) return true;
  errno = 0;
  std::FILE* file = std::fopen(fs::u8path(path).c_str(), "rb");
  if (file == nullptr) {
    error = Describe(errno);
    return false;
  }
  const bool synced = installedSync->SyncFile(file, error);
  std::fclose(file);
  return synced && installedSync->SyncFolder(FolderOf(path), error);
}

bool SyncFolderContents(const std::string& folder, std::string& error) {
  return installedSync == nullptr || installedSync->SyncAllIn(folder.empty() ? "." : folder, error);
}

SafeFileWriter::~SafeFileWriter() { Discard(); }

bool SafeFileWriter::Open(const std::string& path, std::string& error) {
  Discard();
  path_ = path;
  const fs::path target = fs::u8path(path);
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  static thread_local std::mt19937_64 random{std::random_device{}()};
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate = folder / ("." + target.filename().string() + "." + std::to_string(random() % 1000000000) + ".part");
    errno = 0;
    // "x": never reuse a file that is already there.
    file_ = std::fopen(candidate.c_str(), "wbx");
    if (file_ != nullptr) {
      temporaryPath_ = candidate.string();
      partial_.Hold(temporaryPath_);
      return true;
    }
    if (errno != EEXIST) break;
  }
  error = Describe(errno);
  return false;
}

bool SafeFileWriter::OpenNew(const std::string& path, std::string& error) {
  Discard();
  path_ = path;
  errno = 0;
  file_ = std::fopen(fs::u8path(path).c_str(), "wbx");
  if (file_ == nullptr) {
    error = Describe(errno);
    return false;
  }
  temporaryPath_ = path;
  partial_.Hold(path);
  direct_ = true;
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

bool SafeFileWriter::Commit(bool replace, std::string& error) {
  if (file_ == nullptr) {
    error = Describe(EBADF);
    return false;
  }
  errno = 0;
  const bool flushed = std::fflush(file_) == 0;
  const int flushErrno = errno;
  // The data reaches the device before the file takes its name, so the name
  // never stands for bytes still in the write cache.
  if (flushed && !deferSync_ && installedSync != nullptr && !installedSync->SyncFile(file_, error)) {
    std::fclose(file_);
    file_ = nullptr;
    Discard();
    return false;
  }
  const bool closed = std::fclose(file_) == 0;
  const int closeErrno = errno;
  file_ = nullptr;
  if (!flushed || !closed) {
    error = Describe(!flushed ? flushErrno : closeErrno);
    Discard();
    return false;
  }
  std::error_code code;
  const fs::path target = fs::u8path(path_);
  if (direct_) {
    // Already under its final name.
  } else if (replace) {
    fs::rename(temporaryPath_, target, code);
  } else {
    // A hard link takes the name only if it is free, in one step. File
    // systems without links (FAT on SD cards) fall back to check-then-rename.
    fs::create_hard_link(temporaryPath_, target, code);
    if (!code) {
      fs::remove(temporaryPath_, code);
      code.clear();
    } else if (code != std::errc::file_exists) {
      std::error_code exists;
      if (fs::exists(target, exists)) {
        code = std::make_error_code(std::errc::file_exists);
      } else {
        code.clear();
        fs::rename(temporaryPath_, target, code);
      }
    }
  }
  if (code) {
    error = code.message();
    Discard();
    return false;
  }
  temporaryPath_.clear();
  direct_ = false;
  partial_.Release();
  // The new name itself is an entry of the folder.
  if (!deferSync_ && installedSync != nullptr && !installedSync->SyncFolder(FolderOf(path_), error)) return false;
  return true;
}

void SafeFileWriter::Discard() {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!temporaryPath_.empty()) {
    std::error_code ignored;
    fs::remove(temporaryPath_, ignored);
    temporaryPath_.clear();
  }
  partial_.Release();
  direct_ = false;
}

bool WriteWholeFile(const std::string& path, const void* data, size_t size, bool replace, std::string& error) {
  SafeFileWriter writer;
  return writer.Open(path, error) && writer.Write(data, size, error) && writer.Commit(replace, error);
}

}  // namespace rw
