// SPDX-License-Identifier: GPL-2.0-or-later
// The INI reader on arbitrary file content. The text must give back exactly
// the bytes it was read from (a final line end added), answer every lookup,
// and an edit must read back and leave the rest of the file as it was.

#include <QByteArray>
#include <QString>

#include "fuzz/fuzz_support.h"
#include "settings/ini_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  rw::IniText text(bytes);
  QByteArray expected = bytes;
  if (!expected.isEmpty() && !expected.endsWith('\n')) expected += '\n';
  FUZZ_CHECK(text.Bytes() == expected);

  (void)text.Find(QString(), QStringLiteral("key"));

  // An edit named by the content itself: pieces of the first line's bytes
  // (cut as bytes, so that no piece holds half a UTF-16 surrogate pair).
  const QByteArray firstBytes = bytes.left(bytes.indexOf('\n') < 0 ? 64 : bytes.indexOf('\n'));
  const QString section = QString::fromUtf8(firstBytes.left(8));
  const QString key = QString::fromUtf8(firstBytes.mid(8, 8));
  const QString value = QString::fromUtf8(firstBytes.mid(16));
  rw::IniText edited = text;
  if (edited.Set(section, key, value)) {
    const auto read = edited.Find(section, key);
    FUZZ_CHECK(read.has_value());
    FUZZ_CHECK(*read == value);
    edited.RemoveKey(section, key);
    FUZZ_CHECK(!edited.Find(section, key).has_value());
  } else {
    FUZZ_CHECK(edited.Bytes() == text.Bytes());
  }
  return 0;
}
