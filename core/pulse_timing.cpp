// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/pulse_timing.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/tap_image.h"

namespace rw {

double RoundHalfEven(double value) {
  // nearbyint uses the current rounding mode, which is round-to-nearest-even
  // unless someone changed it; do not rely on that.
  const double floor = std::floor(value);
  const double fraction = value - floor;
  if (fraction > 0.5) return floor + 1;
  if (fraction < 0.5) return floor;
  return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

float SelectClock(uint8_t machine, uint8_t video) {
  // Reciprocals of the clock rates in MHz, used exactly as written.
  static constexpr float kPal[] = {1.01497f, 0.9022f, 1.12775f};
  static constexpr float kNtsc[] = {0.97778f, 0.97778f, 1.11746f};
  const int m = machine <= 2 ? machine : 0;
  return video == 1 ? kNtsc[m] : kPal[m];
}

namespace {

// Has one of the eight bytes of `word` the value 0?
inline bool HasZeroByte(uint64_t word) { return ((word - 0x0101010101010101ULL) & ~word & 0x8080808080808080ULL) != 0; }

// Counts the pulses of the walk from position `i` while it stays at or
// before `last`, and returns where the walk goes on. A zero byte and the
// three bytes after it are a long-pulse record when they lie inside the
// file (the record may end exactly at the last byte), so a record that
// begins at `last` is read whole; a zero too close to the end is passed.
//
// Real tapes repeat the same pulse value many times in a row, so one table
// of counters would make every increment wait for the one before to the
// same counter; a table for each of the eight bytes of a word keeps them
// apart.
using Lanes = std::array<std::array<uint64_t, 256>, 8>;
int64_t CountPulses(const uint8_t* bytes, int64_t length, int64_t i, int64_t last, Lanes& lanes, double& longCycles) {
  for (;;) {
    while (i + 8 <= last + 1) {
      uint64_t word = 0;
      std::memcpy(&word, bytes + i, 8);
      if (HasZeroByte(word)) break;
      for (int k = 0; k < 8; ++k) ++lanes[static_cast<size_t>(k)][word >> (8 * k) & 0xFF];
      i += 8;
    }
    if (i > last) return i;
    const uint8_t b = bytes[i];
    if (b != 0) {
      ++lanes[0][b];
      ++i;
    } else if (i + 3 <= length - 1) {
      longCycles += bytes[i + 1] + 256.0 * bytes[i + 2] + 65536.0 * bytes[i + 3];
      i += 4;
    } else {
      ++i;
    }
  }
}

// The lanes folded into `counts` and cleared.
void Fold(Lanes& lanes, PulseCounts& counts) {
  for (auto& lane : lanes) {
    for (size_t b = 0; b < 256; ++b) counts.pulses[b] += lane[b];
    lane.fill(0);
  }
}

}  // namespace

void PulseCounts::Add(const PulseCounts& other) {
  for (size_t b = 0; b < 256; ++b) pulses[b] += other.pulses[b];
  longCycles += other.longCycles;
}

double PulseCounts::Duration(float usPerCycle) const {
  // One multiplication per distinct value instead of one per pulse, with the
  // same per-pulse value: b * 8 cycles in single precision, as one pulse is timed.
  double total = 0;
  for (int b = 1; b < 256; ++b) {
    if (pulses[static_cast<size_t>(b)] == 0) continue;
    const float one = static_cast<float>(b * 8) * usPerCycle;
    total += static_cast<double>(one) * static_cast<double>(pulses[static_cast<size_t>(b)]);
  }
  return total + longCycles * static_cast<double>(usPerCycle);
}

double PulseDuration(const TapImage& image, int64_t first, int64_t last, float usPerCycle) {
  const int64_t length = image.FileLength();
  if (first < 0) first = 0;
  if (last > length - 1) last = length - 1;
  PulseCounts counts;
  Lanes lanes{};
  if (first <= last) CountPulses(image.bytes.data(), length, first, last, lanes, counts.longCycles);
  Fold(lanes, counts);
  return counts.Duration(usPerCycle);
}

StretchTimes MeasureStretches(const TapImage& image, const NextStretch& next, float usPerCycle) {
  // One walk from the first pulse to the end; the counts are cut where a
  // stretch begins and ends. A stretch's own walk would begin at its first
  // position; the walk of the whole image passes there too unless a
  // long-pulse record reaches over it, and only then is the stretch walked
  // again on its own.
  StretchTimes times;
  const int64_t length = image.FileLength();
  const int64_t last = length - 1;
  const uint8_t* bytes = image.bytes.data();
  Lanes lanes{};
  PulseCounts total;
  int64_t i = kTapHeaderSize;
  const auto countTo = [&](int64_t end, PulseCounts& counts) {
    if (i <= end) i = CountPulses(bytes, length, i, std::min(end, last), lanes, counts.longCycles);
    Fold(lanes, counts);
    total.Add(counts);
  };
  while (const std::optional<std::pair<int64_t, int64_t>> stretch = next(times.stretches.size())) {
    const auto [first, end] = *stretch;
    PulseCounts outside;
    countTo(first - 1, outside);
    PulseCounts inside;
    const bool inStep = i == std::max<int64_t>(first, 0);
    countTo(end, inside);
    times.stretches.push_back(inStep ? inside.Duration(usPerCycle) : PulseDuration(image, first, end, usPerCycle));
  }
  PulseCounts rest;
  countTo(last, rest);
  times.total = total.Duration(usPerCycle);
  return times;
}

StretchTimes MeasureStretches(const TapImage& image, const std::vector<std::pair<int64_t, int64_t>>& stretches,
                              float usPerCycle) {
  const auto next = [&](size_t k) -> std::optional<std::pair<int64_t, int64_t>> {
    if (k >= stretches.size()) return std::nullopt;
    return stretches[k];
  };
  return MeasureStretches(image, next, usPerCycle);
}

namespace {

// Shortest decimal text of a single-precision value, in fixed notation.
std::string ShortestDecimal(float value, const std::string& decimalSeparator) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  std::string text(buffer, result.ptr);
  const auto point = text.find('.');
  if (point != std::string::npos) text.replace(point, 1, decimalSeparator);
  return text;
}

// A token of digits with at most one separator and at least one digit.
bool IsDecimalNumber(const std::string& token, const std::string& decimalSeparator, double& value) {
  std::string plain;
  int separators = 0;
  bool digits = false;
  for (size_t i = 0; i < token.size();) {
    if (token.compare(i, decimalSeparator.size(), decimalSeparator) == 0) {
      ++separators;
      plain += '.';
      i += decimalSeparator.size();
    } else {
      digits = true;
      plain += token[i];
      ++i;
    }
  }
  if (!digits || separators > 1) return false;
  value = std::strtod(plain.c_str(), nullptr);
  return true;
}

}  // namespace

std::string FormatDuration(double seconds, const std::string& decimalSeparator) {
  const double minutes = std::floor(seconds / 60);
  // Seconds are rounded after the minutes are taken, so 119.999 reads 1m:60s.
  const float rest = static_cast<float>(RoundHalfEven((seconds - 60 * minutes) * 100) / 100);
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, minutes, std::chars_format::fixed, 0);
  return std::string(buffer, result.ptr) + "m:" + ShortestDecimal(rest, decimalSeparator) + "s";
}

std::optional<float> ParseDuration(std::string_view text, const std::string& separator) {
  const std::string decimalSeparator = separator.empty() ? "." : separator;
  std::string token;
  float total = 0;
  for (size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (text.compare(i, decimalSeparator.size(), decimalSeparator) == 0) {
      token += decimalSeparator;
      i += decimalSeparator.size();
      continue;
    }
    ++i;
    if (c == ':') continue;  // "1m:30s" reads as "1m30s", so shown durations read back
    if (c >= '0' && c <= '9') {
      token += c;
      continue;
    }
    if (c != 'm' && c != 's') return std::nullopt;
    double value = 0;
    if (!IsDecimalNumber(token, decimalSeparator, value)) return std::nullopt;
    const float number = static_cast<float>(value);
    total = c == 'm' ? total + static_cast<float>(number * 60.0f) : total + number;
    token.clear();
  }
  // A number must carry its unit.
  double ignored = 0;
  if (!token.empty() && (token == decimalSeparator || IsDecimalNumber(token, decimalSeparator, ignored))) {
    return std::nullopt;
  }
  return total;
}

std::optional<int64_t> PauseCycles(float seconds, float usPerCycle) {
  if (!(seconds >= 0) || !std::isfinite(seconds) || !(usPerCycle > 0)) return std::nullopt;
  // Microseconds are taken in single precision, as pauses have always been
  // timed. That is exact to the microsecond only below 2^24 us (about 16.8
  // s, one record's worth); a longer pause, which takes several records,
  // is timed in double precision so that it stays exact to the cycle.
  const float single = seconds * 1000000.0f;
  const double microseconds =
      single < 16777216.0f ? static_cast<double>(single) : static_cast<double>(seconds) * 1000000.0;
  const double cycles = RoundHalfEven(microseconds / static_cast<double>(usPerCycle));
  if (cycles > static_cast<double>(kMaxPauseCycles)) return std::nullopt;
  return static_cast<int64_t>(cycles);
}

std::vector<uint8_t> EncodePauseCycles(int64_t cycles) {
  std::vector<uint8_t> records;
  if (cycles < 0) return records;
  do {
    const uint32_t count = static_cast<uint32_t>(cycles > kMaxRecordCycles ? kMaxRecordCycles : cycles);
    records.push_back(0);
    records.push_back(static_cast<uint8_t>(count & 0xFF));
    records.push_back(static_cast<uint8_t>(count >> 8 & 0xFF));
    records.push_back(static_cast<uint8_t>(count >> 16 & 0xFF));
    cycles -= count;
  } while (cycles > 0);
  return records;
}

std::vector<uint8_t> EncodePause(std::string_view text, float usPerCycle, const std::string& decimalSeparator) {
  const std::optional<float> seconds = ParseDuration(text, decimalSeparator);
  const std::optional<int64_t> cycles = seconds ? PauseCycles(*seconds, usPerCycle) : std::nullopt;
  return cycles ? EncodePauseCycles(*cycles) : std::vector<uint8_t>{};
}

}  // namespace rw
