#include "core/tap_image.h"

#include <gtest/gtest.h>

#include <random>

#include "platform/messages.h"
#include "support/scratch_folder.h"

namespace rw {
namespace {

std::vector<uint8_t> Header(const std::string& signature, uint8_t version, uint8_t machine, uint8_t video,
                            uint32_t length = 0) {
  const auto header = MakeTapHeader(signature, version, machine, video, length);
  return std::vector<uint8_t>(header.begin(), header.end());
}

struct Refusal {
  std::vector<uint8_t> bytes;
  std::string expectedTail;  // the message after the path
};

TEST(LoadTapImage, RefusesInCheckOrderWithExactMessages) {
  test::ScratchFolder folder;
  const std::vector<Refusal> refusals = {
      {Header("C64-TAPE-raw", 1, 0, 0), " Is not a valid TAP file"},
      {Header("C64-TAPE-RAW", 3, 0, 0), " Is in a TAP format (V3) that is not supported"},
      // Version before video before machine: only the first fault is named.
      {Header("C64-TAPE-RAW", 2, 7, 2), " TAP file has a video format (2) that is not supported"},
      {Header("C64-TAPE-RAW", 0, 255, 0), " TAP file is for a Commodore Machine (255) that is not supported"},
      {Header("C64-TAPE-RAW", 255, 9, 9), " Is in a TAP format (V255) that is not supported"},
      // Shorter than the header: refused without reading past the end.
      {{'C', '6', '4', '-', 'T', 'A', 'P', 'E', '-', 'R', 'A', 'W', 1, 0, 0}, " Is not a valid TAP file"},
      {{}, " Is not a valid TAP file"},
  };
  for (size_t i = 0; i < refusals.size(); ++i) {
    const std::string path = folder.Write("bad" + std::to_string(i) + ".tap", refusals[i].bytes);
    TapImage image;
    RecordedMessages messages;
    EXPECT_FALSE(LoadTapImage(path, image, messages)) << i;
    ASSERT_EQ(messages.shown.size(), 1u) << i;
    EXPECT_EQ(messages.shown[0].text, path + refusals[i].expectedTail);
    EXPECT_EQ(messages.shown[0].title, "Error!");
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::Critical);
    EXPECT_EQ(messages.shown[0].buttons, MessageButtons::Ok);
  }
}

TEST(LoadTapImage, AcceptsAnyPrefixAndIgnoresLengthField) {
  test::ScratchFolder folder;
  auto bytes = Header("C16-TAPE-RAW", 2, 2, 1, 999999);  // length field disagrees with the file
  bytes.insert(bytes.end(), {0x30, 0x31, 0x32});
  const std::string path = folder.Write("c16.tap", bytes);
  TapImage image;
  RecordedMessages messages;
  ASSERT_TRUE(LoadTapImage(path, image, messages));
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(image.signature, "C16-TAPE-RAW");
  EXPECT_EQ(image.version, 2);
  EXPECT_EQ(image.machine, 2);
  EXPECT_EQ(image.video, 1);
  EXPECT_EQ(image.dataLength, 999999u);
  EXPECT_EQ(image.FileLength(), 23);
  ASSERT_EQ(image.bytes.size(), 24u);  // one extra element
  EXPECT_EQ(image.bytes[23], 0);
  EXPECT_EQ(std::vector<uint8_t>(image.bytes.begin(), image.bytes.end() - 1), bytes);
}

TEST(LoadTapImage, ReportsMissingFileAndFolderWithSystemDescription) {
  test::ScratchFolder folder;
  TapImage image;
  RecordedMessages messages;
  const std::string missing = folder.File("nothing.tap");
  EXPECT_FALSE(LoadTapImage(missing, image, messages));
  EXPECT_FALSE(LoadTapImage(folder.path(), image, messages));
  ASSERT_EQ(messages.shown.size(), 2u);
  EXPECT_EQ(messages.shown[0].text, "Error while loading file " + missing + " : No such file or directory");
  EXPECT_EQ(messages.shown[1].text, "Error while loading file " + folder.path() + " : Is a directory");
  EXPECT_EQ(messages.shown[1].title, "Error!");
}

TEST(LoadTapImage, RefusalKeepsThePreviousImage) {
  test::ScratchFolder folder;
  auto good = Header("C64-TAPE-RAW", 1, 0, 0);
  good.push_back(0x42);
  TapImage image;
  RecordedMessages messages;
  ASSERT_TRUE(LoadTapImage(folder.Write("good.tap", good), image, messages));
  EXPECT_FALSE(LoadTapImage(folder.Write("bad.tap", Header("C64-TAPE-RAW", 9, 0, 0)), image, messages));
  EXPECT_EQ(image.version, 1);
  EXPECT_EQ(image.FileLength(), 21);
}

TEST(LoadTapImage, NeverCrashesOnTruncatedOrRandomFiles) {
  std::mt19937 random(1234);
  auto valid = Header("C64-TAPE-RAW", 1, 0, 0);
  for (int i = 0; i < 200; ++i) valid.push_back(static_cast<uint8_t>(random()));
  for (size_t length = 0; length <= valid.size(); ++length) {
    TapImage image;
    RecordedMessages messages;
    const bool loaded =
        LoadTapImageFromBytes("x", std::vector<uint8_t>(valid.begin(), valid.begin() + length), image, messages);
    EXPECT_EQ(loaded, length >= 20) << length;
    EXPECT_EQ(messages.shown.size(), loaded ? 0u : 1u);
  }
  for (int round = 0; round < 500; ++round) {
    std::vector<uint8_t> bytes(random() % 64);
    for (auto& b : bytes) b = static_cast<uint8_t>(random());
    if (round % 2 == 0 && bytes.size() >= 12) std::copy_n("C64-TAPE-RAW", 12, bytes.begin());
    TapImage image;
    RecordedMessages messages;
    const bool loaded = LoadTapImageFromBytes("x", bytes, image, messages);
    EXPECT_EQ(messages.shown.size(), loaded ? 0u : 1u);
    if (loaded) EXPECT_EQ(image.At(image.FileLength()), 0);
  }
}

TEST(TapHeader, LengthIsLittleEndian) {
  EXPECT_EQ(PutLength(10000), (std::array<uint8_t, 4>{0x10, 0x27, 0x00, 0x00}));
  EXPECT_EQ(PutLength(0xFFFFFFFFu), (std::array<uint8_t, 4>{0xFF, 0xFF, 0xFF, 0xFF}));
  const auto header = MakeTapHeader("C16-TAPE-RAW", 2, 1, 1, 0x01020304);
  EXPECT_EQ(std::string(header.begin(), header.begin() + 12), "C16-TAPE-RAW");
  EXPECT_EQ(std::vector<uint8_t>(header.begin() + 12, header.end()),
            (std::vector<uint8_t>{2, 1, 1, 0, 4, 3, 2, 1}));
}

}  // namespace
}  // namespace rw
