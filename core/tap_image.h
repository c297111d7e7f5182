// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A raw Commodore tape image (".tap"): a 20-byte header followed by pulse bytes.
//
//   offset size  field
//   0      12    signature, "C64-TAPE-RAW" (the first three characters vary)
//   12     1     version 0, 1 or 2
//   13     1     machine 0 = C64, 1 = VIC-20, 2 = C16/Plus-4
//   14     1     video 0 = PAL, 1 = NTSC
//   15     1     reserved
//   16     4     dataLength, little-endian (not trusted: the pulses run to EOF)
//   20     ...   pulse bytes

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/outcome.h"

namespace rw {

inline constexpr int32_t kTapHeaderSize = 20;

struct TapImage {
  std::string signature;  // 12 characters as read
  uint8_t version = 0;
  uint8_t machine = 0;
  uint8_t video = 0;
  uint8_t reserved = 0;
  uint32_t dataLength = 0;
  // The whole file indexed by file offset, plus one trailing 0 so that
  // bytes[FileLength()] can be read by decoders that look one step ahead.
  std::vector<uint8_t> bytes;

  int32_t FileLength() const { return bytes.empty() ? 0 : static_cast<int32_t>(bytes.size() - 1); }
  // Reads outside the array give 0, which no decoder treats as a pulse.
  uint8_t At(int64_t pos) const {
    return pos >= 0 && pos < static_cast<int64_t>(bytes.size()) ? bytes[static_cast<size_t>(pos)] : 0;
  }
};

// The largest file an image can be: positions are signed 32-bit, and
// `bytes` holds one element more than the file.
inline constexpr int64_t kMaxTapFileSize = INT32_MAX - 1;

// Reads and validates the file at `path` into `image`. On failure `image` is
// left as it was and the outcome says why, in the words the user reads
// (a file that is no tape image is Refused). Only a regular file is read: a
// named pipe or a device is refused without being opened, and without
// blocking should one be put in the file's place (core/file_open.h). The
// 20-byte header is checked before anything else is read; a file larger than
// `sizeLimit` is refused from its size, so a refused file costs little.
Outcome LoadTapImage(const std::string& path, TapImage& image, int64_t sizeLimit = kMaxTapFileSize);

// The same checks on bytes already in memory; `path` is used only in the text.
Outcome LoadTapImageFromBytes(const std::string& path, std::vector<uint8_t> fileBytes, TapImage& image);

}  // namespace rw

namespace rw {

// The little-endian form of an unsigned 32-bit value, as in the header's
// length field.
std::array<uint8_t, 4> PutLength(uint32_t value);

// The 20-byte header of a written image: the signature as loaded, version,
// machine, video, reserved 0 and the true count of pulse bytes.
std::array<uint8_t, kTapHeaderSize> MakeTapHeader(const std::string& signature, uint8_t version, uint8_t machine,
                                                  uint8_t video, uint32_t pulseBytes);

}  // namespace rw
