// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A disk image made from a tape: a new D64 holding programs read from the tape
// as PRG files, in tape order, under their tape names. VICE's c1541 makes the
// disk and writes the files; the names are then set byte for byte in the
// directory, because c1541 converts the names it is given between ASCII and
// PETSCII and cannot take every byte a tape name may hold (commas, control
// codes, shifted letters).

#include <cstdint>
#include <string>
#include <vector>

#include "core/outcome.h"
#include "core/ports/messages.h"
#include "core/ports/tool_runner.h"
#include "split/program_list.h"

namespace rw {

struct DiskProgram {
  // The directory name: the tape name's bytes, PETSCII as on tape, without
  // the trailing padding; at most 16 bytes are used.
  std::string nameBytes;
  std::vector<uint8_t> file;  // the PRG file: load address, low byte first, then the data
};

// Builds `diskPath` holding `programs`. The disk is made and filled under a
// temporary name and takes its final name only when complete, so a failure
// (a full disk, c1541 missing or failing) leaves an existing disk image of
// that name as it was. An existing disk image is replaced only with
// `replace`. Reports success through `messages` ("INFO"); a failure comes
// back titled "ERROR!": Refused when the disk image exists and `replace` was
// not given, or a program is not whole (nothing written), SystemError for the
// rest (a missing c1541 among them).
Outcome BuildProgramDisk(const std::string& diskPath, const std::vector<DiskProgram>& programs, bool replace,
                         ToolRunner& tools, Messages& messages);

// "Copy programs to a disk image": the programs of `rows` (1-based) of
// `list`, in tape order, onto a new disk image as above. Refused as a whole,
// naming every such row, when a program's data is not whole: a damaged
// program never goes onto a disk as if it were good.
Outcome CopyProgramsToDisk(const ProgramList& list, std::vector<int> rows, const std::string& diskPath, bool replace,
                           ToolRunner& tools, Messages& messages);

// The disk's directory: the name bytes (padding 0xA0 removed) of every file,
// in directory order. False when `disk` is not a D64 image with a readable
// directory.
bool ReadD64Directory(const std::vector<uint8_t>& disk, std::vector<std::string>& names);

}  // namespace rw
