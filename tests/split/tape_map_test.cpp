// SPDX-License-Identifier: GPL-2.0-or-later
// The tape's map and pulse histograms: bands in tape order by kind, in
// proportion to their playing time, merged below a pixel; pulses counted per
// width with the readers' bounds.

#include <gtest/gtest.h>

#include "core/pulse_timing.h"
#include "core/turbo_visiload.h"
#include "split/pulse_histogram.h"
#include "split/tape_map.h"
#include "split/tape_pictures.h"
#include "support/tape_composer.h"
#include "support/turbo_tapes.h"

namespace rw {
namespace {

using test::TapeComposer;

// A boot program with a Freeload file, a pause, pulses no reader knows, and
// a second program.
TapImage MixedTape() {
  TapeComposer composer(0, 1);
  composer.AddProgram({.name = "BOOT", .data = test::ProgramData(64, 1)});
  composer.AddTurboFile({.family = "Freeload", .loadAddress = 0x0800, .data = test::ProgramData(2000, 2)});
  composer.AddSilence(985248);  // a second
  for (int i = 0; i < 3000; ++i) composer.AddPulses(0x90 + i % 7 * 9, 1);
  composer.AddProgram({.name = "NEXT", .data = test::ProgramData(64, 3)});
  return composer.Image();
}

TEST(TapeMap, BandsTileTheTapeInOrderByKind) {
  const TapImage image = MixedTape();
  const float us = SelectClock(0, 0);
  std::vector<TapeStretch> rom;
  const auto turbo = test::TurboFilesOf(image, &rom);
  const TapeMap map = BuildTapeMap(image, us, test::FindAllSections(image), rom, turbo);

  std::string kinds;  // each band's kind and program row
  for (const TapeBand& band : map.bands) kinds += BandKindText(band.kind)[0] + std::to_string(band.row);
  ASSERT_EQ(kinds, "R1T1P1U1R2");
  EXPECT_EQ(map.bands[1].turbo, 0);

  // No gap, no overlap, and each band as long as its pulses play.
  int64_t at = kTapHeaderSize;
  double seconds = 0;
  for (const TapeBand& band : map.bands) {
    EXPECT_EQ(band.start, at);
    EXPECT_DOUBLE_EQ(band.startSeconds, seconds);
    EXPECT_NEAR(band.seconds, PulseDuration(image, band.start, band.end - 1, us) / 1e6, 1e-9);
    at = band.end;
    seconds += band.seconds;
  }
  EXPECT_EQ(at, image.FileLength());
  EXPECT_NEAR(map.bands[2].seconds, 1.0, 0.01);
  EXPECT_NEAR(map.totalSeconds, PulseDuration(image, kTapHeaderSize, image.FileLength() - 1, us) / 1e6, 1e-6);
}

TapeMap HandMadeMap(const std::vector<std::pair<BandKind, double>>& bands) {
  TapeMap map;
  for (const auto& [kind, seconds] : bands) {
    map.bands.push_back({kind, 0, 0, map.totalSeconds, seconds, 1, -1});
    map.totalSeconds += seconds;
  }
  return map;
}

TEST(TapeMap, BandsNarrowerThanAPixelMerge) {
  // 100 seconds over 100 pixels: wide bands stand alone where they play; a
  // thousand short ones between them merge into runs of about a pixel.
  std::vector<std::pair<BandKind, double>> bands{{BandKind::Rom, 40}};
  for (int i = 0; i < 1000; ++i) bands.push_back({i % 4 == 0 ? BandKind::Pause : BandKind::Turbo, 0.01});
  bands.push_back({BandKind::Unrecognised, 50});
  const TapeMap map = HandMadeMap(bands);
  const auto drawn = LayOutBands(map, 100);

  ASSERT_EQ(drawn.size(), 12u);
  EXPECT_DOUBLE_EQ(drawn.front().x0, 0);
  EXPECT_NEAR(drawn.front().x1, 40, 1e-9);
  EXPECT_EQ(drawn.back().kind, BandKind::Unrecognised);
  EXPECT_NEAR(drawn.back().x0, 50, 1e-9);
  EXPECT_EQ(drawn.back().first, 1001u);
  for (size_t i = 1; i + 1 < drawn.size(); ++i) {
    EXPECT_EQ(drawn[i].kind, BandKind::Turbo);  // three quarters of each run's time
    // A pixel or a band more; the run cut short by the wide band after it may be less.
    if (i + 2 < drawn.size()) {
      EXPECT_NEAR(drawn[i].x1 - drawn[i].x0, 1.0, 0.02);
    }
    EXPECT_DOUBLE_EQ(drawn[i].x0, drawn[i - 1].x1);
    EXPECT_EQ(drawn[i].first, drawn[i - 1].last + 1);
  }

  for (const auto& [x, band] : {std::pair{0.0, 0}, {45.5, 6}, {100.0, 11}, {100.5, -1}}) {
    EXPECT_EQ(DrawnBandAt(drawn, x), band) << x;
  }
  EXPECT_TRUE(LayOutBands(TapeMap{}, 100).empty());
}

TEST(PulseHistogram, CountsPulsesAndMarksTheReadersBounds) {
  // Pauses are no pulses, in every version; version 2 adds its half-waves.
  const auto v1 = CountPulses(test::RawImage(1, {0x30, 0x30, 0x40, 0, 1, 2, 3, 0x50}), 0, 1 << 20);
  EXPECT_EQ(v1.counts[0x30], 2u);
  EXPECT_EQ(v1.counts[0x40] + v1.counts[0x50], 2u);
  EXPECT_EQ(v1.counts[1] + v1.counts[2] + v1.counts[3] + v1.counts[0], 0u);
  const auto v2 = CountPulses(test::RawImage(2, {0x18, 0x18, 0, 9, 9, 9, 0x20, 0x21, 0xF0, 0xF0}), 0, 1 << 20);
  EXPECT_EQ(std::tuple(v2.counts[0x30], v2.counts[0x41], v2.counts[255]), std::tuple(1u, 1u, 1u));
  EXPECT_EQ(v2.counts[9] + v2.counts[18], 0u);

  const TapImage image = MixedTape();
  const auto sections = test::FindAllSections(image);
  const auto turbo = test::TurboFilesOf(image);
  const PulseHistogram first = ProgramPulses(image, sections, 1, turbo);
  EXPECT_EQ(first.start, sections[0].start);
  EXPECT_EQ(first.end, sections[1].start);
  ASSERT_EQ(first.marks.size(), 4u);
  EXPECT_EQ(first.marks[0].first, sections[0].bounds[0]);
  EXPECT_EQ(first.marks[2].last, sections[0].bounds[5]);
  EXPECT_EQ(first.marks[3].label, "Freeload");
  EXPECT_EQ(first.marks[3].first, 0x2C);
  EXPECT_EQ(first.counts[0x90 + 9], 429u);  // the unknown pulses of its stretch
  EXPECT_EQ(ProgramPulses(image, sections, 2, turbo).marks.size(), 3u);
  EXPECT_EQ(ProgramPulses(image, sections, 3, turbo).end, 0);
}

// Visiload's speed changes as the tape plays: a line per speed its blocks
// were read at, each named by its value; where the reader kept no
// threshold, its most common speed's, with a note that says so.
TEST(PulseHistogram, VisiloadHasALinePerSpeed) {
  TapeComposer composer(0, 1);
  composer.AddProgram({.name = "BOOT", .data = test::ProgramData(64, 1)});
  for (const double speed : {1.0, 1.25}) {
    composer.SetTurboSpeed(speed);
    composer.AddVisiloadChain(
        {{0x0801, test::ProgramData(300, 2)}, {0x03BB, {1}}, {0xC000, test::ProgramData(256, 3)}});
    composer.AddSilence(100000);
  }
  const TapImage image = composer.Image();
  const auto sections = test::FindAllSections(image);
  auto turbo = test::TurboFilesOf(image);
  ASSERT_EQ(turbo.size(), 6u);
  auto marks = ProgramPulses(image, sections, 1, turbo).marks;
  ASSERT_EQ(marks.size(), 5u);
  EXPECT_NEAR(marks[3].first, (0x25 + 0x48) / 2, 2);
  EXPECT_NEAR(marks[4].first, (0x25 + 0x48) / 2 * 1.25, 2);
  EXPECT_EQ(marks[4].label, "Visiload");
  EXPECT_NE(marks[4].note.find(": 3 files read at this speed"), std::string::npos) << marks[4].note;
  const std::vector<PictureText> texts = PulsePicture(ProgramPulses(image, sections, 1, turbo), "T").texts;
  for (const std::string& text : {"Visiload " + WidthText(marks[3].first), marks[3].note,
                                  "Visiload " + WidthText(marks[4].first), marks[4].note}) {
    EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [&](const PictureText& shown) { return shown.text == text; }))
        << text;
  }

  for (TurboFile& file : turbo) file.threshold = 0;
  marks = ProgramPulses(image, sections, 1, turbo).marks;
  ASSERT_EQ(marks.size(), 4u);
  EXPECT_EQ(marks[3].first, VisiloadFamily().threshold);
  EXPECT_NE(marks[3].note.find("not known"), std::string::npos) << marks[3].note;
}

}  // namespace
}  // namespace rw
