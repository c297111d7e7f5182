// SPDX-License-Identifier: GPL-2.0-or-later
// Decoding tapes: finding each program's leader and header, tuning the pulse
// classes, and reading the data blocks (both copies, the first mended by the
// repeat, the checksum over the result). Turbo files: the reader's formats
// composed and read back, and the real commercial tapes compared with the
// peer analyser's listing of them.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>

#include "core/data_block.h"
#include "core/pulse_timing.h"
#include "core/rom_decoder.h"
#include "core/tape_coverage.h"
#include "core/turbo_reader.h"
#include "core/utilities.h"
#include "support/scratch_folder.h"
#include "support/tape_composer.h"
#include "support/turbo_tapes.h"

namespace rw {

struct DataBlockReaderProbe {
  static void SetClasses(DataBlockReader& reader, const std::array<uint8_t, 6>& bounds) { reader.SetClasses(bounds); }
  static int Fast(const DataBlockReader& reader, int64_t pos) { return reader.DecodeByte(pos); }
  static int Checked(const DataBlockReader& reader, int64_t pos) { return reader.DecodeByteChecked(pos); }
};

namespace {

using test::ComposedProgram;
using test::FindAllSections;
using test::TapeComposer;

class ComposedTapes : public ::testing::TestWithParam<std::tuple<int, int>> {};

// Every machine and version: programs with and without names, a data file,
// wrong checksums, a missing repeat, silence between programs, jitter on every pulse.
TEST_P(ComposedTapes, DecodeToExactlyThePrograms) {
  const auto [machine, version] = GetParam();
  TapeComposer composer(static_cast<uint8_t>(machine), static_cast<uint8_t>(version), 0, 7);
  composer.SetJitter(2);
  const auto data = test::ProgramData(200, 3);
  const ComposedProgram programs[] = {
      {.name = "First Game", .data = data, .leaderPulses = 3000},
      // A data file never starts a section.
      {.name = "SEQUENTIAL", .fileType = 4, .leaderPulses = 1500, .silenceBefore = 30000},
      {.name = "", .fileType = 3, .data = data, .leaderPulses = 1500, .silenceBefore = 30000, .wrongChecksum = true},
      // Nothing FilterName keeps.
      {.name = "***", .leaderPulses = 1500, .silenceBefore = 30000, .wrongRepeatChecksum = true},
      {.name = "Hello \xA3", .leaderPulses = 1500, .silenceBefore = 30000},
      {.name = "\xC1\xC2 LAST", .leaderPulses = 1500, .silenceBefore = 30000},
      // Without repeat: neither its data block (whose repeat counts down 9..1 as
      // well) nor the next program is taken for one.
      {.name = "ALONE", .data = data, .leaderPulses = 1500, .silenceBefore = 30000, .headerRepeat = false},
      {.name = "NEXT", .leaderPulses = 1500, .silenceBefore = 30000},
  };
  for (const auto& program : programs) composer.AddProgram(program);
  // What each program decodes to (name, raw name, checksums of both copies), by composed index.
  using Decoded = std::tuple<std::string, std::string, bool, bool>;
  const std::vector<std::pair<size_t, Decoded>> expected = {{0, {"FIRST GAME", "First Game", true, true}},
                                                            {2, {"NO-TITLE-0", "", false, true}},
                                                            {3, {"NO-TITLE-1", "***", true, false}},
                                                            {4, {"HELLO \xC2\xA3", "Hello \xA3", true, true}},
                                                            {5, {"AB LAST", "\xC1\xC2 LAST", true, true}},
                                                            {6, {"ALONE", "ALONE", true, false}},
                                                            {7, {"NEXT", "NEXT", true, true}}};

  const auto sections = FindAllSections(composer.Image());
  ASSERT_EQ(sections.size(), expected.size());
  const int64_t step = version == 2 ? 2 : 1;
  const int64_t checksumAt = 201 * 20 * step;  // the checksum byte's offset in a block
  const auto peaks = test::DefaultPeaks(static_cast<uint8_t>(machine));
  for (size_t i = 0; i < sections.size(); ++i) {
    SCOPED_TRACE(i);
    const auto& s = sections[i];
    const auto& layout = composer.layouts()[expected[i].first];
    const auto after = [&](int64_t pos, int64_t offset) { return pos == 0 ? 0 : pos + offset; };
    EXPECT_EQ(Decoded(s.name, s.rawName, s.headerChecksumOk, s.repeatChecksumOk), expected[i].second);
    EXPECT_EQ(
        (std::vector<int64_t>{s.start, s.headerPos, s.leaderEnd, s.headerChecksumPos, s.afterHeader, s.repeatPos,
                              s.repeatChecksumPos, s.afterRepeat}),
        (std::vector<int64_t>{layout.start, layout.headerPos, layout.headerPos - step, layout.headerPos + checksumAt,
                              layout.headerPos + checksumAt + 21 * step, layout.repeatPos,
                              after(layout.repeatPos, checksumAt), after(layout.repeatPos, checksumAt + 21 * step)}));
    const int composedPeaks[] = {peaks.shortPulse, peaks.mediumPulse, peaks.longPulse};
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(s.peaks[k], composedPeaks[k], 4);
  }
}

INSTANTIATE_TEST_SUITE_P(EveryMachineAndVersion, ComposedTapes,
                         ::testing::Combine(::testing::Values(0, 1, 2), ::testing::Values(0, 1, 2)));

TEST(RomDecoder, LeaderMustBeLongerThanAThousandPositions) {
  // Version 2 counts half-wave positions up to the pulse that ends the
  // leader: 2n - 1 for a leader of n pulses. There an odd run of half-waves
  // (a stray one before the leader) starts one half-wave later. A header near
  // the end (`cut`: the file ends 40 bytes into it) has fewer than 1,025
  // pulses after its leader: the classes are tuned from what remains, and the
  // name still reads. A leader right after a false one counts from its first pulse.
  const struct {
    int version, pulses;
    bool stray, found, cut = false, afterFalseLeader = false;
  } cases[] = {{0, 1000, false, false},      {0, 1001, false, true},       {0, 1001, false, true, false, true},
               {1, 1000, false, false},      {1, 1001, false, true},       {2, 500, false, false},
               {2, 501, false, true},        {2, 500, true, false},        {2, 1200, true, true},
               {0, 1100, false, true, true}, {1, 1100, false, true, true}, {2, 1100, false, true, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "version " << c.version << ", " << c.pulses << " pulses, cut " << c.cut);
    TapeComposer composer(1, static_cast<uint8_t>(c.version));
    if (c.afterFalseLeader) {  // a leader ended by one long pulse with no header after it
      composer.AddPulses(test::DefaultPeaks(1).shortPulse, 1100);
      composer.AddPulses(test::DefaultPeaks(1).longPulse, 1);
    }
    const auto layout = composer.AddProgram({.name = "EDGE", .leaderPulses = c.pulses, .strayHalfWave = c.stray});
    TapImage image = composer.Image();
    if (c.cut) {
      image.bytes.resize(static_cast<size_t>(layout.headerPos + 40 * 20 * composer.step()));
      image.bytes.push_back(0);
    }
    const auto sections = FindAllSections(image);
    ASSERT_EQ(sections.size(), c.found ? 1u : 0u);
    if (c.found) {
      EXPECT_EQ(std::tuple(sections[0].start, sections[0].name, sections[0].headerChecksumOk, sections[0].repeatPos),
                std::tuple(layout.start + (c.stray ? 1 : 0), "EDGE", !c.cut, c.cut ? 0 : layout.repeatPos));
    }
  }
}

// A version-1 C64 image of one sample: the values repeated to 1,025 pulses.
TapImage SampleImage(const std::vector<int>& values, std::vector<uint8_t> pulses = {}) {
  for (size_t k = pulses.size(); k < RomDecoder::kSampleSize; ++k) {
    pulses.push_back(static_cast<uint8_t>(values[k % values.size()]));
  }
  return test::RawImage(1, pulses);
}

TEST(RomDecoder, ThreeClustersSetTheClassBoundsOtherCountsLeaveThemAlone) {
  const struct {
    std::vector<int> values;
    size_t clusters;
    std::vector<uint8_t> first = {};  // pulses before the repeated values
  } cases[] = {
      {{40, 60, 80, 120}, 4},
      {{40, 80}, 2},
      {{4, 40, 60, 80}, 3},   // a value below 5 never starts a cluster
      {{40, 43, 60, 80}, 3},  // gaps of up to four empty values stay inside
      {{40, 45, 60, 80}, 3},  // ... of four as well
      {{40, 46, 60, 80}, 4},  // five empty values end a cluster
      // A zero and its three count bytes are not pulses: the 48s are skipped, the 60 after them counts.
      {{40, 80}, 3, {0, 48, 48, 48, 60}},
  };
  for (const auto& c : cases) {
    const TapImage image = SampleImage(c.values, c.first);
    RomDecoder decoder(image);
    const auto before = decoder.Bounds();
    EXPECT_EQ(decoder.AdaptPulseClasses(kTapHeaderSize), c.clusters == 3);
    EXPECT_EQ(decoder.clusters().size(), c.clusters) << c.values.size();
    EXPECT_EQ(decoder.Bounds() == before, c.clusters != 3);  // set only from three clusters
  }

  std::vector<int> values;
  for (const int first : {30, 55, 80}) {
    for (int v = first; v < first + 16; ++v) values.push_back(v);
  }
  const TapImage image = SampleImage(values);
  RomDecoder decoder(image);
  ASSERT_TRUE(decoder.AdaptPulseClasses(kTapHeaderSize));
  // 1,025 values over 48: the first 17 values of the cycle are counted once
  // more; ties go to the lowest value.
  std::vector<std::array<int, 3>> clusters;
  for (const auto& cluster : decoder.clusters()) clusters.push_back({cluster.peak, cluster.first, cluster.end});
  EXPECT_EQ(clusters, (std::vector<std::array<int, 3>>{{30, 30, 46}, {55, 55, 71}, {80, 80, 96}}));
  EXPECT_EQ(decoder.Bounds(), (std::array<uint8_t, 6>{32, 50, 51, 76, 77, 99}));
  // Each bound inside its class (short S, medium M, long L), the values beyond it outside.
  std::string classes;
  for (int v : {31, 32, 50, 51, 76, 77, 99, 100}) {
    classes += decoder.IsShort(v) ? 'S' : decoder.IsMedium(v) ? 'M' : decoder.IsLong(v) ? 'L' : '-';
  }
  EXPECT_EQ(classes, "-SSMMLL-");
}

TEST(RomDecoder, NothingIsReadOutsideTheImage) {
  const TapImage image = test::RawImage(2, {40, 40, 200});
  RomDecoder decoder(image);
  // Half-wave pairs; the last real byte pairs with the trailing 0; outside: 0.
  const int64_t h = kTapHeaderSize;
  EXPECT_EQ((std::vector<int>{decoder.ReadPulse(-1), decoder.ReadPulse(h), decoder.ReadPulse(h + 1),
                              decoder.ReadPulse(h + 2), decoder.ReadPulse(h + 3), decoder.ReadPulse(1LL << 40)}),
            (std::vector<int>{0, 80, 240, 200, 0, 0}));
  EXPECT_EQ(decoder.DecodeByte(kTapHeaderSize + 2), -1);
  EXPECT_EQ(decoder.FindRepeat(kTapHeaderSize, RomDecoder::kRepeatGap), -1);
  EXPECT_FALSE(decoder.ReadHeaderName(-100).has_value() || decoder.AdaptPulseClasses(1LL << 40));
  TapeSection section;
  EXPECT_FALSE(decoder.FindNextSection(-50, section));
  // Whatever bounds a caller sets, the 0 that reads outside give is no pulse.
  decoder.SetBounds({0, 50, 51, 76, 77, 99});
  EXPECT_FALSE(decoder.IsShort(0));
}

// The data of every program found, each searched up to the next program's start.
std::vector<DataResult> ReadAll(const TapImage& image) { return test::ReadAllData(image, FindAllSections(image)); }

// As a PRG file: the load address, low byte first, then the data.
std::vector<uint8_t> Prg(std::vector<uint8_t> data, uint16_t address) {
  data.insert(data.begin(), {static_cast<uint8_t>(address), static_cast<uint8_t>(address >> 8)});
  return data;
}

TEST(DataBlock, CopiesAreReadMendedAndChecked) {
  const std::vector<uint8_t> data = test::ProgramData(300, 9);
  using enum DataState;
  // Byte indices within a block: 0..8 countdown, 9.. data, 309 checksum.
  const struct {
    const char* what;
    uint8_t machine, version;
    ComposedProgram faults;
    size_t cutBytes;  // removed from the end of the file
    DataState state;
    int firstErrors, repeatErrors, combinedErrors;
    int lostPulseByte = -1;  // a first-copy byte (index as above) that loses a pulse
  } cases[] = {
      {"both copies good", 0, 1, {}, 0, Good, 0, 0, 0},
      {"both good, C16 half-waves", 2, 2, {}, 0, Good, 0, 0, 0},
      {"first mended", 0, 1, {.dataParityErrors = {9, 150}, .dataBrokenBytes = {200, 309}}, 0, Good, 4, 0, 0},
      {"VIC-20 half-waves mended", 1, 2, {.dataBrokenBytes = {10, 11, 12}}, 0, Good, 3, 0, 0},
      {"both bad, other bytes", 0, 0, {.dataParityErrors = {20}, .dataRepeatParityErrors = {21}}, 0, Good, 1, 1, 0},
      {"bad at one byte", 0, 1, {.dataParityErrors = {20, 30}, .dataRepeatParityErrors = {30}}, 0, Damaged, 2, 1, 1},
      {"a lost pulse is read past", 0, 1, {}, 0, Good, 1, 0, 0, 100},
      {"missing repeat", 0, 1, {.dataRepeat = false}, 0, Good, 0, 301, 0},
      {"missing repeat, first damaged", 0, 1, {.dataParityErrors = {40}, .dataRepeat = false}, 0, Damaged, 1, 301, 1},
      // The file ends 100 bytes (2,000 pulses) before the first copy's end.
      {"tape ends inside the data", 0, 1, {.dataRepeat = false}, 2 + 79 + 78 + 2000, Damaged, 100, 301, 100},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TapeComposer composer(c.machine, c.version, 0, 5);
    composer.SetJitter(2);
    ComposedProgram program = c.faults;
    program.name = "DATA";
    program.leaderPulses = 1500;
    program.data = data;
    const auto layout = composer.AddProgram(program);
    TapImage image = composer.Image();
    image.bytes.resize(image.bytes.size() - 1 - c.cutBytes * composer.step());
    image.bytes.push_back(0);
    if (c.lostPulseByte >= 0) image.bytes.erase(image.bytes.begin() + layout.dataPos + c.lostPulseByte * 20 + 5);

    const auto results = ReadAll(image);
    ASSERT_EQ(results.size(), 1u);
    const DataResult& r = results[0];
    const bool good = c.state == DataState::Good;
    // State; type and addresses (a relocatable program loads at the start of BASIC: 1001 on
    // the C16); the first copy (found, where, errors, all 301 bytes accounted for, checksum);
    // the repeat (found, where, errors); the combined errors and checksum; whole.
    EXPECT_EQ(
        (std::vector<int64_t>{static_cast<int>(r.state), r.fileType, r.startAddress, r.endAddress, r.loadAddress,
                              r.first.found, r.first.pos, r.first.readErrors, r.first.bytesRead + r.first.readErrors,
                              r.first.checksumOk, r.repeat.found, r.repeat.pos, r.repeat.readErrors, r.combinedErrors,
                              r.checksumOk, r.whole()}),
        (std::vector<int64_t>{static_cast<int>(c.state), 1, 0x0801, 0x0801 + 300, c.machine == 2 ? 0x1001 : 0x0801,
                              true, layout.dataPos, c.firstErrors, 301, c.firstErrors == 0, c.faults.dataRepeat,
                              layout.dataRepeatPos - (c.lostPulseByte >= 0 ? 1 : 0), c.repeatErrors, c.combinedErrors,
                              good, good}));
    if (good) {
      EXPECT_EQ(PrgFileBytes(r), Prg(data, c.machine == 2 ? 0x1001 : 0x0801));
    }
  }
}

TEST(DataBlock, NoDataBlockIsMissingAndWrongBytesFailTheChecksum) {
  TapeComposer composer(0, 1, 0, 3);
  composer.AddProgram({.name = "NO DATA", .leaderPulses = 1500});
  // A byte that reads cleanly but wrongly in both copies: only the checksum tells.
  const auto layout = composer.AddProgram({.name = "WRONG", .data = test::ProgramData(50, 2), .leaderPulses = 1500});
  composer.AddProgram({.name = "AFTER", .data = test::ProgramData(10, 3), .leaderPulses = 1500});
  // The end address's high byte unreadable, and no repeat to mend it.
  composer.AddProgram({.name = "UNREAD",
                       .data = test::ProgramData(10, 4),
                       .leaderPulses = 1500,
                       .headerRepeat = false,
                       .wrongParityByte = 13});
  // An end address below the start: no loader could load it.
  composer.AddProgram(
      {.name = "BACKWARDS", .startAddress = 0xFFF0, .data = test::ProgramData(50, 5), .leaderPulses = 1500});
  // Of the countdown only its last byte reads: one byte does not mark a block.
  composer.AddProgram({.name = "WORN",
                       .data = test::ProgramData(50, 6),
                       .leaderPulses = 1500,
                       .dataParityErrors = {0, 1, 2, 3, 4, 5, 6, 7},
                       .dataRepeat = false});
  TapImage image = composer.Image();
  const auto flip = [&](int64_t blockPos) {
    // Data byte 5 with its bits 0 and 1 inverted (each pair's two pulses
    // swapped): two flipped bits keep the parity, so the byte reads cleanly.
    for (int k : {0, 1}) {
      const int64_t pair = blockPos + (9 + 5) * 20 + 2 * (k + 1);
      std::swap(image.bytes[static_cast<size_t>(pair)], image.bytes[static_cast<size_t>(pair + 1)]);
    }
  };
  flip(layout.dataPos);
  flip(layout.dataRepeatPos);

  const auto results = ReadAll(image);
  ASSERT_EQ(results.size(), 6u);
  EXPECT_EQ((std::vector<int>{results[0].first.found, results[0].repeat.found, results[1].combinedErrors,
                              results[1].checksumOk, results[3].headerRead}),
            (std::vector<int>{false, false, 0, false, false}));
  std::vector<DataState> states;
  for (const DataResult& result : results) states.push_back(result.state);
  EXPECT_EQ(states, (std::vector<DataState>{DataState::Missing, DataState::Damaged, DataState::Good, DataState::Damaged,
                                            DataState::Damaged, DataState::Missing}));
}

TEST(DataBlock, ABlockEndsAtItsEndMarkerNotAtTheHeadersEndAddress) {
  // A boot program's block may hold fewer bytes than its header's range; the
  // loader stops at the block's end marker and checks the checksum there.
  const std::vector<uint8_t> data = test::ProgramData(16, 7);
  std::vector<uint8_t> typeFirst = test::ProgramData(32, 9);
  typeFirst[0] = 1;  // a program type, as a header's first byte
  const std::vector<uint8_t> big = test::ProgramData(512, 8);
  using enum DataState;
  const ComposedProgram boot = {.startAddress = 0x0316, .data = data, .headerLength = 32};
  const auto with = [&](ComposedProgram program, std::vector<int> errors, std::vector<int> repeatErrors,
                        bool repeat = true) {
    program.dataParityErrors = errors;
    program.dataRepeatParityErrors = repeatErrors;
    program.dataRepeat = repeat;
    return program;
  };
  const struct {
    const char* what;
    ComposedProgram program;
    DataState state;
    int firstErrors, combinedErrors;
    size_t length;
  } cases[] = {
      {"short, both copies", boot, Short, 0, 0, 16},
      {"short, first copy mended", with(boot, {12}, {}), Short, 1, 0, 16},
      {"short, damaged in both copies", with(boot, {12}, {12}), Damaged, 1, 1, 16},
      {"short, no repeat", with(boot, {}, {}, false), Short, 0, 0, 16},
      // Then a pause and a long run of pulses that are no ROM block: nothing of it is read.
      {"512 of 4,000 bytes", {.data = big, .headerLength = 4000, .dataRepeat = false}, Short, 0, 0, 512},
      // A data block whose first byte is a program type is no second program's header.
      {"data that starts with a type byte", {.data = typeFirst}, Good, 0, 0, 32},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TapeComposer composer(0, 1, 0, 4);
    composer.SetJitter(2);
    ComposedProgram program = c.program;
    program.name = "BOOT";
    program.fileType = 3;  // absolute: loads at its header's start address
    program.leaderPulses = 1500;
    composer.AddProgram(program);
    composer.AddSilence(100000);
    for (int i = 0; i < 20000; ++i) composer.AddPulses(i % 2 == 0 ? 26 : 40, 1);
    const auto results = ReadAll(composer.Image());
    ASSERT_EQ(results.size(), 1u);
    const DataResult& r = results[0];
    EXPECT_EQ((std::vector<int64_t>{static_cast<int>(r.state), r.first.readErrors, r.combinedErrors, r.Length(),
                                    r.first.endMarker, r.repeat.found}),
              (std::vector<int64_t>{static_cast<int>(c.state), c.firstErrors, c.combinedErrors,
                                    static_cast<int64_t>(c.length), true, c.program.dataRepeat}));
    if (r.whole()) {
      EXPECT_EQ(PrgFileBytes(r), Prg(c.program.data, c.program.startAddress));
    }
  }
}

TEST(RealTapes, GiveTheKnownProgramsAndReadWhole) {
  const std::string folder = test::RealTapesFolder();
  if (folder.empty()) GTEST_SKIP() << "the real tape images are not beside the project";
  // Each program: its name, the offset of the first byte after its header's
  // countdown, and the addresses its data goes to. Both header copies and both
  // data copies read with good checksums; a relocatable program goes to the
  // start of C64 BASIC whatever address the (VIC-20) machine that saved it had.
  using Program = std::tuple<std::string, int64_t, bool, bool, int, int>;
  const std::pair<const char*, std::vector<Program>> tapes[] = {
      {"print_h.tap", {{"H", 0x006AC8, true, true, 0x0801, 0x080C - 0x0801}}},
      {"bender.tap", {{"ALL INSTRUCTIONS", 0x006ACC, true, true, 0x0801, 0x0941 - 0x0801}}},
      {"fileabcdef.tap", {{"ABCDEF.TAP", 0x006ACC, true, true, 0x0400, 0x0407 - 0x0400}}},
      {"salmon.tap",
       {{"SALMON RUN", 0x004EE8, true, true, 0x0801, 0x15CC - 0x0801},
        {"2", 0x02FBAF, true, true, 0x0801, 0x0D01 - 0x0801},
        {"3", 0x0448BF, true, true, 0x0801, 0x08CD - 0x0801}}}};
  for (const auto& [file, programs] : tapes) {
    TapImage image;
    ASSERT_TRUE(LoadTapImage(folder + "/" + file, image)) << file;
    const auto sections = FindAllSections(image);
    const auto results = test::ReadAllData(image, sections);
    std::vector<Program> found;
    for (size_t i = 0; i < sections.size(); ++i) {
      const auto& [section, r] = std::tie(sections[i], results[i]);
      found.emplace_back(section.name, section.headerPos + 9 * RomDecoder(image).bytePulses(),
                         section.headerChecksumOk && section.repeatChecksumOk,
                         r.state == DataState::Good && r.first.checksumOk && r.repeat.checksumOk, r.loadAddress,
                         r.Length());
    }
    EXPECT_EQ(found, programs) << file;
  }
}

// The fast walks against plain ones that read one position at a time as the
// format rules read: the section search (which skips ahead), the durations of
// many stretches in one pass, and the decode of a byte's 20 pulses at once.

std::vector<std::pair<int64_t, int64_t>> PlainSearch(const TapImage& image) {
  std::vector<std::pair<int64_t, int64_t>> found;
  RomDecoder decoder(image);
  bool inLeader = false;
  int64_t leaderStart = 0;
  for (int64_t p = kTapHeaderSize; p < image.FileLength(); ++p) {
    if (image.bytes[static_cast<size_t>(p)] == 0) {
      // Silence: a zero and its three count bytes, or (version 0) a run of zeros.
      if (image.version >= 1) p += 3;
      while (image.version == 0 && p + 1 < image.FileLength() && image.bytes[static_cast<size_t>(p + 1)] == 0) ++p;
      inLeader = false;
      decoder.SetPulseClasses(image.machine, image.version);
    } else if (decoder.IsShort(decoder.ReadPulse(p))) {
      // A leader's first pulse moves the search on by a whole pulse.
      if (!inLeader) {
        leaderStart = p;
        p += decoder.step() - 1;
      }
      inLeader = true;
    } else if (inLeader) {
      inLeader = false;
      if (p - leaderStart <= 1000) continue;
      if (image.version == 2) {
        ++p;
        if ((p - leaderStart) % 2 != 0) ++leaderStart;
      }
      if (decoder.AdaptPulseClasses(p) && decoder.ReadHeaderName(p)) found.emplace_back(leaderStart, p);
    }
  }
  return found;
}

double PlainDuration(const TapImage& image, int64_t first, int64_t last) {
  PulseCounts counts;
  const int64_t length = image.FileLength();
  for (int64_t i = std::max<int64_t>(first, 0); i <= std::min(last, length - 1); ++i) {
    const uint8_t b = image.bytes[static_cast<size_t>(i)];
    if (b != 0) {
      ++counts.pulses[b];
    } else if (i + 3 <= length - 1) {
      counts.longCycles += image.bytes[i + 1] + 256.0 * image.bytes[i + 2] + 65536.0 * image.bytes[i + 3];
      i += 3;
    }
  }
  return counts.Duration(SelectClock(0, 0));
}

TEST(DataBlock, FastWalksAgreeWithThePlainOnes) {
  std::mt19937 random(99);
  const auto below = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  // The sections an image has, searched both ways, and the durations of
  // stretches with gaps, adjacent ones, ones a record reaches into, ones past the end.
  const auto compare = [&](const TapImage& image, const std::string& what) {
    SCOPED_TRACE(what);
    std::vector<std::pair<int64_t, int64_t>> fast, stretches;
    for (const auto& section : FindAllSections(image)) fast.emplace_back(section.start, section.headerPos);
    EXPECT_EQ(fast, PlainSearch(image));
    for (int64_t p = kTapHeaderSize + below(4); p < image.FileLength() + 2;
         p = std::max(p, stretches.back().second) + 1 + below(9))
      stretches.emplace_back(p, p + below(40) - 1);
    const StretchTimes times = MeasureStretches(image, stretches, SelectClock(0, 0));
    EXPECT_EQ(times.total, PlainDuration(image, kTapHeaderSize, image.FileLength() - 1));
    for (size_t k = 0; k < stretches.size(); ++k) {
      const auto [first, last] = stretches[k];
      EXPECT_EQ(times.stretches[k], PlainDuration(image, first, last)) << "stretch " << k;
      EXPECT_EQ(PulseDuration(image, first, last, SelectClock(0, 0)), times.stretches[k]) << "stretch " << k;
    }
    return fast.size();
  };
  // Leaders near the length that counts (version 2 counts two half-wave
  // positions a pulse), noise half of short pulses with a zero now and then,
  // silences, headers right after such leaders, programs.
  for (int round = 0; round < 36; ++round) {
    const auto version = static_cast<uint8_t>(round / 12), machine = static_cast<uint8_t>(round % 3);
    TapeComposer composer(machine, version, 0, static_cast<uint32_t>(round + 1));
    composer.SetJitter(round % 4);
    const auto peaks = test::DefaultPeaks(machine);
    const int counts = version == 2 ? 500 : 1000, shortByte = peaks.shortPulse / composer.step();
    const auto noise = [&](int size, int share) {
      std::vector<uint8_t> bytes(static_cast<size_t>(size));
      for (auto& b : bytes) {
        const int kind = below(64) + share;
        b = static_cast<uint8_t>(kind == 0 ? 0 : kind < 32 ? shortByte + below(3) : 1 + below(255));
      }
      return bytes;
    };
    for (int segment = 0; segment < 60; ++segment) {
      const int kind = below(7);
      if (kind == 0) composer.AddPulses(peaks.shortPulse, counts - 10 + below(30));
      if (kind == 1) composer.AddRaw(noise(below(3000), 0));
      if (kind == 2) composer.AddSilence(below(3) == 0 ? 0x100000 : 1 + below(5000));
      if (kind == 3) composer.AddPulses(peaks.shortPulse, 500 + below(2000)), composer.AddByte(137);
      if (kind == 4) composer.AddRaw(noise(below(40), 32));
      if (kind == 4) composer.AddProgram({.name = "T", .leaderPulses = counts - 5 + below(11)});
      if (kind > 4)
        composer.AddProgram({.name = "P" + std::to_string(segment),
                             .data = test::ProgramData(below(100), static_cast<uint32_t>(segment + 1)),
                             .leaderPulses = 1001 + below(500),
                             .strayHalfWave = below(2) == 0});
    }
    EXPECT_GT(compare(composer.Image(), "round " + std::to_string(round)), 0u);
  }
  // Runs of repeated values and of zeros (records).
  for (int trial = 0; trial < 300; ++trial) {
    std::vector<uint8_t> pulses;
    while (pulses.size() < static_cast<size_t>(40 + trial * 7))
      pulses.insert(pulses.end(), 1 + below(12), static_cast<uint8_t>(below(20) == 0 ? 0 : 1 + below(255)));
    compare(test::RawImage(static_cast<uint8_t>(trial % 3), pulses), "trial " + std::to_string(trial));
  }
  if (const std::string folder = test::RealTapesFolder(); !folder.empty()) {
    for (const char* file : {"print_h.tap", "bender.tap", "fileabcdef.tap", "salmon.tap"}) {
      TapImage image;
      ASSERT_TRUE(LoadTapImage(folder + "/" + file, image));
      EXPECT_GT(compare(image, file), 0u);
    }
  }
  // The decode: pulses at and beside the class bounds, bounds at 0 and 255,
  // an empty class, overlapping classes, in version 2 half-waves whose sum
  // passes 255; every position decodes alike both ways (value, marker error
  // -1, parity error -2).
  int decoded = 0;
  for (int trial = 0; trial < 200; ++trial) {
    TapImage image;
    image.version = trial % 2 == 0 ? 1 : 2;
    std::array<uint8_t, 6> bounds{};
    for (int b = 0, bound = trial % 3 == 0 ? 0 : 20; b < 6; ++b, bound += 1 + below(60))
      bounds[b] = static_cast<uint8_t>(std::min(255, bound));
    if (trial % 7 == 0) std::swap(bounds[2], bounds[3]);
    if (trial % 5 == 0) bounds[2] = bounds[1];  // one value both short and medium: no fast decode
    for (int i = 0; i < 400; ++i) {
      // Now and then a well-formed byte, so that values and parities are compared too: pair 0 the
      // marker (long, medium), pairs 1..8 the bits and 9 the parity (bit 8 of `value`); a 0 is short
      // then medium, a 1 medium then short. Its pulses mid-class, one in eight beside a bound.
      const bool wellFormed = below(2) == 0;
      const unsigned byte = random() % 256;
      const unsigned value = byte | (1u ^ static_cast<unsigned>(__builtin_parity(byte))) << 8;
      for (int k = 0; k < 20; ++k) {
        const int pair = k / 2;
        int cls = below(3);
        if (wellFormed) cls = pair == 0 ? 2 - k % 2 : static_cast<int>((value >> (pair - 1) & 1u) ^ (k % 2));
        const int pulse = !wellFormed || below(8) == 0 ? std::clamp(bounds[2 * cls + below(2)] + below(5) - 2, 0, 255)
                                                       : (bounds[2 * cls] + bounds[2 * cls + 1] + 1) / 2;
        // Version 2: the first half-wave anything up to the pulse, now and then 255 (the sum passes 255).
        const int first = image.version == 1 ? pulse : below(8) == 0 ? 255 : below(pulse + 1);
        image.bytes.push_back(static_cast<uint8_t>(first));
        if (image.version == 2) image.bytes.push_back(static_cast<uint8_t>(std::max(0, pulse - first)));
      }
    }
    image.bytes.push_back(0);
    DataBlockReader reader(image);
    DataBlockReaderProbe::SetClasses(reader, bounds);
    for (int64_t pos = 0; pos < static_cast<int64_t>(image.bytes.size()); ++pos) {
      const int checked = DataBlockReaderProbe::Checked(reader, pos);
      ASSERT_EQ(DataBlockReaderProbe::Fast(reader, pos), checked) << "trial " << trial << ", position " << pos;
      decoded += checked >= 0 ? 1 : 0;
    }
  }
  EXPECT_GT(decoded, 2000);  // the well-formed bytes did decode
}

// Every file of the families read here that the peer lists is found, in
// order, with its addresses, checksum state and bytes; its start lies within
// a byte of the peer's (where a pilot begins is a judgement). The ROM
// programs are not touched: no turbo file reaches into one.
TEST(RealTurboTapes, MatchThePeersListing) {
  const std::string folder = test::TurboTapesFolder();
  if (folder.empty()) GTEST_SKIP() << "the real turbo tapes are not beside the project (../shared/testdata/turbo)";
  // Each tape and the bytes of it that the peer leaves unaccounted for
  // (expected/coverage.tsv): Reelwright leaves no more.
  const std::pair<const char*, int64_t> tapes[] = {{"ikplus_freeload.tap", 0},
                                                   {"rambo_ocean.tap", 0},
                                                   {"openroms_turbotape250.tap", 23551 - 23544},
                                                   {"zaxxon_novaload.tap", 0},
                                                   {"adp_cozumel1_visiload.tap", 0}};
  for (const auto& [tape, peerUnaccounted] : tapes) {
    SCOPED_TRACE(tape);
    TapImage image;
    ASSERT_TRUE(LoadTapImage(folder + "/" + tape, image));
    std::vector<TapeStretch> rom;
    const auto files = test::TurboFilesOf(image, &rom);
    int64_t unaccounted = 0;
    for (const auto& stretch : FindUnrecognised(image, rom, files)) unaccounted += stretch.end - stretch.start;
    EXPECT_LE(unaccounted, peerUnaccounted);
    const auto expected = test::ReadPeerListing(folder + "/expected/" + tape + std::string(".tsv"));
    EXPECT_EQ(files.size(), expected.size());
    std::vector<std::vector<uint8_t>> written;
    std::vector<std::string> sums;  // the peer's SHA-256 of each
    for (size_t i = 0; i < std::min(files.size(), expected.size()); ++i) {
      const TurboFile& f = files[i];
      const test::PeerFile& e = expected[i];
      SCOPED_TRACE("file " + std::to_string(i) + " at " + HexPad(static_cast<uint32_t>(e.start), 4));
      const std::string checksum = e.checksum == "PASS" ? "OK" : e.checksum == "FAIL" ? "ERROR" : "none";
      EXPECT_EQ(std::tuple(f.loader, HexPad(f.loadAddress, 4), HexPad(f.endAddress, 4),
                           std::string(TurboChecksumText(f.checksum)), f.readErrors),
                std::tuple(e.family, HexPad(e.loadAddress, 4), HexPad(e.endAddress, 4), checksum, 0));
      EXPECT_LE(std::abs(f.start - e.start), 8);
      // The peer writes no file for the blocks a loader loads into itself.
      if (!e.sha256.empty()) {
        written.push_back(TurboPrgBytes(f));
        sums.push_back(e.sha256);
      }
    }
    EXPECT_EQ(test::Sha256Hexes(written), sums);
  }
}

// One tape holding every family, between and after ROM programs: each file
// reads back with its family, addresses, name and bytes, with pulse jitter
// and the tape's speed off by a few percent and drifting. Families that share
// pulses (Freeload, Ocean New, US Gold, Ace of Aces; Novaload, Novaload
// Special, Ocean/Imagine) or a format (Virgin, Hi-Tec) sit side by side, some
// without a pause between. Burner reads as the boot program before it set
// its loader up: most significant bit first after the first, least after the
// second; Jetload, without a pilot to speak of, right after another file.
TEST(TurboFiles, ComposedFilesReadBack) {
  struct Row {
    const char* family;
    uint16_t load;
    size_t size;
    const char* name;  // expected name; nullptr where the format has none
    TurboChecksum checksum;
    bool pauseAfter;
    bool special = false;   // Bleepload's special chain
    size_t firstBlock = 0;  // a chain lists one file per block: this size, then 256 bytes; 0: no chain
  };
  const Row rows[] = {
      {"Freeload", 0x0800, 700, nullptr, TurboChecksum::Ok, false},
      {"US Gold", 0xC000, 300, "GOLDEN FILE     ", TurboChecksum::Ok, false},
      {"Ocean New", 0x4000, 257, nullptr, TurboChecksum::Ok, true},
      {"Ace of Aces", 0x2000, 1000, "ACES HIGH       ", TurboChecksum::Ok, true},
      {"Burner", 0x3000, 600, nullptr, TurboChecksum::None, true},
      {"Microload", 0x1000, 333, nullptr, TurboChecksum::Ok, true},
      {"Turbotape 250", 0x0801, 900, "TURBO NAME      ", TurboChecksum::Ok, true},
      {"Burner", 0x5000, 450, nullptr, TurboChecksum::None, false},
      {"Jetload", 0x9000, 350, nullptr, TurboChecksum::None, true},
      {"Novaload", 0x3000, 600, "NOVA", TurboChecksum::Ok, false},
      {"Novaload Special", 0xE000, 512, nullptr, TurboChecksum::Ok, true, false, 256},
      {"Ocean/Imagine", 0xC000, 768, nullptr, TurboChecksum::None, true, false, 256},
      {"Virgin", 0x0801, 500, nullptr, TurboChecksum::Ok, false},
      {"Hi-Tec", 0x6000, 400, nullptr, TurboChecksum::Ok, true},
      {"Wildload", 0xA000, 768, nullptr, TurboChecksum::Ok, true, false, 256},
      {"Bleepload", 0x4000, 64 + 512, nullptr, TurboChecksum::Ok, true, false, 64},
      {"Bleepload", 0x7000, 512, nullptr, TurboChecksum::Ok, true, true, 256},
      {"Freeload", 0xF000, 0x1000, nullptr, TurboChecksum::Ok, true},  // its last byte at $FFFF
  };
  const std::tuple<int, double, double> speeds[] = {
      {0, 1.0, 0}, {2, 0.96, 4e-7}, {3, 1.04, -4e-7}};  // jitter, speed, drift
  for (const auto& [jitter, factor, drift] : speeds) {
    SCOPED_TRACE(factor);
    TapeComposer composer(0, 1, 0, 5);
    composer.SetJitter(jitter);
    composer.SetTurboSpeed(factor, drift);
    const BurnerSettings burners[] = {{true, 0x33, 0x5C}, {false, 0x47, 0xCB}};
    composer.AddProgram(
        {.name = "BOOT", .data = test::ProgramData(300, 1), .headerTail = test::BurnerHeaderTail(burners[0])});
    std::vector<std::vector<uint8_t>> data;
    std::vector<test::ComposedTurboLayout> layouts;
    for (const Row& row : rows) {
      data.push_back(test::ProgramData(row.size, static_cast<uint32_t>(row.load)));
      layouts.push_back(composer.AddTurboFile({.family = row.family,
                                               .loadAddress = row.load,
                                               .data = data.back(),
                                               .name = row.name != nullptr ? std::string(row.name).substr(0, 16) : "",
                                               .burner = burners[&row < &rows[6] ? 0 : 1],
                                               .special = row.special}));
      if (row.pauseAfter) composer.AddSilence(100000);
      if (&row == &rows[5]) {
        composer.AddProgram(
            {.name = "MIDDLE", .data = test::ProgramData(100, 2), .headerTail = test::BurnerHeaderTail(burners[1])});
      }
    }
    const TapImage image = composer.Image();
    ASSERT_EQ(FindAllSections(image).size(), 2u);
    const auto files = test::TurboFilesOf(image);
    size_t k = 0;
    for (size_t i = 0; i < std::size(rows); ++i) {
      const Row& row = rows[i];
      SCOPED_TRACE(row.family);
      std::vector<size_t> sizes;
      for (size_t n = 0; n < row.size; n += sizes.back()) {
        sizes.push_back(row.firstBlock == 0 ? row.size : n == 0 ? row.firstBlock : 256);
      }
      const size_t blocks = sizes.size();
      for (size_t b = 0, offset = 0; b < blocks; offset += sizes[b], ++b, ++k) {
        ASSERT_LT(k, files.size());
        const TurboFile& f = files[k];
        const std::optional<std::string> name =
            row.name != nullptr && b == 0 ? std::optional<std::string>(row.name) : std::nullopt;
        EXPECT_EQ(std::tuple(f.loader, f.loadAddress, f.endAddress, f.checksum, f.readErrors, f.name),
                  std::tuple(row.family, row.load + offset, row.load + offset + sizes[b], row.checksum, 0, name));
        EXPECT_TRUE(std::equal(f.bytes.begin(), f.bytes.end(), data[i].begin() + static_cast<ptrdiff_t>(offset)));
        // A pilot of 0 bits right after another file's tone takes the tone in.
        const bool afterTone = i > 0 && !rows[i - 1].pauseAfter;
        if (b == 0) {
          EXPECT_GE(f.start, afterTone ? layouts[i - 1].dataEnd : layouts[i].start);
          EXPECT_LE(f.start, layouts[i].start);
        }
        if (b + 1 == blocks) {
          EXPECT_GE(f.end, layouts[i].dataEnd);
        }
      }
    }
    EXPECT_EQ(k, files.size());
  }
}

// A byte changed after its checksum was taken gives ERROR where the format
// has a checksum; a tape cut inside a file gives the file with its missing
// bytes as read errors, never as good.
TEST(TurboFiles, DamageIsReported) {
  const char* families[] = {"Freeload",      "Ocean New", "US Gold",          "Ace of Aces", "Microload",
                            "Turbotape 250", "Novaload",  "Novaload Special", "Virgin",      "Hi-Tec",
                            "Burner",        "Jetload",   "Wildload",         "Bleepload"};
  const BurnerSettings burner{false, 0x95, 0x6A};
  std::vector<uint8_t> boot(21, 0);
  for (uint8_t b : test::BurnerHeaderTail(burner)) boot.push_back(b);
  for (const char* family : families) {
    const bool checked = std::string(family) != "Burner" && std::string(family) != "Jetload";
    for (const bool cut : {false, true}) {
      if (!checked && !cut) continue;
      SCOPED_TRACE(std::string(family) + (cut ? " cut" : " corrupt"));
      TapeComposer composer(0, 1);
      // Bleepload's first block holds 64 bytes.
      const auto data = test::ProgramData(std::string(family) == "Bleepload" ? 576 : 512, 9);
      const int corrupt = cut ? -1 : static_cast<int>(data.size()) - 212;  // in the last 256-byte block
      const auto layout = composer.AddTurboFile(
          {.family = family, .loadAddress = 0x2000, .data = data, .corruptByte = corrupt, .burner = burner});
      auto bytes = composer.FileBytes();
      if (cut) bytes.resize(static_cast<size_t>(layout.dataEnd - 2000));
      TapImage image;
      ASSERT_TRUE(LoadTapImageFromBytes("t.tap", bytes, image));
      const auto files = FindTurboFiles(image, {}, {{0, boot}});
      ASSERT_FALSE(files.empty());
      // Read for a listing, the files are the same but for their bytes.
      auto listed = FindTurboFiles(image, {}, {{0, boot}}, TurboBytes::Dropped);
      for (size_t i = 0; i < listed.size() && i < files.size(); ++i) listed[i].bytes = files[i].bytes;
      EXPECT_EQ(listed, files);
      // Without the boot program that sets it up, no Burner file is read.
      EXPECT_TRUE(std::string(family) != "Burner" || FindTurboFiles(image, {}).empty());
      const TurboFile& damaged = files.back();  // a chain's second block holds byte 300
      EXPECT_EQ(std::tuple(damaged.loader, damaged.checksum, damaged.usable()),
                std::tuple(family, checked ? TurboChecksum::Error : TurboChecksum::None, false));
      EXPECT_TRUE(!cut || damaged.readErrors > 0);
      EXPECT_LE(damaged.end, image.FileLength());
    }
  }
}

// Rounded shares always add up to 100: the hundredths lost in rounding go
// to the shares that lost the most.
TEST(TapeCoverage, RoundedSharesAddUpToAHundred) {
  const std::pair<TapeCoverage, TapeCoverage> rows[] = {
      // exact, rounded
      {{100.0 / 3, 100.0 / 3, 0, 100.0 / 3}, {33.34, 33.33, 0, 33.33}},
      {{8.974, 91.016, 0.005, 0.005}, {8.97, 91.02, 0.01, 0}},
      {{50, 50, 0, 0}, {50, 50, 0, 0}},
      {{0, 0, 0, 0}, {0, 0, 0, 0}},
  };
  const auto shares = [](const TapeCoverage& c) {
    return std::vector<double>{c.romPercent, c.turboPercent, c.pausePercent, c.unrecognisedPercent};
  };
  for (const auto& [exact, rounded] : rows) EXPECT_EQ(shares(RoundedCoverage(exact)), shares(rounded));
}

// A Visiload chain whose blocks change the loader's settings as it plays
// (two extra bits per byte, the other bit order, filler bytes, a pilot again)
// reads back block by block, with jitter and drift; a byte whose extra bit is
// broken, or a tape cut inside a block, leaves that block unusable.
TEST(Visiload, ChainFollowsItsChangingSettings) {
  using Block = test::ComposedVisiloadBlock;
  const auto data = [](size_t size, uint32_t seed) { return test::ProgramData(size, seed); };
  const std::vector<Block> chain = {
      {0x0300, data(52, 1)},  {0x0801, data(300, 2)}, {0x034B, {10}},         {0x0347, {0x66}},
      {0xC000, data(256, 3)}, {0x03A4, {5}, true},    {0xC100, data(256, 4)}, {0x0347, {0x26}},
      {0x034B, {9}},          {0x03BB, data(32, 5)},  {0xFF00, data(256, 6)},
  };
  struct Case {
    const char* what;
    int jitter;
    double factor, drift;
    int brokenBlock;  // its byte 7 has a broken extra bit
    bool cut;         // the tape ends inside the last block
    uint8_t version = 1;
  };
  const Case cases[] = {{"clean", 0, 1.0, 0, -1, false},
                        {"slow, drifting", 3, 0.95, 0.0000004, -1, false},
                        {"fast, drifting back", 3, 1.05, -0.0000004, -1, false},
                        {"broken byte", 1, 1.0, 0, 4, false},
                        {"cut", 1, 1.0, 0, -1, true},
                        {"half-waves", 1, 1.0, 0, -1, false, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TapeComposer composer(0, c.version, 0, 3);
    composer.SetJitter(c.jitter);
    composer.SetTurboSpeed(c.factor, c.drift);
    composer.AddProgram({.name = "BOOT", .data = test::ProgramData(200, 1)});
    auto blocks = chain;
    if (c.brokenBlock >= 0) blocks[static_cast<size_t>(c.brokenBlock)].brokenByte = 7;
    const auto layout = composer.AddVisiloadChain(blocks);
    composer.AddSilence(100000);
    auto bytes = composer.FileBytes();
    if (c.cut) bytes.resize(static_cast<size_t>(layout.dataEnd - 100));
    TapImage image;
    ASSERT_TRUE(LoadTapImageFromBytes("t.tap", bytes, image));
    const auto files = test::TurboFilesOf(image);
    ASSERT_EQ(files.size(), blocks.size());
    for (size_t i = 0; i < blocks.size(); ++i) {
      SCOPED_TRACE(i);
      const TurboFile& f = files[i];
      const Block& b = blocks[i];
      const bool damaged = static_cast<int>(i) == c.brokenBlock || (c.cut && i + 1 == blocks.size());
      EXPECT_EQ(std::tuple(f.loader, f.checksum, f.loadAddress, f.endAddress, f.usable()),
                std::tuple("Visiload", TurboChecksum::None, b.loadAddress,
                           b.loadAddress + (b.endIsStart ? 0u : static_cast<unsigned>(b.data.size())), !damaged));
      if (!damaged) {
        EXPECT_EQ(f.bytes, b.endIsStart ? std::vector<uint8_t>{} : b.data);
      }
      EXPECT_EQ(f.start, i > 0 ? files[i - 1].end : layout.start);
      // Read between the bits' pulses, which the speed stretches.
      EXPECT_NEAR(f.threshold, (0x25 + 0x48) / 2 * c.factor, 3);
    }
    EXPECT_LE(files.back().end, image.FileLength());
    if (!c.cut) {
      EXPECT_GE(files.back().end, layout.dataEnd);
    }
  }
}

}  // namespace
}  // namespace rw
