// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Small tape images for the join tests: a header and a run of identical pulses.

#include <cstdint>
#include <string>
#include <vector>

#include "core/tap_image.h"

namespace rw::test {

// A whole file of `length` bytes (at least 20): header, then pulse bytes
// `pulse`, so its playing time is known.
inline std::vector<uint8_t> TapBytes(uint8_t machine, uint8_t video, uint8_t version, size_t length,
                                     uint8_t pulse = 0x30, const std::string& signature = "C64-TAPE-RAW") {
  const auto header = MakeTapHeader(signature, version, machine, video, static_cast<uint32_t>(length - 20));
  std::vector<uint8_t> bytes(header.begin(), header.end());
  bytes.resize(length, pulse);
  return bytes;
}

}  // namespace rw::test
