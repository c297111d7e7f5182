// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/recent_files.h"

#include "settings/ini_file.h"

namespace rw {
namespace {

const char* const kSection = "Recent";

QString KeyOf(int index) { return QStringLiteral("File%1").arg(index + 1); }

}  // namespace

QStringList RecentFiles::Files() const {
  if (settings_ == nullptr) return files_;
  // The settings object is shared: its section, key and default are set for
  // each read, as every other user of it does.
  QStringList files;
  settings_->SetSection(kSection);
  settings_->SetDefault(QString());
  for (int i = 0; i < kMaxFiles; ++i) {
    settings_->SetKey(KeyOf(i));
    const QString file = settings_->Value();
    if (!file.isEmpty() && !files.contains(file)) files << file;
  }
  return files;
}

void RecentFiles::Add(const QString& path) {
  QStringList files = Files();
  files.removeAll(path);
  files.prepend(path);
  Store(files.mid(0, kMaxFiles));
}

void RecentFiles::Remove(const QString& path) {
  QStringList files = Files();
  if (files.removeAll(path) > 0) Store(files);
}

void RecentFiles::Store(const QStringList& files) {
  if (settings_ == nullptr) {
    files_ = files;
    return;
  }
  if (files == Files()) return;  // the file is written only when something changed
  settings_->SetSection(kSection);
  for (int i = 0; i < kMaxFiles; ++i) {
    settings_->SetKey(KeyOf(i));
    // The list is a convenience, not worth interrupting the user for; the
    // remembered folders, kept in the same file, say on the console when it
    // cannot be written.
    if (i < files.size()) {
      (void)settings_->SetValue(files.at(i));
    } else {
      (void)settings_->DeleteKey();
    }
  }
}

}  // namespace rw
