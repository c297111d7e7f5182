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

TEST(LoadTapImage, AcceptsAnyPrefixAndIgnoresLengthField) {
  test::ScratchFolder folder;
  auto bytes = Header("C16-TAPE-RAW", 2, 2, 1, 999999);  // length field disagrees with the file
  bytes.insert(bytes.end(), {0x30, 0x31, 0x32});
  TapImage image;
  RecordedMessages messages;
  ASSERT_TRUE(LoadTapImage(folder.Write("c16.tap", bytes), image, messages));
  EXPECT_EQ(image.signature, "C16-TAPE-RAW");
  EXPECT_EQ((std::vector<int64_t>{image.version, image.machine, image.video, image.dataLength, image.FileLength()}),
            (std::vector<int64_t>{2, 2, 1, 999999, 23}));
  bytes.push_back(0);  // one extra element after the file's bytes
  EXPECT_EQ(image.bytes, bytes);
  EXPECT_EQ(image.At(-1) + image.At(24), 0);
  // From memory as well: the header alone is a blank image, one byte less is refused.
  TapImage blank;
  EXPECT_TRUE(LoadTapImageFromBytes("x", std::vector<uint8_t>(bytes.begin(), bytes.begin() + 20), blank, messages));
  EXPECT_FALSE(LoadTapImageFromBytes("x", std::vector<uint8_t>(bytes.begin(), bytes.begin() + 19), blank, messages));
  // The only message of the test: the good file and the bare header loaded silently.
  EXPECT_EQ(test::Shown(messages), test::Lines{"Error! | critical | x Is not a valid TAP file"});
  EXPECT_EQ(blank.FileLength(), 20);
}

// Every refusal names the file and the first fault found, and leaves the
// image loaded before as it was.
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
  auto shortHeader = valid;
  shortHeader.pop_back();
  const struct {
    std::string path, tail;
    bool loadError = false;  // "Error while loading file <path> : <tail>" rather than "<path> <tail>"
    int64_t limit = kMaxTapFileSize;
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
      {pipe, "File too large", true, 10000},
      {"/dev/zero", "Is not a valid TAP file"},
  };
  TapImage image;
  RecordedMessages loaded;
  ASSERT_TRUE(LoadTapImage(file(valid), image, loaded));
  for (const auto& c : cases) {
    RecordedMessages messages;
    EXPECT_FALSE(LoadTapImage(c.path, image, messages, c.limit)) << c.path;
    const std::string text =
        c.loadError ? "Error while loading file " + c.path + " : " + c.tail : c.path + " " + c.tail;
    EXPECT_EQ(test::Shown(messages), test::Lines{"Error! | critical | " + text});
  }
  writer.join();
  std::signal(SIGPIPE, SIG_DFL);
  EXPECT_EQ(image.version, 1);
  EXPECT_EQ(image.FileLength(), 20);
}

}  // namespace
}  // namespace rw
