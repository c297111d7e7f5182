// reelwright-cli split, index, join and launcher, run as a user would; the
// launcher with stand-ins for VICE's c1541 and petcat found on PATH.

#include <filesystem>

#include "cli_runner.h"
#include "core/utilities.h"
#include "launcher/launcher_text.h"
#include "support/scratch_folder.h"
#include "support/stand_in_tools.h"
#include "support/tap_bytes.h"
#include "support/tape_composer.h"

namespace rw {
namespace {

namespace fs = std::filesystem;

std::string ThreeProgramTape(const test::ScratchFolder& folder) {
  test::TapeComposer composer(0, 1);
  for (const char* name : {"ALPHA", "BETA", "GAMMA ONE"}) {
    composer.AddProgram({.name = name, .data = test::ProgramData(32, 7)});
    composer.AddSilence(80000);
  }
  return folder.Write("Three.tap", composer.FileBytes());
}

TEST(SplitCli, WritesGroupsWithEditedNamesAndIndexFilesInBothFormats) {
  test::ScratchFolder folder;
  test::ScratchFolder out;
  const std::string tape = ThreeProgramTape(folder);
  auto run = ExpectRun({"split", Q(tape), Q(out.path()), "--select", "1,3", "--name", "2=Second one", "--tape-name",
                        "3={RED}G"}, 0);
  EXPECT_EQ(run.out, out.File("001.ALPHA.tap") + "\n" + out.File("002.Second_one.tap") + "\n" +
                         "Split Operation Completed !\n");
  // The tape name went into the copy: listing the second file shows it.
  run = ExpectRun({"list", "--json", Q(out.File("002.Second_one.tap"))}, 0);
  EXPECT_NE(run.out.find("\"rawName\": \"\\u001cG\""), std::string::npos) << run.out;

  // "all" ticks every row: each program alone, numbered after the first run's files.
  run = ExpectRun({"split", Q(tape), Q(out.path()), "--select", "all"}, 0);
  EXPECT_NE(run.out.find(out.File("001.ALPHA(1).tap")), std::string::npos);
  EXPECT_NE(run.out.find(out.File("003.GAMMA_ONE.tap")), std::string::npos);

  // The index of the same tape, in both formats.
  run = ExpectRun({"index", Q(tape), Q(out.path()), "--select", "2,3", "--name", "3=g;m"}, 0);
  EXPECT_EQ(run.out, "Index File " + out.File("three.idx") + " successfully created !\n");
  EXPECT_NE(test::ReadFileText(out.File("three.idx")).find("01-ALPHA,000014,"), std::string::npos);
  EXPECT_NE(test::ReadFileText(out.File("three.idx")).find("\r\n02-G;M,"), std::string::npos);
  ExpectRun({"index", Q(tape), Q(out.path()), "--select", "2,3", "--name", "3=g;m", "--format", "ultimate64"}, 0);
  EXPECT_EQ(test::ReadFileText(out.File("three.idx")).find("0x14 ALPHA\r\n"), 0u);
  EXPECT_NE(test::ReadFileText(out.File("three.idx")).find(" gm\r\n"), std::string::npos);
}

class SplitJoinCli : public ::testing::Test {
 protected:
  test::ScratchFolder folder;
  std::string one = folder.Write("one.tap", test::TapBytes(0, 0, 1, 1000, 0x31));
  std::string two = folder.Write("two.tap", test::TapBytes(0, 0, 1, 2000, 0x32));
  std::string output = folder.File("joined.tap");
};

TEST_F(SplitJoinCli, JoinsFilesAndPausesAndPrintsTheRows) {
  const CliRun run = ExpectRun({"join", Q(output), Q(one), "--pause", "5s", Q(two)}, 0);
  EXPECT_EQ(test::ReadFileBytes(output).size(), 2984u);
  for (const std::string cell : {"Size", "Machine", "Video", "Type", "Duration", "1000 Bytes", "1.95 KB", "C64", "PAL",
                                 " TAP V1", "**  [PAUSE]  **", "0m:0.39s", "0m:0.8s", "5s", "Total Duration: 0m:6.19s",
                                 "Join operation Executed Correctly !"}) {
    EXPECT_NE(run.out.find(cell), std::string::npos) << cell << " missing from\n" << run.out;
  }
}

TEST_F(SplitJoinCli, ItemsKeepTheirOrderAndSortingReordersThem) {
  fs::create_directory(folder.File("dir"));
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
TEST_F(SplitJoinCli, WrongArgumentsOfSplitIndexAndJoinExitWithTwoRefusalsWithOneAndNothingIsWritten) {
  const std::string tape = ThreeProgramTape(folder);
  const std::string notTap = folder.Write("x.tap", std::string("not a tape image at all"));
  const std::string vic = folder.Write("vic.tap", test::TapBytes(1, 0, 1, 100, 0x30));
  const std::string existing = folder.Write("existing.tap", std::string("keep"));
  const QStringList split = {"split", Q(tape), Q(folder.path()), "--select"};
  const struct {
    QStringList arguments;
    int exitCode;
    std::string message;
  } cases[] = {
      {{"split", Q(tape), Q(folder.File("missing")), "--select", "1"}, 2, "is not an existing folder"},
      {{"split", Q(tape), Q(tape), "--select", "1"}, 2, "is not an existing folder"},
      {{"split", Q(tape), Q(folder.path())}, 2, "--select"},
      {split + QStringList{"4"}, 2, "--select 4: no row 4"},
      {split + QStringList{"0"}, 2, "--select 0: no row 0"},
      {split + QStringList{","}, 2, "--select ,: no row is selected"},
      {split + QStringList{"1", "--name", "1=A\nB"}, 2, "--name for row 1"},
      {split + QStringList{"1", "--tape-name", "1=A\x01"}, 2, "--tape-name for row 1"},
      {split + QStringList{"1", "--help-all"}, 2, "help-all"},
      {split + QStringList{"1", "--name", "9=X"}, 2, "--name 9=X"},
      {split + QStringList{"1", "--name", "1=12345678901234567"}, 2, "16 characters"},
      {{"index", Q(tape), Q(folder.path()), "--select", "1", "--format", "other"}, 2, "--format"},
      {{"split", Q(notTap), Q(folder.path()), "--select", "1"}, 1, notTap + " Is not a valid TAP file"},
      {{"join", Q(output), Q(one), "--pause", "abc", Q(two)}, 2, "--pause abc: "},
      {{"join", "--pause", "5s", Q(output), Q(one), Q(two)}, 2, "The output file comes before the first pause"},
      {{"join", Q(output), Q(one), Q(vic)}, 1,
       "File " + vic + " Cannot be added since it was created for a machine (VIC-20) conflicting with previously "
                       "added files"},
      {{"join", Q(output), Q(one)}, 1, "at least two rows"},
      {{"join", Q(existing), Q(one), Q(two)}, 1, "File " + existing + " Already exists !"},
  };
  for (const auto& c : cases) ExpectRun(c.arguments, c.exitCode, c.message);
  EXPECT_EQ(folder.Names(),
            (std::vector<std::string>{"Three.tap", "existing.tap", "one.tap", "two.tap", "vic.tap", "x.tap"}));
  EXPECT_EQ(test::ReadFileText(existing), "keep");
}

class LauncherCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const std::string& sub : {bin_, out_, tmp_}) fs::create_directory(sub);
    test::WriteStandInTools(bin_, test::FormatMode::Ok, test::PetcatMode::Ok, test::WriteMode::Ok);
    tape_ = folder_.Write("Arcade.TAP", test::TapeWith({"LOADER", "GAME", "HISCORE"}, &starts_));
  }

  // "launcher TAPE OUTDIR" and `arguments`. Without the stand-ins nothing else
  // is on PATH, so that an installed VICE cannot stand in for the missing tools.
  CliRun Run(const QStringList& arguments, int exitCode, const std::string& message = "", bool withTools = true) {
    const QString path = withTools ? Q(bin_ + ":/usr/bin:/bin") : Q(folder_.File("empty"));
    return ExpectRun(QStringList{"launcher", Q(tape_), Q(out_)} + arguments, exitCode, message,
                     {{"PATH", path}, {"TMPDIR", Q(tmp_)}});
  }
  std::string Start(int row) const { return LowerText(HexPad(static_cast<uint64_t>(starts_[row]), 6)); }

  test::ScratchFolder folder_;
  std::string bin_ = folder_.File("bin"), out_ = folder_.File("out"), tmp_ = folder_.File("tmp");
  std::string disk_ = out_ + "/arcade.tap.d64";
  std::string tape_;
  std::vector<int64_t> starts_;
};

TEST_F(LauncherCliTest, OneLauncherPerGroupWithOneTarget) {
  const CliRun run = Run({"--select", "2,3", "--device", "9", "--sd-dir", "GAMES\\C64", "--target", "c16", "--name",
                          "3=Top Scores"}, 0);
  EXPECT_EQ(run.out, "Index Disk " + disk_ + " successfully created !\n");
  EXPECT_TRUE(fs::is_empty(tmp_));

  const auto calls = test::RecordedCalls(bin_);
  // The tool calls themselves are the launcher's tests'; here the options reach them.
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_EQ(calls[2].arguments[4], "01-loader       ");
  EXPECT_EQ(calls[4].arguments[4], "02-top scores   ");
  const std::string head = "5 open 1,9,15,\"cd:_\":close1\r\n10 open 1,9,15,\"cdgames/c64\":close1\r\n";
  const std::string tail = "\":close1\r\n25 poke1319,76:poke1320,207:poke1321,13:poke239,3\r\n30 new\r\n";
  EXPECT_EQ((std::vector{test::TokenisedText(bin_, 1), test::TokenisedText(bin_, 2)}),
            (std::vector{head + "20 open 1,9,15,\"xt:arcade.tap," + Start(0) + tail,
                         head + "20 open 1,9,15,\"xt:arcade.tap," + Start(2) + tail}));
}

TEST_F(LauncherCliTest, RefusalsMissingToolsAndAnExistingDisk) {
  for (const char* device : {"7", "12", "x", "9x"}) {
    EXPECT_EQ(Run({"--select", "1", "--device", device}, 2).err,
              "--device " + std::string(device) + ": expected a device number from 8 to 11.\n");
  }
  EXPECT_EQ(Run({"--select", "1", "--sd-dir", "/a\":rem"}, 2).err,
            "Error, directory cannot contain double quotes, braces, line breaks or other control characters !\n"
            "--sd-dir /a\":rem: refused, see above.\n");
  Run({"--select", "1", "--target", "pet"}, 2);
  EXPECT_EQ(Run({"--select", "1", "--name", "1"}, 2).err, "--name 1: expected ROW=TEXT with an existing row.\n");
  Run({"--select", "all"}, 1, "c1541 and petcat were not found", false);
  EXPECT_TRUE(fs::is_empty(out_));

  // An existing disk needs --force.
  folder_.Write("out/arcade.tap.d64", std::string("old"));
  Run({"--select", "all"}, 1);
  EXPECT_EQ(test::ReadFileText(disk_), "old");
  EXPECT_EQ(Run({"--select", "all", "--force"}, 0).err, "");  // the question that --force answers is not printed
  EXPECT_EQ(test::ReadFileText(disk_).find("d64 image\n"), 0u);
}

}  // namespace
}  // namespace rw
