#pragma once
// Which parts of a tape image are accounted for: the ROM-saved blocks, the
// turbo files, the pauses, and what no reader recognises.

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

// Shares of the pulse data (positions 20 to the end of the file), in percent.
struct TapeCoverage {
  double romPercent = 0;
  double turboPercent = 0;
  double pausePercent = 0;  // zero bytes and their counts
  double unrecognisedPercent = 0;
};

TapeCoverage MeasureCoverage(const TapImage& image, const std::vector<TapeStretch>& rom,
                             const std::vector<TurboFile>& turbo);

// The 1-based number of the program whose stretch (its start up to the next
// program's start) holds `position`, or 0 before the first program.
// `sections` are in tape order.
int ProgramHolding(const std::vector<TapeSection>& sections, int64_t position);

}  // namespace rw
