#include "core/tap_image.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <thread>

#include "platform/messages.h"
#include "support/scratch_folder.h"
#include "support/shown_messages.h"

namespace rw {
namespace {

std::vector<uint8_t> Header(const std::string& signature, uint8_t version, uint8_t machine, uint8_t video,
                            uint32_t length = 0) {
  const auto header = MakeTapHeader(signature, version, machine, video, length);
  return std::vector<uint8_t>(header.begin(), header.end());
}

TEST(LoadTapImage, RefusesInCheckOrderWithExactMessages) {
  test::ScratchFolder folder;
  auto shortHeader = Header("C64-TAPE-RAW", 1, 0, 0);
  shortHeader.pop_back();
  const struct {
    std::vector<uint8_t> bytes;
    std::string expectedTail;  // the message after the path
  } refusals[] = {
      {Header("C64-TAPE-raw", 1, 0, 0), " Is not a valid TAP file"},
      {Header("C64-TAPE-RAW", 3, 0, 0), " Is in a TAP format (V3) that is not supported"},
      // Version before video before machine: only the first fault is named.
      {Header("C64-TAPE-RAW", 2, 7, 2), " TAP file has a video format (2) that is not supported"},
      {Header("C64-TAPE-RAW", 0, 3, 0), " TAP file is for a Commodore Machine (3) that is not supported"},
      {Header("C64-TAPE-RAW", 255, 9, 9), " Is in a TAP format (V255) that is not supported"},
      // Shorter than the header: refused without reading past the end.
      {shortHeader, " Is not a valid TAP file"},
      {{}, " Is not a valid TAP file"},
  };
  int i = 0;
  for (const auto& refusal : refusals) {
    const std::string path = folder.Write("bad" + std::to_string(i++) + ".tap", refusal.bytes);
    TapImage image;
    RecordedMessages messages;
    EXPECT_FALSE(LoadTapImage(path, image, messages)) << path;
    EXPECT_EQ(test::Shown(messages), test::Lines{"Error! | critical | " + path + refusal.expectedTail});
  }
}

TEST(LoadTapImage, AcceptsAnyPrefixAndIgnoresLengthField) {
  test::ScratchFolder folder;
  auto bytes = Header("C16-TAPE-RAW", 2, 2, 1, 999999);  // length field disagrees with the file
  bytes.insert(bytes.end(), {0x30, 0x31, 0x32});
  TapImage image;
  RecordedMessages messages;
  ASSERT_TRUE(LoadTapImage(folder.Write("c16.tap", bytes), image, messages));
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(image.signature, "C16-TAPE-RAW");
  EXPECT_EQ((std::array<int, 3>{image.version, image.machine, image.video}), (std::array<int, 3>{2, 2, 1}));
  EXPECT_EQ(image.dataLength, 999999u);
  EXPECT_EQ(image.FileLength(), 23);
  bytes.push_back(0);  // one extra element after the file's bytes
  EXPECT_EQ(image.bytes, bytes);
  EXPECT_EQ(image.At(-1) + image.At(24), 0);
  // From memory as well: the header alone is a blank image, one byte less is refused.
  TapImage blank;
  EXPECT_TRUE(LoadTapImageFromBytes("x", std::vector<uint8_t>(bytes.begin(), bytes.begin() + 20), blank, messages));
  EXPECT_FALSE(LoadTapImageFromBytes("x", std::vector<uint8_t>(bytes.begin(), bytes.begin() + 19), blank, messages));
  EXPECT_EQ(test::Shown(messages), test::Lines{"Error! | critical | x Is not a valid TAP file"});
  EXPECT_EQ(blank.FileLength(), 20);
}

TEST(LoadTapImage, ReportsUnreadableFilesAndKeepsThePreviousImage) {
  test::ScratchFolder folder;
  const auto good = Header("C64-TAPE-RAW", 1, 0, 0);  // the header alone: a blank tape
  TapImage image;
  RecordedMessages messages;
  ASSERT_TRUE(LoadTapImage(folder.Write("good.tap", good), image, messages));
  const std::string missing = folder.File("nothing.tap");
  EXPECT_FALSE(LoadTapImage(missing, image, messages));
  EXPECT_FALSE(LoadTapImage(folder.path(), image, messages));
  EXPECT_FALSE(LoadTapImage(folder.Write("bad.tap", Header("C64-TAPE-RAW", 9, 0, 0)), image, messages));
  EXPECT_EQ(image.version, 1);
  EXPECT_EQ(image.FileLength(), 20);
  ASSERT_EQ(messages.shown.size(), 3u);
  EXPECT_EQ(test::Shown(messages)[0], "Error! | critical | Error while loading file " + missing +
                                          " : No such file or directory");
  EXPECT_EQ(messages.shown[1].text, "Error while loading file " + folder.path() + " : Is a directory");
}

TEST(LoadTapImage, OversizedFilesAndEndlessStreamsAreRefusedWithoutBeingHeld) {
  test::ScratchFolder folder;
  const auto valid = Header("C64-TAPE-RAW", 1, 0, 0);
  // A sparse file of 3 GB behind a valid header: refused from its size.
  const std::string huge = folder.Write("huge.tap", valid);
  std::filesystem::resize_file(huge, 3ULL << 30);
  // A pipe that delivers more than the limit: read up to it, then refused.
  const std::string pipe = folder.File("pipe.tap");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  std::signal(SIGPIPE, SIG_IGN);
  std::thread writer([&] {
    const int fd = open(pipe.c_str(), O_WRONLY);
    std::vector<uint8_t> bytes = valid;
    bytes.resize(20000, 0x30);
    [[maybe_unused]] const auto written = write(fd, bytes.data(), bytes.size());
    close(fd);
  });
  const struct {
    std::string path;
    int64_t limit;
    std::string expected;
  } cases[] = {
      {huge, kMaxTapFileSize, "Error while loading file " + huge + " : File too large"},
      {pipe, 10000, "Error while loading file " + pipe + " : File too large"},
      {"/dev/zero", kMaxTapFileSize, "/dev/zero Is not a valid TAP file"},
  };
  for (const auto& c : cases) {
    TapImage image;
    RecordedMessages messages;
    EXPECT_FALSE(LoadTapImage(c.path, image, messages, c.limit));
    EXPECT_EQ(test::Shown(messages), test::Lines{"Error! | critical | " + c.expected});
  }
  writer.join();
  std::signal(SIGPIPE, SIG_DFL);
}

}  // namespace
}  // namespace rw
