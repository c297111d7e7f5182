// SPDX-License-Identifier: GPL-2.0-or-later
#include "settings/ini_text.h"

#include "platform/native_path.h"

namespace rw {

namespace {

const QByteArray kUtf8Bom("\xEF\xBB\xBF");

// A line's text, losslessly: a value may be a path whose bytes are not UTF-8
// (platform/native_path.h), and it must read back as those bytes. (Unlike
// QString::fromUtf8 this keeps a byte order mark at the start of what it
// decodes, so a line that begins with one reads as it was written; only the
// file's own mark, on the first line, is not text.)
QString DecodeLine(const QByteArray& bytes) {
  return PathToQt(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}

QByteArray EncodeLine(const QString& text) { return QByteArray::fromStdString(PathFromQt(text)); }

bool IsBlank(QChar c) { return c == u' ' || c == u'\t'; }

QString TrimBlanks(const QString& text) {
  qsizetype begin = 0;
  qsizetype end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.mid(begin, end - begin);
}

bool SameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

bool Enclosed(const QString& text) { return text.size() >= 2 && text.front() == u'"' && text.back() == u'"'; }

bool HasLineBreak(const QString& text) { return text.contains(u'\n') || text.contains(u'\r'); }

QString DecodeValue(const QString& raw) {
  const QString trimmed = TrimBlanks(raw);
  return Enclosed(trimmed) ? trimmed.mid(1, trimmed.size() - 2) : trimmed;
}

QString EncodeValue(const QString& value) {
  const bool quote = !value.isEmpty() && (IsBlank(value.front()) || IsBlank(value.back()) || Enclosed(value));
  return quote ? u'"' + value + u'"' : value;
}

}  // namespace

IniText::IniText(const QByteArray& bytes) {
  if (bytes.isEmpty()) return;
  QList<QByteArray> raws = bytes.split('\n');
  // A final line end leaves one empty piece behind it; that is not a line.
  if (raws.back().isEmpty()) raws.pop_back();
  crlf_ = !raws.isEmpty() && raws.front().endsWith('\r');
  for (qsizetype i = 0; i < raws.size(); ++i) lines_.push_back(Parse(raws[i], i == 0));
}

IniText::Line IniText::Parse(const QByteArray& raw, bool firstLine) {
  QByteArray content = raw;
  if (content.endsWith('\r')) content.chop(1);
  if (firstLine && content.startsWith(kUtf8Bom)) content.remove(0, kUtf8Bom.size());
  const QString text = DecodeLine(content);
  const QString trimmed = TrimBlanks(text);
  Line line{raw, Line::Kind::Other, {}};
  if (trimmed.startsWith(u'[')) {
    const qsizetype close = trimmed.indexOf(u']');
    if (close > 0) {
      line.kind = Line::Kind::Section;
      line.name = TrimBlanks(trimmed.mid(1, close - 1));
    }
  } else if (!trimmed.startsWith(u';') && !trimmed.startsWith(u'#')) {
    const qsizetype equals = text.indexOf(u'=');
    if (equals >= 0) {
      line.name = TrimBlanks(text.left(equals));
      if (!line.name.isEmpty()) line.kind = Line::Kind::Entry;
    }
  }
  return line;
}

QByteArray IniText::Bytes() const {
  // Lines of a CRLF file keep their "\r" in `raw`; only "\n" is added back.
  QByteArray bytes;
  for (const Line& line : lines_) bytes += line.raw + '\n';
  return bytes;
}

std::vector<std::pair<size_t, size_t>> IniText::Bodies(const QString& section) const {
  std::vector<std::pair<size_t, size_t>> bodies;
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind != Line::Kind::Section || !SameName(lines_[i].name, section)) continue;
    size_t end = i + 1;
    while (end < lines_.size() && lines_[end].kind != Line::Kind::Section) ++end;
    bodies.emplace_back(i + 1, end);
  }
  return bodies;
}

std::optional<QString> IniText::Find(const QString& section, const QString& key) const {
  for (const auto& [begin, end] : Bodies(section)) {
    for (size_t i = begin; i < end; ++i) {
      const Line& line = lines_[i];
      if (line.kind == Line::Kind::Entry && SameName(line.name, key)) {
        const QString text = DecodeLine(line.raw.endsWith('\r') ? line.raw.chopped(1) : line.raw);
        return DecodeValue(text.mid(text.indexOf(u'=') + 1));
      }
    }
  }
  return std::nullopt;
}

bool IniText::IsValidSectionName(const QString& section) {
  return !HasLineBreak(section) && !section.contains(u']') && TrimBlanks(section) == section;
}

bool IniText::IsValidKeyName(const QString& key) {
  return !key.isEmpty() && !HasLineBreak(key) && !key.contains(u'=') && TrimBlanks(key) == key &&
         !key.startsWith(u'[') && !key.startsWith(u';') && !key.startsWith(u'#');
}

bool IniText::IsValidValue(const QString& value) { return !HasLineBreak(value); }

QByteArray IniText::EntryLine(const QString& key, const QString& value) {
  return EncodeLine(key + u'=' + EncodeValue(value));
}

bool IniText::Set(const QString& section, const QString& key, const QString& value) {
  if (!IsValidSectionName(section) || !IsValidKeyName(key) || !IsValidValue(value)) return false;
  const QByteArray lineEnd = crlf_ ? QByteArray("\r") : QByteArray();
  const auto bodies = Bodies(section);
  for (const auto& [begin, end] : bodies) {
    for (size_t i = begin; i < end; ++i) {
      if (lines_[i].kind == Line::Kind::Entry && SameName(lines_[i].name, key)) {
        lines_[i] = Parse(EntryLine(lines_[i].name, value) + lineEnd, i == 0);
        return true;
      }
    }
  }
  size_t at = lines_.size();
  if (bodies.empty()) {
    lines_.push_back(Parse(EncodeLine('[' + section + ']') + lineEnd, lines_.empty()));
    at = lines_.size();
  } else {
    // Behind the section's last entry, before the blank lines or comments
    // that lead into the next section.
    const auto [begin, end] = bodies.front();
    at = begin;
    for (size_t i = begin; i < end; ++i) {
      if (lines_[i].kind == Line::Kind::Entry) at = i + 1;
    }
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), Parse(EntryLine(key, value) + lineEnd, false));
  return true;
}

bool IniText::RemoveKey(const QString& section, const QString& key) {
  const auto bodies = Bodies(section);
  bool removed = false;
  // From the back, so that the indices of earlier bodies stay valid.
  for (auto body = bodies.rbegin(); body != bodies.rend(); ++body) {
    for (size_t i = body->second; i-- > body->first;) {
      if (lines_[i].kind == Line::Kind::Entry && SameName(lines_[i].name, key)) {
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
        removed = true;
      }
    }
  }
  return removed;
}

}  // namespace rw
