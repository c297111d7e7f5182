// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Small routines that several windows and commands share: size and hex texts,
// path questions and temporary files. Paths are the file system's bytes
// (mostly UTF-8, but any bytes but NUL) with "/" separators.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/partial_files.h"

namespace rw {

// "1023 Bytes", "1.50 KB", "1.00 MB", "1.00 GB" with the given separator.
std::string FormatSize(double size, const std::string& decimalSeparator);

// The pieces of a ";"-separated list, kept as they are (no trimming):
// "a;;b" gives "a", "", "b".
std::vector<std::string> SplitSemicolons(std::string_view list);

// Upper-case hex of `value`, at least one digit, padded with "0" to `width`
// on the left and never cut ("000014", "1000000").
std::string HexPad(uint64_t value, int width);
// Upper-case hex of `value` without padding ("0", "801").
std::string HexDigits(uint64_t value);

// `path` made absolute against the current folder, as bytes (nothing
// resolved, no link followed, "." and ".." kept); an absolute path as it is.
std::string AbsolutePath(const std::string& path);

// "/tapes/a.tap" -> "/tapes"; "/a.tap" -> "/"; "a.tap" -> "".
std::string ParentFolder(const std::string& path);
// "/tapes/a.tap" -> "a.tap"; a trailing "/" is ignored ("/tapes/" -> "tapes").
std::string FileNameOf(const std::string& path);

bool FileExists(const std::string& path);    // a regular file (or a link to one)
bool FolderExists(const std::string& path);  // a directory (or a link to one)

// An existing folder gives itself; an existing file the path up to and
// including its last "/"; anything else an empty text.
std::string FolderOfPath(const std::string& path);

// Temporary files for one piece of work, each a new empty file in the
// user's temporary folder whose name begins with the first three characters
// of the prefix it is made with. They are removed however the work ends (an
// early return, a failure, an exception), and registered as partial
// (core/partial_files.h) before each is created, so that an interrupted run
// removes them too.
class TemporaryFiles {
 public:
  TemporaryFiles() = default;
  TemporaryFiles(const TemporaryFiles&) = delete;
  TemporaryFiles& operator=(const TemporaryFiles&) = delete;
  ~TemporaryFiles();
  // A new empty temporary file, kept for removal; empty when none could be made.
  std::string Make(const std::string& prefix);

 private:
  std::vector<std::string> paths_;
  std::vector<std::unique_ptr<PartialFileGuard>> guards_;
};

}  // namespace rw
