// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// File names are bytes. On Linux a name need not be UTF-8 (Latin-1 names are
// common on old collections), and Qt's own conversions (QFile::decodeName,
// QString::fromUtf8, QCoreApplication::arguments) turn every byte that is not
// UTF-8 into U+FFFD, so "caf\xE9.tap" and "caf\xEF\xBF\xBD.tap" become the
// same text: a path that went through them may name another file.
//
// Paths therefore stay std::string bytes, and where one has to travel as a
// QString (a command-line argument, a line edit, a settings value) it is
// carried losslessly: UTF-8 as its characters, and each byte that is not part
// of well-formed UTF-8 as the lone surrogate U+DC00 + byte (U+DC80..U+DCFF),
// which no text decoded from UTF-8 can hold. PathFromQt undoes it exactly.
// What is shown to a person is converted for display (ForDisplay).
// Header only, Qt Core only, so that every Qt library may use it.

#include <QString>
#include <QStringList>

#include <cstddef>
#include <string>
#include <string_view>

#include "core/utf8.h"

namespace rw {

namespace native_path_detail {

inline void AppendUtf8(std::string& out, char32_t value) {
  if (value < 0x80) {
    out += static_cast<char>(value);
  } else if (value < 0x800) {
    out += static_cast<char>(0xC0 | value >> 6);
    out += static_cast<char>(0x80 | (value & 0x3F));
  } else if (value < 0x10000) {
    out += static_cast<char>(0xE0 | value >> 12);
    out += static_cast<char>(0x80 | (value >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (value & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | value >> 18);
    out += static_cast<char>(0x80 | (value >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (value >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (value & 0x3F));
  }
}

}  // namespace native_path_detail

// Bytes (a path, or any text that may hold a path) as a QString, losslessly.
inline QString PathToQt(std::string_view bytes) {
  QString text;
  text.reserve(static_cast<qsizetype>(bytes.size()));
  for (size_t i = 0; i < bytes.size();) {
    char32_t value = 0;
    const size_t length = Utf8Sequence(bytes, i, value);
    if (length == 0) {
      text += QChar(static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(bytes[i])));
      ++i;
      continue;
    }
    if (value >= 0x10000) {
      text += QChar(QChar::highSurrogate(value));
      text += QChar(QChar::lowSurrogate(value));
    } else {
      text += QChar(static_cast<char16_t>(value));
    }
    i += length;
  }
  return text;
}

// The bytes a PathToQt text stands for; any other text as UTF-8 (a lone
// surrogate that stands for no byte as U+FFFD).
inline std::string PathFromQt(const QString& text) {
  std::string bytes;
  bytes.reserve(static_cast<size_t>(text.size()));
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i].unicode();
    if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode())) {
      native_path_detail::AppendUtf8(bytes, QChar::surrogateToUcs4(unit, text[i + 1].unicode()));
      ++i;
    } else if (unit >= 0xDC80 && unit <= 0xDCFF) {
      bytes += static_cast<char>(unit - 0xDC00);
    } else if (QChar::isSurrogate(unit)) {
      native_path_detail::AppendUtf8(bytes, 0xFFFD);
    } else {
      native_path_detail::AppendUtf8(bytes, unit);
    }
  }
  return bytes;
}

// The arguments of main() as QStrings, each losslessly (PathToQt). Read after
// the Qt application object was made, which takes its own options out.
inline QStringList NativeArguments(int argc, char** argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << PathToQt(argv[i] != nullptr ? argv[i] : "");
  return arguments;
}

// For a person to read: each byte that is not UTF-8 as U+FFFD.
inline QString ForDisplay(const QString& text) {
  QString shown = text;
  for (qsizetype i = 0; i < shown.size(); ++i) {
    const char16_t unit = shown[i].unicode();
    if (QChar::isHighSurrogate(unit) && i + 1 < shown.size() && QChar::isLowSurrogate(shown[i + 1].unicode())) {
      ++i;
    } else if (QChar::isSurrogate(unit)) {
      shown[i] = QChar(QChar::ReplacementCharacter);
    }
  }
  return shown;
}
inline QString ForDisplay(std::string_view bytes) { return ForDisplay(PathToQt(bytes)); }

}  // namespace rw
