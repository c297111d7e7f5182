// A join that fails half-way, because the disk is full, never leaves a
// partial output or a temporary file, and an earlier output of that name
// stays as it was. (A vanished input and an output folder that cannot be
// written are covered beside the join's own tests.)

#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "core/tap_image.h"
#include "file_size_limit.h"
#include "join/compilation.h"
#include "join/join_operation.h"
#include "platform/messages.h"
#include "support/scratch_folder.h"

namespace rw {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Tape(size_t pulses) {
  const auto header = MakeTapHeader("C64-TAPE-RAW", 1, 0, 0, static_cast<uint32_t>(pulses));
  std::vector<uint8_t> bytes(header.begin(), header.end());
  bytes.resize(20 + pulses, 0x30);
  return bytes;
}

class JoinSafety : public ::testing::Test {
 protected:
  // Two inputs of 300 KB each and a pause: more than one copy buffer, so the
  // failure comes after some of the output was already written.
  void AddInputs() {
    ASSERT_TRUE(compilation.AddTapFile(inputs.Write("a.tap", Tape(300000))));
    ASSERT_TRUE(compilation.AddPauseRow("5s"));
    ASSERT_TRUE(compilation.AddTapFile(inputs.Write("b.tap", Tape(300000))));
  }
  void ExpectOneSaveError(const std::vector<Message>& shown, const std::string& output, const std::string& reason) {
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].title, "Error!");
    EXPECT_EQ(shown[0].icon, MessageIcon::Critical);
    EXPECT_EQ(shown[0].text, "Error while saving file " + output + " : " + reason);
  }

  test::ScratchFolder inputs;
  test::ScratchFolder out;
  RecordedMessages messages;
  Compilation compilation{".", messages};
};

TEST_F(JoinSafety, AFullDiskKeepsThePreviousOutputAndLeavesNoPartialFile) {
  AddInputs();
  const std::string output = out.Write("joined.tap", std::string("the previous join"));
  const test::LimitedRun run = test::RunWithFileSizeLimit(
      100000, [&](Messages& shown) { return JoinToTapFile(compilation, output, true, shown); });
  ASSERT_TRUE(run.ran);
  EXPECT_FALSE(run.succeeded);
  ExpectOneSaveError(run.messages, output, "File too large");
  EXPECT_EQ(test::ReadFileText(output), "the previous join");
  EXPECT_EQ(out.Names(), std::vector<std::string>{"joined.tap"});

  // Without an earlier output nothing at all is left.
  const std::string fresh = out.File("fresh.tap");
  const test::LimitedRun second = test::RunWithFileSizeLimit(
      100000, [&](Messages& shown) { return JoinToTapFile(compilation, fresh, false, shown); });
  ASSERT_TRUE(second.ran);
  EXPECT_FALSE(second.succeeded);
  ExpectOneSaveError(second.messages, fresh, "File too large");
  EXPECT_EQ(out.Names(), std::vector<std::string>{"joined.tap"});
}

TEST_F(JoinSafety, AFullFileSystemKeepsThePreviousOutputAndLeavesNoPartialFile) {
  // A real full file system: a 64 KB tmpfs, where the machine lets a test mount one.
  const std::string mountPoint = out.File("small");
  fs::create_directory(mountPoint);
  if (mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "cannot mount a tmpfs here (" << std::strerror(errno) << "); the size-limit test covers this";
  }
  // Unmounted however the test ends, so that the scratch folder can go.
  struct Unmount {
    std::string path;
    ~Unmount() { umount(path.c_str()); }
  } unmount{mountPoint};
  AddInputs();
  const std::string output = mountPoint + "/joined.tap";
  {
    std::FILE* file = std::fopen(output.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("the previous join", file);
    std::fclose(file);
  }
  const bool joined = JoinToTapFile(compilation, output, true, messages);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(mountPoint)) names.push_back(entry.path().filename().string());
  const std::string kept = test::ReadFileText(output);
  EXPECT_FALSE(joined);
  ExpectOneSaveError(messages.shown, output, "No space left on device");
  EXPECT_EQ(kept, "the previous join");
  EXPECT_EQ(names, std::vector<std::string>{"joined.tap"});
}

}  // namespace
}  // namespace rw
