// SPDX-License-Identifier: GPL-2.0-or-later
#include "launcher/launcher_text.h"

#include <cstdio>

#include "core/commodore_names.h"
#include "core/utf8.h"
#include "core/utilities.h"

namespace rw {
namespace {

constexpr size_t kEntryNameCharacters = 13;

bool IsUpperLatin1(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7); }

// 0x00-0x1F and 0x7F are ASCII controls; 0x80-0x9F are Latin-1's, and the
// same bytes are PETSCII screen codes (0x93 clears the screen) once petcat
// copies them into a string.
bool IsControl(unsigned char c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

bool BreaksQuotedText(unsigned char c) { return c == '"' || c == '{' || c == '}' || IsControl(c); }

// A character of a disk file name as c1541 accepts it and a LOAD command can
// name it: plain ASCII without the drive's separators and patterns.
char EntryNameCharacter(unsigned char c) {
  // Lower-case Latin-1 letters 0xDF-0xFF without their accents (0xF7 is the
  // division sign).
  static const char kPlain[] = "saaaaaaaceeeeiiiidnooooo-ouuuuyty";
  if (c >= 0xDF) return kPlain[c - 0xDF];
  if (c < 0x20 || c > 0x7E) return '-';
  switch (c) {
    case ',':
    case ':':
    case '*':
    case '?':
    case '"':
    case '{':
    case '}':
    case '|':
    case '~':
    case '`':
      return '-';
    default:
      return static_cast<char>(c);
  }
}

// The field as it may stand between quotes; see LauncherText.
std::string QuotedField(std::string bytes) {
  for (char& c : bytes) {
    if (BreaksQuotedText(static_cast<unsigned char>(c))) c = '?';
  }
  return bytes;
}

}  // namespace

std::string LowerText(std::string_view text) {
  std::string lower(text);
  for (size_t i = 0; i < lower.size(); ++i) {
    const auto c = static_cast<unsigned char>(lower[i]);
    if (c >= 'A' && c <= 'Z') {
      lower[i] = static_cast<char>(c + 32);
    } else if (c == 0xC3 && i + 1 < lower.size()) {
      // U+00C0..U+00DE (but not U+00D7, the multiplication sign) are the
      // upper-case Latin-1 letters; their lower-case forms lie 32 above.
      const auto next = static_cast<unsigned char>(lower[i + 1]);
      if (next >= 0x80 && next <= 0x9E && next != 0x97) lower[i + 1] = static_cast<char>(next + 32);
      ++i;
    }
  }
  return lower;
}

std::string LowerLatin1(std::string bytes) {
  for (char& c : bytes) {
    if (IsUpperLatin1(static_cast<unsigned char>(c))) c = static_cast<char>(static_cast<unsigned char>(c) + 32);
  }
  return bytes;
}

std::string LauncherEntryName(const std::string& name, int n) {
  char counter[16];
  std::snprintf(counter, sizeof counter, "%02d", n);
  std::string padded = Utf8ToLatin1(name) + std::string(kEntryNameCharacters, ' ');
  padded.resize(kEntryNameCharacters);
  std::string entry = LowerLatin1(std::string(counter) + "-" + padded);
  for (char& c : entry) c = EntryNameCharacter(static_cast<unsigned char>(c));
  return entry;
}

std::string QuotedTextProblem(std::string_view text) {
  const std::string bytes = Utf8ToLatin1(text);
  if (Latin1ToUtf8(bytes) != text) return "a character outside the Latin-1 character set";
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '"') return "a double quote";
    if (byte == '{' || byte == '}') return "a brace";
    if (byte == '\r' || byte == '\n') return "a line break";
    if (IsControl(byte)) return "a control character";
  }
  return "";
}

std::string LauncherImageName(const std::string& imagePath) {
  // A file name that is not UTF-8 is taken as the Latin-1 text it is on old
  // collections: its bytes are then exactly what the launcher sends.
  const std::string name = FileNameOf(imagePath);
  return LowerText(IsUtf8(name) ? name : Latin1ToUtf8(name));
}

std::string LauncherDiskPath(const std::string& outputFolder, const std::string& imagePath) {
  std::string folder = outputFolder;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  // The disk is named after the file's own bytes, lower-cased as the name
  // the launcher sends.
  const std::string name = FileNameOf(imagePath);
  return folder + (IsUtf8(name) ? LowerText(name) : LowerLatin1(name)) + ".d64";
}

std::string LauncherText(int device, const std::string& directory, const std::string& imageName,
                         const std::string& start, const std::string& autostartLine) {
  const std::string open = "open 1," + std::to_string(device) + ",15,\"";
  const std::string close = "\":close1";
  std::string text;
  if (!directory.empty()) {
    // Code 95 is the left arrow of the Commodore character set.
    text += "5 " + open + "cd:" + static_cast<char>(95) + close + "\r\n";
    text += "10 " + open + "cd" + QuotedField(Utf8ToLatin1(directory)) + close + "\r\n";
  }
  text += "20 " + open + "xt:" + QuotedField(Utf8ToLatin1(imageName)) + "," + QuotedField(Utf8ToLatin1(start)) + close +
          "\r\n";
  text += Utf8ToLatin1(autostartLine) + "\r\n";
  text += "30 new\r\n";
  return text;
}

std::vector<std::string> FormatDiskArguments(const std::string& diskPath, const std::string& header,
                                             const std::string& imageType) {
  return {"-format", header, imageType, diskPath};
}

std::vector<std::string> TokeniseArguments(const std::string& petcatOptions, const std::string& programPath,
                                           const std::string& textPath) {
  std::vector<std::string> arguments;
  std::string word;
  for (char c : petcatOptions + " ") {
    if (c == ' ' || c == '\t') {
      if (!word.empty()) arguments.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  arguments.insert(arguments.end(), {"-o", programPath, "--", textPath});
  return arguments;
}

std::vector<std::string> WriteFileArguments(const std::string& diskPath, const std::string& programPath,
                                            const std::string& diskFileName) {
  return {"-attach", diskPath, "-write", programPath, diskFileName};
}

}  // namespace rw
