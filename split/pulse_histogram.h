// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The pulse widths of one program's stretch of tape, counted per width, with
// the lines its readers decide by: the ROM classes tuned to its header and
// the threshold of every turbo loader in the stretch. Drawn together, they
// show at once whether a dump is clean (narrow peaks well inside their
// classes), drifting (peaks that lean on a bound) or damaged (pulses
// scattered between the peaks).

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/rom_decoder.h"
#include "core/tap_image.h"
#include "core/turbo_reader.h"

namespace rw {

// A span of widths drawn over the counts: a ROM pulse class [first, last],
// or a turbo threshold (first == last).
struct HistogramMark {
  int first = 0;
  int last = 0;
  std::string label;  // "short", "medium", "long", or the loader's name
  std::string note;   // a line for the picture's legend, where the mark needs one
};

struct PulseHistogram {
  // counts[w]: pulses of width w (TAP units) in the stretch; width 0 (pauses)
  // is never counted. A version-2 pulse is its two half-waves, capped at 255.
  std::array<uint64_t, 256> counts{};
  int64_t start = 0;  // the stretch, [start, end)
  int64_t end = 0;
  std::vector<HistogramMark> marks;
};

// A pulse width as the pictures write it: "$2C".
std::string WidthText(int width);

// Adds every byte of `bytes` (n of them) to `counts`, as fast as memory
// gives them.
void CountBytes(const uint8_t* bytes, size_t n, std::array<uint64_t, 256>& counts);

// The pulses of [start, end) of `image`.
PulseHistogram CountPulses(const TapImage& image, int64_t start, int64_t end);

// The histogram of program `row` (1-based) of `sections`: its stretch runs
// from its leader to the next program's leader (or the end of the tape), as
// the split cuts it, and the marks are its ROM classes and the thresholds of
// the loaders of `turbo` files that start in it: one per loader, or, for a
// loader that changes its speed as the tape plays, one per speed its files
// were read at. A file read at no known threshold stands for its family's
// most common one, which the mark's note says.
PulseHistogram ProgramPulses(const TapImage& image, const std::vector<TapeSection>& sections, int row,
                             const std::vector<TurboFile>& turbo);

}  // namespace rw
