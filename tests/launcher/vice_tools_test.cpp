// The launcher disk made by the real VICE tools, where they are shipped
// beside the project: every program read back off the disk and listed by
// petcat is exactly the launcher the name asks for, however odd the names.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

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
  DeviceAnswer AskDevice() override { return {false, 8, "/games,1"}; }
  TargetAnswer AskTarget(const std::string&, const std::string& name) override {
    return {TargetAction::ForAllRemaining, 0, name};
  }
};

// petcat's listing without the blanks it aligns line numbers with.
std::vector<std::string> ListingLines(const std::string& listing) {
  std::vector<std::string> lines;
  std::istringstream in(listing);
  std::string line;
  while (std::getline(in, line)) {
    line.erase(0, line.find_first_not_of(' '));
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

TEST(ViceTools, EveryLauncherReadsBackAsTheTextDescribesIt) {
  std::string whyNot;
  const std::string tools = test::RealViceToolsFolder(&whyNot);
  if (tools.empty()) GTEST_SKIP() << whyNot;
  QtToolRunner runner(tools, std::vector<std::string>{});
  test::ScratchFolder root;
  const std::string tmp = root.File("tmp");
  fs::create_directory(tmp);
  const test::TemporaryFolderOverride temporaryFolder(tmp);

  // The builder reads nothing of the tape but its name and the starts of the
  // selected groups, as the split list shows them.
  LauncherDiskInput input{root.File("Spy,vs Spy.TAP"), root.path(),
                          {{"A\":POKE53280,0:REM", "0001A4"}, {"LINE\r\n20 NEW", "00B000"}, {"{CLR}GAME, 2", "00C000"}}};
  AllRemainingDialogs dialogs;
  LauncherSettings settings;
  RecordedMessages messages;
  const LauncherOutcome outcome = BuildLauncherDisk(input, {dialogs, settings, runner, messages});

  const std::string disk = root.File("spy,vs spy.tap.d64");
  ASSERT_EQ(outcome, LauncherOutcome::Created) << (messages.shown.empty() ? "" : messages.shown[0].text);
  EXPECT_TRUE(fs::is_empty(tmp));
  EXPECT_EQ(fs::file_size(disk), 174848u);  // 683 blocks of 256 bytes: a 35-track d64

  const std::string c1541 = runner.FindTool("c1541");
  const std::string petcat = runner.FindTool("petcat");
  const char* const entries[] = {"01-a--poke53280-", "02-line--20 new ", "03--clr-game- 2 "};
  const char* const starts[] = {"0001a4", "00b000", "00c000"};
  for (int i = 0; i < 3; ++i) {
    const std::string program = root.File("read.prg");
    const std::string listing = root.File("read.txt");
    const ToolResult read = runner.Run(c1541, {"-attach", disk, "-read", entries[i], program});
    ASSERT_TRUE(read.Succeeded()) << entries[i] << "\n" << read.output;
    const ToolResult listed = runner.Run(petcat, {"-2", "-o", listing, "--", program});
    ASSERT_TRUE(listed.Succeeded()) << listed.output;
    EXPECT_EQ(ListingLines(test::ReadFileText(listing)),
              (std::vector<std::string>{"5 open 1,8,15,\"cd:_\":close1", "10 open 1,8,15,\"cd/games,1\":close1",
                                        std::string("20 open 1,8,15,\"xt:spy,vs spy.tap,") + starts[i] + "\":close1",
                                        "25 poke631,131:poke198,1", "30 new"}))
        << entries[i];
  }
}

}  // namespace
}  // namespace rw
