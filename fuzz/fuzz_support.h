// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What every fuzz target shares: a failed property stops the run loudly (the
// fuzzer keeps the input), and raw bytes become a tape image either as the
// loader sees them or with the header mended so that the decoders always run.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/tap_image.h"

#define FUZZ_CHECK(condition)                                                               \
  do {                                                                                      \
    if (!(condition)) {                                                                     \
      std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                         \
    }                                                                                       \
  } while (0)

namespace rw::fuzz {

// `data` as a tape file whose header passes the loader's checks: the
// signature is replaced, and version, machine and video are folded into
// their ranges. Shorter input is padded to a whole header.
inline std::vector<uint8_t> MendedTapFile(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);
  if (bytes.size() < static_cast<size_t>(kTapHeaderSize)) bytes.resize(kTapHeaderSize, 0);
  static const char kSignature[] = "C64-TAPE-RAW";
  for (int i = 0; i < 12; ++i) bytes[static_cast<size_t>(i)] = static_cast<uint8_t>(kSignature[i]);
  bytes[12] %= 3;
  bytes[13] %= 3;
  bytes[14] %= 2;
  return bytes;
}

}  // namespace rw::fuzz
