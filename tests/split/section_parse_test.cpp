#include "split/section_parse.h"

#include <gtest/gtest.h>

#include "core/pulse_timing.h"
#include "support/tape_composer.h"

namespace rw {
namespace {

using test::ComposedProgram;
using test::TapeComposer;

// Programs starting at 0x14, 0xA000 and 0x1F000 of an image whose last byte
// is at 0x2FFFF; the gaps are filled with pulses that are in no class.
TapImage ThreeProgramImage(uint8_t version) {
  TapeComposer composer(0, version);
  for (const auto& [name, next] : {std::pair{"ONE", 0xA000}, {"TWO", 0x1F000}, {"THREE", 0x30000}}) {
    composer.AddProgram({.name = name, .leaderPulses = 1200});
    composer.AddRaw(std::vector<uint8_t>(static_cast<size_t>(next - composer.size()), 200));
  }
  return composer.Image();
}

TEST(SectionParse, RowsTileTheImageFromTheFirstStart) {
  const struct {
    uint8_t version;
    std::vector<std::string> rows;  // name, start, end
  } cases[] = {{1, {"ONE 000014 009FFF", "TWO 00A000 01EFFF", "THREE 01F000 02FFFF"}},
               {2, {"ONE 000014 009FFE", "TWO 00A000 01EFFE", "THREE 01F000 02FFFF"}}};
  for (const auto& c : cases) {
    const TapImage image = ThreeProgramImage(c.version);
    const float usPerCycle = SelectClock(image.machine, image.video);
    std::vector<std::string> rows;
    for (const ProgramRow& row : ParsePrograms(image, usPerCycle)) {
      rows.push_back(row.section.name + " " + OffsetText(row.section.start) + " " + OffsetText(row.end));
      EXPECT_EQ(row.durationUs, PulseDuration(image, row.section.start, row.end, usPerCycle));
      EXPECT_GT(row.durationUs, 0);
    }
    EXPECT_EQ(rows, c.rows);
  }
}

TEST(SectionParse, UntitledProgramsAreNumberedFromZeroInEveryParse) {
  TapeComposer composer(1, 1);
  for (int i = 0; i < 2; ++i) composer.AddProgram({.leaderPulses = 1200, .silenceBefore = 10000});
  const TapImage image = composer.Image();
  for (int parse = 0; parse < 2; ++parse) {
    const auto rows = ParsePrograms(image, 1.0f);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].section.name, "NO-TITLE-0");
    EXPECT_EQ(rows[1].section.name, "NO-TITLE-1");
  }
}

TEST(SectionParse, ImageFactsAreTheWindowsTexts) {
  // Five long-pulse records of 16,777,215 cycles, then silence to 1,537 bytes.
  TapImage image;
  image.version = 1;
  image.bytes.assign(1537, 0);
  for (size_t i = 0; i < 5; ++i) {
    for (size_t k = 1; k < 4; ++k) image.bytes[kTapHeaderSize + 4 * i + k] = 0xFF;
  }
  image.bytes.push_back(0);
  const struct {
    uint8_t machine, version, video;
    const char* separator;
    const char* facts;  // machine, version, video, size, duration
  } cases[] = {{0, 1, 0, ",", "Commodore 64|TAP V1|PAL|1,50 KB|1m:25,14s"},
               {1, 0, 1, ".", "VIC-20|TAP V0|NTSC|1.50 KB|1m:22.02s"},
               {2, 2, 0, ".", "C16 and Plus/4|TAP V2|PAL|1.50 KB|1m:34.6s"}};
  for (const auto& c : cases) {
    image.machine = c.machine;
    image.version = c.version;
    image.video = c.video;
    const auto f = DescribeImage(image, SelectClock(c.machine, c.video), c.separator);
    EXPECT_EQ(f.machine + "|" + f.version + "|" + f.video + "|" + f.size + "|" + f.totalDuration, c.facts);
  }

  // The size is the file's length, to the byte.
  TapImage small;
  small.bytes.assign(29, 0);
  EXPECT_EQ(DescribeImage(small, 1.0f, ".").size, "28 Bytes");
}

TEST(SectionParse, HexToLongReadsLeadingDigitsAs32Bits) {
  const struct {
    const char* text;
    int32_t value;
  } cases[] = {{"", 0},          {"000014", 20},   {"01f000", 0x1F000}, {"FFFF", 65535}, {"FFFFFFFF", -1},
               {"7FFFFFFF", INT32_MAX}, {"12G4", 0x12}, {"G", 0},          {"abcDEF", 0xABCDEF}};
  for (const auto& c : cases) EXPECT_EQ(HexToLong(c.text), c.value) << c.text;
}

TEST(SectionParse, TruncatedImagesNeverFail) {
  // Every prefix of a small tape, and prefixes at a stride of larger ones;
  // from the longest down, so each prefix is the previous one cut shorter.
  for (const uint8_t version : {0, 1, 2}) {
    TapeComposer composer(0, version, 0, 3);
    composer.SetJitter(1);
    ComposedProgram program{.name = "CUT", .leaderPulses = 1050};
    if (version != 1) program.data = test::ProgramData(20, 2);
    composer.AddProgram(program);
    program.silenceBefore = 3000;
    if (version != 1) composer.AddProgram(program);
    TapImage image = composer.Image();
    ASSERT_EQ(ParsePrograms(image, 1.0f).size(), version == 1 ? 1u : 2u);
    const size_t stride = version == 1 ? 1 : 53;
    for (size_t length = image.bytes.size() - 1;; length = length >= stride ? length - stride : 0) {
      image.bytes.resize(length + 1);
      image.bytes[length] = 0;
      for (const ProgramRow& row : ParsePrograms(image, 1.0f)) {
        ASSERT_LE(row.section.start, row.section.headerPos);
        ASSERT_LE(row.section.start, row.end);
        ASSERT_LT(row.end, image.FileLength());
      }
      DescribeImage(image, 1.0f, ".");
      if (length == 0) break;
    }
  }
}

}  // namespace
}  // namespace rw
