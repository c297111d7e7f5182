// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Opening a file for reading so that it never blocks and reads nothing but a
// regular file. A named pipe (FIFO) would block the open until someone
// writes to it, and again every read; a device may never end (/dev/zero) or
// act when opened. Neither is a tape image, a settings file or an input to
// join, so both are refused with the reason, before anything is read:
//
// the path is looked at first (stat, which does not open it), then opened
// without blocking, and what was opened is checked again (fstat), since
// another program may have put a pipe in the file's place in between.
// Standard library and POSIX only.

#include <cstdint>
#include <string>

namespace rw {

// The reason a file of mode `mode` (st_mode) is refused for reading, such as
// "Not a regular file (a named pipe)"; empty for a regular file.
std::string NotRegularFileReason(unsigned mode);

// Opens `path` (following links) for reading; the descriptor is blocking
// again once it is known to be a regular file. -1 with `error` set (the
// system's reason, or NotRegularFileReason) when it cannot be opened or is
// not a regular file. `size`, when given, receives the opened file's size.
int OpenRegularFileForReading(const std::string& path, std::string& error, int64_t* size = nullptr);

}  // namespace rw
