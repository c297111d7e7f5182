// The index file and the launcher disk on a full disk: the failure is told
// in one message, an earlier index file or disk stays as it was, and no
// temporary file is left behind.

#include <gtest/gtest.h>

#include <filesystem>

#include "full_disk.h"
#include "launcher/launcher_disk.h"
#include "platform/qt_tool_runner.h"
#include "split/index_file.h"
#include "support/scratch_folder.h"
#include "support/stand_in_tools.h"

namespace rw {
namespace {

namespace fs = std::filesystem;

TEST(IndexSafety, AFullDiskKeepsThePreviousIndexFile) {
  test::ScratchFolder out;
  const std::string previous = "01-OLD,000014,0000FF\r\n";
  const std::string path = out.Write("game.idx", previous);
  const std::vector<IndexEntry> entries(20, {"A PROGRAM WITH A LONG NAME", "000014", "00A3FF"});
  EXPECT_EXIT(test::RunOnFullDisk(64, [&](Messages& shown) {
    return WriteIndexFile(out.path(), "/tapes/Game.tap", entries, IndexFormat::Marquise, shown);
  }), testing::ExitedWithCode(1), test::Exactly("ERROR!|0|Error while creating file " + path + " : File too large\n"));
  EXPECT_EQ(test::ReadFileText(path), previous);
  EXPECT_EQ(out.Names(), std::vector<std::string>{"game.idx"});
}

class AnswerEveryTarget : public LauncherDialogs {
 public:
  DeviceAnswer AskDevice() override { return {false, 8, ""}; }
  TargetAnswer AskTarget(const std::string&, const std::string& name) override {
    return {TargetAction::Next, 0, name};
  }
};

TEST(LauncherSafety, AFullDiskKeepsThePreviousDiskAndLeavesNoTemporaryFile) {
  test::ScratchFolder root;
  const std::string tools = root.File("tools"), out = root.File("out"), tmp = root.File("tmp");
  for (const std::string& folder : {tools, out, tmp}) fs::create_directory(folder);
  test::WriteStandInTools(tools, test::FormatMode::Ok, test::PetcatMode::Ok, test::WriteMode::Ok);
  const test::TemporaryFolderOverride temporaryFolder(tmp);
  const std::string disk = root.Write("out/games.tap.d64", std::string("previous disk"));
  LauncherDiskInput input;
  input.imagePath = root.File("Games.tap");
  input.outputFolder = out;
  input.programs = {{"GAME", "000014"}, {"LEVELS", "00A3FF"}};
  // The stand-in c1541 makes a disk of ten bytes; the launcher text is longer.
  // The first message is the question to replace the disk, answered yes.
  EXPECT_EXIT(test::RunOnFullDisk(32, [&](Messages& shown) {
    AnswerEveryTarget dialogs;
    LauncherSettings settings;
    QtToolRunner runner(tools, std::vector<std::string>{});
    return BuildLauncherDiskFor(input, {8, ""}, {dialogs, settings, runner, shown}) == LauncherOutcome::Created;
  }), testing::ExitedWithCode(1),
              test::Exactly("ERROR!|0|Error while creating file " + disk + " : File too large\n", "[^\n]+\n"));
  EXPECT_TRUE(fs::is_empty(tmp));
  EXPECT_EQ(test::ReadFileText(disk), "previous disk");
  EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace rw
