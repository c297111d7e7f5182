// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/json_text.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>

namespace rw::cli {
namespace {

// Qt's own text for one value: the rare string beyond ASCII and the double,
// whose exact forms are Qt's to decide.
std::string AsQtWritesIt(const QJsonValue& value) {
  const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
  return std::string(array.constData() + 1, static_cast<size_t>(array.size() - 2));  // without "[" and "]"
}

// ASCII as Qt escapes it: the quote, the backslash and the control
// characters; DEL and everything else as it is.
template <typename Chars>
std::string EscapedAscii(const Chars& text) {
  static const char kHex[] = "0123456789abcdef";
  std::string json;
  json.reserve(static_cast<size_t>(text.size()) + 2);
  json += '"';
  for (const auto c : text) {
    const auto u = static_cast<unsigned>(c);
    if (u >= 0x20 && u != '"' && u != '\\') {
      json += static_cast<char>(u);
      continue;
    }
    json += '\\';
    switch (u) {
      case '"': json += '"'; break;
      case '\\': json += '\\'; break;
      case '\b': json += 'b'; break;
      case '\f': json += 'f'; break;
      case '\n': json += 'n'; break;
      case '\r': json += 'r'; break;
      case '\t': json += 't'; break;
      default:
        json += "u00";
        json += kHex[u >> 4];
        json += kHex[u & 0xF];
    }
  }
  json += '"';
  return json;
}

void Indent(std::string& out, int depth) { out.append(4 * static_cast<size_t>(depth), ' '); }

}  // namespace

std::string JsonString(std::string_view utf8) {
  const bool ascii = std::all_of(utf8.begin(), utf8.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii) return EscapedAscii(utf8);
  return AsQtWritesIt(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
}

std::string JsonString(const QString& text) {
  const bool ascii = std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
  if (ascii) return EscapedAscii(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                                     static_cast<size_t>(text.size())));
  return AsQtWritesIt(text);
}

std::string JsonInteger(int64_t value) { return std::to_string(value); }

std::string JsonDouble(double value) { return AsQtWritesIt(value); }

JsonObject& JsonObject::Set(std::string_view key, std::string json) {
  members_.emplace_back(key, std::move(json));
  return *this;
}

JsonObject& JsonObject::SetLater(std::string_view key, std::function<void(const JsonWrite&)> lay) {
  later_.emplace_back(key, std::move(lay));
  return *this;
}

template <typename Out>
void JsonObject::Lay(Out&& write) const {
  // Qt keeps an object's keys sorted (ASCII keys: by their bytes). A member's
  // place: a text member, or one laid out later. The objects written by the
  // ten thousand mostly have their members set in that order already, and
  // are written without sorting.
  const size_t count = members_.size() + later_.size();
  const auto keyAt = [&](size_t place) {
    return place < members_.size() ? members_[place].first : later_[place - members_.size()].first;
  };
  bool inOrder = true;
  for (size_t place = 1; place < count && inOrder; ++place) inOrder = keyAt(place - 1) < keyAt(place);
  std::vector<size_t> order;
  if (!inOrder) {
    order.resize(count);
    for (size_t place = 0; place < count; ++place) order[place] = place;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return keyAt(a) < keyAt(b); });
  }
  const std::string inner(4 * static_cast<size_t>(depth_ + 1), ' ');
  write("{\n");
  for (size_t i = 0; i < count; ++i) {
    const size_t place = inOrder ? i : order[i];
    const std::string_view key = keyAt(place);
    write(inner);
    // Keys are plain names, written as they are; anything else as Qt escapes it.
    if (std::all_of(key.begin(), key.end(), [](char c) { return c > 0x20 && c < 0x7F && c != '"' && c != '\\'; })) {
      write("\"");
      write(key);
      write("\": ");
    } else {
      write(EscapedAscii(key));
      write(": ");
    }
    if (place < members_.size()) {
      write(members_[place].second);
    } else {
      later_[place - members_.size()].second([&write](std::string_view piece) { write(piece); });
    }
    write(i + 1 < count ? ",\n" : "\n");
  }
  write(std::string_view(inner).substr(4));
  write("}");
}

void JsonObject::Write(const JsonWrite& write) const { Lay(write); }

void JsonObject::AppendTo(std::string& out) const {
  size_t length = 4;
  for (const auto& member : members_) {
    length += member.first.size() + member.second.size() + 8 + 4 * static_cast<size_t>(depth_ + 1);
  }
  out.reserve(out.size() + length);
  Lay([&out](std::string_view piece) { out += piece; });
}

std::string JsonObject::Text() const {
  std::string out;
  AppendTo(out);
  return out;
}

void JsonArray::Separate() {
  if (count_++ > 0) text_ += ",\n";
  Indent(text_, depth_ + 1);
}

void JsonArray::Append(std::string_view json) {
  Separate();
  text_ += json;
}

void JsonArray::Append(const JsonObject& object) {
  Separate();
  object.AppendTo(text_);
}

void JsonArray::Close(std::string& text) const {
  if (count_ > 0) text += '\n';
  Indent(text, depth_);
  text += ']';
}

std::string JsonArray::Text() const& {
  std::string out;
  out.reserve(text_.size() + 4 * static_cast<size_t>(depth_) + 2);
  out = text_;
  Close(out);
  return out;
}

void JsonArray::WriteOut(const JsonWrite& write, size_t past) {
  if (text_.size() <= past) return;
  write(text_);
  text_.clear();
}

void JsonArray::Finish(const JsonWrite& write) {
  Close(text_);
  write(text_);
  text_ = "[\n";
  count_ = 0;
}

std::string JsonArray::Text() && {
  Close(text_);
  std::string out = std::move(text_);
  text_ = "[\n";
  count_ = 0;
  return out;
}

}  // namespace rw::cli
