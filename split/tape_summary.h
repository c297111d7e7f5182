// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What a catalogue of a tape collection says about one tape image: its facts,
// its programs and which of them are damaged, or why the file is not a usable
// tape image. One summary is made from one image, which is loaded, parsed and
// released inside SummariseTape, so that summarising many tapes at once holds
// no more than one image per caller.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/data_block.h"
#include "core/tape_coverage.h"

namespace rw {

struct TapImage;
struct ProgramRow;

// Whether SummariseTape decodes the programs' data blocks. Were it not to,
// the data columns of a catalogue would be left out (null in JSON), so that
// "no damaged data" is never claimed for data nobody read.
inline constexpr bool kDataResultsAvailable = true;

// One program as a catalogue lists it, with the cell texts of the program list.
struct ProgramSummary {
  int row = 0;            // 1-based, as `list` numbers it
  std::string name;       // the "Program" cell (UTF-8)
  std::string rawName;    // the header name bytes as UTF-8 (each byte one Latin-1 character)
  std::string start;      // "Start" cell, hexadecimal
  std::string end;        // "End" cell
  std::string duration;   // "1m:23.46s"
  bool headerOk = false;  // checksum of the first header copy
  bool repeatOk = false;  // checksum of the repeated copy; false when it is missing
  // Set only when data results are available: the data block is damaged.
  std::optional<bool> dataDamaged;

  bool HeaderError() const { return !headerOk || !repeatOk; }
  bool Damaged() const { return HeaderError() || dataDamaged.value_or(false); }
};

struct TapeSummary {
  std::string path;
  // The loader's message when the file is not a usable tape image (it names
  // the file); empty when the tape was read.
  std::string refusal;
  // The path is a folder that could not be read (the refusal says why): no
  // tape at all, and counted apart from the tapes.
  bool folder = false;
  std::string machine;  // "Commodore 64", "VIC-20", "C16 and Plus/4"
  int version = 0;
  std::string video;     // "PAL", "NTSC"
  std::string size;      // as the "Current File" frame shows it
  std::string duration;  // total playing time
  std::vector<ProgramSummary> programs;
  // The turbo files (data saved by a faster loader): how many, and each one
  // whose checksum fails or whose bytes did not read, as "N \"LABEL\"" (N its
  // place in tape order).
  int turboFiles = 0;
  std::vector<std::string> damagedTurboFiles;
  TapeCoverage coverage;

  bool Refused() const { return !refusal.empty(); }
  int HeaderErrors() const;
  // Programs with damaged data; nothing while data results are not available.
  std::optional<int> DataDamaged() const;
  int DamagedPrograms() const;
};

// The programs of a parsed image as a catalogue lists them. The one place
// that turns decoder results into the catalogue's per-program facts. The
// data read for each program goes to `data` when given.
std::vector<ProgramSummary> SummarisePrograms(const TapImage& image, const std::vector<ProgramRow>& rows,
                                              const std::string& decimalSeparator,
                                              std::vector<DataResult>* data = nullptr);

// Loads, checks and parses the tape image at `path`. A refused or unreadable
// file gives a summary whose `refusal` holds the reason; nothing is shown or
// written, and nothing thrown.
TapeSummary SummariseTape(const std::string& path, const std::string& decimalSeparator);

}  // namespace rw
