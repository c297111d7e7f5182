// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The real tapes with turbo files kept beside the project, the peer
// analyser's listing of each, and what the tests need to compare with it.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/tap_image.h"
#include "core/tape_coverage.h"
#include "core/turbo_reader.h"
#include "support/scratch_folder.h"
#include "support/tape_composer.h"

namespace rw::test {

// The folder of the real turbo tapes, or an empty text when it is not there.
inline std::string TurboTapesFolder() {
  const std::string folder = REELWRIGHT_TURBO_TAPES;
  return std::filesystem::is_directory(folder) ? folder : std::string();
}

// One file of a peer listing (expected/NAME.tsv).
struct PeerFile {
  std::string type;    // the peer's own file type, e.g. "TURBOTAPE-250 HEADER"
  std::string family;  // the family name this program shows
  int64_t start = 0;
  uint32_t loadAddress = 0;
  uint32_t endAddress = 0;
  std::string checksum;  // "PASS", "FAIL", "none"
  std::string sha256;
};

inline std::vector<PeerFile> ReadPeerListing(const std::string& tsvPath) {
  std::vector<PeerFile> rows;
  std::ifstream in(tsvPath);
  std::string line;
  std::getline(in, line);  // the column names
  while (std::getline(in, line)) {
    std::vector<std::string> cells;
    std::stringstream stream(line);
    for (std::string cell; std::getline(stream, cell, '\t');) cells.push_back(cell);
    if (cells.size() < 10) continue;
    const auto hex = [](const std::string& text) { return static_cast<uint32_t>(std::stoul(text, nullptr, 16)); };
    PeerFile row{cells[1], cells[2], hex(cells[3]), hex(cells[5]), hex(cells[6]), cells[7], cells[9]};
    // Turbotape 250's header block is part of the file its data block holds.
    if (row.type == "TURBOTAPE-250 DATA" && !rows.empty()) {
      row.start = rows.back().start;
      rows.back() = row;
    } else {
      rows.push_back(row);
    }
  }
  return rows;
}

// The lowercase hexadecimal SHA-256 of each file's bytes, as coreutils'
// sha256sum gives it (one run for all: it is slow to start).
inline std::vector<std::string> Sha256Hexes(const std::vector<std::vector<uint8_t>>& files) {
  if (files.empty()) return {};  // sha256sum would read its standard input
  const ScratchFolder folder;
  std::string command = "sha256sum --";
  for (size_t i = 0; i < files.size(); ++i) command += " " + folder.Write(std::to_string(i), files[i]);
  std::vector<std::string> digests;
  if (std::FILE* sums = ::popen(command.c_str(), "r")) {
    for (char line[256]; std::fgets(line, sizeof line, sums) != nullptr;)
      digests.push_back(std::string(line).substr(0, 64));
    ::pclose(sums);
  }
  digests.resize(files.size());
  return digests;
}

// The turbo files of `image` as the command line finds them: the ROM
// programs first, their stretches claimed (into `rom` when given), then the
// turbo reader.
inline std::vector<TurboFile> TurboFilesOf(const TapImage& image, std::vector<TapeStretch>* rom = nullptr) {
  const auto sections = FindAllSections(image);
  const auto data = ReadAllData(image, sections);
  auto claimed = RomStretches(image, sections, data);
  if (rom != nullptr) *rom = claimed;
  return FindTurboFiles(image, std::move(claimed), BootHeaders(image, sections));
}

}  // namespace rw::test
