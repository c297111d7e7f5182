// A join that fails half-way, because the disk is full, never leaves a
// partial output or a temporary file, and an earlier output of that name
// stays as it was. (A vanished input and an output folder that cannot be
// written are covered beside the join's own tests.)

#include <gtest/gtest.h>

#include "core/tap_image.h"
#include "file_size_limit.h"
#include "join/compilation.h"
#include "join/join_operation.h"
#include "platform/messages.h"
#include "support/scratch_folder.h"
#include "support/tap_bytes.h"

namespace rw {
namespace {

class JoinSafety : public ::testing::Test {
 protected:
  // Two inputs of 300 KB each and a pause: more than one copy buffer, so the
  // failure comes after some of the output was already written.
  void AddInputs() {
    ASSERT_TRUE(compilation.AddTapFile(inputs.Write("a.tap", test::TapBytes(0, 0, 1, 300020))));
    ASSERT_TRUE(compilation.AddPauseRow("5s"));
    ASSERT_TRUE(compilation.AddTapFile(inputs.Write("b.tap", test::TapBytes(0, 0, 1, 300020))));
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

}  // namespace
}  // namespace rw
