// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Writing tape images: re-encoding bytes as pulses in place (to rename a
// program inside both copies of its header), writing a stretch of an image as
// a tape image file of its own, and choosing an output name that is free.

#include <cstdint>
#include <string>
#include <string_view>

#include "core/rom_decoder.h"
#include "core/safe_file.h"
#include "core/tap_image.h"

namespace rw {

// Stores one pulse at `pos`; in version 2 as two equal half-waves of half the
// value (halves to even). Returns the position after it. Positions outside
// the image are left alone.
int64_t WritePulse(TapImage& image, int64_t pos, int value);

// Stores `value` as the 20 pulses of one encoded byte, with the section's peak
// lengths: long+medium marker, eight bit pairs, odd-parity pair. Returns the
// position after the byte.
int64_t WriteByte(TapImage& image, int64_t pos, uint8_t value, const TapeSection& section);

// WriteByte for each name byte (one char per byte) in order.
int64_t WriteName(TapImage& image, int64_t pos, std::string_view nameBytes, const TapeSection& section);

// Gives the program the name `nameBytes` (padded with spaces or cut to 16
// bytes) in both header copies of `image` and rewrites each copy's checksum,
// classifying pulses with the bounds in force when the section was found.
// A copy that does not read back as a whole 202-byte block keeps its
// checksum byte: rewriting it would overwrite whatever byte decoding stopped
// at. Returns false when that happened to either copy.
[[nodiscard]] bool RenameSection(TapImage& image, TapeSection& section, std::string_view nameBytes);

// Writes positions first..last (inclusive) of `image` as a new tape image
// file: the image's signature, version, machine and video, then the bytes,
// under the first free name of `names` ("stem.tap", "stem(1).tap", ...
// without end; a name another writer takes at the same moment is passed
// over). Never replaces an existing file and never leaves a half-written
// one. `written` is the path it got, or on failure the name it tried, and
// `error` the system's description. The file is synced through
// `storageSync`; with `deferSync` the caller syncs once after many files
// (SyncFolderContents).
[[nodiscard]] bool WriteSectionFileUnderFreeName(StorageSync& storageSync, const TapImage& image,
                                                 const NumberedName& names, int64_t first, int64_t last,
                                                 std::string& written, std::string& error, bool deferSync = false);

}  // namespace rw
