// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Which parts of a tape image are accounted for: the ROM-saved blocks, the
// turbo files, the pauses, and what no reader recognises.

#include <cstdint>
#include <utility>
#include <vector>

#include "core/data_block.h"
#include "core/rom_decoder.h"
#include "core/tap_image.h"
#include "core/turbo_reader.h"

namespace rw {

// The stretches the ROM-saved programs occupy: each program from the first
// pulse of its leader to the end marker of the last of its blocks found (the
// header, its repeat, the data block and its repeat), with the trailing tone
// after it. `data` holds the data read for each of `sections`, in order; a
// data block ends at its end marker, so a boot block shorter than its
// header's range never claims the turbo data after it.
std::vector<TapeStretch> RomStretches(const TapImage& image, const std::vector<TapeSection>& sections,
                                      const std::vector<DataResult>& data);

// The header block of each program of `sections` (its first copy, or the
// repeat where only the repeat's checksum matches; none where neither does),
// for the loaders that keep their settings in it.
std::vector<BootHeader> BootHeaders(const TapImage& image, const std::vector<TapeSection>& sections);

// Shares of the pulse data (positions 20 to the end of the file), in percent.
struct TapeCoverage {
  double romPercent = 0;
  double turboPercent = 0;
  double pausePercent = 0;  // zero bytes and their counts
  double unrecognisedPercent = 0;
  int64_t pulseBytes = 0;  // what the shares are of, so that tapes can be added up
};

TapeCoverage MeasureCoverage(const TapImage& image, const std::vector<TapeStretch>& rom,
                             const std::vector<TurboFile>& turbo);

// The shares rounded to hundredths so that they add up to exactly 100 (the
// largest remainders are rounded up); all 0 for an image without pulses.
TapeCoverage RoundedCoverage(const TapeCoverage& coverage);

// A stretch of pulses that neither a ROM block nor a turbo file accounts for,
// between pauses.
struct UnrecognisedStretch {
  int64_t start = 0;
  int64_t end = 0;  // just past its last pulse
  // Its most common pulse bytes (TAP units; half-waves in version 2) and how
  // often each occurs, most common first, at most kCommonPulses of them.
  std::vector<std::pair<uint8_t, int64_t>> commonPulses;
};
inline constexpr size_t kCommonPulses = 3;

// Every unrecognised stretch, in tape order: with the ROM and turbo
// stretches and the pauses they account for the whole image.
std::vector<UnrecognisedStretch> FindUnrecognised(const TapImage& image, const std::vector<TapeStretch>& rom,
                                                  const std::vector<TurboFile>& turbo);

// Both of the above from one walk over the image, for a listing that shows both.
struct CoverageSurvey {
  TapeCoverage coverage;
  std::vector<UnrecognisedStretch> unrecognised;
};
CoverageSurvey SurveyCoverage(const TapImage& image, const std::vector<TapeStretch>& rom,
                              const std::vector<TurboFile>& turbo);

// The 1-based number of the program whose stretch (its start up to the next
// program's start) holds `position`, or 0 before the first program.
// `sections` are in tape order.
int ProgramHolding(const std::vector<TapeSection>& sections, int64_t position);

}  // namespace rw
