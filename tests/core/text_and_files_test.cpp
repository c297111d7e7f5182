// SPDX-License-Identifier: GPL-2.0-or-later
// Text forms of sizes, paths, durations, pauses and Commodore names; the
// temporary and the safely replaced files. Tape image files: loading and
// refusing them, rewriting names in place, and writing sections out as files
// of their own.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <optional>

#include "core/commodore_names.h"
#include "core/pulse_timing.h"
#include "core/safe_file.h"
#include "core/tap_image.h"
#include "core/tap_writer.h"
#include "core/utilities.h"
#include "support/scratch_folder.h"
#include "support/tape_composer.h"

namespace rw {
namespace {

using test::FindAllSections;
using test::RawImage;
using test::TapeComposer;

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

TEST(CommodoreNames, FoldLettersDropOrSpellOutCodesAndReadThemBackThroughTextAndLatin1) {
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
      {TextToName(Bytes({0xC2, 0xA3, 'a'})), Bytes({163, 'a'})},
      {TextToName("\xE2\x82\xAC"), "?"},  // cannot be on tape
      // After {LOW} the shifted letters come back as the plain letters shown.
      {TextToName(NameToText(Bytes({14, 65, 193, 225}))), Bytes({14, 65, 'a', 'A'})},
  };
  for (const auto& [got, expected] : cases) EXPECT_EQ(got, expected);
  // Every byte comes back through its text, and through UTF-8; what does not fit Latin-1 becomes "?".
  std::string all;
  for (int b = 0; b < 256; ++b) {
    all += static_cast<char>(b);
    const std::string name = Bytes({'A', b, 'Z'});
    if (b == 14) continue;  // switches the letters that follow to lower case
    EXPECT_EQ(TextToName(NameToText(name)), name) << b;
  }
  EXPECT_EQ(Utf8ToLatin1(Latin1ToUtf8(all)), all);
  EXPECT_EQ(Utf8ToLatin1(Bytes({0x80, 'a', 0xF0, 0x9F, 0x98, 0x80, 'b', 0xFF, 'c', 0xC3})), "?a?b?c?");
}

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
// system would not give is a SystemError. (Shown, each is an "Error!" box:
// the main window's test of opening files checks both kinds.)
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
    const Outcome outcome = LoadTapImage(c.path, image);
    const std::string text =
        c.loadError ? "Error while loading file " + c.path + " : " + c.tail : c.path + " " + c.tail;
    EXPECT_EQ(std::pair(outcome.kind(), outcome.text()),
              std::pair(c.loadError ? FailureKind::SystemError : FailureKind::Refused, text));
  }
  EXPECT_EQ(std::tuple(image.version, image.FileLength()), std::tuple(1, 20));
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, int64_t from, int64_t count) {
  return std::vector<uint8_t>(bytes.begin() + from, bytes.begin() + from + count);
}

TEST(TapWriter, Version2PulsesAreTwoEqualHalfWavesInsideTheirClass) {
  TapImage image = RawImage(2, std::vector<uint8_t>(8, 1));
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
      // In version 2 a pulse is written as two equal half-waves, unless that leaves its class.
      if (InsideRenamedBytes(pos, sections[0], bytePulses)) {
        const bool pairStart = (pos - sections[0].headerPos) % 2 == 0;
        if (version == 2 && machine != 1 && pairStart) {
          EXPECT_EQ(image.At(pos), image.At(pos + 1)) << pos;
        }
        continue;
      }
      ASSERT_EQ(image.At(pos), before.At(pos)) << pos;
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
  TapImage image = RawImage(1, std::vector<uint8_t>(12000, 1));
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

}  // namespace
}  // namespace rw
