// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The real tapes with turbo files kept beside the project, the peer
// analyser's listing of each, and what the tests need to compare with it.

#include <cstdint>
#include <string>
#include <vector>

#include "core/tap_image.h"
#include "core/turbo_reader.h"

namespace rw::test {

// The folder of the real turbo tapes, or an empty text when it is not there.
std::string TurboTapesFolder();

// One row of a peer listing (expected/NAME.tsv).
struct PeerFile {
  std::string type;    // the peer's own file type, e.g. "TURBOTAPE-250 HEADER"
  std::string family;  // the family name this program shows
  int64_t start = 0;
  int64_t end = 0;
  uint32_t loadAddress = 0;
  uint32_t endAddress = 0;
  std::string checksum;  // "PASS", "FAIL", "none"
  std::string sha256;
};

std::vector<PeerFile> ReadPeerListing(const std::string& tsvPath);

// The lowercase hexadecimal SHA-256 of each file's bytes, as coreutils'
// sha256sum gives it (one run for all: it is slow to start).
std::vector<std::string> Sha256Hexes(const std::vector<std::vector<uint8_t>>& files);

// The turbo files of `image` as the command line finds them: the ROM
// programs first, their stretches claimed (into `rom` when given), then the
// turbo reader.
std::vector<TurboFile> TurboFilesOf(const TapImage& image, std::vector<TapeStretch>* rom = nullptr);

}  // namespace rw::test
