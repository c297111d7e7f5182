// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The tapes opened last, newest first, for the File menu. They are kept in
// the settings file (section "Recent", keys "File1" ...) when one is given,
// otherwise for this run only.

#include <QStringList>

namespace rw {

class cInifile;

class RecentFiles {
 public:
  static constexpr int kMaxFiles = 5;

  explicit RecentFiles(cInifile* settings = nullptr) : settings_(settings) {}

  QStringList Files() const;
  // Puts `path` first (once) and forgets the oldest beyond kMaxFiles.
  void Add(const QString& path);
  void Remove(const QString& path);

 private:
  void Store(const QStringList& files);

  cInifile* settings_;
  QStringList files_;  // without a settings file
};

}  // namespace rw
