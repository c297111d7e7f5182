#include "split/section_parse.h"

#include <gtest/gtest.h>

#include <random>

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
    std::vector<std::string> ends;
  } cases[] = {{1, {"009FFF", "01EFFF", "02FFFF"}}, {2, {"009FFE", "01EFFE", "02FFFF"}}};
  for (const auto& c : cases) {
    const TapImage image = ThreeProgramImage(c.version);
    const float usPerCycle = SelectClock(image.machine, image.video);
    const auto rows = ParsePrograms(image, usPerCycle);
    ASSERT_EQ(rows.size(), 3u);
    const std::vector<std::string> starts = {"000014", "00A000", "01F000"};
    const std::vector<std::string> names = {"ONE", "TWO", "THREE"};
    for (size_t i = 0; i < rows.size(); ++i) {
      EXPECT_EQ(rows[i].section.name, names[i]);
      EXPECT_EQ(OffsetText(rows[i].section.start), starts[i]);
      EXPECT_EQ(OffsetText(rows[i].end), c.ends[i]);
      EXPECT_EQ(rows[i].durationUs, PulseDuration(image, rows[i].section.start, rows[i].end, usPerCycle));
      EXPECT_GT(rows[i].durationUs, 0);
    }
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
    const char* machineText;
    const char* versionText;
    const char* videoText;
    const char* size;
    const char* duration;
  } cases[] = {{0, 1, 0, ",", "Commodore 64", "TAP V1", "PAL", "1,50 KB", "1m:25,14s"},
               {1, 0, 1, ".", "VIC-20", "TAP V0", "NTSC", "1.50 KB", "1m:22.02s"},
               {2, 2, 0, ".", "C16 and Plus/4", "TAP V2", "PAL", "1.50 KB", "1m:34.6s"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.machineText);
    image.machine = c.machine;
    image.version = c.version;
    image.video = c.video;
    const auto facts = DescribeImage(image, SelectClock(c.machine, c.video), c.separator);
    EXPECT_EQ(facts.machine, c.machineText);
    EXPECT_EQ(facts.version, c.versionText);
    EXPECT_EQ(facts.video, c.videoText);
    EXPECT_EQ(facts.size, c.size);
    EXPECT_EQ(facts.totalDuration, c.duration);
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

void ParseAndCheck(const TapImage& image) {
  const auto rows = ParsePrograms(image, 1.0f);
  for (size_t i = 0; i < rows.size(); ++i) {
    ASSERT_LE(rows[i].section.start, rows[i].section.headerPos);
    ASSERT_LE(rows[i].section.start, rows[i].end);
    ASSERT_LT(rows[i].end, image.FileLength());
  }
  DescribeImage(image, 1.0f, ".");
}

TEST(SectionParse, TruncatedAndRandomImagesNeverFail) {
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
      ParseAndCheck(image);
      if (length == 0) break;
    }
  }
  std::mt19937 random(5);
  for (int round = 0; round < 30; ++round) {
    TapImage image;
    image.version = static_cast<uint8_t>(round % 3);
    image.machine = static_cast<uint8_t>(round / 3 % 3);
    image.bytes.resize(random() % (round < 20 ? 200 : 300000));
    for (auto& b : image.bytes) b = static_cast<uint8_t>(random() % (round % 2 == 0 ? 256 : 100));
    image.bytes.push_back(0);
    ParseAndCheck(image);
  }
}

}  // namespace
}  // namespace rw
