// SPDX-License-Identifier: GPL-2.0-or-later
// Tape image files: loading and refusing them, rewriting names in place, and
// writing sections out as files of their own.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <optional>

#include "core/commodore_names.h"
#include "core/ports/messages.h"
#include "core/tap_image.h"
#include "core/tap_writer.h"
#include "support/scratch_folder.h"
#include "support/shown_messages.h"
#include "support/tape_composer.h"

namespace rw {
namespace {

using test::FindAllSections;
using test::TapeComposer;

std::vector<uint8_t> Header(const std::string& signature, uint8_t version, uint8_t machine, uint8_t video,
                            uint32_t length = 0) {
  const auto header = MakeTapHeader(signature, version, machine, video, length);
  return std::vector<uint8_t>(header.begin(), header.end());
}

TEST(LoadTapImage, AcceptsAnyPrefixAndIgnoresLengthField) {
  test::ScratchFolder folder;
  auto bytes = Header("C16-TAPE-RAW", 2, 2, 1, 999999);  // length field disagrees with the file
  bytes.insert(bytes.end(), {0x30, 0x31, 0x32});
  TapImage image;
  ASSERT_TRUE(LoadTapImage(folder.Write("c16.tap", bytes), image));
  EXPECT_EQ(
      std::tuple(image.signature, image.version, image.machine, image.video, image.dataLength, image.FileLength()),
      std::tuple("C16-TAPE-RAW", 2, 2, 1, 999999, 23));
  bytes.push_back(0);  // one extra element after the file's bytes
  EXPECT_EQ(image.bytes, bytes);
  EXPECT_EQ(image.At(-1) + image.At(24), 0);
  // From memory as well: the header alone is a blank image, one byte less is refused.
  TapImage blank;
  EXPECT_TRUE(LoadTapImageFromBytes("x", std::vector<uint8_t>(bytes.begin(), bytes.begin() + 20), blank));
  const Outcome cut = LoadTapImageFromBytes("x", std::vector<uint8_t>(bytes.begin(), bytes.begin() + 19), blank);
  EXPECT_EQ(std::pair(cut.kind(), cut.text()),
            std::pair(FailureKind::Refused, std::string("x Is not a valid TAP file")));
  EXPECT_EQ(blank.FileLength(), 20);
}

// Every refusal names the file and the first fault found, and leaves the
// image loaded before as it was. What the format refuses is Refused; what the
// system would not give is a SystemError. Shown, each is an "Error!" box.
TEST(LoadTapImage, RefusalsGiveExactMessagesAndKeepThePreviousImage) {
  test::ScratchFolder folder;
  const auto valid = Header("C64-TAPE-RAW", 1, 0, 0);  // the header alone: a blank tape
  int n = 0;
  const auto file = [&](const std::vector<uint8_t>& bytes) {
    return folder.Write(std::to_string(n++) + ".tap", bytes);
  };
  // A sparse file of 3 GB behind a valid header: refused from its size.
  const std::string huge = file(valid);
  std::filesystem::resize_file(huge, 3ULL << 30);
  // A pipe (which would block the open until someone writes to it) and a
  // device (which may never end) are refused before anything is read.
  const std::string pipe = folder.File("pipe.tap");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  const std::vector<uint8_t> shortHeader(valid.begin(), valid.end() - 1);
  const struct {
    std::string path, tail;
    bool loadError = false;  // "Error while loading file <path> : <tail>" rather than "<path> <tail>"
    int64_t limit = kMaxTapFileSize;
  } cases[] = {
      {file(Header("C64-TAPE-raw", 1, 0, 0)), "Is not a valid TAP file"},
      {file(Header("C64-TAPE-RAW", 3, 0, 0)), "Is in a TAP format (V3) that is not supported"},
      // Version before video before machine: only the first fault is named.
      {file(Header("C64-TAPE-RAW", 2, 7, 2)), "TAP file has a video format (2) that is not supported"},
      {file(Header("C64-TAPE-RAW", 0, 3, 0)), "TAP file is for a Commodore Machine (3) that is not supported"},
      {file(Header("C64-TAPE-RAW", 255, 9, 9)), "Is in a TAP format (V255) that is not supported"},
      // Shorter than the header: refused without reading past the end.
      {file(shortHeader), "Is not a valid TAP file"},
      {file({}), "Is not a valid TAP file"},
      {folder.File("nothing.tap"), "No such file or directory", true},
      {folder.path(), "Is a directory", true},
      {huge, "File too large", true},
      {pipe, "Not a regular file (a named pipe)", true},
      {"/dev/zero", "Not a regular file (a device)", true},
  };
  TapImage image;
  ASSERT_TRUE(LoadTapImage(file(valid), image));
  for (const auto& c : cases) {
    const Outcome outcome = LoadTapImage(c.path, image, c.limit);
    const std::string text =
        c.loadError ? "Error while loading file " + c.path + " : " + c.tail : c.path + " " + c.tail;
    EXPECT_EQ(std::pair(outcome.kind(), outcome.text()),
              std::pair(c.loadError ? FailureKind::SystemError : FailureKind::Refused, text));
  }
  RecordedMessages messages;
  ShowFailure(LoadTapImage(cases[0].path, image), messages);
  ShowFailure(Outcome::Success(), messages);
  EXPECT_EQ(test::Shown(messages), test::Lines{"Error! | critical | " + cases[0].path + " Is not a valid TAP file"});
  EXPECT_EQ(std::tuple(image.version, image.FileLength()), std::tuple(1, 20));
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, int64_t from, int64_t count) {
  return std::vector<uint8_t>(bytes.begin() + from, bytes.begin() + from + count);
}

TEST(TapWriter, Version2PulsesAreTwoEqualHalfWavesInsideTheirClass) {
  TapImage image = test::RawImage(2, std::vector<uint8_t>(8, 1));
  EXPECT_EQ(WritePulse(image, WritePulse(image, kTapHeaderSize, 49), 51), kTapHeaderSize + 4);
  EXPECT_EQ(Slice(image.bytes, kTapHeaderSize, 4), (std::vector<uint8_t>{24, 24, 26, 26}));
  // Nothing is written outside the file, not even into the trailing zero.
  WritePulse(image, image.FileLength() - 1, 90);
  WritePulse(image, -4, 90);
  EXPECT_EQ(Slice(image.bytes, image.FileLength() - 1, 2), (std::vector<uint8_t>{45, 0}));
}

// Positions each header copy may change: its 16 name bytes and its checksum.
bool InsideRenamedBytes(int64_t pos, const TapeSection& section, int bytePulses) {
  const auto inside = [&](int64_t from, int64_t count) { return pos >= from && pos < from + count * bytePulses; };
  return inside(section.headerPos + 14 * bytePulses, 16) || inside(section.headerChecksumPos, 1) ||
         (section.repeatPos != 0 &&
          (inside(section.repeatPos + 14 * bytePulses, 16) || inside(section.repeatChecksumPos, 1)));
}

TEST(TapWriter, RenameRewritesBothCopiesWithMatchingChecksums) {
  // Machine, version and pulse peaks (with jitter when none are given).
  const std::tuple<uint8_t, uint8_t, std::optional<test::PulsePeaks>> cases[] = {
      {0, 0, {}},
      {0, 1, {}},
      {0, 2, {}},
      {2, 1, {}},
      {0, 2, test::PulsePeaks{49, 67, 87}},  // odd peaks inside their classes
      // Version-2 short pulses at the lower edge of a VIC-20's class:
      // written as 16 + 16 = 32 they once fell out of it and the name was lost.
      {1, 2, test::PulsePeaks{33, 53, 77}}};
  for (const auto& [machine, version, peaks] : cases) {
    SCOPED_TRACE(testing::Message() << "machine " << int{machine} << " version " << int{version});
    TapeComposer composer(machine, version, 0, 5);
    if (peaks) composer.SetPeaks(*peaks);
    composer.SetJitter(peaks ? 0 : 2);
    const auto data = test::ProgramData(50, 1);
    composer.AddProgram({.name = "OLD NAME", .data = data, .leaderPulses = 1500, .wrongChecksum = true});
    composer.AddProgram({.name = "SECOND", .data = data, .leaderPulses = 1500, .silenceBefore = 20000});
    TapImage image = composer.Image();
    const TapImage before = image;
    auto sections = FindAllSections(image);
    ASSERT_EQ(sections.size(), 2u);

    EXPECT_TRUE(RenameSection(image, sections[0], TextToName("{RED}HI")));
    const int bytePulses = version == 2 ? 40 : 20;
    for (int64_t pos = 0; pos < image.FileLength(); ++pos) {
      const auto at = [&](int64_t p) { return image.bytes[static_cast<size_t>(p)]; };
      // In version 2 a pulse is written as two equal half-waves, unless that leaves its class.
      if (InsideRenamedBytes(pos, sections[0], bytePulses)) {
        const bool pairStart = (pos - sections[0].headerPos) % 2 == 0;
        if (version == 2 && machine != 1 && pairStart) {
          EXPECT_EQ(at(pos), at(pos + 1)) << pos;
        }
        continue;
      }
      ASSERT_EQ(at(pos), before.bytes[static_cast<size_t>(pos)]) << pos;
    }
    RomDecoder decoder(image);
    decoder.SetBounds(sections[0].bounds);
    TapeSection scratch;
    for (const int32_t blockPos : {sections[0].headerPos, sections[0].repeatPos}) {
      decoder.ReadBlock(blockPos, scratch, 1);
      const auto& block = decoder.blockBuffer();
      ASSERT_EQ(block.size(), 202u);
      EXPECT_EQ(std::string(block.begin() + 14, block.begin() + 30), "\x1CHI" + std::string(13, ' '));
      EXPECT_TRUE(decoder.BlockChecksumOk());
    }
    // A second rename starts from what the first one left, and the search
    // still finds both programs.
    EXPECT_TRUE(RenameSection(image, sections[0], "A MUCH LONGER NAME THAN SIXTEEN"));
    const auto again = FindAllSections(image);
    ASSERT_EQ(again.size(), 2u);
    EXPECT_EQ(std::tuple(again[0].rawName, again[0].headerChecksumOk, again[0].repeatChecksumOk),
              std::tuple("A MUCH LONGER NA", true, true));
  }
}

TEST(TapWriter, RenameKeepsTheChecksumOfADamagedCopy) {
  // Decoding the first copy stops at byte 100 (parity), taking byte 99 for its
  // checksum. Its true checksum byte is unknown; writing one where decoding
  // stopped would destroy byte 99.
  TapeComposer composer(0, 1);
  composer.AddProgram({.name = "DAMAGED", .leaderPulses = 1500, .wrongParityByte = 100});
  TapImage image = composer.Image();
  auto sections = FindAllSections(image);
  ASSERT_EQ(sections.size(), 1u);
  const auto byte99 = sections[0].headerPos + 99 * 20;
  EXPECT_EQ(std::tuple(sections[0].headerChecksumOk, sections[0].headerChecksumPos), std::tuple(false, byte99));
  const TapImage before = image;
  EXPECT_FALSE(RenameSection(image, sections[0], "NEW"));
  EXPECT_EQ(Slice(image.bytes, byte99, 20), Slice(before.bytes, byte99, 20));
  const auto renamed = FindAllSections(image);
  ASSERT_EQ(renamed.size(), 1u);
  EXPECT_EQ(std::tuple(renamed[0].name, renamed[0].repeatChecksumOk), std::tuple("NEW", true));
}

TEST(TapWriter, SectionFileHoldsTheHeaderAndTheBytes) {
  test::ScratchFolder folder;
  TapImage image = test::RawImage(1, std::vector<uint8_t>(12000, 1));
  for (size_t i = kTapHeaderSize; i + 1 < image.bytes.size(); ++i) image.bytes[i] = static_cast<uint8_t>(i * 7 + 1);
  image.signature = "C16-TAPE-RAW";
  image.machine = 2;
  image.video = 1;
  std::string error;
  const std::string path = folder.File("part.tap");
  ASSERT_TRUE(WriteSectionFile(test::noSync, image, path, 1000, 10999, false, error)) << error;
  const auto written = test::ReadFileBytes(path);
  EXPECT_EQ(std::string(written.begin(), written.begin() + 12), "C16-TAPE-RAW");
  EXPECT_EQ(Slice(written, 12, 8), (std::vector<uint8_t>{1, 2, 1, 0, 0x10, 0x27, 0x00, 0x00}));
  EXPECT_EQ(Slice(written, 20, static_cast<int64_t>(written.size()) - 20), Slice(image.bytes, 1000, 10000));

  EXPECT_FALSE(WriteSectionFile(test::noSync, image, folder.File("missing/part.tap"), 20, 29, false, error));
  EXPECT_EQ(error, "No such file or directory");
  EXPECT_FALSE(WriteSectionFile(test::noSync, image, folder.File("outside.tap"), 20, image.FileLength(), false, error));
  EXPECT_FALSE(WriteSectionFile(test::noSync, image, folder.File("outside.tap"), -1, 29, false, error));
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"part.tap"});
}

TEST(TapWriter, UniqueFileNameFindsTheFirstFreeNumber) {
  test::ScratchFolder folder;
  EXPECT_EQ(UniqueFileName("game", folder.path(), ".tap"), "game");
  folder.Write("game.tap", std::string("x"));
  EXPECT_EQ(UniqueFileName("game", folder.path(), ".tap"), "game(1)");
  folder.Write("game(1).tap", std::string("x"));
  EXPECT_EQ(UniqueFileName("game", folder.path() + "/", ".tap"), "game(2)");
  EXPECT_EQ(UniqueFileName("Game", folder.path(), ".tap"), "Game");  // names compare as the file system does
  for (int n = 2; n <= 1000; ++n) folder.Write("game(" + std::to_string(n) + ").tap", std::string("x"));
  EXPECT_EQ(UniqueFileName("game", folder.path(), ".tap"), "");
}

}  // namespace
}  // namespace rw
