// SPDX-License-Identifier: GPL-2.0-or-later
#include "join/natural_order.h"

namespace rw {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The digit run that starts at `at`, without its leading zeros; `at` moves past it.
std::string_view DigitRun(std::string_view text, size_t& at) {
  while (at < text.size() && text[at] == '0') ++at;
  const size_t first = at;
  while (at < text.size() && IsDigit(text[at])) ++at;
  return text.substr(first, at - first);
}

}  // namespace

bool NaturalLess(std::string_view a, std::string_view b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      const std::string_view x = DigitRun(a, i), y = DigitRun(b, j);
      // Without leading zeros, the longer run is the larger number.
      if (x.size() != y.size()) return x.size() < y.size();
      if (x != y) return x < y;
      continue;
    }
    if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
    ++i;
    ++j;
  }
  if ((a.size() - i) != (b.size() - j)) return a.size() - i < b.size() - j;
  return a < b;
}

}  // namespace rw
