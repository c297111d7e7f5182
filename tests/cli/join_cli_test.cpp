// reelwright-cli join, run as a user would run it.

#include <gtest/gtest.h>

#include <QStringList>

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
                                 " TAP V1", "**  [PAUSE]  **", "0m:0.39s", "0m:0.8s", "5s"}) {
    EXPECT_NE(run.out.find(cell), std::string::npos) << cell << " missing from\n" << run.out;
  }
  EXPECT_NE(run.out.find("Total Duration: 0m:6.19s"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Join operation Executed Correctly !"), std::string::npos);
}

TEST_F(JoinCliTest, ItemsKeepTheirOrderAndSortingReordersThem) {
  std::filesystem::create_directory(folder.File("dir"));
  folder.Write("dir/b.TAP", test::TapBytes(0, 0, 1, 22, 0x42));
  folder.Write("dir/a.tap", test::TapBytes(0, 0, 1, 22, 0x41));
  folder.Write("dir/skip.txt", std::string("not a tape"));

  CliRun run = ExpectRun({"join", Q(output), Q(folder.File("dir")), "--pause=1s", Q(one)}, 0);
  auto joined = test::ReadFileBytes(output);
  ASSERT_EQ(joined.size(), 20u + 2 + 2 + 4 + 980);
  EXPECT_EQ((std::vector<uint8_t>(joined.begin() + 20, joined.begin() + 28)),
            (std::vector<uint8_t>{0x41, 0x41, 0x42, 0x42, 0x00, 0xA3, 0x08, 0x0F}));
  EXPECT_EQ(joined[28], 0x31);

  run = ExpectRun({"join", "--sort", "--force", Q(output), Q(one), Q(folder.File("dir")), "--pause", "1s"}, 0);
  joined = test::ReadFileBytes(output);
  // Pause first, then by path: dir/a.tap, dir/b.TAP, one.tap.
  EXPECT_EQ((std::vector<uint8_t>(joined.begin() + 20, joined.begin() + 28)),
            (std::vector<uint8_t>{0x00, 0xA3, 0x08, 0x0F, 0x41, 0x41, 0x42, 0x42}));

  // Joined again into its own folder, the output is never one of its inputs.
  const std::string inside = folder.File("dir/all.tap");
  for (int round = 0; round < 2; ++round) {
    run = ExpectRun({"join", "--force", Q(inside), Q(folder.File("dir"))}, 0);
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
  for (const auto& c : cases) {
    const CliRun run = RunCli(QStringList{"join", Q(c.output)} + c.items);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.message;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
  }
  EXPECT_FALSE(std::filesystem::exists(output));
  EXPECT_EQ(test::ReadFileText(existing), "keep");
}

}  // namespace
}  // namespace rw
