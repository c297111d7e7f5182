#include "join/join_operation.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/pulse_timing.h"
#include "join/compilation.h"
#include "platform/messages.h"
#include "support/scratch_folder.h"
#include "support/tap_bytes.h"

namespace rw {
namespace {

using test::ReadFileBytes;
using test::ScratchFolder;
using test::TapBytes;

std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, size_t from, size_t count) {
  return std::vector<uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                              bytes.begin() + static_cast<std::ptrdiff_t>(from + count));
}

class JoinTest : public ::testing::Test {
 protected:
  ScratchFolder folder;
  RecordedMessages messages;
  Compilation compilation{".", messages};

  std::string Add(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = folder.Write(name, bytes);
    EXPECT_TRUE(compilation.AddTapFile(path));
    return path;
  }
  void ExpectSaveError(const std::string& output) {
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].title, "Error!");
    EXPECT_EQ(messages.shown[0].text.rfind("Error while saving file " + output + " : ", 0), 0u)
        << messages.shown[0].text;
  }
};

TEST_F(JoinTest, TwoFilesAndAPause) {
  const auto first = TapBytes(1, 1, 1, 1000, 0x30);
  const auto second = TapBytes(1, 1, 1, 2000, 0x41);
  Add("one.tap", first);
  ASSERT_TRUE(compilation.AddPauseRow("1s"));
  Add("two.tap", second);

  const std::string output = folder.File("joined.tap");
  std::vector<uint64_t> progress;
  ASSERT_TRUE(JoinToTapFile(compilation, output, false, messages, [&](uint64_t written, uint64_t total) {
    EXPECT_EQ(total, 2964u);
    progress.push_back(written);
  }));
  EXPECT_EQ(progress, (std::vector<uint64_t>{980, 984, 2964}));
  EXPECT_TRUE(messages.shown.empty());
  const auto joined = ReadFileBytes(output);
  ASSERT_EQ(joined.size(), 2984u);
  const auto header = MakeTapHeader("C64-TAPE-RAW", 1, 1, 1, 2964);
  EXPECT_EQ(Slice(joined, 0, 20), std::vector<uint8_t>(header.begin(), header.end()));
  EXPECT_EQ(Slice(joined, 20, 980), Slice(first, 20, 980));
  // The pause follows the clock of the compilation: 1 s at VIC-20 NTSC is 1,022,725 cycles.
  EXPECT_EQ(Slice(joined, 1000, 4), (std::vector<uint8_t>{0x00, 0x05, 0x9B, 0x0F}));
  EXPECT_EQ(Slice(joined, 1004, 1980), Slice(second, 20, 1980));
}

TEST_F(JoinTest, HeaderCarriesTheCompilationsSettingsUnderTheFirstImagesSignature) {
  Add("a.tap", TapBytes(2, 1, 2, 30, 0x20, "C16-TAPE-RAW"));
  Add("b.tap", TapBytes(2, 1, 2, 40, 0x21, "C64-TAPE-RAW"));
  const std::string output = folder.File("out.tap");
  ASSERT_TRUE(JoinToTapFile(compilation, output, false, messages));
  const auto joined = ReadFileBytes(output);
  ASSERT_EQ(joined.size(), 50u);
  EXPECT_EQ(std::string(joined.begin(), joined.begin() + 12), "C16-TAPE-RAW");
  EXPECT_EQ(Slice(joined, 12, 8), (std::vector<uint8_t>{2, 2, 1, 0, 30, 0, 0, 0}));
  EXPECT_EQ(joined[20], 0x20);
  EXPECT_EQ(joined[49], 0x21);
}

TEST_F(JoinTest, PausesAloneMakeAVersionOneC64PalImage) {
  ASSERT_TRUE(compilation.AddPauseRow("1s"));
  const std::string output = folder.File("pause.tap");
  ASSERT_TRUE(JoinToTapFile(compilation, output, true, messages));
  const auto header = MakeTapHeader("C64-TAPE-RAW", 1, 0, 0, 4);
  std::vector<uint8_t> expected(header.begin(), header.end());
  // 1 s at the C64 PAL clock: 985,251 cycles.
  expected.insert(expected.end(), {0x00, 0xA3, 0x08, 0x0F});
  EXPECT_EQ(ReadFileBytes(output), expected);
}

TEST_F(JoinTest, FilesShortenedToTheirHeaderOrLessContributeNothing) {
  for (const size_t length : {0, 1, 10, 20}) {
    RecordedMessages shown;
    Compilation list(".", shown);
    const std::string shrunk = folder.Write("shrunk.tap", TapBytes(0, 0, 1, 100));
    ASSERT_TRUE(list.AddTapFile(shrunk));
    ASSERT_TRUE(list.AddTapFile(folder.Write("kept.tap", TapBytes(0, 0, 1, 30, 0x55))));
    std::filesystem::resize_file(shrunk, length);
    const std::string output = folder.File("out.tap");
    ASSERT_TRUE(JoinToTapFile(list, output, true, shown)) << length;
    const auto joined = ReadFileBytes(output);
    ASSERT_EQ(joined.size(), 30u) << length;
    EXPECT_EQ(joined[16], 10);
    EXPECT_EQ(Slice(joined, 20, 10), std::vector<uint8_t>(10, 0x55));
  }
}

TEST_F(JoinTest, VanishedOrGrowingInputLeavesNoPartialFileAndTheOldOutputIntact) {
  Add("a.tap", TapBytes(0, 0, 1, 500));
  const std::string gone = Add("b.tap", TapBytes(0, 0, 1, 500));
  std::filesystem::remove(gone);

  const std::string fresh = folder.File("fresh.tap");
  EXPECT_FALSE(JoinToTapFile(compilation, fresh, true, messages));
  ExpectSaveError(fresh);
  EXPECT_NE(messages.shown[0].text.find("No such file or directory"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(fresh));

  messages.shown.clear();
  const std::string existing = folder.Write("existing.tap", std::string("old contents"));
  EXPECT_FALSE(JoinToTapFile(compilation, existing, true, messages));
  ExpectSaveError(existing);
  EXPECT_EQ(test::ReadFileText(existing), "old contents");
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"a.tap", "existing.tap"}));

  // An input that grows while it is copied would no longer match the header's length.
  RecordedMessages shown;
  Compilation growing(".", shown);
  const std::string grows = folder.Write("grows.tap", TapBytes(0, 0, 1, 500));
  ASSERT_TRUE(growing.AddTapFile(grows) && growing.AddPauseRow("1s"));
  const auto append = [&](uint64_t, uint64_t) { std::ofstream(grows, std::ios::app) << "more"; };
  EXPECT_FALSE(JoinToTapFile(growing, existing, true, shown, append));
  ASSERT_EQ(shown.shown.size(), 1u);
  EXPECT_EQ(shown.shown[0].text, "Error while saving file " + existing + " : " + grows + " changed while it was being joined");
  EXPECT_EQ(test::ReadFileText(existing), "old contents");
}

TEST_F(JoinTest, OutputIsReplacedOnlyWhenAgreedAndAnUnwritableFolderGetsNothing) {
  Add("a.tap", TapBytes(0, 0, 1, 500));
  Add("b.tap", TapBytes(0, 0, 1, 500));
  const std::string output = folder.Write("out.tap", std::string("keep me"));
  for (const std::string& refused : {output, output + "/out.tap", folder.File("missing/out.tap")}) {
    messages.shown.clear();
    EXPECT_FALSE(JoinToTapFile(compilation, refused, refused != output, messages));
    ExpectSaveError(refused);
  }
  EXPECT_EQ(test::ReadFileText(output), "keep me");
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"a.tap", "b.tap", "out.tap"}));

  messages.shown.clear();
  ASSERT_TRUE(JoinToTapFile(compilation, output, true, messages));
  EXPECT_EQ(ReadFileBytes(output).size(), 980u);
}

}  // namespace
}  // namespace rw
