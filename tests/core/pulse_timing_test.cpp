#include "core/pulse_timing.h"

#include <gtest/gtest.h>

#include "core/tap_image.h"

namespace rw {
namespace {

TapImage ImageWith(uint8_t version, std::vector<uint8_t> pulses) {
  TapImage image;
  const auto header = MakeTapHeader("C64-TAPE-RAW", version, 0, 0, static_cast<uint32_t>(pulses.size()));
  image.version = version;
  image.bytes.assign(header.begin(), header.end());
  image.bytes.insert(image.bytes.end(), pulses.begin(), pulses.end());
  image.bytes.push_back(0);
  return image;
}

const float kC64Pal = SelectClock(0, 0);

TEST(PulseDuration, ShortPulsesLongRecordsAndVersionTwoHalves) {
  // One pulse of 48 * 8 cycles; a long-pulse record of 10,000 cycles; the byte after it counts.
  const TapImage v1 = ImageWith(1, {0x30, 0x00, 0x10, 0x27, 0x00, 0x30});
  const double pulse = static_cast<double>(48 * 8 * kC64Pal);
  EXPECT_NEAR(PulseDuration(v1, 20, 20, kC64Pal), 389.748, 0.001);
  EXPECT_NEAR(PulseDuration(v1, 20, 25, kC64Pal), 2 * pulse + 10000 * static_cast<double>(kC64Pal), 1e-6);
  // A version-2 pair of half-waves lasts as long as the version-1 pulse.
  const TapImage v2 = ImageWith(2, {0x18, 0x18});
  EXPECT_DOUBLE_EQ(PulseDuration(v2, 20, 21, kC64Pal), PulseDuration(v1, 20, 20, kC64Pal));
  EXPECT_EQ(PulseDuration(v1, 25, 20, kC64Pal), 0.0);
}

TEST(PulseDuration, RecordEndingAtLastByteCountsAndTruncatedOneDoesNot) {
  // A pause at the very end of a joined image: its count bytes end on the last byte.
  const TapImage whole = ImageWith(1, {0x30, 0x00, 0xA3, 0x08, 0x0F});
  EXPECT_NEAR(PulseDuration(whole, 20, 24, kC64Pal),
              static_cast<double>(48 * 8 * kC64Pal) + 985251 * static_cast<double>(kC64Pal), 1e-3);
  // The count would run past the end: the zero adds nothing, nothing outside is read.
  const TapImage cut = ImageWith(1, {0x30, 0x00, 0xA3, 0x08});
  EXPECT_NEAR(PulseDuration(cut, 20, 1000, kC64Pal), 48 * 8 * kC64Pal + 0xA3 * 8 * kC64Pal + 8 * 8 * kC64Pal,
              1e-3);
  EXPECT_EQ(PulseDuration(TapImage{}, 0, 100, kC64Pal), 0.0);
}

TEST(FormatDuration, RoundsSecondsAfterTakingMinutes) {
  EXPECT_EQ(FormatDuration(0, "."), "0m:0s");
  EXPECT_EQ(FormatDuration(5, "."), "0m:5s");
  EXPECT_EQ(FormatDuration(83.456, "."), "1m:23.46s");
  EXPECT_EQ(FormatDuration(83.456, ","), "1m:23,46s");
  EXPECT_EQ(FormatDuration(119.999, "."), "1m:60s");
  EXPECT_EQ(FormatDuration(90.5, "."), "1m:30.5s");
  EXPECT_EQ(FormatDuration(3725.125, "."), "62m:5.12s");  // .125 is exact: halves to even
}

TEST(ParseDuration, GrammarWithEitherSeparator) {
  struct Case {
    const char* text;
    const char* separator;
    float seconds;
  };
  const Case cases[] = {
      {"5s", ".", 5},        {"1m30s", ".", 90},   {"1m:30s", ".", 90},   {"2.5s", ".", 2.5f},
      {"2,5s", ",", 2.5f},   {"10s1m", ".", 70},   {"1m1m", ".", 120},    {"", ".", 0},
      {":::", ".", 0},       {".5s", ".", 0.5f},   {"1m:23.46s", ".", 83.46f},
      // Invalid: a number without unit, a unit without number, upper case,
      // a space, two separators, the other locale's separator, a lone separator.
      {"1m30", ".", -1},     {"s", ".", -1},       {"5S", ".", -1},       {"5 s", ".", -1},
      {"1.2.3s", ".", -1},   {"2.5s", ",", -1},    {".s", ".", -1},       {"5", ".", -1},
      {".", ".", -1},        {"5x", ".", -1},      {"-5s", ".", -1},
  };
  for (const auto& c : cases) {
    EXPECT_FLOAT_EQ(ParseDuration(c.text, c.separator), c.seconds) << c.text << " with " << c.separator;
  }
  // Leftover text that is not a number is ignored rather than refused.
  EXPECT_FLOAT_EQ(ParseDuration("5s1.2.3", "."), 5);
  // An empty separator from a broken locale falls back to the point instead of looping.
  EXPECT_FLOAT_EQ(ParseDuration("2.5s", ""), 2.5f);
  // A multi-byte separator (Arabic decimal separator) is one character.
  EXPECT_FLOAT_EQ(ParseDuration("2\xD9\xAB" "5s", "\xD9\xAB"), 2.5f);
}

TEST(EncodePause, OneSecondOnPalC64AndShownDurationsReadBack) {
  EXPECT_EQ(EncodePause("1s", kC64Pal, "."), (std::vector<uint8_t>{0x00, 0xA3, 0x08, 0x0F}));
  EXPECT_EQ(EncodePause("0s", kC64Pal, "."), (std::vector<uint8_t>{0, 0, 0, 0}));
  EXPECT_TRUE(EncodePause("5", kC64Pal, ".").empty());
  const std::string shown = FormatDuration(83.456, ",");
  EXPECT_FLOAT_EQ(ParseDuration(shown, ","), 83.46f);
}

TEST(EncodePause, LongPausesBecomeSeveralRecordsThatAddUp) {
  const auto sum = [](const std::vector<uint8_t>& records) {
    int64_t total = 0;
    for (size_t i = 0; i + 3 < records.size(); i += 4) {
      EXPECT_EQ(records[i], 0);
      total += records[i + 1] | records[i + 2] << 8 | records[i + 3] << 16;
    }
    return total;
  };
  EXPECT_EQ(EncodePauseCycles(0xFFFFFF).size(), 4u);
  EXPECT_EQ(EncodePauseCycles(0x1000000), (std::vector<uint8_t>{0, 0xFF, 0xFF, 0xFF, 0, 1, 0, 0}));
  const auto minute = EncodePause("1m", kC64Pal, ".");
  EXPECT_EQ(minute.size(), 16u);  // 59,115,051 cycles: three full records and a rest
  EXPECT_EQ(sum(minute), PauseCycles(60, kC64Pal));
  EXPECT_EQ(PauseCycles(60, kC64Pal), 59115051);
  // Beyond a signed 32-bit count the pause is refused instead of wrapping.
  EXPECT_TRUE(EncodePause("40m", kC64Pal, ".").empty());
  EXPECT_TRUE(EncodePause("99999999999999999999999999999999999999999s", kC64Pal, ".").empty());
  EXPECT_EQ(PauseCycles(-1, kC64Pal), -1);
}

TEST(Rounding, HalvesGoToEven) {
  EXPECT_EQ(RoundHalfEven(24.5), 24);
  EXPECT_EQ(RoundHalfEven(25.5), 26);
  EXPECT_EQ(RoundHalfEven(50.5), 50);
  EXPECT_EQ(RoundHalfEven(75.5), 76);
  EXPECT_EQ(RoundHalfEven(-0.5), 0);
  EXPECT_EQ(RoundHalfEven(1.4999), 1);
}

}  // namespace
}  // namespace rw
