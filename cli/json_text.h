// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// JSON text written straight from the values, laid out byte for byte as Qt's
// QJsonDocument writes an indented document: four spaces a level, an
// object's keys in sorted order, "key": value. A tape of many thousand turbo
// files would otherwise be built as Qt objects first and then written, which
// takes longer than finding the files.
//
// Values are JSON text already (JsonString, JsonInteger, ...); an object or
// array inside another is made at its parent's ChildDepth() and added as
// its Text().

#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace rw::cli {

// A string value, escaped as Qt escapes it; UTF-8 that does not decode is
// taken as Qt takes it (each bad sequence as U+FFFD).
std::string JsonString(std::string_view utf8);
std::string JsonString(const QString& text);
inline std::string JsonString(const char* utf8) { return JsonString(std::string_view(utf8)); }
std::string JsonInteger(int64_t value);
// As Qt writes a double: the shortest text that reads back the same.
std::string JsonDouble(double value);
inline std::string JsonNull() { return "null"; }

// Where text is handed on piece by piece (standard output, for one).
using JsonWrite = std::function<void(std::string_view)>;

class JsonObject {
 public:
  // `depth`: how many objects and arrays hold this one (0 for the document).
  explicit JsonObject(int depth = 0) : depth_(depth) { members_.reserve(16); }
  int ChildDepth() const { return depth_ + 1; }
  // Keys are the program's own names (literals), which outlive the object.
  JsonObject& Set(std::string_view key, std::string json);
  // A member whose value `lay` hands to the writer only as the object is
  // written: an array of many thousand items goes out as it is made, and is
  // never held whole.
  JsonObject& SetLater(std::string_view key, std::function<void(const JsonWrite&)> lay);
  std::string Text() const;
  void AppendTo(std::string& out) const;
  // The text handed on piece by piece, so that a document of many megabytes
  // is written out without being put together in memory first.
  void Write(const JsonWrite& write) const;

 private:
  template <typename Out>
  void Lay(Out&& write) const;

  int depth_;
  std::vector<std::pair<std::string_view, std::string>> members_;
  std::vector<std::pair<std::string_view, std::function<void(const JsonWrite&)>>> later_;
};

// The items are laid out as they come: an array of many thousand objects is
// held once, as text, or handed on in stretches as it grows (WriteOut).
class JsonArray {
 public:
  explicit JsonArray(int depth = 0) : depth_(depth) {}
  int ChildDepth() const { return depth_ + 1; }
  void Append(std::string_view json);
  // An object laid out straight into the array's text.
  void Append(const JsonObject& object);
  std::string Text() const&;
  // The text without a copy; the array is left empty.
  std::string Text() &&;
  // Hands the text made so far to `write` once it is longer than `past`
  // bytes, and forgets it; the items appended after it follow on.
  void WriteOut(const JsonWrite& write, size_t past = 0);
  // Hands the rest of the text, the closing bracket included, to `write`.
  void Finish(const JsonWrite& write);

 private:
  void Separate();
  void Close(std::string& text) const;

  int depth_;
  size_t count_ = 0;
  std::string text_ = "[\n";  // the bracket, then each item indented, separated by ",\n"
};

}  // namespace rw::cli
