#include "ui/index_d64.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>

#include <filesystem>

#include "launcher/launcher_text.h"
#include "platform/qt_tool_runner.h"
#include "split/program_list.h"
#include "support/stand_in_tools.h"
#include "support/vice_tools.h"
#include "ui/launcher_dialogs.h"
#include "ui/pause_dialog.h"
#include "ui/wait_box.h"
#include "window_driver.h"

namespace rw {
namespace {

namespace fs = std::filesystem;
using test::Lines;

// The real dialogs, noting at each progress step what the user saw.
class WatchedDialogs : public QtLauncherDialogs {
 public:
  WatchedDialogs(QWidget* owner, Messages& messages, WaitBox& waitBox)
      : QtLauncherDialogs(owner, messages), waitBox_(waitBox) {}
  void SetProgress(int done, int total) override {
    const QCursor* pointer = QApplication::overrideCursor();
    const bool busy = waitBox_.isVisible() && pointer && pointer->shape() == Qt::WaitCursor;
    progress.push_back(std::to_string(done) + "/" + std::to_string(total) + (busy ? " busy" : " idle"));
  }
  std::vector<std::string> progress;

 private:
  WaitBox& waitBox_;
};

// Game.TAP with three programs; rows 2 and 3 are ticked, so the groups start
// at rows 1 and 3.
class IndexD64Test : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string tape = root.Write("Game.TAP", test::TapeWith({"GAME LOADER", "GAME", "DEMO"}));
    for (const std::string& folder : {tools(), out()}) fs::create_directory(folder);
    ASSERT_TRUE(list.LoadAndParse(tape, messages));
    list.outputDir = out();
    list.SetChecked(2, true);
    list.SetChecked(3, true);
    owner.resize(640, 480);
    owner.show();
  }
  std::string tools() const { return root.File("tools"); }
  std::string out() const { return root.File("out"); }
  std::string disk() const { return out() + "/game.tap.d64"; }

  test::ScratchFolder root;
  MemoryPaths paths;
  RecordedMessages messages;
  ProgramList list{paths, "."};
  QWidget owner;
  WaitBox waitBox{&owner};
  WatchedDialogs dialogs{&owner, messages, waitBox};
};

// With stand-in tools: nothing ticked starts nothing; the dialogs' answers reach
// the tools and the disk is built under the wait box; a refused device keeps its
// dialog open; closing either dialog stops the build and leaves no disk.
TEST_F(IndexD64Test, StandInToolsTakeTheAnswersAndShowProgress) {
  test::WriteStandInTools(tools(), test::FormatMode::Ok, test::PetcatMode::Ok, test::WriteMode::Ok);
  QtToolRunner runner(tools(), std::vector<std::string>{});
  test::ModalAnswers answers({
      [](QWidget* form5) {
        test::Type(form5, "Text2", "12");
        test::Click(form5, "Command1");
        EXPECT_EQ(form5->findChild<QLineEdit*>("Text2")->text(), "8");
        test::Type(form5, "Text2", "9");
        test::Type(form5, "Text1", "\\Games\\C64");
        test::Click(form5, "Command1");
      },
      [](QWidget* form2) {
        EXPECT_EQ(form2->findChild<QLabel*>("Label2")->text(), "01-game loader  ");
        form2->findChild<QComboBox*>("Combo1")->setCurrentIndex(1);
        test::Type(form2, "Text1", "MENU");
        test::Click(form2, "Command1");  // for all remaining: the second group is not asked
      },
      [](QWidget* form5) { form5->close(); },
      [](QWidget* form5) { test::Click(form5, "Command1"); },
      [](QWidget* form2) { test::Click(form2, "Command2"); },  // next
      [](QWidget* form2) { form2->close(); },
  });
  list.SelectNone();
  EXPECT_EQ(RunIndexD64(list, messages, dialogs, runner, &waitBox), LauncherOutcome::NotStarted);
  list.SetChecked(2, true);
  list.SetChecked(3, true);

  EXPECT_EQ(RunIndexD64(list, messages, dialogs, runner, &waitBox), LauncherOutcome::Created);
  EXPECT_EQ(test::Shown(messages),
            (Lines{"Error ! | critical | Error, Device number of Tapewell must be in the interval 8-11 !",
                   "INFO | information | Index Disk " + disk() + " successfully created !"}));
  EXPECT_EQ(answers.answered(), 2u);  // nor any tool run, nor message shown, with nothing ticked
  const auto calls = test::RecordedCalls(tools());
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_EQ(calls[3].arguments[2], "1001");  // the load address of the second target system
  EXPECT_EQ(calls[2].arguments.back() + "|" + calls[4].arguments.back(), "01-menu         |02-demo         ");
  const std::string text = test::TokenisedText(tools(), 2);
  EXPECT_NE(text.find("10 open 1,9,15,\"cd/games/c64\":close1"), std::string::npos) << text;
  EXPECT_EQ(dialogs.progress, (Lines{"0/2 busy", "1/2 busy", "2/2 busy"}));
  EXPECT_EQ(waitBox.findChild<QProgressBar*>("progressBar")->value(), 1000);
  EXPECT_FALSE(waitBox.isVisible());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  fs::remove(disk());
  messages.shown.clear();
  EXPECT_EQ(RunIndexD64(list, messages, dialogs, runner, &waitBox), LauncherOutcome::NotStarted);
  EXPECT_EQ(RunIndexD64(list, messages, dialogs, runner, &waitBox), LauncherOutcome::Aborted);
  EXPECT_EQ(test::Shown(messages), Lines{"INFO | information | Operation Aborted, D64 Index file not created !"});
  EXPECT_EQ(answers.answered(), 6u);
  EXPECT_FALSE(fs::exists(disk()));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(IndexD64Test, RealViceToolsMakeADiskThatListsBothLaunchers) {
  std::string whyNot;
  const std::string vice = test::RealViceToolsFolder(&whyNot);
  if (vice.empty()) GTEST_SKIP() << whyNot;
  QtToolRunner runner(vice, std::vector<std::string>{});
  test::ModalAnswers answers({[](QWidget* form5) { test::Click(form5, "Command1"); },
                              [](QWidget* form2) { test::Click(form2, "Command1"); }});

  ASSERT_EQ(RunIndexD64(list, messages, dialogs, runner, &waitBox), LauncherOutcome::Created)
      << (messages.shown.empty() ? "" : messages.shown[0].text);

  const ToolResult listing = runner.Run(runner.FindTool("c1541"), {"-attach", disk(), "-list"});
  ASSERT_TRUE(listing.Succeeded()) << listing.output << listing.error;
  const std::string lower = LowerText(listing.output);
  EXPECT_NE(lower.find("01-game loader"), std::string::npos) << listing.output;
  EXPECT_NE(lower.find("02-demo"), std::string::npos) << listing.output;
}

// Modal even when shown rather than run; the last step of a long task is
// always drawn, however soon it follows the one before.
TEST(Dialogs, AreModalAndTheWaitBoxShowsTheEnd) {
  RecordedMessages messages;
  EXPECT_TRUE(LauncherDeviceDialog(messages).isModal());
  EXPECT_TRUE(TargetSystemDialog("game.d64", "game").isModal());
  EXPECT_TRUE(PauseDialog(".", messages).isModal());
  WaitBox box{nullptr};
  box.ShowWait("Working", true);
  box.SetProgress(1, 2);
  box.SetProgress(2, 2);
  EXPECT_EQ(box.findChild<QProgressBar*>("progressBar")->value(), 1000);
}

}  // namespace
}  // namespace rw
