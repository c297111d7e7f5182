// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Gathering the tape images of a collection: the files and folders a user
// names, the folders walked recursively for ".tap" files (any case).
// Standard library only.

#include <string>
#include <vector>

namespace rw::cli {

struct TapeTarget {
  std::string path;
  // Set when the path cannot be scanned at all (a folder that cannot be
  // listed, something that is not a file): the reason, naming the path.
  std::string error;
  // The error is a folder's (it could not be read), not a file's.
  bool folder = false;
};

// Every tape image under `paths`, sorted by path, each file once. A named
// file is taken whatever its extension; a named folder (or a link to one) is
// walked. Inside the walk a symbolic link is followed only when it leads to a
// place inside one of the named folders, and every folder is walked once, so
// a link loop ends and a link out of the collection is not taken. A link that
// leads nowhere keeps its place, so that the scan reports why it cannot be read.
// Nothing is passed over in silence: an entry whose path is longer than the
// system allows is reported with the system's reason.
std::vector<TapeTarget> FindTapeFiles(const std::vector<std::string>& paths);

}  // namespace rw::cli
