// A join that fails half-way, because the disk is full, never leaves a
// partial output or a temporary file, and an earlier output of that name
// stays as it was. (A vanished input and an output folder that cannot be
// written are covered beside the join's own tests.)

#include <gtest/gtest.h>

#include "full_disk.h"
#include "join/compilation.h"
#include "join/join_operation.h"
#include "support/scratch_folder.h"
#include "support/tap_bytes.h"

namespace rw {
namespace {

TEST(JoinSafety, AFullDiskKeepsThePreviousOutputAndLeavesNoPartialFile) {
  test::ScratchFolder inputs;
  test::ScratchFolder out;
  RecordedMessages messages;
  Compilation compilation{".", messages};
  // Two inputs of 300 KB each and a pause: more than one copy buffer, so the
  // failure comes after some of the output was already written.
  ASSERT_TRUE(compilation.AddTapFile(inputs.Write("a.tap", test::TapBytes(0, 0, 1, 300020))));
  ASSERT_TRUE(compilation.AddPauseRow("5s"));
  ASSERT_TRUE(compilation.AddTapFile(inputs.Write("b.tap", test::TapBytes(0, 0, 1, 300020))));
  const std::string output = out.Write("joined.tap", std::string("the previous join"));
  // Replacing the earlier output, then a new name: without an earlier output nothing at all is left.
  for (const std::pair<std::string, bool>& run : {std::pair{output, true}, std::pair{out.File("fresh.tap"), false}}) {
    EXPECT_EXIT(test::RunOnFullDisk(100000, [&](Messages& shown) {
      return JoinToTapFile(compilation, run.first, run.second, shown);
    }), testing::ExitedWithCode(1),
                test::Exactly("Error!|0|Error while saving file " + run.first + " : File too large\n"));
    EXPECT_EQ(test::ReadFileText(output), "the previous join");
    EXPECT_EQ(out.Names(), std::vector<std::string>{"joined.tap"});
  }
}

}  // namespace
}  // namespace rw
