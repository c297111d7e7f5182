#include "ui/split_window.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QRadioButton>
#include <QTreeView>

#include <gtest/gtest.h>

#include "core/utilities.h"
#include "launcher/program_disk.h"
#include "support/vice_tools.h"
#include "ui/wait_box.h"
#include "window_driver.h"

namespace rw {
namespace {

using test::Lines;

class SplitWindowTest : public ::testing::Test {
 protected:
  SplitWindowTest() {
    tape = desktop.folder.Write("Game.tap", test::TapeWith({"GAME LOADER", "GAME", "DEMO"}));
    split = desktop.window.splitWindow();
    list = split->findChild<QTreeView*>("ListView1");
    outputDir = split->findChild<QLineEdit*>("Text1");
  }
  QPushButton* Button(const char* name) { return split->findChild<QPushButton*>(name); }
  QString Label(const char* name) { return split->findChild<QLabel*>(name)->text(); }
  // The enabled state of Split File, IDX file and Index D64, which move together.
  std::string Commands() {
    std::string states;
    for (const char* name : {"vkCommand4", "vkCommand7", "vkCommand2"}) states += Button(name)->isEnabled() ? "1" : "0";
    return states;
  }
  // Ticks or unticks a row from the keyboard.
  void Toggle(int row) {
    list->setCurrentIndex(list->model()->index(row - 1, 1));
    QTest::keyClick(list, Qt::Key_Space);
  }
  int Rows() { return list->model()->rowCount(); }
  std::string Cell(int row, int column) {
    return list->model()->index(row - 1, column).data().toString().toStdString();
  }

  test::Desktop desktop;
  std::string tape;
  SplitWindow* split;
  QTreeView* list;
  QLineEdit* outputDir;
};

TEST_F(SplitWindowTest, LoadByDialogAndDropEnablesCommandsOnlyWithTicksAndFolder) {
  EXPECT_EQ(outputDir->text(), "/program");  // the default output folder, here missing
  desktop.dialogs.answers = {tape};
  test::Click(split, "vkCommand3");
  ASSERT_EQ(desktop.dialogs.asked.size(), 1u);
  const FileDialogRequest& asked = desktop.dialogs.asked[0];
  EXPECT_EQ(asked.title + "|" + asked.folder, "Load TAP file|/program");
  EXPECT_EQ(asked.filters, (Lines{"Commodore TAP File (*.tap)", "Tutti i Files (*)"}));
  EXPECT_EQ(Label("Label3") + "|" + Label("Label5") + "|" + Label("Label14") + "|" + QString::number(Rows()),
            QString::fromStdString(tape) + "|Commodore 64|3|3");
  EXPECT_EQ(Cell(1, 1) + " " + Cell(1, 2) + " " + Cell(1, 5), split->model().rows()[0].program + " " +
                                                                 split->model().rows()[0].start + " OK");

  QStringList captions;
  for (int column = 0; column < list->model()->columnCount(); ++column) {
    captions << list->model()->headerData(column, Qt::Horizontal).toString();
  }
  EXPECT_EQ(captions.join("|"), "|Program|Start|End|Duration|Check1|Check2");
  Toggle(2);
  // The view draws the ticks from the model's check state.
  const auto tick = [&](int row) { return list->model()->index(row - 1, 0).data(Qt::CheckStateRole).toInt(); };
  EXPECT_EQ(std::to_string(tick(1)) + std::to_string(tick(2)), "02");
  EXPECT_EQ(Commands(), "000");  // ticked, but the folder does not exist
  EXPECT_TRUE(outputDir->toolTip().contains("does not exist"));
  test::Type(split, "Text1", QString::fromStdString(desktop.out.path()));
  EXPECT_EQ(Commands(), "111");
  test::Click(split, "vkCommand6");  // Select None
  EXPECT_EQ(Commands(), "000");
  test::Click(split, "vkCommand5");  // Select All
  EXPECT_EQ(Commands(), "111");

  // A drop loads its first file (a refused load is pinned through the first argument,
  // in main_window_test): the rows are replaced, all unticked.
  const std::string bad = desktop.folder.Write("bad.tap", std::string("not a tape image"));
  const std::string other = desktop.out.Write("other.tap", test::TapeWith({"ONE", "TWO"}));
  test::Drop(list->viewport(), {QString::fromStdString(other), QString::fromStdString(bad)});
  EXPECT_EQ(std::to_string(Rows()) + "|" + Commands(), "2|000");

  // A file dropped on the folder box gives its folder.
  test::Drop(outputDir, {QString::fromStdString(tape)});
  EXPECT_EQ(outputDir->text().toStdString(), desktop.folder.path() + "/");
}

// The name editor saves, resets and keeps sixteen characters; then the
// buttons split, index and manage the output folder.
TEST_F(SplitWindowTest, NameEditorAndButtonsOnALoadedTape) {
  ASSERT_TRUE(split->LoadAndParse(QString::fromStdString(tape)));
  const std::string found = split->model().sections()[1].name;
  const auto box = [](QWidget* editor, const char* name) { return editor->findChild<QLineEdit*>(name); };
  test::ModalAnswers answers({
      [&](QWidget* editor) {
        EXPECT_EQ(editor->objectName(), "Form7");
        test::Type(editor, "Text2", "ABCDEFGHIJKLMNOPQ");
        EXPECT_EQ(box(editor, "Text2")->text(), "ABCDEFGHIJKLMNOP");
        box(editor, "Text1")->setText("{RED}X");
        test::Click(editor, "Command1");  // Save
      },
      // Reset puts the decoder's name into its own box only; Exit stores nothing.
      [&](QWidget* editor) {
        test::Click(editor, "Command3");
        EXPECT_EQ(box(editor, "Text1")->text().toStdString(), found);
        EXPECT_EQ(box(editor, "Text2")->text(), "ABCDEFGHIJKLMNOP");
        test::Click(editor, "Command4");
        EXPECT_EQ(box(editor, "Text2")->text().toStdString(), found);
        test::Click(editor, "Command2");  // Exit
      },
  });
  split->PopUp();  // no row selected: nothing opens
  list->setCurrentIndex(list->model()->index(1, 1));
  const QPoint row2 = list->visualRect(list->currentIndex()).center();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row2);  // a double click begins with a click
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row2);
  EXPECT_EQ(Cell(2, 1) + "|" + split->model().sections()[1].tapeNameText, "ABCDEFGHIJKLMNOP|{RED}X");
  QTest::keyClick(list, Qt::Key_Return);
  EXPECT_EQ(answers.answered(), 2u);
  EXPECT_EQ(Cell(2, 1) + "|" + split->model().sections()[1].tapeNameText, "ABCDEFGHIJKLMNOP|{RED}X");

  desktop.dialogs.answers = {desktop.out.path()};
  test::Click(split, "vkCommand1");
  EXPECT_EQ(desktop.dialogs.asked.back().title, "Select a Directory");
  EXPECT_EQ(outputDir->text().toStdString(), desktop.out.path());
  Toggle(1);
  Toggle(3);
  int d64Requests = 0;
  split->onIndexD64 = [&] { ++d64Requests; };
  // Split and index files: their messages and rules belong to tests/split.
  test::Click(split, "vkCommand4");
  const auto& rows = split->model().rows();
  EXPECT_EQ(desktop.out.Names(), (Lines{SplitFileStem(1, rows[0].program) + ".tap",
                                        SplitFileStem(2, rows[1].program) + ".tap"}));
  split->findChild<QRadioButton*>("Option2")->setChecked(true);
  test::Click(split, "vkCommand7");
  const std::string firstLine = "0x" + HexDigits(HexToLong(rows[0].start)) + " " + rows[0].program + "\r\n";
  EXPECT_EQ(test::ReadFileText(desktop.out.File("game.idx")).substr(0, firstLine.size()), firstLine);
  test::Click(split, "vkCommand2");
  EXPECT_EQ(d64Requests, 1);
  test::Click(split, "vkCommand8");
  EXPECT_EQ(desktop.paths.ReadPersistentPath(PersistentPath::DefSplitPath), desktop.out.path());
  EXPECT_EQ(desktop.messages.shown.size(), 3u);
}

TEST_F(SplitWindowTest, ContextMenuExtractsAndCopiesTickedProgramsAndTooltipsTellTheData) {
  // A good program and one whose byte 20 neither copy gives: its tooltip, the
  // damage summary, is what the extract message names it by.
  test::TapeComposer composer(0, 1);
  composer.AddSilence(50000);
  composer.AddProgram({.name = "GOOD", .data = test::ProgramData(64, 1)});
  composer.AddSilence(100000);
  composer.AddProgram(
      {.name = "BAD", .data = test::ProgramData(64, 2), .dataParityErrors = {20}, .dataRepeatParityErrors = {20}});
  const std::string path = desktop.folder.Write("two.tap", composer.FileBytes());
  ASSERT_TRUE(split->LoadAndParse(QString::fromStdString(path)));
  const auto tip = [&](int row) { return list->model()->index(row - 1, 3).data(Qt::ToolTipRole).toString(); };
  EXPECT_EQ(tip(1).toStdString(), "Data good: 0801-0841, 64 bytes");

  auto* extract = split->findChild<QAction*>("extractPrograms");
  auto* toDisk = split->findChild<QAction*>("copyProgramsToDisk");
  EXPECT_FALSE(extract->isEnabled() || toDisk->isEnabled());
  EXPECT_EQ(extract->toolTip(), "Tick the programs to work on first");
  Toggle(1);
  Toggle(2);
  EXPECT_TRUE(extract->isEnabled() && toDisk->isEnabled());
  QStringList entries;
  QTimer::singleShot(0, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    for (QAction* action : menu->actions()) entries << action->text();
    menu->close();
  });
  QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5), list->viewport()->mapToGlobal(QPoint(5, 5)));
  QApplication::sendEvent(list->viewport(), &click);
  EXPECT_EQ(entries, (QStringList{QString::fromUtf8("E&xtract programs\u2026"),
                                  QString::fromUtf8("&Copy programs to a disk image\u2026")}));

  // The folder dialog opens at the output folder; the damaged program is named, not written.
  outputDir->setText(QString::fromStdString(desktop.folder.path()));
  desktop.dialogs.answers = {desktop.out.path()};
  extract->trigger();
  EXPECT_EQ(desktop.dialogs.asked.back().title + "|" + desktop.dialogs.asked.back().folder,
            "Select a Directory|" + desktop.folder.path());
  EXPECT_EQ(desktop.out.Names(), Lines{"GOOD.prg"});
  EXPECT_EQ(test::Shown(desktop.messages), Lines{"INFO | information | 1 of 2 programs extracted to " +
                                                 desktop.out.path() + "\nNot extracted:\n2 BAD: " +
                                                 tip(2).toStdString()});

  std::string reason;
  split->toolFolder = test::RealViceToolsFolder(&reason);
  if (split->toolFolder.empty()) GTEST_SKIP() << reason;
  Toggle(2);
  desktop.messages.shown.clear();
  const std::string disk = desktop.out.File("games.d64");
  desktop.dialogs.answers = {desktop.out.File("games")};  // ".d64" is added
  toDisk->trigger();
  EXPECT_EQ(desktop.dialogs.asked.back().filters, Lines{"D64 disk image (*.d64)"});
  std::vector<std::string> names;
  ASSERT_TRUE(ReadD64Directory(test::ReadFileBytes(disk), names)) << test::Shown(desktop.messages).front();
  EXPECT_EQ(names, Lines{"GOOD"});
  EXPECT_FALSE(desktop.window.waitBox().isVisible());
  // Declining to overwrite leaves the disk alone.
  desktop.messages.answer = MessageAnswer::No;
  desktop.dialogs.answers = {disk};
  toDisk->trigger();
  ASSERT_EQ(desktop.messages.shown.size(), 2u);
  EXPECT_EQ(test::Shown(desktop.messages)[1],
            "WARNING | exclamation yes/no | File " + disk + " Already exists ! Would you like to overwrite it ?");
}

}  // namespace
}  // namespace rw
