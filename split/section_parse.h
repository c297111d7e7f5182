// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The parse behind the split window's program list and the command line's
// info and list: every program the ROM-loader decoder finds, with the range
// of the file it covers and its playing time, and the image's own facts, in
// the texts the window shows. No user interface here.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/rom_decoder.h"
#include "core/tap_image.h"

namespace rw {

inline constexpr const char* kNoSectionsMessage = "No ROM Loader sections identified inside this TAP file !";

// One program of the list.
struct ProgramRow {
  TapeSection section;
  // The program's last byte: the next program's start minus one pulse step,
  // or the file's last byte for the last program. Programs tile the image
  // from the first start to the end of the file.
  int32_t end = 0;
  double durationUs = 0;  // playing time of section.start..end
};

// Told how far a long piece of work has come: `done` of `total` units.
using Progress = std::function<void(int64_t done, int64_t total)>;

// Every program of `image`, in the order found, and the image's playing
// time, measured in the same walk over the pulses. Untitled programs are
// numbered from 0 within this parse. `progress`, when set, hears the file
// offset reached after each program, of the file's length.
struct ParsedTape {
  std::vector<ProgramRow> rows;
  double totalUs = 0;  // playing time of positions 20..last
};
ParsedTape ParseTape(const TapImage& image, float usPerCycle, const Progress& progress = {});
// The rows alone.
std::vector<ProgramRow> ParsePrograms(const TapImage& image, float usPerCycle, const Progress& progress = {});

// The image facts of the "Current File" frame.
struct ImageFacts {
  std::string machine;        // "Commodore 64", "VIC-20", "C16 and Plus/4"
  std::string version;        // "TAP V1"
  std::string video;          // "PAL", "NTSC"
  std::string size;           // FormatSize of the file's length, e.g. "1.50 KB"
  std::string totalDuration;  // FormatDuration of positions 20..last, e.g. "1m:23.46s"
};

ImageFacts DescribeImage(const TapImage& image, float usPerCycle, const std::string& decimalSeparator);
// The same with the playing time that the parse measured.
ImageFacts DescribeImage(const TapImage& image, const ParsedTape& parsed, const std::string& decimalSeparator);

// Cell texts of a row.
std::string OffsetText(int64_t offset);  // HexPad(offset, 6): "000014"
std::string DurationText(double microseconds, const std::string& decimalSeparator);
inline const char* ChecksumText(bool ok) { return ok ? "OK" : "ERROR"; }

// The leading hexadecimal digits of `text` (either case) as a 32-bit pattern:
// "FFFF" is 65535, "FFFFFFFF" is -1, "" is 0. Digits beyond eight shift the
// earlier ones out, as a 32-bit value does.
int32_t HexToLong(std::string_view text);

}  // namespace rw
