// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/join_window.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QTreeView>

#include <filesystem>

#include "support/tap_bytes.h"
#include "ui/pause_dialog.h"
#include "ui/wait_box.h"
#include "window_driver.h"

namespace rw {
namespace {

using namespace join_controls;

using test::Lines;

// The compilation's rules belong to tests/join; here the buttons, the list
// shown, the questions asked and the folders remembered.
class JoinWindowTest : public ::testing::Test {
 protected:
  // A C64 image of `length` bytes; `video` 1 makes it NTSC.
  std::string Tap(const std::string& name, size_t length = 1000, uint8_t video = 0) {
    return folder.Write(name, test::TapBytes(0, video, 1, length));
  }
  QPushButton* Button(const char* name) { return window.findChild<QPushButton*>(name); }
  void Click(const char* name) { test::Click(&window, name); }
  QTreeView* List() { return window.findChild<QTreeView*>(kFiles); }
  QString Text(int row, int column) { return List()->model()->index(row, column).data().toString(); }
  // Makes `row` the current row, selected alone, as a click on it does.
  void Choose(int row) { List()->setCurrentIndex(List()->model()->index(row, 0)); }
  // The first column of the list: each file's path, or the pause marker.
  Lines Listed() {
    Lines all;
    for (int row = 0; row < List()->model()->rowCount(); ++row) all.push_back(Text(row, 0).toStdString());
    return all;
  }
  void AddFile(const std::string& path) {
    fileDialogs.answers.push_back(path);
    Click(kAddFile);
  }
  void AddPause(const std::string& text) {
    pauseAnswer = text;
    Click(kAddPause);
  }

  test::ScratchFolder folder;
  MemoryPaths paths{"/start"};
  RecordedMessages messages;
  ScriptedFileDialogs fileDialogs;
  WaitBox waitBox{nullptr};
  std::string pauseAnswer;
  JoinWindow window{paths, messages, fileDialogs, test::noSync, &waitBox, [this] { return pauseAnswer; }};
};

TEST_F(JoinWindowTest, AddsFilesAndPausesAndRemovesOnlyOnYes) {
  // Each picture button is named for assistive tools by its tooltip (and takes
  // the focus by tab, as a push button does by default).
  for (const char* name : {kRemove, kAddFile, kJoin, kAddFolder, kMoveUp, kMoveDown, kAddPause}) {
    EXPECT_FALSE(Button(name)->toolTip().isEmpty() || Button(name)->icon().isNull()) << name;
    EXPECT_EQ(Button(name)->accessibleName(), Button(name)->toolTip()) << name;
  }
  EXPECT_FALSE(Button(kJoin)->isEnabled());  // an empty list is nothing to join
  Click(kAddFile);                           // the file and folder dialogs cancelled: nothing added, nothing said
  Click(kAddFolder);
  const std::string a = Tap("a.tap");
  AddFile(a);
  EXPECT_FALSE(Button(kJoin)->isEnabled());  // one file is nothing to join
  ASSERT_EQ(fileDialogs.asked.size(), 3u);
  EXPECT_EQ(fileDialogs.asked[2].title + "|" + fileDialogs.asked[2].folder, "Add TAP file|/start");
  EXPECT_EQ(paths.ReadPersistentPath(PersistentPath::JoinPath), folder.path());

  AddPause("");  // cancelled
  AddPause("5s");
  EXPECT_TRUE(Button(kJoin)->isEnabled());
  EXPECT_EQ(Listed(), (Lines{a, kPauseRowPath}));
  EXPECT_EQ(Text(1, 5), "5s");
  auto* total = window.findChild<QLabel*>(kTotal);
  EXPECT_EQ(total->text().toStdString(), window.compilation().totalText());
  // A screen reader reads the total itself, not its caption.
  EXPECT_EQ(QAccessible::queryAccessibleInterface(total)->text(QAccessible::Name), total->text());

  List()->clearSelection();
  Click(kRemove);  // nothing selected: nothing asked (the questions are counted below)
  Choose(0);
  messages.answer = MessageAnswer::No;
  Click(kRemove);
  EXPECT_EQ(Listed().size(), 2u);
  messages.answer = MessageAnswer::Yes;
  Click(kRemove);
  EXPECT_EQ(Listed(), Lines{kPauseRowPath});
  EXPECT_EQ(test::Shown(messages),
            Lines(2,
                  "WARNING! | question yes/no | Are you sure you want to delete the selected Files from your TAP "
                  "compilation?"));
}

TEST_F(JoinWindowTest, ConflictingFilesAreRefusedAndLeaveJoinPathAlone) {
  // A dropped set whose middle file is NTSC: the others go in; the drop moves nothing.
  const std::string a = Tap("a.tap"), b = Tap("b.tap", 1000, 1), c = Tap("c.tap");
  EXPECT_EQ(
      test::Drop(List()->viewport(), {QString::fromStdString(a), QString::fromStdString(b), QString::fromStdString(c)}),
      Qt::IgnoreAction);
  EXPECT_EQ(Listed(), (Lines{a, c}));  // the refusal's text belongs to tests/join

  // Neither a refused file nor a folder with a refused file is remembered.
  AddFile(b);
  test::ScratchFolder other;
  other.Write("a.tap", test::TapBytes(0, 0, 1, 500));
  other.Write("b.tap", test::TapBytes(0, 1, 1, 500));
  fileDialogs.answers.push_back(other.path());
  Click(kAddFolder);
  EXPECT_EQ(paths.ReadPersistentPath(PersistentPath::JoinPath), "/start");
  EXPECT_EQ(Listed(), (Lines{a, c, other.File("a.tap")}));
  EXPECT_EQ(messages.shown.size(), 3u);
}

TEST_F(JoinWindowTest, AddingAndSortingKeepTheRowCurrentAndSortingDisablesTheMoveButtons) {
  const std::string b = Tap("b.tap"), a = Tap("a.tap");
  AddFile(b);
  Choose(0);
  AddFile(a);  // the row chosen before stays chosen (moves: the next test)
  EXPECT_EQ(List()->currentIndex().row(), 0);

  Choose(1);  // a, chosen before sorting, stays chosen
  QTest::mouseClick(window.findChild<QCheckBox*>(kSortAutomatically), Qt::LeftButton);
  EXPECT_FALSE(Button(kMoveUp)->isEnabled() || Button(kMoveDown)->isEnabled());
  EXPECT_EQ(Listed(), (Lines{a, b}));
  EXPECT_EQ(List()->currentIndex().row(), 0);
  window.SetSorted(false);
  EXPECT_FALSE(window.findChild<QCheckBox*>(kSortAutomatically)->isChecked());
  EXPECT_TRUE(Button(kMoveUp)->isEnabled());
}

TEST_F(JoinWindowTest, SelectionAndCurrentRowStayOnTheirRowsThroughMovesAndRemovals) {
  const std::string a = Tap("a.tap"), b = Tap("b.tap"), c = Tap("c.tap");
  for (const std::string& path : {a, b, c}) AddFile(path);
  AddPause("1s");
  const auto selected = [&] {
    std::vector<int> rows;
    for (const QModelIndex& index : List()->selectionModel()->selectedRows()) rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return std::pair(rows, List()->currentIndex().row());
  };
  // b and the pause selected, the pause current: the pause moves, both stay selected.
  Choose(3);
  List()->selectionModel()->select(List()->model()->index(1, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
  Click(kMoveUp);
  EXPECT_EQ(Listed(), (Lines{a, b, kPauseRowPath, c}));
  EXPECT_EQ(selected(), std::pair(std::vector<int>{1, 2}, 2));
  // With the current row not selected the first selected row moves, and becomes current.
  List()->selectionModel()->setCurrentIndex(List()->model()->index(0, 0), QItemSelectionModel::NoUpdate);
  Click(kMoveDown);
  EXPECT_EQ(Listed(), (Lines{a, kPauseRowPath, b, c}));
  EXPECT_EQ(selected(), std::pair(std::vector<int>{1, 2}, 2));

  // Removing the current row makes the row above the removed ones current, selecting
  // nothing: a move then does nothing.
  messages.answer = MessageAnswer::Yes;
  Click(kRemove);
  EXPECT_EQ(Listed(), (Lines{a, c}));
  EXPECT_EQ(selected(), std::pair(std::vector<int>{}, 0));
  Click(kMoveUp);
  EXPECT_EQ(Listed(), (Lines{a, c}));
}

TEST_F(JoinWindowTest, JoinOntoAnExistingFileAsksAndReplacesItOnlyWithACompleteImage) {
  const std::string a = Tap("a.tap", 1000);
  AddFile(a);
  AddFile(Tap("b.tap", 2000));
  test::ScratchFolder target;
  const std::string output = target.Write("out.tap", std::string("old image"));
  const std::string question =
      "WARNING | exclamation yes/no | File " + output + " Already exists ! Would you like to overwrite it ?";

  messages.answer = MessageAnswer::No;
  fileDialogs.answers = {output, output, output};  // one for each join below
  Click(kJoin);
  EXPECT_EQ(fileDialogs.asked.back().title + "|" + fileDialogs.asked.back().folder, "Join to TAP file|/start");
  EXPECT_EQ(test::ReadFileText(output), "old image");
  EXPECT_EQ(test::Shown(messages), Lines{question});

  // Yes, but an input vanished: the join fails and the old file survives.
  messages.answer = MessageAnswer::Yes;
  messages.shown.clear();
  std::filesystem::rename(a, a + ".away");
  Click(kJoin);
  EXPECT_EQ(messages.shown.size(), 2u);  // the question and the join's error
  EXPECT_EQ(paths.ReadPersistentPath(PersistentPath::SavePath), "/start");
  EXPECT_FALSE(waitBox.isVisible());

  std::filesystem::rename(a + ".away", a);
  messages.shown.clear();
  Click(kJoin);
  EXPECT_EQ(std::filesystem::file_size(output), 20u + 980u + 1980u);
  EXPECT_EQ(test::Shown(messages), (Lines{question, "INFO | information | Join operation Executed Correctly !"}));
  EXPECT_EQ(paths.ReadPersistentPath(PersistentPath::SavePath), target.path());
}

TEST_F(JoinWindowTest, KeyboardReachesEveryControlInScreenOrder) {
  AddFile(Tap("a.tap"));
  AddFile(Tap("b.tap"));
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  EXPECT_EQ(QApplication::focusWidget(), Button(kAddFile));  // adding comes first
  List()->setFocus();
  EXPECT_EQ(test::TabStops(&window, 8), (std::vector<std::string>{kAddFile, kAddFolder, kAddPause, kRemove, kMoveUp,
                                                                  kMoveDown, kJoin, kSortAutomatically}));
  QTest::keyClick(&window, Qt::Key_A, Qt::AltModifier);  // Sort Automatically, clicked after a blink
  EXPECT_TRUE(QTest::qWaitFor([&] { return window.findChild<QCheckBox*>(kSortAutomatically)->isChecked(); }));
}

// The prompt names the decimal separator and Add refuses the other one, keeping
// the dialog open. Each pop-up starts afresh; Cancel gives nothing.
TEST(PauseDialog, AddTakesADurationWithItsOwnSeparatorAndEachPopUpStartsAfresh) {
  RecordedMessages messages;
  PauseDialog dialog(".", messages);
  EXPECT_TRUE(dialog.findChild<QLabel*>(pause_controls::kPrompt)->text().endsWith("separator is: \".\""));
  test::ModalAnswers answers({
      [&](QWidget* shown) {
        auto* text = shown->findChild<QLineEdit*>(pause_controls::kText);
        EXPECT_EQ(shown->windowTitle() + " " + text->selectedText(), "Add Pause 5s");
        QTest::keyClicks(text, "2,5s");  // typed over the selection
        test::Click(shown, pause_controls::kAdd);
        EXPECT_TRUE(shown->isVisible());
        text->setText("2.5s");
        test::Click(shown, pause_controls::kAdd);
      },
      [](QWidget* shown) {
        EXPECT_EQ(shown->findChild<QLineEdit*>(pause_controls::kText)->text(), "5s");
        test::Click(shown, pause_controls::kCancel);
      },
  });
  EXPECT_EQ(dialog.PopUp(nullptr), "2.5s");
  EXPECT_EQ(dialog.PopUp(nullptr), "");
  EXPECT_EQ(answers.answered(), 2u);
  EXPECT_EQ(test::Shown(messages), Lines{"ERROR! | critical | Syntax of duration sting is invalid ! use XXmYYs as "
                                         "suggested, fractional digits are accepted."});
}

}  // namespace
}  // namespace rw
