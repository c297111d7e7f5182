// SPDX-License-Identifier: GPL-2.0-or-later
// Durations typed by the user and the pauses written from them. Input: one
// byte choosing the decimal separator, one choosing the machine and video
// standard, eight bytes of a number to show, then the text.
//   - ParseDuration gives nothing or a length of at least 0;
//   - every accepted text that is not too long encodes long-pulse records
//     whose counts add up to the parsed length within one cycle;
//   - FormatDuration shows any length a tape can have as minutes and seconds, and
//     what it shows reads back as the same length.

#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "core/pulse_timing.h"
#include "fuzz/fuzz_support.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// "[-]digits m: [-]digits [separator digits] s"
void CheckShown(const std::string& text, const std::string& separator) {
  const size_t mark = text.find("m:");
  FUZZ_CHECK(mark != std::string::npos && mark > 0);
  FUZZ_CHECK(text.size() < 400);
  for (size_t i = 0; i < mark; ++i) FUZZ_CHECK(IsDigit(text[i]) || (i == 0 && text[i] == '-'));
  FUZZ_CHECK(text.back() == 's');
  std::string seconds = text.substr(mark + 2, text.size() - mark - 3);
  const size_t point = seconds.find(separator);
  if (point != std::string::npos) seconds.erase(point, separator.size());
  FUZZ_CHECK(!seconds.empty());
  for (size_t i = 0; i < seconds.size(); ++i) FUZZ_CHECK(IsDigit(seconds[i]) || (i == 0 && seconds[i] == '-'));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 10) return 0;
  static const char* const kSeparators[] = {".", ",", ""};
  const std::string separator = kSeparators[data[0] % 3];
  const std::string shownSeparator = separator.empty() ? "." : separator;
  const float usPerCycle = rw::SelectClock(static_cast<uint8_t>(data[1] % 3), static_cast<uint8_t>(data[1] / 3 % 2));
  double shown = 0;
  std::memcpy(&shown, data + 2, sizeof shown);
  const std::string_view text(reinterpret_cast<const char*>(data + 10), size - 10);

  // Far beyond any tape (about 30 million years) only "no crash" is asked.
  const std::string shownText = rw::FormatDuration(shown, shownSeparator);
  if (std::fabs(shown) < 1e15) CheckShown(shownText, shownSeparator);

  const std::optional<float> parsed = rw::ParseDuration(text, separator);
  const std::vector<uint8_t> records = rw::EncodePause(text, usPerCycle, separator);
  if (!parsed) {
    FUZZ_CHECK(records.empty());
    return 0;
  }
  const float seconds = *parsed;
  FUZZ_CHECK(seconds >= 0);
  if (seconds < 1e15f) {
    const std::string again = rw::FormatDuration(seconds, shownSeparator);
    CheckShown(again, shownSeparator);
    if (seconds < 1e7f) {
      const std::optional<float> back = rw::ParseDuration(again, separator);
      FUZZ_CHECK(back && std::fabs(static_cast<double>(*back) - seconds) <= 0.0051 + 1e-6 * seconds);
    }
  }

  const std::optional<int64_t> pause = rw::PauseCycles(seconds, usPerCycle);
  if (!pause) {
    FUZZ_CHECK(records.empty());
    return 0;
  }
  const int64_t cycles = *pause;
  FUZZ_CHECK(!records.empty() && records.size() % 4 == 0);
  int64_t total = 0;
  for (size_t i = 0; i < records.size(); i += 4) {
    FUZZ_CHECK(records[i] == 0);
    const int64_t count = records[i + 1] | records[i + 2] << 8 | records[i + 3] << 16;
    // Only the last record holds less than a full count.
    if (i + 4 < records.size()) FUZZ_CHECK(count == rw::kMaxRecordCycles);
    total += count;
  }
  FUZZ_CHECK(total == cycles);
  const double exact = static_cast<double>(seconds) * 1e6 / static_cast<double>(usPerCycle);
  // Up to one record's length (2^24 us) the microseconds are counted in
  // single precision, as pauses have always been timed: that may add half a
  // microsecond.
  const double slack = static_cast<double>(seconds) * 1e6 < 16777216.0 ? 0.5 / usPerCycle : 0.0;
  FUZZ_CHECK(std::fabs(static_cast<double>(total) - exact) <= 1.0 + slack);
  return 0;
}
