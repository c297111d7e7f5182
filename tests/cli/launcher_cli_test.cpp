// reelwright-cli launcher, run as a user would run it, with stand-ins for
// VICE's c1541 and petcat found on PATH.

#include <filesystem>

#include "core/utilities.h"
#include "launcher/launcher_text.h"
#include "cli_runner.h"
#include "support/stand_in_tools.h"
#include "support/scratch_folder.h"
#include "support/tape_composer.h"

namespace rw {
namespace {

namespace fs = std::filesystem;


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
  for (const char* device : {"12", "x", "9x"}) {
    EXPECT_EQ(Run({"--select", "1", "--device", device}, 2).err,
              "--device " + std::string(device) + ": expected a device number from 8 to 11.\n");
  }
  EXPECT_EQ(Run({"--select", "1", "--sd-dir", "/a\":rem"}, 2).err,
            "Error, directory cannot contain double quotes, braces, line breaks or other control characters !\n"
            "--sd-dir /a\":rem: refused, see above.\n");
  Run({"--select", "1", "--target", "pet"}, 2);
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
