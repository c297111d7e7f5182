// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The pictures of a tape: its map (bands coloured by kind over a time axis,
// with a legend) and a program's pulse histogram with its readers' bounds.

#include <string>
#include <vector>

#include "core/picture.h"
#include "core/rom_decoder.h"
#include "core/turbo_reader.h"
#include "split/pulse_histogram.h"
#include "split/tape_map.h"

namespace rw {

// The colour every picture gives a kind of band.
Colour BandColour(BandKind kind);

// What a drawn band stands for, in a few lines: its kind (or how many bands
// merged into it), the program and turbo file, where it plays and how long.
std::string DescribeBand(const TapeMap& map, const DrawnBand& drawn, const std::vector<TapeSection>& sections,
                         const std::vector<TurboFile>& turbo);

// "12:05" or "1:02:05" for a time axis.
std::string AxisTime(double seconds);

// The map `width` pixels wide, titled `title`: the strip of bands, a time
// axis under it and a legend with each kind's share of the playing time.
Picture TapeMapPicture(const TapeMap& map, const std::vector<TapeSection>& sections,
                       const std::vector<TurboFile>& turbo, const std::string& title, double width);

// The histogram of `histogram`, titled `title`, on a logarithmic count
// scale so that a few stray pulses show beside peaks of thousands.
Picture PulsePicture(const PulseHistogram& histogram, const std::string& title);

}  // namespace rw
