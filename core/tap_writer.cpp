// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/tap_writer.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#include "core/pulse_timing.h"
#include "core/rom_format.h"
#include "core/safe_file.h"
#include "core/utilities.h"

namespace rw {
namespace {

constexpr size_t kNameLength = rom_block::kNameLength;
constexpr int kNameOffset = rom_block::kNameIndex;

void Store(TapImage& image, int64_t pos, int value) {
  // The trailing zero element is not part of the file and stays 0.
  if (pos >= 0 && pos < image.FileLength()) image.bytes[static_cast<size_t>(pos)] = static_cast<uint8_t>(value);
}

// A pulse of the class [lo, hi]. In version 2 the two equal half-waves of
// an odd value add up to one less when the half rounds down; at the lower
// edge of a class (a short peak of 33 on a VIC-20) that pulse would leave its
// class and the byte would no longer read. Such a pulse is written as two
// half-waves that add up to the value exactly.
int64_t WriteClassPulse(TapImage& image, int64_t pos, int value, int lo, int hi) {
  const bool inClass = value >= lo && value <= hi;
  const int equalHalves = 2 * static_cast<int>(RoundHalfEven(value / 2.0));
  if (image.version != 2 || !inClass || (equalHalves >= lo && equalHalves <= hi)) {
    return WritePulse(image, pos, value);
  }
  Store(image, pos, value / 2);
  Store(image, pos + 1, value - value / 2);
  return pos + 2;
}

}  // namespace

int64_t WritePulse(TapImage& image, int64_t pos, int value) {
  value = value < 0 ? 0 : value > 255 ? 255 : value;
  if (image.version != 2) {
    Store(image, pos, value);
    return pos + 1;
  }
  const int half = static_cast<int>(RoundHalfEven(value / 2.0));
  Store(image, pos, half);
  Store(image, pos + 1, half);
  return pos + 2;
}

int64_t WriteByte(TapImage& image, int64_t pos, uint8_t value, const TapeSection& section) {
  const auto& b = section.bounds;
  const auto shortPulse = [&] { pos = WriteClassPulse(image, pos, section.peaks[0], b[0], b[1]); };
  const auto mediumPulse = [&] { pos = WriteClassPulse(image, pos, section.peaks[1], b[2], b[3]); };
  const auto pair = [&](int bit) {
    if (bit != 0) {
      mediumPulse();
      shortPulse();
    } else {
      shortPulse();
      mediumPulse();
    }
  };
  pos = WriteClassPulse(image, pos, section.peaks[2], b[4], b[5]);
  mediumPulse();
  int parity = 1;
  for (int k = 0; k < 8; ++k) {
    const int bit = value >> k & 1;
    pair(bit);
    parity ^= bit;
  }
  pair(parity);
  return pos;
}

int64_t WriteName(TapImage& image, int64_t pos, std::string_view nameBytes, const TapeSection& section) {
  for (const char c : nameBytes) pos = WriteByte(image, pos, static_cast<uint8_t>(c), section);
  return pos;
}

bool RenameSection(TapImage& image, TapeSection& section, std::string_view nameBytes) {
  std::string name(nameBytes.substr(0, kNameLength));
  name.resize(kNameLength, ' ');
  RomDecoder decoder(image);
  decoder.SetBounds(section.bounds);
  bool whole = true;
  const auto rewrite = [&](int64_t blockPos, int copy) {
    WriteName(image, blockPos + kNameOffset * static_cast<int64_t>(decoder.bytePulses()), name, section);
    decoder.ReadBlock(blockPos, section, copy);
    const auto& block = decoder.blockBuffer();
    if (block.size() != static_cast<size_t>(RomDecoder::kBlockSize)) {
      whole = false;
      return;
    }
    uint8_t checksum = 0;
    for (size_t i = 9; i + 1 < block.size(); ++i) checksum ^= block[i];
    WriteByte(image, copy == 1 ? section.headerChecksumPos : section.repeatChecksumPos, checksum, section);
  };
  rewrite(section.headerPos, 1);
  if (section.repeatPos != 0) rewrite(section.repeatPos, 2);
  return whole;
}

namespace {

bool SectionInImage(const TapImage& image, int64_t first, int64_t last, std::string& error) {
  if (first < 0 || last > static_cast<int64_t>(image.FileLength()) - 1 || last < first - 1) {
    error = std::strerror(EINVAL);
    return false;
  }
  return true;
}

bool WriteSection(const TapImage& image, SafeFileWriter& writer, int64_t first, int64_t last, std::string& error) {
  const auto count = static_cast<uint32_t>(last - first + 1);
  const auto header = MakeTapHeader(image.signature, image.version, image.machine, image.video, count);
  return writer.Write(header.data(), header.size(), error) && writer.Write(image.bytes.data() + first, count, error);
}

}  // namespace

bool WriteSectionFileUnderFreeName(StorageSync& storageSync, const TapImage& image, const NumberedName& names,
                                   int64_t first, int64_t last, std::string& written, std::string& error,
                                   bool deferSync) {
  written = names.Candidate(0);
  if (!SectionInImage(image, first, last, error)) return false;
  SafeFileWriter writer(storageSync);
  if (deferSync) writer.DeferSync();
  return writer.Open(written, error) && WriteSection(image, writer, first, last, error) &&
         writer.CommitUnderFreeName(names, written, error);
}

}  // namespace rw
