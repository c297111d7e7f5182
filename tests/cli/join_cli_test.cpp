// reelwright-cli join, run as a user would run it.

#include <filesystem>

#include "cli_runner.h"
#include "support/scratch_folder.h"
#include "support/tap_bytes.h"

namespace rw {
namespace {

class JoinCliTest : public ::testing::Test {
 protected:
  test::ScratchFolder folder;
  std::string one = folder.Write("one.tap", test::TapBytes(0, 0, 1, 1000, 0x31));
  std::string two = folder.Write("two.tap", test::TapBytes(0, 0, 1, 2000, 0x32));
  std::string output = folder.File("joined.tap");
};

TEST_F(JoinCliTest, JoinsFilesAndPausesAndPrintsTheRows) {
  const CliRun run = ExpectRun({"join", Q(output), Q(one), "--pause", "5s", Q(two)}, 0);
  EXPECT_EQ(test::ReadFileBytes(output).size(), 2984u);
  for (const std::string cell : {"Size", "Machine", "Video", "Type", "Duration", "1000 Bytes", "1.95 KB", "C64", "PAL",
                                 " TAP V1", "**  [PAUSE]  **", "0m:0.39s", "0m:0.8s", "5s", "Total Duration: 0m:6.19s",
                                 "Join operation Executed Correctly !"}) {
    EXPECT_NE(run.out.find(cell), std::string::npos) << cell << " missing from\n" << run.out;
  }
}

TEST_F(JoinCliTest, ItemsKeepTheirOrderAndSortingReordersThem) {
  std::filesystem::create_directory(folder.File("dir"));
  folder.Write("dir/b.TAP", test::TapBytes(0, 0, 1, 22, 'B'));
  folder.Write("dir/a.tap", test::TapBytes(0, 0, 1, 22, 'A'));
  folder.Write("dir/skip.txt", std::string("not a tape"));
  // The pulses after the header: a pause of one second is one long pulse.
  const auto pulses = [&] { return test::ReadFileText(output).substr(20); };
  const std::string pause("\0\xA3\x08\x0F", 4), ones(980, '1');

  ExpectRun({"join", Q(output), Q(folder.File("dir")), "--pause=1s", Q(one)}, 0);
  EXPECT_EQ(pulses(), "AABB" + pause + ones);
  // Pause first, then by path: dir/a.tap, dir/b.TAP, one.tap.
  ExpectRun({"join", "--sort", "--force", Q(output), Q(one), Q(folder.File("dir")), "--pause", "1s"}, 0);
  EXPECT_EQ(pulses(), pause + "AABB" + ones);

  // Joined again into its own folder, the output is never one of its inputs.
  const std::string inside = folder.File("dir/all.tap");
  for (int round = 0; round < 2; ++round) {
    ExpectRun({"join", "--force", Q(inside), Q(folder.File("dir"))}, 0);
    EXPECT_EQ(test::ReadFileBytes(inside).size(), 24u) << round;
  }
}

// (Replacing with --force is the sorted join above, over the first join's output.)
TEST_F(JoinCliTest, WrongArgumentsExitWithTwoRefusalsWithOneAndNothingIsWritten) {
  const std::string vic = folder.Write("vic.tap", test::TapBytes(1, 0, 1, 100, 0x30));
  const std::string existing = folder.Write("existing.tap", std::string("keep"));
  const struct {
    std::string output;
    QStringList items;
    int exitCode;
    std::string message;
  } cases[] = {
      {output, {Q(one), "--pause", "abc", Q(two)}, 2, "--pause abc: "},
      {"--pause", {"5s", Q(output), Q(one), Q(two)}, 2, "The output file comes before the first pause"},
      {output, {Q(one), Q(vic)}, 1,
       "File " + vic + " Cannot be added since it was created for a machine (VIC-20) conflicting with previously "
                       "added files"},
      {output, {Q(one)}, 1, "at least two rows"},
      {existing, {Q(one), Q(two)}, 1, "File " + existing + " Already exists !"},
  };
  for (const auto& c : cases) ExpectRun(QStringList{"join", Q(c.output)} + c.items, c.exitCode, c.message);
  EXPECT_FALSE(std::filesystem::exists(output));
  EXPECT_EQ(test::ReadFileText(existing), "keep");
}

}  // namespace
}  // namespace rw
