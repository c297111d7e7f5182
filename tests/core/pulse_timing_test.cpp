#include "core/pulse_timing.h"

#include <gtest/gtest.h>


#include "support/tape_composer.h"

namespace rw {
namespace {

using test::RawImage;

const float kC64Pal = SelectClock(0, 0);

TEST(PulseDuration, PulsesRecordsAndVersionTwoHalvesNeverPastTheEnd) {
  // One pulse of 48 * 8 cycles; a long-pulse record of 10,000 cycles; the byte after it counts.
  const TapImage v1 = RawImage(1, {0x30, 0x00, 0x10, 0x27, 0x00, 0x30});
  const double pulse = static_cast<double>(48 * 8 * kC64Pal);
  EXPECT_NEAR(PulseDuration(v1, 20, 20, kC64Pal), 389.748, 0.001);
  EXPECT_NEAR(PulseDuration(v1, 20, 25, kC64Pal), 2 * pulse + 10000 * static_cast<double>(kC64Pal), 1e-6);
  // A version-2 pair of half-waves lasts as long as the version-1 pulse.
  EXPECT_DOUBLE_EQ(PulseDuration(RawImage(2, {0x18, 0x18}), 20, 21, kC64Pal), PulseDuration(v1, 20, 20, kC64Pal));
  EXPECT_EQ(PulseDuration(v1, 25, 20, kC64Pal), 0.0);
  // A pause at the very end of a joined image: its count bytes end on the last byte.
  EXPECT_NEAR(PulseDuration(RawImage(1, {0x30, 0x00, 0xA3, 0x08, 0x0F}), 20, 24, kC64Pal),
              pulse + 985251 * static_cast<double>(kC64Pal), 1e-3);
  // The count would run past the end: the zero adds nothing, nothing outside is read.
  EXPECT_NEAR(PulseDuration(RawImage(1, {0x30, 0x00, 0xA3, 0x08}), 20, 1000, kC64Pal),
              48 * 8 * kC64Pal + 0xA3 * 8 * kC64Pal + 8 * 8 * kC64Pal, 1e-3);
  EXPECT_EQ(PulseDuration(TapImage{}, 0, 100, kC64Pal), 0.0);
}

TEST(FormatDuration, RoundsSecondsAfterTakingMinutesHalvesToEven) {
  const std::pair<std::string, std::string> cases[] = {
      {FormatDuration(0, "."), "0m:0s"},         {FormatDuration(5, "."), "0m:5s"},
      {FormatDuration(83.456, "."), "1m:23.46s"}, {FormatDuration(83.456, ","), "1m:23,46s"},
      {FormatDuration(119.999, "."), "1m:60s"},   {FormatDuration(90.5, "."), "1m:30.5s"},
      {FormatDuration(3725.125, "."), "62m:5.12s"},  // .125 is exact: halves to even
  };
  for (const auto& [got, expected] : cases) EXPECT_EQ(got, expected);
  // Above a half: up, even from an even floor.
  EXPECT_EQ((std::vector<double>{RoundHalfEven(24.5), RoundHalfEven(25.5), RoundHalfEven(-0.5), RoundHalfEven(1.4999),
                                 RoundHalfEven(2.6)}),
            (std::vector<double>{24, 26, 0, 1, 3}));
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

TEST(EncodePause, RecordsOfAtMost24BitsAddUpToThePauseToTheCycle) {
  // Each record a zero and a 24-bit count; no pause is one empty record.
  const std::pair<int64_t, std::vector<uint8_t>> records[] = {
      {0, {0, 0, 0, 0}}, {0xFFFFFF, {0, 0xFF, 0xFF, 0xFF}}, {0x1000000, {0, 0xFF, 0xFF, 0xFF, 0, 1, 0, 0}}};
  for (const auto& [cycles, expected] : records) EXPECT_EQ(EncodePauseCycles(cycles), expected) << cycles;
  EXPECT_EQ(EncodePause("1s", kC64Pal, "."), (std::vector<uint8_t>{0x00, 0xA3, 0x08, 0x0F}));
  // Long pauses were once timed through a single-precision count of
  // microseconds, exact only up to about 16 s: "35m47s" came out 63 cycles long.
  const struct {
    uint8_t machine, video;
    const char* text;
    int64_t cycles;  // seconds * 1e6 / the clock's microseconds per cycle, rounded
  } cases[] = {{0, 0, "0s", 0},           {0, 0, "1m", 59115051},         {0, 0, "35m47s", 2115333573},
               {2, 0, "35m47s", 1903790668}, {0, 1, "30m", 1840904936}, {0, 0, "16.5s", 16256639}};
  for (const auto& c : cases) {
    const float usPerCycle = SelectClock(c.machine, c.video);
    EXPECT_EQ(PauseCycles(ParseDuration(c.text, "."), usPerCycle), c.cycles) << c.text;
    EXPECT_EQ(EncodePause(c.text, usPerCycle, "."), EncodePauseCycles(c.cycles)) << c.text;
  }
  // Invalid text, and pauses beyond a signed 32-bit count, are refused instead of wrapping.
  for (const char* refused : {"5", "40m", "99999999999999999999999999999999999999999s"}) {
    EXPECT_TRUE(EncodePause(refused, kC64Pal, ".").empty()) << refused;
  }
  EXPECT_EQ(PauseCycles(-1, kC64Pal), -1);
}

}  // namespace
}  // namespace rw
