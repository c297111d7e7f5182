// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/commodore_names.h"

#include "core/utilities.h"

namespace rw {
namespace {

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

// Characters a display name keeps; everything else (control codes, "*", "/",
// "?", quotes...) is dropped. The pound sign is byte 163.
bool IsAllowedNameChar(unsigned char b) {
  static const std::string allowed =
      "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ'_$#!%&()+-.@;,=[]\xA3 ";
  return allowed.find(static_cast<char>(b)) != std::string::npos;
}

}  // namespace

std::vector<ControlCode> LoadControlCodes() {
  const auto tokens = SplitSemicolons(
      "{CLR};{RED};{DOWN};{LEFT};{YEL};{CYN};{UP};{DEL};{BLK};{PUR};{WHT};{LOW};{GRN};{BLU};{RIGHT};{RVSOFF};{RVSON}");
  const auto values = SplitSemicolons("147;28;17;157;158;159;145;148;144;156;5;14;30;31;29;146;18");
  std::vector<ControlCode> table;
  for (size_t i = 0; i < tokens.size() && i < values.size(); ++i) {
    table.push_back({tokens[i], static_cast<unsigned char>(std::stoi(values[i]))});
  }
  return table;
}

const std::vector<ControlCode>& ControlCodes() {
  static const std::vector<ControlCode> table = LoadControlCodes();
  return table;
}

std::string FilterName(std::string_view nameBytes) {
  std::string result;
  for (const char c : nameBytes) {
    unsigned char b = static_cast<unsigned char>(c);
    if (b >= 65 && b <= 90) {
      b = static_cast<unsigned char>(b + 32);
    } else if (b >= 193 && b <= 219) {
      // The shifted letters of the Commodore set; 219 becomes "[".
      b = static_cast<unsigned char>(b - 128);
    }
    if (IsAllowedNameChar(b)) result += static_cast<char>(b);
  }
  return result;
}

std::string NameToText(std::string_view nameBytes) {
  const auto& codes = ControlCodes();
  // After {LOW} (14) the machine shows the lower-case character set until
  // byte 142 switches back, so the shifted letters read as lower case there.
  bool lowerCaseMode = false;
  std::string text;
  for (const char c : nameBytes) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (b == 14) lowerCaseMode = true;
    if (b == 142) lowerCaseMode = false;
    bool isCode = false;
    for (const auto& code : codes) {
      if (code.byte == b) {
        text += code.token;
        isCode = true;
        break;
      }
    }
    if (isCode) continue;
    if (lowerCaseMode && b >= 193 && b <= 218) {
      text += static_cast<char>(b - 128 + 32);
    } else if (lowerCaseMode && b >= 225 && b <= 250) {
      text += static_cast<char>(b - 128 - 32);
    } else if (b >= 32 && b <= 94) {
      text += static_cast<char>(b);
    } else {
      text += "{" + std::to_string(b) + "}";
    }
  }
  return text;
}

std::string TextToName(std::string_view text) {
  // Tokens are ASCII, so working on Latin-1 bytes from the start changes no
  // match and keeps the inserted bytes apart from UTF-8 sequences.
  std::string name = Utf8ToLatin1(text);
  for (const auto& code : ControlCodes()) {
    ReplaceAll(name, code.token, std::string(1, static_cast<char>(code.byte)));
  }
  for (int n = 0; n <= 255; ++n) {
    ReplaceAll(name, "{" + std::to_string(n) + "}", std::string(1, static_cast<char>(n)));
  }
  return name;
}

std::string Latin1ToUtf8(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (const char c : bytes) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      text += static_cast<char>(b);
    } else {
      text += static_cast<char>(0xC0 | b >> 6);
      text += static_cast<char>(0x80 | (b & 0x3F));
    }
  }
  return text;
}

std::string Utf8ToLatin1(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const unsigned char b = static_cast<unsigned char>(text[i]);
    size_t length = 1;
    if (b < 0x80) {
      bytes += static_cast<char>(b);
    } else if ((b & 0xE0) == 0xC0 && i + 1 < text.size() && (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) {
      const unsigned code = (b & 0x1Fu) << 6 | (static_cast<unsigned char>(text[i + 1]) & 0x3Fu);
      bytes += code <= 0xFF && code >= 0x80 ? static_cast<char>(code) : '?';
      length = 2;
    } else {
      // A longer sequence (a character beyond Latin-1) or a stray byte.
      if ((b & 0xF0) == 0xE0)
        length = 3;
      else if ((b & 0xF8) == 0xF0)
        length = 4;
      for (size_t k = 1; k < length; ++k) {
        if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
          length = k;
          break;
        }
      }
      bytes += '?';
    }
    i += length;
  }
  return bytes;
}

}  // namespace rw
