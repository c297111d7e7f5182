// The launcher disk made by the real VICE tools, where they are installed.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "launcher/launcher_disk.h"
#include "launcher/launcher_text.h"
#include "platform/qt_tool_runner.h"
#include "support/scratch_folder.h"
#include "support/vice_tools.h"

namespace rw {
namespace {

namespace fs = std::filesystem;

class AllRemainingDialogs : public LauncherDialogs {
 public:
  DeviceAnswer AskDevice() override { return {false, 8, "/tapes"}; }
  TargetAnswer AskTarget(const std::string&, const std::string& name) override {
    return {TargetAction::ForAllRemaining, 0, name};
  }
};

TEST(ViceTools, BuildALauncherDiskAndListIt) {
  std::string whyNot;
  const std::string tools = test::RealViceToolsFolder(&whyNot);
  if (tools.empty()) GTEST_SKIP() << whyNot;
  test::ScratchFolder root;
  QtToolRunner runner(tools);
  const std::string tmp = root.path() + "/tmp";
  fs::create_directory(tmp);
  const test::TemporaryFolderOverride temporaryFolder(tmp);

  // The builder reads nothing of the tape but its name and the starts of the
  // selected groups, as the split list shows them.
  LauncherDiskInput input{root.path() + "/Compilation.tap", root.path(), {{"GAME", "0001A4"}, {"SECOND PART", "00A000"}}};
  AllRemainingDialogs dialogs;
  LauncherSettings settings;
  RecordedMessages messages;
  const LauncherOutcome outcome = BuildLauncherDisk(input, {dialogs, settings, runner, messages});

  const std::string disk = root.path() + "/compilation.tap.d64";
  ASSERT_EQ(outcome, LauncherOutcome::Created) << (messages.shown.empty() ? "" : messages.shown[0].text);
  EXPECT_TRUE(fs::is_empty(tmp));
  EXPECT_GE(fs::file_size(disk), 174848u);  // 683 blocks of 256 bytes: at least a 35-track d64

  const ToolResult listing = runner.Run(runner.FindTool("c1541"), {"-attach", disk, "-list"});
  ASSERT_TRUE(listing.Succeeded()) << listing.output << listing.error;
  const std::string lower = LowerText(listing.output);
  EXPECT_NE(lower.find("launcher"), std::string::npos) << listing.output;
  EXPECT_NE(lower.find("01-game"), std::string::npos) << listing.output;
  EXPECT_NE(lower.find("02-second part"), std::string::npos) << listing.output;
}

}  // namespace
}  // namespace rw
