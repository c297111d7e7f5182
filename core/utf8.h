// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Well-formed UTF-8, as paths, tape names and printed texts are checked
// against it: names on old collections are often Latin-1 bytes, which must
// be recognised as such and never silently rewritten.

#include <cstddef>
#include <string_view>

namespace rw {

// The length of the well-formed UTF-8 sequence at `i` and its code point, or
// 0 when the byte there begins none (overlong forms, surrogates and values
// above U+10FFFF are not well-formed).
inline size_t Utf8Sequence(std::string_view bytes, size_t i, char32_t& value) {
  const auto c = static_cast<unsigned char>(bytes[i]);
  size_t length = 0;
  char32_t minimum = 0;
  if (c < 0x80) {
    value = c;
    return 1;
  }
  if (c >= 0xC2 && c <= 0xDF)
    length = 2, minimum = 0x80, value = c & 0x1F;
  else if (c >= 0xE0 && c <= 0xEF)
    length = 3, minimum = 0x800, value = c & 0x0F;
  else if (c >= 0xF0 && c <= 0xF4)
    length = 4, minimum = 0x10000, value = c & 0x07;
  else
    return 0;
  if (i + length > bytes.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(bytes[i + k]);
    if ((next & 0xC0) != 0x80) return 0;
    value = value << 6 | (next & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  return length;
}

// True when all of `bytes` is well-formed UTF-8.
inline bool IsUtf8(std::string_view bytes) {
  char32_t value = 0;
  for (size_t i = 0; i < bytes.size();) {
    const size_t length = Utf8Sequence(bytes, i, value);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

}  // namespace rw
