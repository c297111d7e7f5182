// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/turbo_tapes.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/data_block.h"
#include "core/tape_coverage.h"
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

std::string Sha256Hex(const std::vector<uint8_t>& bytes) {
  static constexpr uint32_t k[64] = {
      0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
      0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
      0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
      0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
      0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
      0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
      0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
      0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};
  std::array<uint32_t, 8> h{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                            0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  std::vector<uint8_t> message = bytes;
  const uint64_t bits = static_cast<uint64_t>(bytes.size()) * 8;
  message.push_back(0x80);
  while (message.size() % 64 != 56) message.push_back(0);
  for (int i = 7; i >= 0; --i) message.push_back(static_cast<uint8_t>(bits >> (8 * i)));
  const auto rotr = [](uint32_t x, int n) { return (x >> n) | (x << (32 - n)); };
  for (size_t chunk = 0; chunk < message.size(); chunk += 64) {
    uint32_t w[64];
    for (int i = 0; i < 16; ++i) {
      const uint8_t* p = &message[chunk + 4 * static_cast<size_t>(i)];
      w[i] = static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 |
             p[3];
    }
    for (int i = 16; i < 64; ++i) {
      const uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
      const uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
      w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    auto v = h;
    for (int i = 0; i < 64; ++i) {
      const uint32_t s1 = rotr(v[4], 6) ^ rotr(v[4], 11) ^ rotr(v[4], 25);
      const uint32_t ch = (v[4] & v[5]) ^ (~v[4] & v[6]);
      const uint32_t t1 = v[7] + s1 + ch + k[i] + w[i];
      const uint32_t s0 = rotr(v[0], 2) ^ rotr(v[0], 13) ^ rotr(v[0], 22);
      const uint32_t maj = (v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]);
      const uint32_t t2 = s0 + maj;
      v = {t1 + t2, v[0], v[1], v[2], v[3] + t1, v[4], v[5], v[6]};
    }
    for (size_t i = 0; i < 8; ++i) h[i] += v[i];
  }
  static const char* digits = "0123456789abcdef";
  std::string text;
  for (uint32_t word : h) {
    for (int shift = 28; shift >= 0; shift -= 4) text += digits[(word >> shift) & 0xF];
  }
  return text;
}

std::vector<TurboFile> TurboFilesOf(const TapImage& image, std::vector<TapeStretch>* rom) {
  const auto sections = FindAllSections(image);
  const int step = image.version == 2 ? 2 : 1;
  std::vector<DataResult> data;
  DataBlockReader reader(image);
  for (size_t i = 0; i < sections.size(); ++i) {
    const int64_t limit = i + 1 < sections.size() ? sections[i + 1].start - step : image.FileLength() - 1;
    data.push_back(reader.Read(sections[i], limit));
  }
  auto claimed = RomStretches(image, sections, data);
  if (rom != nullptr) *rom = claimed;
  return FindTurboFiles(image, std::move(claimed), BootHeaders(image, sections));
}

}  // namespace rw::test
