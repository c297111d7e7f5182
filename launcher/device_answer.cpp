// SPDX-License-Identifier: GPL-2.0-or-later
#include "launcher/device_answer.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "core/commodore_names.h"
#include "core/pulse_timing.h"
#include "launcher/launcher_text.h"

namespace rw {
namespace {

constexpr size_t kMaxDirectoryCharacters = 55;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

size_t CharacterCount(std::string_view utf8) {
  size_t count = 0;
  for (char c : utf8) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  }
  return count;
}

}  // namespace

const char* const kDirectoryCharacterError =
    "Error, directory cannot contain double quotes, braces, line breaks or other control characters !";

double LeadingNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const size_t begin = i;
  while (i < text.size() && IsDigit(text[i])) ++i;
  const bool wholePartZero = text.substr(begin, i - begin).find_first_not_of('0') == std::string_view::npos;
  size_t digits = i - begin;
  if (i < text.size() && text[i] == '.') {
    const size_t afterPoint = ++i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    digits += i - afterPoint;
  }
  if (digits == 0) return 0.0;
  bool negativeExponent = false;
  bool hasExponent = false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) negativeExponent = text[j++] == '-';
    if (j < text.size() && IsDigit(text[j])) {
      while (j < text.size() && IsDigit(text[j])) ++j;
      i = j;
      hasExponent = true;
    }
  }
  // from_chars ignores the locale, so "." is the decimal point everywhere.
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data() + begin, text.data() + i, value);
  (void)end;
  if (error == std::errc::result_out_of_range) {
    // Out of range is either far too large or vanishingly small.
    const bool tiny = hasExponent ? negativeExponent : wholePartZero;
    value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
  } else if (error != std::errc()) {
    value = 0.0;
  }
  return negative ? -value : value;
}

std::string SdDirectoryText(std::string_view text) {
  std::string bytes = LowerLatin1(Utf8ToLatin1(text));
  for (char& c : bytes) {
    if (c == '\\') c = '/';
  }
  return Latin1ToUtf8(bytes);
}

DeviceCheck CheckDeviceAnswer(std::string_view deviceText, std::string_view directoryText) {
  DeviceCheck check;
  const auto refuse = [&check](const std::string& text) {
    check.refusal = Outcome::Failure(FailureKind::Refused, text, kDeviceRefusalTitle);
    return check;
  };
  const double device = RoundHalfEven(LeadingNumber(deviceText));
  if (!(device >= 8 && device <= 11)) {
    check.resetDeviceText = true;
    return refuse("Error, Device number of Tapewell must be in the interval 8-11 !");
  }
  if (CharacterCount(directoryText) > kMaxDirectoryCharacters) {
    return refuse("Error, length of directory cannot exceed 55 charachters !");
  }
  // The folder goes between the quotes of a launcher line as typed: a
  // character that would end the string or the line, or become a control
  // code, is refused rather than silently changed into another folder.
  if (!QuotedTextProblem(directoryText).empty()) return refuse(kDirectoryCharacterError);
  check.device = static_cast<int>(device);
  check.directory = SdDirectoryText(directoryText);
  return check;
}

}  // namespace rw
