// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A map of a tape: what plays when, as bands in playing order. Each band is
// one ROM-saved program's blocks, one turbo file, one pause or one stretch
// no reader recognises, with its playing time and the program whose stretch
// holds it. For drawing, the bands are laid out over a width in pixels, and
// runs of bands narrower than a pixel merge, so that a long tape costs no
// more to draw than a short one and stays readable.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/rom_decoder.h"
#include "core/tap_image.h"
#include "core/turbo_reader.h"

namespace rw {

enum class BandKind : uint8_t { Rom, Turbo, Pause, Unrecognised };
inline constexpr int kBandKinds = 4;

// "ROM program", "Turbo file", "Pause", "Unrecognised".
const char* BandKindText(BandKind kind);

struct TapeBand {
  BandKind kind = BandKind::Unrecognised;
  int64_t start = 0;  // [start, end) in file offsets
  int64_t end = 0;
  double startSeconds = 0;  // playing time before the band
  double seconds = 0;       // the band's own playing time
  int row = 0;              // the program whose stretch holds the band (1-based); 0 before the first
  int turbo = -1;           // a turbo band's file, as an index into the turbo files
};

struct TapeMap {
  std::vector<TapeBand> bands;  // in tape order, covering the pulse data without gaps
  double totalSeconds = 0;
};

// The bands of `image`. `rom` are the ROM programs' stretches (one per
// section, in the same order), `turbo` the turbo files in tape order; what
// lies between them is unrecognised, and every pause (zero byte with its
// count) is a band of its own wherever it lies.
TapeMap BuildTapeMap(const TapImage& image, float usPerCycle, const std::vector<TapeSection>& sections,
                     const std::vector<TapeStretch>& rom, const std::vector<TurboFile>& turbo);

// A band as drawn: [x0, x1) in pixels, standing for the bands first..last.
// Merged bands take the kind that plays longest among them and the longest
// band's program (`main`), so a click on them finds a sensible row.
struct DrawnBand {
  double x0 = 0;
  double x1 = 0;
  BandKind kind = BandKind::Unrecognised;
  size_t first = 0;
  size_t last = 0;
  size_t main = 0;
};

// The bands laid out over `width` pixels in proportion to their playing
// time. A band of at least a pixel stands alone; narrower ones merge with
// their neighbours until the run is a pixel wide, so there are never many
// more drawn bands than pixels.
std::vector<DrawnBand> LayOutBands(const TapeMap& map, double width);

// The drawn band at `x`, or -1 where there is none.
int DrawnBandAt(const std::vector<DrawnBand>& drawn, double x);

}  // namespace rw
