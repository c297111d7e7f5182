// reelwright-cli launcher, run as a user would run it, with stand-ins for
// VICE's c1541 and petcat found on PATH.

#include <gtest/gtest.h>

#include <QStringList>

#include <filesystem>
#include <fstream>

#include "core/utilities.h"
#include "cli_runner.h"
#include "support/scratch_folder.h"
#include "support/tape_composer.h"

namespace rw {
namespace {

namespace fs = std::filesystem;

using test::CliRun;
using test::Q;
using test::RunCli;

// c1541 and petcat that log their arguments to calls.log (one call a line,
// arguments between "|") and keep every launcher text in texts.bas.
void WriteStandIns(const std::string& folder) {
  const std::string record = "#!/bin/sh\nd=$(dirname \"$0\")\nprintf '%s|' \"$(basename \"$0\")\" \"$@\" >> \"$d/calls.log\"; echo >> \"$d/calls.log\"\n";
  std::ofstream(folder + "/c1541") << record << "[ \"$1\" = -format ] && printf d64 > \"$4\"\nexit 0\n";
  std::ofstream(folder + "/petcat") << record
                                    << "out=; prev=; for a in \"$@\"; do [ \"$prev\" = -o ] && out=$a; prev=$a; done\n"
                                       "cat \"$prev\" >> \"$d/texts.bas\"; cp \"$prev\" \"$out\"\n";
  for (const char* tool : {"/c1541", "/petcat"}) fs::permissions(folder + tool, fs::perms::owner_all);
}

class LauncherCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const std::string& sub : {bin_, out_, tmp_}) fs::create_directory(sub);
    test::TapeComposer composer(0, 1);
    composer.AddSilence(50000);
    for (const char* name : {"LOADER", "GAME", "HISCORE"}) {
      test::ComposedProgram program;
      program.name = name;
      program.data = test::ProgramData(64, 7);
      starts_.push_back(composer.AddProgram(program).start);
      composer.AddSilence(100000);
    }
    tape_ = folder_.Write("Arcade.TAP", composer.FileBytes());
  }

  CliRun Run(const QStringList& arguments, bool withTools = true) {
    if (withTools) WriteStandIns(bin_);
    // Without the stand-ins nothing else is on PATH, so that an installed
    // VICE cannot stand in for the missing tools.
    return RunCli(QStringList{"launcher"} + arguments, {{"PATH", withTools ? Q(bin_ + ":/usr/bin:/bin") : Q(bin_)}, {"TMPDIR", Q(tmp_)}});
  }
  std::string Start(int row) const { return LowerCase(HexPad(static_cast<uint64_t>(starts_[row]), 6)); }
  static std::string LowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  }

  test::ScratchFolder folder_;
  std::string bin_ = folder_.File("bin"), out_ = folder_.File("out"), tmp_ = folder_.File("tmp");
  std::string tape_;
  std::vector<int64_t> starts_;
};

TEST_F(LauncherCliTest, OneLauncherPerGroupWithOneTarget) {
  const CliRun run = Run({Q(tape_), Q(out_), "--select", "2,3", "--device", "9", "--sd-dir", "GAMES\\C64",
                          "--target", "c16", "--name", "3=Top Scores"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::string disk = out_ + "/arcade.tap.d64";
  EXPECT_EQ(run.out, "Index Disk " + disk + " successfully created !\n");
  EXPECT_TRUE(fs::is_empty(tmp_));

  const std::string log = test::ReadFileText(bin_ + "/calls.log");
  EXPECT_EQ(log.find("c1541|-format|launcher,id|d64|" + disk + "|\npetcat|-w3|-o|" + tmp_ + "/TAP"), 0u) << log;
  EXPECT_NE(log.find("|-write|" + tmp_ + "/TAP"), std::string::npos);
  EXPECT_NE(log.find(".tmp|01-loader       |\n"), std::string::npos) << log;
  EXPECT_NE(log.find(".tmp|02-top scores   |\n"), std::string::npos) << log;

  const std::string line25 = "25 poke1319,76:poke1320,207:poke1321,13:poke239,3\r\n";
  const std::string head = "5 open 1,9,15,\"cd:_\":close1\r\n10 open 1,9,15,\"cdgames/c64\":close1\r\n";
  EXPECT_EQ(test::ReadFileText(bin_ + "/texts.bas"),
            head + "20 open 1,9,15,\"xt:arcade.tap," + Start(0) + "\":close1\r\n" + line25 + "30 new\r\n" +
                head + "20 open 1,9,15,\"xt:arcade.tap," + Start(2) + "\":close1\r\n" + line25 + "30 new\r\n");
}

TEST_F(LauncherCliTest, RefusalsAndMissingTools) {
  CliRun run = Run({Q(tape_), Q(out_), "--select", "1", "--device", "12"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "Error, Device number of Tapewell must be in the interval 8-11 !\n");

  run = Run({Q(tape_), Q(out_), "--select", "1", "--target", "pet"});
  EXPECT_EQ(run.exitCode, 2);
  run = Run({Q(tape_), Q(out_), "--select", "4"});
  EXPECT_EQ(run.exitCode, 2);

  fs::remove_all(bin_);
  fs::create_directory(bin_);
  run = Run({Q(tape_), Q(out_), "--select", "all"}, false);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("c1541 and petcat were not found"), std::string::npos) << run.err;
  EXPECT_TRUE(fs::is_empty(out_));
}

TEST_F(LauncherCliTest, AnExistingDiskNeedsForce) {
  const std::string disk = out_ + "/arcade.tap.d64";
  std::ofstream(disk) << "old";
  CliRun run = Run({Q(tape_), Q(out_), "--select", "all"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(test::ReadFileText(disk), "old");
  run = Run({Q(tape_), Q(out_), "--select", "all", "--force"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(test::ReadFileText(disk), "d64");
}

}  // namespace
}  // namespace rw
