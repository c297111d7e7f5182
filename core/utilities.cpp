// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/utilities.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

#include "core/partial_files.h"

namespace rw {
namespace fs = std::filesystem;

namespace {

// "#0.00": at least one integer digit and exactly two decimals.
std::string TwoDecimals(double value, const std::string& decimalSeparator) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.2f", value);
  std::string text(buffer);
  const auto point = text.find('.');
  if (point != std::string::npos) text.replace(point, 1, decimalSeparator);
  return text;
}

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

std::string FormatSize(double size, const std::string& decimalSeparator) {
  if (!std::isfinite(size)) return "0 Bytes";
  if (size >= 1073741824.0) return TwoDecimals(size / 1024 / 1024 / 1024, decimalSeparator) + " GB";
  if (size >= 1048576.0) return TwoDecimals(size / 1024 / 1024, decimalSeparator) + " MB";
  if (size >= 1024.0) return TwoDecimals(size / 1024, decimalSeparator) + " KB";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.0f", std::trunc(size));
  return std::string(buffer) + " Bytes";
}

std::vector<std::string> SplitSemicolons(std::string_view list) {
  std::vector<std::string> parts;
  size_t begin = 0;
  for (;;) {
    const size_t end = list.find(';', begin);
    parts.emplace_back(list.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin));
    if (end == std::string_view::npos) return parts;
    begin = end + 1;
  }
}

std::string HexPad(uint64_t value, int width) {
  std::string digits = HexDigits(value);
  if (static_cast<int>(digits.size()) < width) digits.insert(0, static_cast<size_t>(width) - digits.size(), '0');
  return digits;
}

std::string HexDigits(uint64_t value) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  do {
    text.insert(text.begin(), kDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  return text;
}

std::string AbsolutePath(const std::string& path) {
  if (path.empty() || path.front() == '/') return path;
  std::error_code error;
  const fs::path current = fs::current_path(error);
  if (error) return path;
  const std::string folder = current.native();
  return folder.back() == '/' ? folder + path : folder + "/" + path;
}

std::string ParentFolder(const std::string& path) {
  const std::string trimmed = WithoutTrailingSlashes(path);
  const auto slash = trimmed.rfind('/');
  if (slash == std::string::npos || trimmed == "/") return "";
  if (slash == 0) return "/";
  return WithoutTrailingSlashes(trimmed.substr(0, slash));
}

std::string FileNameOf(const std::string& path) {
  const std::string trimmed = WithoutTrailingSlashes(path);
  if (trimmed == "/") return "";
  const auto slash = trimmed.rfind('/');
  return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

bool FileExists(const std::string& path) {
  std::error_code error;
  return !path.empty() && fs::is_regular_file(fs::u8path(path), error);
}

bool FolderExists(const std::string& path) {
  std::error_code error;
  return !path.empty() && fs::is_directory(fs::u8path(path), error);
}

std::string FolderOfPath(const std::string& path) {
  if (FolderExists(path)) return path;
  std::error_code error;
  if (!path.empty() && fs::exists(fs::u8path(path), error)) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
  }
  return "";
}

namespace {

// A new empty file in the temporary folder; its name is registered with
// `guard` as partial before the file exists, so that an interruption
// removes it (an empty text, and nothing made, when it cannot be registered).
std::string MakeTemporaryFile(const std::string& prefix, PartialFileGuard& guard) {
  std::error_code error;
  const fs::path folder = fs::temp_directory_path(error);
  if (error || folder.empty() || folder.native().size() >= 512) return "";
  static thread_local std::mt19937_64 random{std::random_device{}()};
  static const char kNameChars[] = "0123456789ABCDEF";
  const std::string head = prefix.substr(0, std::min<size_t>(3, prefix.size()));
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = head;
    for (int i = 0; i < 8; ++i) name += kNameChars[random() & 0xF];
    const std::string path = (folder / (name + ".tmp")).string();
    guard.Hold(path);
    if (!guard.held()) return "";
    // Exclusive: fail rather than reuse a file that already exists.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
      ::close(fd);
      return path;
    }
    const int openError = errno;
    guard.Release();
    if (openError != EEXIST) break;
  }
  return "";
}

}  // namespace

TemporaryFiles::~TemporaryFiles() {
  for (const std::string& path : paths_) ::unlink(path.c_str());
  // The registrations go after the files (guards_ is destroyed after this body).
}

std::string TemporaryFiles::Make(const std::string& prefix) {
  auto guard = std::make_unique<PartialFileGuard>();
  std::string path = MakeTemporaryFile(prefix, *guard);
  if (!path.empty()) {
    paths_.push_back(path);
    guards_.push_back(std::move(guard));
  }
  return path;
}

}  // namespace rw
