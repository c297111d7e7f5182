// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The index file (".idx") that tape-emulator hardware reads to jump to a
// program inside an unsplit image: one line per group, CRLF after every line.
//
//   Marquise:     "01-GAME LOADER,000014,00A3FF"  (number, name, start, end;
//                 upper case, numbered "00" then 100, 101...)
//   Ultimate 64:  "0x14 Game Loader"              (start without leading
//                 zeros, name with ";" removed, case kept; no end)

#include <string>
#include <vector>

#include "core/outcome.h"

namespace rw {

class Messages;

enum class IndexFormat { Marquise, Ultimate64 };

// One group as the list shows it: the first row's "Program" and Start cells
// and the ticked row's End cell.
struct IndexEntry {
  std::string program;  // UTF-8
  std::string start;    // hex cell, e.g. "000014"
  std::string end;      // hex cell
};

// outputDir + "/" + the loaded file's name in lower case, a final ".tap"
// dropped, + ".idx".
std::string IndexFilePath(const std::string& outputDir, const std::string& loadedPath);

// The file's content, encoded in Latin-1 as the devices expect.
std::string IndexFileText(const std::vector<IndexEntry>& entries, IndexFormat format);

// Writes the index file, replacing one of the same name, and reports success
// through `messages` ("INFO"); a failure ("ERROR!", with the system's
// description) comes back. A failed write leaves any earlier file of that
// name as it was.
Outcome WriteIndexFile(const std::string& outputDir, const std::string& loadedPath,
                       const std::vector<IndexEntry>& entries, IndexFormat format, Messages& messages);

}  // namespace rw
