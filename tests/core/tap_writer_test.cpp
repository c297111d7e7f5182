#include "core/tap_writer.h"

#include <gtest/gtest.h>

#include "core/commodore_names.h"
#include "support/scratch_folder.h"
#include "support/tape_composer.h"

namespace rw {
namespace {

using test::ComposedProgram;
using test::FindAllSections;
using test::TapeComposer;

TapImage BlankImage(uint8_t version, size_t pulseBytes, uint8_t machine = 0) {
  TapeComposer composer(machine, version);
  composer.AddRaw(std::vector<uint8_t>(pulseBytes, 1));
  return composer.Image();
}

TEST(TapWriter, EveryByteWrittenDecodesToItsValue) {
  for (const uint8_t version : {1, 2}) {
    for (const uint8_t machine : {0, 1, 2}) {
      const int bytePulses = version == 2 ? 40 : 20;
      TapImage image = BlankImage(version, 256 * static_cast<size_t>(bytePulses) + 2, machine);
      TapeSection section;
      const auto peaks = test::DefaultPeaks(machine);
      section.peaks = {static_cast<uint8_t>(peaks.shortPulse), static_cast<uint8_t>(peaks.mediumPulse),
                       static_cast<uint8_t>(peaks.longPulse)};
      int64_t pos = kTapHeaderSize;
      for (int value = 0; value < 256; ++value) pos = WriteByte(image, pos, static_cast<uint8_t>(value), section);
      EXPECT_EQ(pos, kTapHeaderSize + 256 * bytePulses);
      const RomDecoder decoder(image);
      for (int value = 0; value < 256; ++value) {
        ASSERT_EQ(decoder.DecodeByte(kTapHeaderSize + value * bytePulses), value)
            << "version " << int{version} << " machine " << int{machine};
      }
    }
  }
}

TEST(TapWriter, Version2PulsesAreTwoEqualHalfWaves) {
  TapImage image = BlankImage(2, 8);
  int64_t pos = WritePulse(image, kTapHeaderSize, 49);
  pos = WritePulse(image, pos, 51);
  EXPECT_EQ(pos, kTapHeaderSize + 4);
  EXPECT_EQ(std::vector<uint8_t>(image.bytes.begin() + kTapHeaderSize, image.bytes.begin() + kTapHeaderSize + 4),
            (std::vector<uint8_t>{24, 24, 26, 26}));
  // Nothing is written outside the file, not even into the trailing zero.
  WritePulse(image, image.FileLength() - 1, 90);
  WritePulse(image, -4, 90);
  EXPECT_EQ(image.bytes.back(), 0);
  EXPECT_EQ(image.bytes[static_cast<size_t>(image.FileLength() - 1)], 45);
}

// Positions each header copy may change: its 16 name bytes and its checksum.
bool InsideRenamedBytes(int64_t pos, const TapeSection& section, int bytePulses) {
  const auto inside = [&](int64_t from, int64_t count) { return pos >= from && pos < from + count * bytePulses; };
  return inside(section.headerPos + 14 * bytePulses, 16) || inside(section.headerChecksumPos, 1) ||
         (section.repeatPos != 0 &&
          (inside(section.repeatPos + 14 * bytePulses, 16) || inside(section.repeatChecksumPos, 1)));
}

TEST(TapWriter, RenameRewritesBothCopiesWithMatchingChecksums) {
  for (const uint8_t version : {0, 1, 2}) {
    SCOPED_TRACE(int{version});
    TapeComposer composer(0, version, 0, 5);
    composer.SetJitter(2);
    ComposedProgram program;
    program.name = "OLD NAME";
    program.leaderPulses = 1500;
    program.wrongChecksum = true;
    program.data = test::ProgramData(50, 1);
    composer.AddProgram(program);
    program.name = "SECOND";
    program.wrongChecksum = false;
    program.silenceBefore = 20000;
    composer.AddProgram(program);
    TapImage image = composer.Image();
    const TapImage before = image;
    auto sections = FindAllSections(image);
    ASSERT_EQ(sections.size(), 2u);
    ASSERT_FALSE(sections[0].headerChecksumOk);

    const std::string newName = TextToName("{RED}HI");
    ASSERT_EQ(newName, "\x1CHI");
    EXPECT_TRUE(RenameSection(image, sections[0], newName));

    const int bytePulses = version == 2 ? 40 : 20;
    for (int64_t pos = 0; pos < image.FileLength(); ++pos) {
      if (InsideRenamedBytes(pos, sections[0], bytePulses)) continue;
      ASSERT_EQ(image.bytes[static_cast<size_t>(pos)], before.bytes[static_cast<size_t>(pos)]) << pos;
    }
    RomDecoder decoder(image);
    decoder.SetBounds(sections[0].bounds);
    TapeSection scratch;
    for (const int32_t blockPos : {sections[0].headerPos, sections[0].repeatPos}) {
      decoder.ReadBlock(blockPos, scratch, 1);
      const auto& block = decoder.blockBuffer();
      ASSERT_EQ(block.size(), 202u);
      std::string name(block.begin() + 14, block.begin() + 30);
      EXPECT_EQ(name, std::string("\x1CHI") + std::string(13, ' '));
      EXPECT_TRUE(decoder.BlockChecksumOk());
    }

    const auto renamed = FindAllSections(image);
    ASSERT_EQ(renamed.size(), 2u);
    EXPECT_EQ(renamed[0].rawName, "\x1CHI");
    EXPECT_EQ(renamed[0].name, "HI");
    EXPECT_TRUE(renamed[0].headerChecksumOk);
    EXPECT_TRUE(renamed[0].repeatChecksumOk);
    EXPECT_EQ(renamed[1].name, "SECOND");

    // A second rename starts from what the first one left.
    EXPECT_TRUE(RenameSection(image, sections[0], "A MUCH LONGER NAME THAN SIXTEEN"));
    const auto again = FindAllSections(image);
    ASSERT_EQ(again.size(), 2u);
    EXPECT_EQ(again[0].rawName, "A MUCH LONGER NA");
    EXPECT_TRUE(again[0].headerChecksumOk && again[0].repeatChecksumOk);
  }
}

TEST(TapWriter, RenameKeepsTheChecksumOfADamagedCopy) {
  // Decoding the first copy stops at byte 100 (parity). Its checksum byte is
  // unknown; writing one where decoding stopped would destroy byte 99.
  TapeComposer composer(0, 1);
  ComposedProgram program;
  program.name = "DAMAGED";
  program.leaderPulses = 1500;
  program.wrongParityByte = 100;
  composer.AddProgram(program);
  TapImage image = composer.Image();
  auto sections = FindAllSections(image);
  ASSERT_EQ(sections.size(), 1u);
  const TapImage before = image;
  EXPECT_FALSE(RenameSection(image, sections[0], "NEW"));
  const auto byte99 = sections[0].headerPos + 99 * 20;
  EXPECT_TRUE(std::equal(image.bytes.begin() + byte99, image.bytes.begin() + byte99 + 20, before.bytes.begin() + byte99));
  const auto renamed = FindAllSections(image);
  ASSERT_EQ(renamed.size(), 1u);
  EXPECT_EQ(renamed[0].name, "NEW");
  EXPECT_TRUE(renamed[0].repeatChecksumOk);
}

TEST(TapWriter, SectionFileHoldsTheHeaderAndTheBytes) {
  test::ScratchFolder folder;
  TapImage image = BlankImage(1, 12000);
  for (size_t i = kTapHeaderSize; i + 1 < image.bytes.size(); ++i) image.bytes[i] = static_cast<uint8_t>(i * 7 + 1);
  image.signature = "C16-TAPE-RAW";
  image.machine = 2;
  image.video = 1;
  std::string error;
  const std::string path = folder.File("part.tap");
  ASSERT_TRUE(WriteSectionFile(image, path, 1000, 10999, false, error)) << error;
  const auto written = test::ReadFileBytes(path);
  ASSERT_EQ(written.size(), 10020u);
  EXPECT_EQ(std::string(written.begin(), written.begin() + 12), "C16-TAPE-RAW");
  EXPECT_EQ(std::vector<uint8_t>(written.begin() + 12, written.begin() + 20),
            (std::vector<uint8_t>{1, 2, 1, 0, 0x10, 0x27, 0x00, 0x00}));
  EXPECT_TRUE(std::equal(written.begin() + 20, written.end(), image.bytes.begin() + 1000));

  // An existing file is kept unless replacing was agreed.
  EXPECT_FALSE(WriteSectionFile(image, path, 20, 29, false, error));
  EXPECT_EQ(error, "File exists");
  EXPECT_EQ(test::ReadFileBytes(path).size(), 10020u);
  ASSERT_TRUE(WriteSectionFile(image, path, 20, 29, true, error)) << error;
  EXPECT_EQ(test::ReadFileBytes(path).size(), 30u);

  EXPECT_FALSE(WriteSectionFile(image, folder.File("missing/part.tap"), 20, 29, false, error));
  EXPECT_EQ(error, "No such file or directory");
  EXPECT_FALSE(WriteSectionFile(image, folder.File("outside.tap"), 20, image.FileLength(), false, error));
  EXPECT_FALSE(WriteSectionFile(image, folder.File("outside.tap"), -1, 29, false, error));
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"part.tap"});
}

TEST(TapWriter, UniqueTapNameFindsTheFirstFreeNumber) {
  test::ScratchFolder folder;
  EXPECT_EQ(UniqueTapName("game", folder.path()), "game");
  folder.Write("game.tap", std::string("x"));
  EXPECT_EQ(UniqueTapName("game", folder.path()), "game(1)");
  folder.Write("game(1).tap", std::string("x"));
  EXPECT_EQ(UniqueTapName("game", folder.path() + "/"), "game(2)");
  EXPECT_EQ(UniqueTapName("Game", folder.path()), "Game");  // names compare as the file system does
  for (int n = 2; n <= 1000; ++n) folder.Write("game(" + std::to_string(n) + ").tap", std::string("x"));
  EXPECT_EQ(UniqueTapName("game", folder.path()), "");
}

}  // namespace
}  // namespace rw
