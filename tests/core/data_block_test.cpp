// Reading programs' data blocks: both copies, the mending of the first copy by
// the repeat, and the checksum over the result.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "core/data_block.h"
#include "platform/messages.h"
#include "support/scratch_folder.h"
#include "support/tape_composer.h"

namespace rw {

struct DataBlockReaderProbe {
  static void SetClasses(DataBlockReader& reader, const std::array<uint8_t, 6>& bounds) { reader.SetClasses(bounds); }
  static int Fast(const DataBlockReader& reader, int64_t pos) { return reader.DecodeByte(pos); }
  static int Checked(const DataBlockReader& reader, int64_t pos) { return reader.DecodeByteChecked(pos); }
};

namespace {

// The data of every program found, each searched up to the next program's start.
std::vector<DataResult> ReadAll(const TapImage& image) {
  const auto sections = test::FindAllSections(image);
  const int step = image.version == 2 ? 2 : 1;
  std::vector<DataResult> results;
  DataBlockReader reader(image);
  for (size_t i = 0; i < sections.size(); ++i) {
    const int64_t limit = i + 1 < sections.size() ? sections[i + 1].start - step : image.FileLength() - 1;
    results.push_back(reader.Read(sections[i], limit));
  }
  return results;
}

TEST(DataBlock, CopiesAreReadMendedAndChecked) {
  const std::vector<uint8_t> data = test::ProgramData(300, 9);
  // Byte indices within a block: 0..8 countdown, 9.. data, 309 checksum.
  const struct {
    const char* what;
    uint8_t machine, version;
    test::ComposedProgram faults;
    size_t cutBytes;  // removed from the end of the file
    DataState state;
    int firstErrors, repeatErrors, combinedErrors;
    int lostPulseByte = -1;  // a first-copy byte (index as above) that loses a pulse
  } cases[] = {
      {"both copies good", 0, 1, {}, 0, DataState::Good, 0, 0, 0},
      {"both good, C16 half-waves", 2, 2, {}, 0, DataState::Good, 0, 0, 0},
      {"first copy mended by the repeat", 0, 1,
       {.dataParityErrors = {9, 150}, .dataBrokenBytes = {200, 309}}, 0, DataState::Good, 4, 0, 0},
      {"VIC-20 half-waves mended", 1, 2, {.dataBrokenBytes = {10, 11, 12}}, 0, DataState::Good, 3, 0, 0},
      {"both damaged at different bytes", 0, 0,
       {.dataParityErrors = {20}, .dataRepeatParityErrors = {21}}, 0, DataState::Good, 1, 1, 0},
      {"both damaged at the same byte", 0, 1,
       {.dataParityErrors = {20, 30}, .dataRepeatParityErrors = {30}}, 0, DataState::Damaged, 2, 1, 1},
      {"a lost pulse is read past", 0, 1, {}, 0, DataState::Good, 1, 0, 0, 100},
      {"missing repeat", 0, 1, {.dataRepeat = false}, 0, DataState::Good, 0, 301, 0},
      {"missing repeat, first damaged", 0, 1, {.dataParityErrors = {40}, .dataRepeat = false}, 0,
       DataState::Damaged, 1, 301, 1},
      // The file ends 100 bytes (2,000 pulses) before the first copy's end.
      {"tape ends inside the data", 0, 1, {.dataRepeat = false}, 2 + 79 + 78 + 2000, DataState::Damaged, 100, 301,
       100},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::TapeComposer composer(c.machine, c.version, 0, 5);
    composer.SetJitter(2);
    test::ComposedProgram program = c.faults;
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
    EXPECT_EQ((std::vector<int64_t>{static_cast<int>(r.state), r.fileType, r.startAddress, r.endAddress,
                                    r.loadAddress, r.first.found, r.first.pos, r.first.readErrors,
                                    r.first.bytesRead + r.first.readErrors, r.first.checksumOk, r.repeat.found,
                                    r.repeat.pos, r.repeat.readErrors, r.combinedErrors, r.checksumOk, r.whole()}),
              (std::vector<int64_t>{static_cast<int>(c.state), 1, 0x0801, 0x0801 + 300,
                                    c.machine == 2 ? 0x1001 : 0x0801, true, layout.dataPos, c.firstErrors, 301,
                                    c.firstErrors == 0, c.faults.dataRepeat,
                                    layout.dataRepeatPos - (c.lostPulseByte >= 0 ? 1 : 0), c.repeatErrors,
                                    c.combinedErrors, good, good}));
    if (good) {
      EXPECT_EQ(r.bytes, data);
    }
  }
}

TEST(DataBlock, NoDataBlockIsMissingAndWrongBytesFailTheChecksum) {
  test::TapeComposer composer(0, 1, 0, 3);
  composer.AddProgram({.name = "NO DATA", .leaderPulses = 1500});
  // A byte that reads cleanly but wrongly in both copies: only the checksum tells.
  const auto layout = composer.AddProgram({.name = "WRONG", .data = test::ProgramData(50, 2), .leaderPulses = 1500});
  composer.AddProgram({.name = "AFTER", .data = test::ProgramData(10, 3), .leaderPulses = 1500});
  // The end address's high byte unreadable, and no repeat to mend it.
  composer.AddProgram({.name = "UNREAD", .data = test::ProgramData(10, 4), .leaderPulses = 1500,
                       .headerRepeat = false, .wrongParityByte = 13});
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
  ASSERT_EQ(results.size(), 4u);
  EXPECT_FALSE(results[3].headerRead);
  EXPECT_EQ((std::vector<int>{results[0].first.found, results[0].repeat.found, results[1].combinedErrors,
                              results[1].checksumOk}),
            (std::vector<int>{false, false, 0, false}));
  EXPECT_EQ((std::vector<DataState>{results[0].state, results[1].state, results[2].state, results[3].state}),
            (std::vector<DataState>{DataState::Missing, DataState::Damaged, DataState::Good, DataState::Damaged}));
}

TEST(DataBlock, PrgFileIsTheLoadAddressThenTheData) {
  DataResult data;
  data.loadAddress = 0x1234;
  data.bytes = {7, 8};
  EXPECT_EQ(PrgFileBytes(data), (std::vector<uint8_t>{0x34, 0x12, 7, 8}));
}

TEST(RealTapes, GiveTheKnownProgramsAndReadWhole) {
  const std::string folder = test::RealTapesFolder();
  if (folder.empty()) GTEST_SKIP() << "the real tape images are not beside the project";
  // Each program: its name, the offset of the first byte after its header's
  // countdown, and the addresses its data goes to.
  const struct {
    const char* file;
    std::vector<std::tuple<std::string, int32_t, uint16_t, uint16_t>> programs;
  } tapes[] = {
      {"print_h.tap", {{"H", 0x006AC8, 0x0801, 0x080C}}},
      {"bender.tap", {{"ALL INSTRUCTIONS", 0x006ACC, 0x0801, 0x0941}}},
      {"fileabcdef.tap", {{"ABCDEF.TAP", 0x006ACC, 0x0400, 0x0407}}},
      {"salmon.tap",
       {{"SALMON RUN", 0x004EE8, 0x0801, 0x15CC}, {"2", 0x02FBAF, 0x0801, 0x0D01}, {"3", 0x0448BF, 0x0801, 0x08CD}}},
  };
  for (const auto& tape : tapes) {
    SCOPED_TRACE(tape.file);
    RecordedMessages messages;
    TapImage image;
    ASSERT_TRUE(LoadTapImage(folder + "/" + tape.file, image, messages));
    const auto sections = test::FindAllSections(image);
    const auto results = ReadAll(image);
    ASSERT_EQ(sections.size(), tape.programs.size());
    for (size_t i = 0; i < sections.size(); ++i) {
      const auto& [name, afterCountdown, load, end] = tape.programs[i];
      const auto& section = sections[i];
      const auto& r = results[i];
      // Both header copies and both data copies read with good checksums. A
      // relocatable program goes to the start of C64 BASIC whatever address
      // the (VIC-20) machine that saved it had.
      EXPECT_EQ(std::tuple(section.name, section.headerPos + 9 * RomDecoder(image).bytePulses(),
                           section.headerChecksumOk && section.repeatChecksumOk, r.state == DataState::Good,
                           r.first.checksumOk && r.repeat.checksumOk, r.loadAddress, r.Length()),
                std::tuple(name, afterCountdown, true, true, true, load, end - load));
      EXPECT_LT(section.start, section.headerPos);
      EXPECT_EQ(r.Length(), r.endAddress - r.startAddress);
    }
  }
}

TEST(DataBlock, FastByteDecodeAgreesWithThePulseByPulseOne) {
  // Pulses at and beside the class bounds, bounds at 0 and 255, an empty
  // class, and in version 2 half-waves whose sum passes 255: every position
  // decodes alike both ways (value, marker error -1, parity error -2).
  std::mt19937 random(3);
  int decoded = 0;
  for (int trial = 0; trial < 200; ++trial) {
    TapImage image;
    image.version = trial % 2 == 0 ? 1 : 2;
    std::array<uint8_t, 6> bounds{};
    int bound = trial % 3 == 0 ? 0 : 20;
    for (uint8_t& b : bounds) {
      b = static_cast<uint8_t>(std::min(255, bound));
      bound += 1 + static_cast<int>(random() % 60);
    }
    if (trial % 7 == 0) std::swap(bounds[2], bounds[3]);
    const auto near = [&](int c) { return std::clamp(bounds[c] + static_cast<int>(random() % 5) - 2, 0, 255); };
    for (int i = 0; i < 400; ++i) {
      // A well-formed byte now and then, so that values and parities are compared too.
      const bool wellFormed = random() % 2 == 0;
      const unsigned byte = random() % 256;
      const unsigned value = byte | (1u ^ static_cast<unsigned>(__builtin_parity(byte))) << 8;
      for (int k = 0; k < 20; ++k) {
        // Class 0 short, 1 medium, 2 long; pair 0 the marker (long, medium), 1..8 the bits, 9 the parity
        // (bit 8 of `value`): a 0 is short then medium, a 1 medium then short.
        const int pair = k / 2;
        int cls = static_cast<int>(random() % 3);
        if (wellFormed) cls = pair == 0 ? 2 - k % 2 : static_cast<int>((value >> (pair - 1) & 1u) ^ (k % 2));
        const int pulse = !wellFormed || random() % 8 == 0 ? near(2 * cls + static_cast<int>(random() % 2))
                                                           : (bounds[2 * cls] + bounds[2 * cls + 1] + 1) / 2;
        // Version 2: the first half-wave anything up to the pulse, now and then 255 (the sum passes 255).
        const int first = image.version == 1 ? pulse
                          : random() % 8 == 0 ? 255
                                              : static_cast<int>(random() % (pulse + 1));
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

}  // namespace
}  // namespace rw
