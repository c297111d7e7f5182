// Reading programs' data blocks: both copies, the mending of the first copy by
// the repeat, and the checksum over the result.

#include <gtest/gtest.h>

#include "core/data_block.h"
#include "platform/messages.h"
#include "support/scratch_folder.h"
#include "support/tape_composer.h"

namespace rw {
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
    bool repeatFound;
    int lostPulseByte = -1;  // a first-copy byte (index as above) that loses a pulse
  } cases[] = {
      {"both copies good", 0, 1, {}, 0, DataState::Good, 0, 0, 0, true},
      {"both good, C16 half-waves", 2, 2, {}, 0, DataState::Good, 0, 0, 0, true},
      {"first copy mended by the repeat", 0, 1,
       {.dataParityErrors = {9, 150}, .dataBrokenBytes = {200, 309}}, 0, DataState::Good, 4, 0, 0, true},
      {"VIC-20 half-waves mended", 1, 2, {.dataBrokenBytes = {10, 11, 12}}, 0, DataState::Good, 3, 0, 0, true},
      {"both damaged at different bytes", 0, 0,
       {.dataParityErrors = {20}, .dataRepeatParityErrors = {21}}, 0, DataState::Good, 1, 1, 0, true},
      {"both damaged at the same byte", 0, 1,
       {.dataParityErrors = {20, 30}, .dataRepeatParityErrors = {30}}, 0, DataState::Damaged, 2, 1, 1, true},
      {"a lost pulse is read past", 0, 1, {}, 0, DataState::Good, 1, 0, 0, true, 100},
      {"missing repeat", 0, 1, {.dataRepeat = false}, 0, DataState::Good, 0, 301, 0, false},
      {"missing repeat, first damaged", 0, 1, {.dataParityErrors = {40}, .dataRepeat = false}, 0,
       DataState::Damaged, 1, 301, 1, false},
      // The file ends 100 bytes (2,000 pulses) before the first copy's end.
      {"tape ends inside the data", 0, 1, {.dataRepeat = false}, 2 + 79 + 78 + 2000, DataState::Damaged, 100, 301, 100,
       false},
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
    const DataResult& result = results[0];
    EXPECT_EQ(result.state, c.state);
    EXPECT_EQ(result.whole(), c.state == DataState::Good);
    EXPECT_EQ(result.fileType, 1);
    EXPECT_EQ(result.startAddress, 0x0801);
    EXPECT_EQ(result.endAddress, 0x0801 + 300);
    EXPECT_TRUE(result.first.found);
    EXPECT_EQ(result.first.pos, layout.dataPos);
    EXPECT_EQ(result.first.readErrors, c.firstErrors);
    EXPECT_EQ(result.first.bytesRead + result.first.readErrors, 301);
    EXPECT_EQ(result.first.checksumOk, c.firstErrors == 0);
    EXPECT_EQ(result.repeat.found, c.repeatFound);
    EXPECT_EQ(result.repeat.pos, layout.dataRepeatPos - (c.lostPulseByte >= 0 ? 1 : 0));
    EXPECT_EQ(result.repeat.readErrors, c.repeatErrors);
    EXPECT_EQ(result.combinedErrors, c.combinedErrors);
    EXPECT_EQ(result.checksumOk, c.state == DataState::Good);
    if (c.state == DataState::Good) {
      EXPECT_EQ(result.bytes, data);
    }
  }
}

TEST(DataBlock, NoDataBlockIsMissingAndWrongBytesFailTheChecksum) {
  test::TapeComposer composer(0, 1, 0, 3);
  composer.AddProgram({.name = "NO DATA", .leaderPulses = 1500});
  // A byte that reads cleanly but wrongly in both copies: only the checksum tells.
  const auto layout = composer.AddProgram({.name = "WRONG", .data = test::ProgramData(50, 2), .leaderPulses = 1500});
  composer.AddProgram({.name = "AFTER", .data = test::ProgramData(10, 3), .leaderPulses = 1500});
  TapImage image = composer.Image();
  const auto flip = [&](int64_t blockPos) {
    // The first bit pair of data byte 5 swapped: the value's bit 0 and its parity both change... so
    // swap two bit pairs instead, which keeps the parity.
    for (int k : {0, 1}) {
      const int64_t pair = blockPos + (9 + 5) * 20 + 2 * (k + 1);
      std::swap(image.bytes[static_cast<size_t>(pair)], image.bytes[static_cast<size_t>(pair + 1)]);
    }
  };
  flip(layout.dataPos);
  flip(layout.dataRepeatPos);

  const auto results = ReadAll(image);
  ASSERT_EQ(results.size(), 3u);
  EXPECT_EQ(results[0].state, DataState::Missing);
  EXPECT_FALSE(results[0].first.found);
  EXPECT_FALSE(results[0].repeat.found);
  EXPECT_EQ(results[1].state, DataState::Damaged);
  EXPECT_EQ(results[1].combinedErrors, 0);
  EXPECT_FALSE(results[1].checksumOk);
  EXPECT_EQ(results[2].state, DataState::Good);
}

TEST(DataBlock, PrgFileIsTheLoadAddressThenTheData) {
  DataResult data;
  data.loadAddress = 0x1234;
  data.bytes = {7, 8};
  EXPECT_EQ(PrgFileBytes(data), (std::vector<uint8_t>{0x34, 0x12, 7, 8}));
}

TEST(DataBlock, RealTapesReadWhole) {
  const std::string folder = test::RealTapesFolder();
  if (folder.empty()) GTEST_SKIP() << "the real tape images are not beside the project";
  const struct {
    const char* file;
    std::vector<std::pair<uint16_t, uint16_t>> ranges;
  } tapes[] = {
      {"print_h.tap", {{0x0801, 0x080C}}},
      {"bender.tap", {{0x0801, 0x0941}}},
      {"fileabcdef.tap", {{0x0400, 0x0407}}},
      {"salmon.tap", {{0x0801, 0x15CC}, {0x0801, 0x0D01}, {0x0801, 0x08CD}}},
  };
  for (const auto& tape : tapes) {
    SCOPED_TRACE(tape.file);
    RecordedMessages messages;
    TapImage image;
    ASSERT_TRUE(LoadTapImage(folder + "/" + tape.file, image, messages));
    const auto results = ReadAll(image);
    ASSERT_EQ(results.size(), tape.ranges.size());
    for (size_t i = 0; i < results.size(); ++i) {
      EXPECT_EQ(results[i].state, DataState::Good);
      EXPECT_TRUE(results[i].first.checksumOk);
      EXPECT_TRUE(results[i].repeat.checksumOk);
      // A relocatable program goes to the start of C64 BASIC whatever
      // address the (VIC-20) machine that saved it had.
      EXPECT_EQ(results[i].loadAddress, tape.ranges[i].first);
      EXPECT_EQ(results[i].Length(), tape.ranges[i].second - tape.ranges[i].first);
      EXPECT_EQ(results[i].Length(), results[i].endAddress - results[i].startAddress);
    }
  }
}

}  // namespace
}  // namespace rw
