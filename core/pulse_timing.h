// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What a pulse byte means in time, how long a stretch of tape plays, how a
// duration is shown and typed, and how a pause is written.
//
// Pulse bytes by version:
//   v0: b = 1..255 is one pulse of b*8 cycles; 0 is an overlong pulse (runs of
//       zeros mark silence). For durations the three bytes after a 0 are still
//       read as a cycle count, as in the later versions.
//   v1: b = 1..255 as v0; 0 is followed by a 24-bit little-endian cycle count.
//   v2: as v1, but each byte is one half-wave, so two bytes make a pulse.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace rw {

struct TapImage;

// Microseconds per machine cycle for a machine (0 C64, 1 VIC-20, 2 C16/Plus-4)
// and video standard (0 PAL, 1 NTSC), as single-precision values.
float SelectClock(uint8_t machine, uint8_t video);

// Playing time in microseconds of positions first..last (inclusive) of `image`.
double PulseDuration(const TapImage& image, int64_t first, int64_t last, float usPerCycle);

// The pulses of a stretch of tape counted by byte value, and the cycles of
// its long-pulse records: the playing time follows from them alone, so the
// times of stretches add up by adding their counts.
struct PulseCounts {
  std::array<uint64_t, 256> pulses{};
  double longCycles = 0;  // a sum of 24-bit counts: exact in a double

  void Add(const PulseCounts& other);
  double Duration(float usPerCycle) const;
};

// The playing times of the whole image (positions 20..last) and of
// `stretches` (first..last positions, in ascending order, not overlapping),
// from one walk over the pulses. Each equals PulseDuration of the same
// positions exactly.
struct StretchTimes {
  std::vector<double> stretches;
  double total = 0;
};
StretchTimes MeasureStretches(const TapImage& image, const std::vector<std::pair<int64_t, int64_t>>& stretches,
                              float usPerCycle);

// The same, with the stretches handed over one by one as a search finds
// them: `next(k)` gives stretch k (waiting for it if need be), or nothing
// once there are no more. The walk counts up to a stretch only when it has
// it, so it can run beside the search that finds them.
using NextStretch = std::function<std::optional<std::pair<int64_t, int64_t>>(size_t k)>;
StretchTimes MeasureStretches(const TapImage& image, const NextStretch& next, float usPerCycle);

// "1m:23.46s": whole minutes, then the seconds rounded to two decimals.
std::string FormatDuration(double seconds, const std::string& decimalSeparator);

// Seconds written as e.g. "5s", "1m30s", "1m:30s", "2.5s"; nothing when invalid.
std::optional<float> ParseDuration(std::string_view text, const std::string& decimalSeparator);

// The largest count one long-pulse record holds (24 bits).
inline constexpr uint32_t kMaxRecordCycles = 0xFFFFFF;
// The longest pause written: beyond a signed 32-bit cycle count (about 36
// minutes) a pause is refused rather than wrapped.
inline constexpr int64_t kMaxPauseCycles = 0x7FFFFFFF;

// The pause in cycles that `seconds` lasts at `usPerCycle`; nothing when it
// is negative, not finite or longer than kMaxPauseCycles.
std::optional<int64_t> PauseCycles(float seconds, float usPerCycle);

// Long-pulse records (0 then a 24-bit count) whose counts add up to `cycles`;
// one record for a pause of up to 16,777,215 cycles, more for a longer one.
std::vector<uint8_t> EncodePauseCycles(int64_t cycles);

// The records for the pause written in `text`; empty when the text is
// invalid or the pause is too long (see PauseCycles).
std::vector<uint8_t> EncodePause(std::string_view text, float usPerCycle, const std::string& decimalSeparator);

// Halves to even, as every rounded count in the tape logic is rounded.
double RoundHalfEven(double value);

}  // namespace rw
