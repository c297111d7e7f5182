// SPDX-License-Identifier: GPL-2.0-or-later
// Text forms of sizes, paths, durations, pauses and Commodore names; the
// temporary and the safely replaced files.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "core/commodore_names.h"
#include "core/pulse_timing.h"
#include "core/safe_file.h"
#include "core/utilities.h"
#include "support/scratch_folder.h"
#include "support/tape_composer.h"

namespace rw {
namespace {

using test::RawImage;

const float kC64Pal = SelectClock(0, 0);

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (const int v : values) bytes += static_cast<char>(v);
  return bytes;
}

TEST(Utilities, SizesHexAndPathParts) {
  test::ScratchFolder folder;
  const std::string file = folder.Write("a.tap", std::string("x"));
  // What each call gave, and what it should have given.
  const std::pair<std::string, std::string> cases[] = {
      {FormatSize(0, "."), "0 Bytes"},
      {FormatSize(1023, "."), "1023 Bytes"},
      {FormatSize(1024, "."), "1.00 KB"},
      {FormatSize(1536, ","), "1,50 KB"},
      {FormatSize(1048576, "."), "1.00 MB"},
      {FormatSize(1073741824, "."), "1.00 GB"},
      {FormatSize(5.0 * 1073741824 * 1024, "."), "5120.00 GB"},
      {FormatSize(std::nan(""), "."), "0 Bytes"},
      {HexPad(20, 6), "000014"},
      {HexPad(16777216, 6), "1000000"},
      {HexDigits(0), "0"},
      {HexDigits(2049), "801"},
      {HexDigits(0xABCDEF), "ABCDEF"},
      {ParentFolder("/tapes/a.tap"), "/tapes"},
      {ParentFolder("/tapes/sub/"), "/tapes"},
      {ParentFolder("/a.tap"), "/"},
      {ParentFolder("a.tap"), ""},
      {FileNameOf("/tapes/a.tap"), "a.tap"},
      {FileNameOf("/tapes/sub/"), "sub"},
      {FileNameOf("a.tap"), "a.tap"},
      {FolderOfPath(file), folder.path() + "/"},
      {FolderOfPath(folder.path()), folder.path()},
      {FolderOfPath(folder.File("missing")), ""},
  };
  for (const auto& [got, expected] : cases) EXPECT_EQ(got, expected);
  EXPECT_EQ((std::vector<bool>{FileExists(file), FileExists(folder.path()), FolderExists(folder.path()),
                               FolderExists(file), FileExists("")}),
            (std::vector<bool>{true, false, true, false, false}));
}

TEST(TempFileName, CreatesDistinctEmptyFilesWithPrefix) {
  test::ScratchFolder folder;
  const test::TemporaryFolderOverride temporaryFolder(folder.path());
  const auto openFiles = [] {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator());
  };
  const auto openBefore = openFiles();
  const std::string first = TempFileName("launcher");
  EXPECT_EQ(openFiles(), openBefore);
  const std::string second = TempFileName("la");
  // In the temporary folder, there and empty, named after at most three letters of the prefix.
  EXPECT_EQ(std::tuple(ParentFolder(first), std::filesystem::file_size(first), FileNameOf(first).substr(0, 3),
                       FileNameOf(second).substr(0, 2), first == second),
            std::tuple(folder.path(), 0u, "lau", "la", false));
  // A temporary folder that is not there gives an empty text.
  temporaryFolder.Set(folder.File("a.tap/nowhere"));
  folder.Write("a.tap", std::string("x"));
  EXPECT_EQ(TempFileName("abc"), "");
}

TEST(SafeFileWriter, ReplacesOnlyWhenAskedAndLeavesNoPartialFile) {
  test::ScratchFolder folder;
  std::string error;
  const std::string target = folder.File("out.tap");
  // "ok", or the error text, and then what the target holds.
  const auto write = [&](const std::string& path, const std::string& text, bool replace) {
    const auto result = WriteWholeFile(test::noSync, path, text.data(), text.size(), replace, error) ? "ok" : error;
    return result + " | " + test::ReadFileText(target);
  };
  EXPECT_EQ(write(target, "new", false), "ok | new");
  // Without leave to replace, an existing file stays as it was.
  EXPECT_EQ(write(target, "other", false), "File exists | new");
  EXPECT_EQ(write(target, "other", true), "ok | other");
  // A folder that cannot exist (under a regular file) reports the system's text.
  EXPECT_EQ(write(folder.File("out.tap/x.tap"), "x", true), "Not a directory | other");
  {
    // Nothing is written or committed before Open. Dropped before Commit: the
    // old file is untouched and no temporary stays.
    SafeFileWriter writer(test::noSync);
    std::string early, late;
    EXPECT_FALSE(writer.Write("early", 5, early) || writer.Commit(true, late));
    EXPECT_EQ(early + " | " + late, "Bad file descriptor | Bad file descriptor");
    ASSERT_TRUE(writer.Open(target, error));
    ASSERT_TRUE(writer.Open(target, error));  // the first temporary is given up
    ASSERT_TRUE(writer.Write("half", 4, error));
  }
  {
    // A new file under its final name: never over an existing one, and
    // removed again when not completed.
    SafeFileWriter writer(test::noSync);
    EXPECT_FALSE(writer.OpenNew(target, error));
    EXPECT_EQ(error, "File exists");
    ASSERT_TRUE(writer.OpenNew(folder.File("new.tap"), error));
    ASSERT_TRUE(writer.Write("half", 4, error));
  }
  EXPECT_EQ(test::ReadFileText(target), "other");
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"out.tap"});
}

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
      {FormatDuration(0, "."), "0m:0s"},
      {FormatDuration(5, "."), "0m:5s"},
      {FormatDuration(83.456, "."), "1m:23.46s"},
      {FormatDuration(83.456, ","), "1m:23,46s"},
      {FormatDuration(119.999, "."), "1m:60s"},
      {FormatDuration(90.5, "."), "1m:30.5s"},
      {FormatDuration(3725.125, "."), "62m:5.12s"},  // .125 is exact: halves to even
  };
  for (const auto& [got, expected] : cases) EXPECT_EQ(got, expected);
  // Above a half: up, even from an even floor.
  EXPECT_EQ((std::vector<double>{RoundHalfEven(24.5), RoundHalfEven(25.5), RoundHalfEven(-0.5), RoundHalfEven(1.4999),
                                 RoundHalfEven(2.6)}),
            (std::vector<double>{24, 26, 0, 1, 3}));
}

TEST(ParseDuration, GrammarWithEitherSeparator) {
  // The text, the decimal separator, the seconds (-1: refused).
  const std::tuple<const char*, const char*, float> cases[] = {
      {"5s", ".", 5},
      {"1m30s", ".", 90},
      {"1m:30s", ".", 90},
      {"2.5s", ".", 2.5f},
      {"2,5s", ",", 2.5f},
      {"10s1m", ".", 70},
      {"1m1m", ".", 120},
      {"", ".", 0},
      {":::", ".", 0},
      {".5s", ".", 0.5f},
      {"1m:23.46s", ".", 83.46f},
      // The other locale's separator is refused.
      {"2.5s", ",", -1},
      // Leftover text that is not a number is ignored rather than refused; an empty separator
      // (a broken locale) falls back to the point instead of looping; a multi-byte separator
      // (the Arabic decimal separator) is one character.
      {"5s1.2.3", ".", 5},
      {"2.5s", "", 2.5f},
      {"2\xD9\xAB"
       "5s",
       "\xD9\xAB", 2.5f},
  };
  for (const auto& [text, separator, seconds] : cases) {
    EXPECT_FLOAT_EQ(ParseDuration(text, separator).value_or(-1), seconds) << text << " with " << separator;
  }
  // Refused: a number without unit, a unit without number, upper case, a
  // space, two separators, a lone separator.
  for (const char* text : {"1m30", "s", "5S", "5 s", "1.2.3s", ".s", "5", ".", "5x", "-5s"}) {
    EXPECT_FALSE(ParseDuration(text, ".").has_value()) << text;
  }
}

TEST(EncodePause, RecordsOfAtMost24BitsAddUpToThePauseToTheCycle) {
  // Each record a zero and a 24-bit count; no pause is one empty record.
  const std::pair<int64_t, std::vector<uint8_t>> records[] = {
      {0, {0, 0, 0, 0}}, {0xFFFFFF, {0, 0xFF, 0xFF, 0xFF}}, {0x1000000, {0, 0xFF, 0xFF, 0xFF, 0, 1, 0, 0}}};
  for (const auto& [cycles, expected] : records) EXPECT_EQ(EncodePauseCycles(cycles), expected) << cycles;
  EXPECT_EQ(EncodePause("1s", kC64Pal, "."), (std::vector<uint8_t>{0x00, 0xA3, 0x08, 0x0F}));
  // Long pauses were once timed through a single-precision count of
  // microseconds, exact only up to about 16 s: "35m47s" came out 63 cycles long.
  // Machine, video, the text and its cycles: seconds * 1e6 / the clock's microseconds per cycle, rounded.
  const std::tuple<uint8_t, uint8_t, const char*, int64_t> cases[] = {
      {0, 0, "0s", 0},           {0, 0, "1m", 59115051},   {0, 0, "35m47s", 2115333573}, {2, 0, "35m47s", 1903790668},
      {0, 1, "30m", 1840904936}, {0, 0, "16.5s", 16256639}};
  for (const auto& [machine, video, text, cycles] : cases) {
    const float usPerCycle = SelectClock(machine, video);
    EXPECT_EQ(PauseCycles(ParseDuration(text, ".").value_or(-1), usPerCycle), cycles) << text;
    EXPECT_EQ(EncodePause(text, usPerCycle, "."), EncodePauseCycles(cycles)) << text;
  }
  // Invalid text, and pauses beyond a signed 32-bit count, are refused instead of wrapping.
  for (const char* refused : {"5", "40m", "99999999999999999999999999999999999999999s"}) {
    EXPECT_TRUE(EncodePause(refused, kC64Pal, ".").empty()) << refused;
  }
  EXPECT_FALSE(PauseCycles(-1, kC64Pal));
}

TEST(CommodoreNames, FoldLettersDropOrSpellOutCodesAndReadThemBack) {
  const std::pair<std::string, std::string> cases[] = {
      // HELLO, a space and the pound sign.
      {FilterName(Bytes({72, 69, 76, 76, 79, 32, 163})), Bytes({'h', 'e', 'l', 'l', 'o', ' ', 163})},
      {Latin1ToUtf8(FilterName(Bytes({72, 32, 163}))), "h \xC2\xA3"},
      // Control codes and unsafe characters vanish; the shifted letters become plain capitals; 219 is "[".
      {FilterName(Bytes({147, 'A', 5, '*', '/', '?', '"', 'B'})), "ab"},
      {FilterName(Bytes({193, 218, 219})), "AZ["},
      {FilterName(Bytes({220, 0, 255})), ""},
      {NameToText(Bytes({147, 65, 66})), "{CLR}AB"},
      {NameToText(Bytes({14, 65, 193})), "{LOW}Aa"},
      {NameToText(Bytes({14, 225, 142, 193})), "{LOW}A{142}{193}"},
      // The first and last codes of both shifted ranges, and their neighbours.
      {NameToText(Bytes({14, 192, 193, 218, 219, 224, 225, 250, 251})), "{LOW}{192}az{219}{224}AZ{251}"},
      {NameToText(Bytes({0})), "{0}"},
      {NameToText(Bytes({1, 95, 163})), "{1}{95}{163}"},
      // Back to bytes: tokens and byte numbers as written, typed characters through Latin-1.
      {TextToName("{RED}A{200}"), Bytes({28, 65, 200})},
      {TextToName("{red}"), "{red}"},
      {TextToName("{256}{007}"), "{256}{007}"},
      {TextToName("\xC2\xA3"
                  "a"),
       Bytes({163, 'a'})},
      {TextToName("\xE2\x82\xAC"), "?"},  // cannot be on tape
      // After {LOW} the shifted letters come back as the plain letters shown.
      {TextToName(NameToText(Bytes({14, 65, 193, 225}))), Bytes({14, 65, 'a', 'A'})},
  };
  for (const auto& [got, expected] : cases) EXPECT_EQ(got, expected);
}

TEST(TextToName, ReversesNameToTextForEveryByte) {
  for (int b = 0; b < 256; ++b) {
    const std::string name = Bytes({'A', b, 'Z'});
    if (b == 14) continue;  // switches the letters that follow to lower case
    EXPECT_EQ(TextToName(NameToText(name)), name) << b;
  }
}

TEST(Latin1, RoundTripsEveryByteAndReplacesWhatDoesNotFit) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(Utf8ToLatin1(Latin1ToUtf8(all)), all);
  EXPECT_EQ(Utf8ToLatin1("\x80"
                         "a\xF0\x9F\x98\x80"
                         "b\xFF"
                         "c\xC3"),
            "?a?b?c?");
}

}  // namespace
}  // namespace rw
