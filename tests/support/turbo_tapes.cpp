// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/turbo_tapes.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/tape_coverage.h"
#include "support/scratch_folder.h"
#include "support/tape_composer.h"

namespace rw::test {

std::string TurboTapesFolder() {
  const std::string folder = REELWRIGHT_TURBO_TAPES;
  return std::filesystem::is_directory(folder) ? folder : std::string();
}

std::vector<PeerFile> ReadPeerListing(const std::string& tsvPath) {
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
    rows.push_back(
        {cells[1], cells[2], hex(cells[3]), hex(cells[4]), hex(cells[5]), hex(cells[6]), cells[7], cells[9]});
  }
  return rows;
}

std::vector<std::string> Sha256Hexes(const std::vector<std::vector<uint8_t>>& files) {
  if (files.empty()) return {};  // sha256sum would read its standard input
  const ScratchFolder folder;
  std::string command = "cd " + folder.path() + " && sha256sum --";
  for (size_t i = 0; i < files.size(); ++i) command += " " + std::to_string(i);
  for (size_t i = 0; i < files.size(); ++i) folder.Write(std::to_string(i), files[i]);
  std::vector<std::string> digests;
  if (std::FILE* sums = ::popen(command.c_str(), "r")) {
    for (char line[256]; std::fgets(line, sizeof line, sums) != nullptr;)
      digests.push_back(std::string(line).substr(0, 64));
    ::pclose(sums);
  }
  digests.resize(files.size());
  return digests;
}

std::vector<TurboFile> TurboFilesOf(const TapImage& image, std::vector<TapeStretch>* rom) {
  const auto sections = FindAllSections(image);
  const auto data = ReadAllData(image, sections);
  auto claimed = RomStretches(image, sections, data);
  if (rom != nullptr) *rom = claimed;
  return FindTurboFiles(image, std::move(claimed), BootHeaders(image, sections));
}

}  // namespace rw::test
