// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/tape_walk.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>
#include <tuple>

namespace rw::cli {
namespace {

namespace fs = std::filesystem;

bool HasTapExtension(const fs::path& path) {
  const std::string name = path.filename().string();
  if (name.size() < 4) return false;
  const std::string tail = name.substr(name.size() - 4);
  return tail[0] == '.' && (tail[1] | 0x20) == 't' && (tail[2] | 0x20) == 'a' && (tail[3] | 0x20) == 'p';
}

struct Found {
  std::string path;
  std::string key;  // the file itself (its canonical path), so that it is scanned once
  bool viaLink = false;
  std::string error;
  bool folder = false;
};

class Walk {
 public:
  explicit Walk(const std::vector<std::string>& paths) {
    for (const auto& path : paths) {
      std::error_code error;
      if (fs::is_directory(path, error)) {
        const fs::path root = fs::canonical(path, error);
        if (!error) roots_.push_back(root.string());
      }
    }
  }

  void Add(const std::string& given) {
    std::error_code error;
    const fs::file_status status = fs::status(given, error);
    if (fs::is_directory(status)) {
      const fs::path canonical = fs::canonical(given, error);
      if (!error)
        WalkFolder(given, canonical);
      else
        AddError(given, "Error while reading folder " + given + " : " + error.message(), true);
      return;
    }
    // A missing or unreadable file is still a tape the user asked for, and a
    // pipe or a device is none: the loader reports the reason (it opens
    // nothing but a regular file, without ever blocking).
    fs::path key = fs::weakly_canonical(given, error);
    found_.push_back({given, error ? given : key.string(), false, ""});
  }

  std::vector<TapeTarget> Result() {
    // Each file once; a file reached both directly and through a link keeps
    // its own name.
    std::sort(found_.begin(), found_.end(), [](const Found& a, const Found& b) {
      return std::tie(a.key, a.viaLink, a.path) < std::tie(b.key, b.viaLink, b.path);
    });
    const auto sameFile = [](const Found& a, const Found& b) { return a.key == b.key; };
    found_.erase(std::unique(found_.begin(), found_.end(), sameFile), found_.end());
    std::sort(found_.begin(), found_.end(), [](const Found& a, const Found& b) { return a.path < b.path; });
    std::vector<TapeTarget> targets;
    targets.reserve(found_.size());
    for (auto& entry : found_) targets.push_back({std::move(entry.path), std::move(entry.error), entry.folder});
    return targets;
  }

 private:
  bool Inside(const fs::path& target) const {
    const std::string text = target.string();
    return std::any_of(roots_.begin(), roots_.end(), [&](const std::string& root) {
      if (text.size() < root.size() || text.compare(0, root.size(), root) != 0) return false;
      return text.size() == root.size() || root.back() == '/' || text[root.size()] == '/';
    });
  }

  void AddError(const std::string& path, const std::string& reason, bool folder = false) {
    // An error is its own entry: never merged with a file of the same path.
    found_.push_back({path, "\x01" + path, false, reason, folder});
  }

  // Walks with an explicit list rather than recursion, so that a very deep
  // tree cannot exhaust the stack.
  void WalkFolder(const fs::path& start, const fs::path& canonicalStart) {
    if (!visited_.insert(canonicalStart.string()).second) return;
    std::vector<std::pair<fs::path, fs::path>> pending{{start, canonicalStart}};
    while (!pending.empty()) {
      const auto [folder, canonicalFolder] = std::move(pending.back());
      pending.pop_back();
      std::error_code error;
      bool entryReported = false;  // one entry that cannot be looked at is reported per folder
      fs::directory_iterator it(folder, error);
      const fs::directory_iterator end;
      for (; !error && it != end; it.increment(error)) {
        const fs::path& path = it->path();
        std::error_code entryError;
        const fs::file_status own = it->symlink_status(entryError);
        if (entryError) {
          if (HasTapExtension(path)) {
            // The loader reports the system's reason for the file.
            found_.push_back({path.string(), path.string(), false, ""});
          } else if (entryError != std::errc::no_such_file_or_directory && !entryReported) {
            // Perhaps a folder of tapes that cannot be reached (its path too
            // long, for instance): said, never passed over in silence.
            entryReported = true;
            AddError(path.string(), "Error while reading folder " + path.string() + " : " + entryError.message(), true);
          }
          continue;
        }
        if (fs::is_symlink(own)) {
          FollowLink(path, pending);
        } else if (fs::is_directory(own)) {
          const fs::path canonical = canonicalFolder / path.filename();
          if (visited_.insert(canonical.string()).second) pending.emplace_back(path, canonical);
        } else if (HasTapExtension(path)) {
          // A pipe or a device is no tape image: the loader refuses it
          // without opening it, and again should one take a file's place
          // before it is read.
          found_.push_back({path.string(), (canonicalFolder / path.filename()).string(), false, ""});
        }
      }
      if (error) {
        AddError(folder.string(), "Error while reading folder " + folder.string() + " : " + error.message(), true);
      }
    }
  }

  void FollowLink(const fs::path& path, std::vector<std::pair<fs::path, fs::path>>& pending) {
    std::error_code error;
    const fs::path target = fs::canonical(path, error);
    if (error) {
      // Leads nowhere (or round in circles): nothing outside can be read
      // through it, and the scan names the link with the system's reason.
      if (HasTapExtension(path)) found_.push_back({path.string(), path.string(), true, ""});
      return;
    }
    if (!Inside(target)) return;
    const fs::file_status status = fs::status(target, error);
    if (fs::is_directory(status)) {
      if (visited_.insert(target.string()).second) pending.emplace_back(path, target);
    } else if (HasTapExtension(path)) {
      found_.push_back({path.string(), target.string(), true, ""});
    }
  }

  std::vector<std::string> roots_;
  std::set<std::string> visited_;  // canonical folders already walked
  std::vector<Found> found_;
};

}  // namespace

std::vector<TapeTarget> FindTapeFiles(const std::vector<std::string>& paths) {
  Walk walk(paths);
  for (const auto& path : paths) walk.Add(path);
  return walk.Result();
}

}  // namespace rw::cli
