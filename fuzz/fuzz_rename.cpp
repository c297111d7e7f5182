// SPDX-License-Identifier: GPL-2.0-or-later
// Renaming and decoding again. The first 16 input bytes are the new name,
// the rest is a tape file (header mended). For every program found, a
// renamed copy of the image must
//   - change no byte outside the two name fields and the two checksum bytes;
//   - report both copies whole when they were whole before;
//   - then read back with the bounds it was found with: that name in the
//     header, both blocks whole and both checksums right.

#include <algorithm>
#include <string>

#include "core/pulse_timing.h"
#include "core/rom_decoder.h"
#include "core/tap_writer.h"
#include "fuzz/fuzz_support.h"
#include "split/section_parse.h"

namespace {

constexpr size_t kNameLength = 16;
constexpr int kNameOffset = 14;

std::string TrimSpaces(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Marks the positions of `count` encoded bytes from byte `index` of the block at `blockPos`.
void MarkBytes(std::vector<bool>& mayChange, int64_t blockPos, int index, int count, int bytePulses) {
  const int64_t first = blockPos + static_cast<int64_t>(index) * bytePulses;
  for (int64_t p = first; p < first + static_cast<int64_t>(count) * bytePulses; ++p) {
    if (p >= 0 && p < static_cast<int64_t>(mayChange.size())) mayChange[static_cast<size_t>(p)] = true;
  }
}

void CheckCopy(rw::RomDecoder& decoder, const rw::TapeSection& found, int64_t blockPos, int copy,
               const std::string& name) {
  rw::TapeSection probe = found;
  decoder.ReadBlock(blockPos, probe, copy);
  FUZZ_CHECK(decoder.blockBuffer().size() == static_cast<size_t>(rw::RomDecoder::kBlockSize));
  FUZZ_CHECK(decoder.BlockChecksumOk());
  const auto& block = decoder.blockBuffer();
  for (size_t i = 0; i < kNameLength; ++i) {
    FUZZ_CHECK(block[kNameOffset + i] == static_cast<uint8_t>(name[i]));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kNameLength) return 0;
  const std::string name(reinterpret_cast<const char*>(data), kNameLength);
  rw::TapImage original;
  FUZZ_CHECK(
      rw::LoadTapImageFromBytes("fuzz.tap", rw::fuzz::MendedTapFile(data + kNameLength, size - kNameLength), original)
          .ok());
  const auto rows = rw::ParsePrograms(original, rw::SelectClock(original.machine, original.video));
  for (const auto& row : rows) {
    // Copies that read as whole blocks before the rename must do so after it.
    bool wholeBefore = true;
    {
      rw::RomDecoder before(original);
      before.SetBounds(row.section.bounds);
      rw::TapeSection probe = row.section;
      before.ReadBlock(row.section.headerPos, probe, 1);
      wholeBefore = before.blockBuffer().size() == static_cast<size_t>(rw::RomDecoder::kBlockSize);
      if (row.section.repeatPos != 0) {
        before.ReadBlock(row.section.repeatPos, probe, 2);
        wholeBefore = wholeBefore && before.blockBuffer().size() == static_cast<size_t>(rw::RomDecoder::kBlockSize);
      }
    }
    rw::TapImage image = original;
    rw::TapeSection section = row.section;
    const bool whole = rw::RenameSection(image, section, name);
    if (wholeBefore) FUZZ_CHECK(whole);

    rw::RomDecoder decoder(image);
    const int bytePulses = decoder.bytePulses();
    std::vector<bool> mayChange(image.bytes.size(), false);
    MarkBytes(mayChange, row.section.headerPos, kNameOffset, kNameLength, bytePulses);
    MarkBytes(mayChange, section.headerChecksumPos, 0, 1, bytePulses);
    if (row.section.repeatPos != 0) {
      MarkBytes(mayChange, row.section.repeatPos, kNameOffset, kNameLength, bytePulses);
      MarkBytes(mayChange, section.repeatChecksumPos, 0, 1, bytePulses);
    }
    FUZZ_CHECK(image.bytes.size() == original.bytes.size());
    for (size_t p = 0; p < image.bytes.size(); ++p) {
      if (!mayChange[p]) FUZZ_CHECK(image.bytes[p] == original.bytes[p]);
    }
    if (!whole) continue;

    decoder.SetBounds(row.section.bounds);
    const auto readName = decoder.ReadHeaderName(row.section.headerPos);
    FUZZ_CHECK(readName.has_value());
    FUZZ_CHECK(*readName == TrimSpaces(name));
    CheckCopy(decoder, row.section, row.section.headerPos, 1, name);
    if (row.section.repeatPos != 0) CheckCopy(decoder, row.section, row.section.repeatPos, 2, name);
  }
  return 0;
}
