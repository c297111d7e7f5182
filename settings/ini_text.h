// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The text of an INI file held as its lines, so that an edit rewrites only the
// line it touches: comments, blank lines, line ends, the order of keys and any
// bytes that are not UTF-8 survive exactly as the user or another program left
// them.
//
// The format is the plain one: "[Section]" lines, then "key=value" lines.
// Names match without regard to case. A value is everything behind the first
// "=", with surrounding blanks ignored and one pair of enclosing double
// quotes removed; values are written verbatim ("=", ";", "#", "\" and
// non-ASCII text need no escaping) and quoted only when they begin or end
// with a blank, or are themselves enclosed in quotes, so that they read back
// unchanged.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace rw {

class IniText {
 public:
  IniText() = default;
  explicit IniText(const QByteArray& bytes);

  QByteArray Bytes() const;

  // The value of `key` in the first section of that name that holds it.
  std::optional<QString> Find(const QString& section, const QString& key) const;

  // Each returns false, changing nothing, when the name or value cannot be
  // written as one INI line (a line break, or a key holding "=").
  bool Set(const QString& section, const QString& key, const QString& value);
  // True when something was removed.
  bool RemoveKey(const QString& section, const QString& key);

  static bool IsValidSectionName(const QString& section);
  static bool IsValidKeyName(const QString& key);
  static bool IsValidValue(const QString& value);

 private:
  struct Line {
    enum class Kind { Other, Section, Entry };
    QByteArray raw;  // as in the file, without the line end
    Kind kind = Kind::Other;
    QString name;  // section name or key name
  };
  static Line Parse(const QByteArray& raw, bool firstLine);
  static QByteArray EntryLine(const QString& key, const QString& value);
  // Indices of the first and one-past-last line of each section's body.
  std::vector<std::pair<size_t, size_t>> Bodies(const QString& section) const;

  std::vector<Line> lines_;
  bool crlf_ = false;
};

}  // namespace rw
