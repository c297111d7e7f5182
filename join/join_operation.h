// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Writing a compilation as one tape image: a fresh header with the
// compilation's version, machine and video standard, then the pulse bytes of
// each listed image (its own header dropped) and the long-pulse records of
// each pause, in list order.

#include <cstdint>
#include <functional>
#include <string>

#include "core/outcome.h"

namespace rw {

class Compilation;

// Writes `compilation` to `outputPath`. The image is built in a temporary
// file beside the output and takes its name only when complete, so a failed
// join leaves no partial file and an existing output as it was; an existing
// output is replaced only when `replaceExisting` is true, and only when it is
// a regular file: a named pipe, a device or a folder at the output's name (or
// at the end of a link there) is refused. Inputs are copied
// in chunks, never held whole. A failure says "Error while saving file " +
// path + " : " + reason (title "Error!").
// `progress`, when given, hears the pulse bytes written so far and their
// total after every row and every chunk of a large image.
using JoinProgress = std::function<void(uint64_t written, uint64_t total)>;
// With `allowStream`, an output that is a named pipe or a character device
// (/dev/stdout, say) is written into as the image is made, without a
// temporary file: the user asked for a stream.
Outcome JoinToTapFile(const Compilation& compilation, const std::string& outputPath, bool replaceExisting,
                      const JoinProgress& progress = {}, bool allowStream = false);

}  // namespace rw
