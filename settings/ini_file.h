// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// One INI file seen through a current section, key and default: set those,
// then read or write `Value`. Every read goes to the file, so two objects on
// the same file always agree; every write goes to the file at once, replacing
// it whole and safely, so the user's choice is kept the moment it is made.
// A write that changes nothing (deleting what is not there) leaves the file,
// or its absence, alone.
//
// Failures are not shown to the user: a write or delete that fails returns
// the system's description, for the caller to pass on or let go.
//
// The file is only ever the user's own settings file: it is read only when
// it is a regular file (a named pipe or a device is ignored, never opened in
// a way that blocks), and left exactly as it is, never written, when it is a
// symbolic link, read-only, or in an encoding this program does not read
// (UTF-16, UTF-32). Its values then read as their defaults (unless it is only
// a link or read-only, which are read as usual).

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "core/outcome.h"

namespace rw {

class IniText;

class cInifile {
 public:
  cInifile() = default;
  explicit cInifile(const QString& path) : path_(path) {}

  const QString& Path() const { return path_; }
  const QString& Section() const { return section_; }
  void SetSection(const QString& section) { section_ = section; }
  const QString& Key() const { return key_; }
  void SetKey(const QString& key) { key_ = key; }
  const QString& Default() const { return default_; }
  void SetDefault(const QString& fallback) { default_ = fallback; }

  // The current key's value, whatever its length; Default when the file,
  // the section or the key is missing. An empty value is returned as such.
  QString Value() const;
  // Removes every NUL from the caller's text, then stores it.
  Outcome SetValue(QString& value);
  Outcome SetValue(const QString& value);

  Outcome DeleteKey();

 private:
  // The file's text; an empty text when the file does not exist, nothing
  // when it exists but cannot be read (it must then never be overwritten).
  std::optional<IniText> Load(QString& error) const;
  // Loads the file, lets `edit` change it and writes it back. `edit` returns
  // false when the change cannot be written, and sets `changed`.
  Outcome Edit(const std::function<bool(IniText&, bool& changed)>& edit);
  // Why the file must not be written, or empty when it may: a symbolic link
  // (never written through), not a regular file, or read-only.
  QString WriteRefusal() const;

  QString path_;
  QString key_;
  QString section_;
  QString default_;
};

}  // namespace rw
