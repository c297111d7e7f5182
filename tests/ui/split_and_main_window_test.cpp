// SPDX-License-Identifier: GPL-2.0-or-later
// The desktop program's split window, the tape map above its list, the Index
// D64 run it starts, and the main window around it.

#include "ui/split_window.h"

#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QProgressBar>
#include <QRadioButton>
#include <QTreeView>
#include <QTreeWidget>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "platform/native_path.h"
#include "platform/qt_tool_runner.h"
#include "platform/widgets/qt_file_dialogs.h"
#include "settings/ini_file.h"
#include "support/stand_in_tools.h"
#include "support/vice_tools.h"
#include "ui/about_box.h"
#include "ui/controls.h"
#include "ui/convert_window.h"
#include "ui/index_d64.h"
#include "ui/join_window.h"
#include "ui/launcher_dialogs.h"
#include "ui/pulse_window.h"
#include "ui/tape_map_strip.h"
#include "ui/wait_box.h"
#include "window_driver.h"

namespace rw {
namespace {

using namespace split_controls;

namespace fs = std::filesystem;
using test::Lines;
using test::noSync;

// What a screen reader says for `object`.
QString Spoken(QObject* object, QAccessible::Text what = QAccessible::Name) {
  return QAccessible::queryAccessibleInterface(object)->text(what);
}

// The split list's rules belong to tests/split; here the buttons, the table
// the list is shown in, the dialogs asked and the messages shown.
class SplitWindowTest : public ::testing::Test {
 protected:
  QString Label(const char* name) { return split->findChild<QLabel*>(name)->text(); }
  // The enabled state of Split File, IDX file and Index D64, which move together.
  std::string Commands() {
    std::string states;
    for (const char* name : {kSplitFile, kIdxFile, kIndexD64})
      states += split->findChild<QPushButton*>(name)->isEnabled() ? "1" : "0";
    return states;
  }
  // Ticks or unticks a row from the keyboard.
  void Toggle(int row) {
    list->setCurrentIndex(list->model()->index(row - 1, 1));
    QTest::keyClick(list, Qt::Key_Space);
  }
  QString Cell(int row, int column) { return list->model()->index(row - 1, column).data().toString(); }
  // The entries, by name, of the menu that `open` pops up; then `trigger`, if given, is chosen.
  QStringList MenuEntries(const std::function<void()>& open, const char* trigger = nullptr) {
    QStringList entries;
    QTimer::singleShot(0, [&] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      ASSERT_NE(menu, nullptr);
      for (QAction* entry : menu->actions()) entries << entry->objectName();
      menu->close();
      if (trigger != nullptr) menu->findChild<QAction*>(trigger)->trigger();
    });
    open();
    return entries;
  }

  test::Desktop desktop;
  std::string tape = desktop.folder.Write("Game.tap", test::TapeWith({"GAME LOADER", "GAME", "DEMO"}));
  SplitWindow* split = desktop.window.splitWindow();
  QTreeView* list = split->findChild<QTreeView*>(kPrograms);
  QLineEdit* outputDir = split->findChild<QLineEdit*>(output_folder_controls::kFolder);
};

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
  WaitBox& waitBox_;
};

TEST_F(SplitWindowTest, LoadByDialogAndDropEnablesCommandsOnlyWithTicksAndFolder) {
  EXPECT_EQ(outputDir->text(), "/program");  // the default output folder, here missing
  desktop.dialogs.answers = {tape};
  test::Click(split, kLoadFile);
  const FileDialogRequest& asked = desktop.dialogs.asked.at(0);
  EXPECT_EQ(asked.title + "|" + asked.folder, "Load TAP file|/program");
  EXPECT_EQ(asked.filters, (Lines{"Commodore TAP File (*.tap)", "Tutti i Files (*)"}));
  EXPECT_EQ(Label(kFilePath) + "|" + Label(kMachine) + "|" + Label(kItems) + "|" + Cell(3, 1),
            QString::fromStdString(tape) + "|Commodore 64|3|DEMO");

  // The view draws the ticks from the model's check state; only the tick
  // column takes a value, and only as a check state (by mouse too).
  Toggle(2);
  QAbstractItemModel* table = list->model();
  const auto tick = [&](int row) { return table->index(row - 1, 0).data(Qt::CheckStateRole).toInt(); };
  EXPECT_EQ(std::to_string(tick(1)) + std::to_string(tick(2)), "02");
  EXPECT_TRUE(table->flags(table->index(0, 0)) & Qt::ItemIsUserCheckable);
  EXPECT_FALSE(table->setData(table->index(0, 1), Qt::Checked, Qt::CheckStateRole) ||
               table->setData(table->index(0, 1), "X") ||
               table->setData(table->index(0, 0), Qt::Checked, Qt::DisplayRole));
  EXPECT_TRUE(table->setData(table->index(2, 0), Qt::Checked, Qt::CheckStateRole));
  EXPECT_EQ(split->model().CheckStates(), (std::vector<bool>{false, true, true}));
  EXPECT_EQ(Commands(), "000");  // ticked, but the folder does not exist
  EXPECT_TRUE(outputDir->toolTip().contains("does not exist"));
  test::Type(split, output_folder_controls::kFolder, QString::fromStdString(desktop.out.path()));
  EXPECT_EQ(Commands(), "111");
  test::Click(split, kSelectNone);
  EXPECT_EQ(Commands(), "000");
  test::Click(split, kSelectAll);
  EXPECT_EQ(Commands(), "111");

  // The commands wait while a tape loads; a refused file leaves the old tape's
  // commands (its message is pinned through the first argument, in MainWindowTest below).
  std::string duringLoad;
  QTimer::singleShot(0, [&] { duringLoad = Commands(); });  // runs while the please-wait box is painted
  const std::string bad = desktop.folder.Write("bad.tap", std::string("not a tape image"));
  EXPECT_FALSE(split->LoadAndParse(QString::fromStdString(bad)));
  EXPECT_EQ(duringLoad + "|" + Commands(), "000|111");
  // A tape without programs loads, with no rows, and says so.
  desktop.messages.shown.clear();
  EXPECT_TRUE(split->LoadAndParse(QString::fromStdString(desktop.folder.Write("none.tap", test::TapeWith({})))));
  EXPECT_TRUE(list->model()->rowCount() == 0 && split->model().RowCount() == 0 && split->model().sections().empty());
  EXPECT_EQ(test::Shown(desktop.messages),
            Lines{"WARNING! | exclamation | No ROM Loader sections identified inside this TAP file !"});
  // A drop loads its first file: the rows are replaced, all unticked.
  const std::string other = desktop.out.Write("other.tap", test::TapeWith({"ONE", "TWO"}));
  test::Drop(list->viewport(), {QString::fromStdString(other), QString::fromStdString(bad)});
  EXPECT_EQ(std::to_string(list->model()->rowCount()) + "|" + Commands(), "2|000");

  // A file dropped on the folder box gives its folder.
  test::Drop(outputDir, {QString::fromStdString(tape)});
  EXPECT_EQ(outputDir->text().toStdString(), desktop.folder.path() + "/");
}

// The name editor saves, resets and keeps sixteen characters; then the
// buttons split, index and manage the output folder.
TEST_F(SplitWindowTest, NameEditorAndButtonsOnALoadedTape) {
  ASSERT_TRUE(split->LoadAndParse(QString::fromStdString(tape)));
  const std::string found = split->model().sections()[0].name;
  const auto box = [](QWidget* editor, const char* name) { return editor->findChild<QLineEdit*>(name); };
  test::ModalAnswers answers({
      [&](QWidget* editor) {
        EXPECT_EQ(editor->objectName(), name_editor_controls::kWindow);
        test::Type(editor, name_editor_controls::kFileName, "ABCDEFGHIJKLMNOPQ");
        EXPECT_EQ(box(editor, name_editor_controls::kFileName)->text(), "ABCDEFGHIJKLMNOP");
        box(editor, name_editor_controls::kTapeName)->setText("{RED}X");
        test::Click(editor, name_editor_controls::kSave);
      },
      // Reset puts the decoder's name into its own box only; Exit stores nothing.
      [&](QWidget* editor) {
        test::Click(editor, name_editor_controls::kResetTapeName);
        EXPECT_EQ(box(editor, name_editor_controls::kTapeName)->text().toStdString(), found);
        EXPECT_EQ(box(editor, name_editor_controls::kFileName)->text(), "ABCDEFGHIJKLMNOP");
        test::Click(editor, name_editor_controls::kResetFileName);
        EXPECT_EQ(box(editor, name_editor_controls::kFileName)->text().toStdString(), found);
        test::Click(editor, name_editor_controls::kExit);
      },
  });
  split->PopUp();  // no row selected: nothing opens
  list->setCurrentIndex(list->model()->index(0, 1));
  const QPoint row1 = list->visualRect(list->currentIndex()).center();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row1);  // a double click begins with a click
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row1);
  QTest::keyClick(list, Qt::Key_Return);
  EXPECT_EQ(answers.answered(), 2u);
  EXPECT_EQ(Cell(1, 1).toStdString() + "|" + split->model().sections()[0].tapeNameText, "ABCDEFGHIJKLMNOP|{RED}X");

  desktop.dialogs.answers = {desktop.out.path()};
  test::Click(split, output_folder_controls::kChoose);
  EXPECT_EQ(desktop.dialogs.asked.back().title, "Select a Directory");
  Toggle(1);
  Toggle(3);
  int d64Requests = 0;
  QObject::disconnect(split, &SplitWindow::indexD64Requested, &desktop.window, nullptr);  // no launcher run here
  QObject::connect(split, &SplitWindow::indexD64Requested, [&] { ++d64Requests; });
  // Split and index files (Option2: the "0x" lines): their texts belong to tests/split.
  test::Click(split, kSplitFile);
  split->findChild<QRadioButton*>(kUltimate)->setChecked(true);
  test::Click(split, kIdxFile);
  EXPECT_EQ(desktop.out.Names(), (Lines{"001.ABCDEFGHIJKLMNOP.tap", "002.GAME.tap", "game.idx"}));
  EXPECT_EQ(test::ReadFileText(desktop.out.File("game.idx")).substr(0, 2), "0x");
  test::Click(split, kIndexD64);
  EXPECT_EQ(d64Requests, 1);
  test::Click(split, output_folder_controls::kSetDefault);
  EXPECT_EQ(desktop.paths.ReadPersistentPath(PersistentPath::DefSplitPath), desktop.out.path());
  EXPECT_EQ(desktop.messages.shown.size(), 3u);
}

TEST_F(SplitWindowTest, ContextMenuExtractsAndCopiesTickedProgramsAndTooltipsAndScreenReadersTellTheData) {
  auto* machine = split->findChild<QLabel*>(kMachine);
  EXPECT_NE(Spoken(machine), "Current File");
  // A good program, one whose byte 20 neither copy gives (its tooltip, the
  // damage summary, is what the extract message names it by) and one with a
  // short header.
  test::TapeComposer composer(0, 1);
  composer.AddProgram({.name = "GOOD", .data = test::ProgramData(64, 1), .silenceBefore = 50000});
  composer.AddSilence(100000);
  composer.AddProgram(
      {.name = "BAD", .data = test::ProgramData(64, 2), .dataParityErrors = {20}, .dataRepeatParityErrors = {20}});
  composer.AddProgram({.name = "BOOT", .data = test::ProgramData(64, 3), .headerLength = 200, .silenceBefore = 100000});
  const auto tip = [&](int row) { return list->model()->index(row - 1, 3).data(Qt::ToolTipRole).toString(); };
  // A tape of as many rows loaded before: its tooltips must not outlive it.
  ASSERT_TRUE(
      split->LoadAndParse(QString::fromStdString(desktop.folder.Write("abc.tap", test::TapeWith({"A", "B", "C"})))));
  EXPECT_EQ(tip(2).toStdString(), "Data good: 0801-0841, 64 bytes");
  ASSERT_TRUE(split->LoadAndParse(QString::fromStdString(desktop.folder.Write("three.tap", composer.FileBytes()))));

  // A screen reader hears the values, the tick boxes named by their programs
  // and the programs' data states.
  EXPECT_EQ(Spoken(machine) + "|" + Spoken(machine, QAccessible::Description), "Commodore 64|Machine");
  EXPECT_EQ(Spoken(split->findChild<QLabel*>(kItems)), "3");
  QAccessibleInterface* view = QAccessible::queryAccessibleInterface(list);
  EXPECT_EQ(
      view->tableInterface()->cellAt(1, 0)->text(QAccessible::Name) + "|" + view->child(0)->text(QAccessible::Name),
      "BAD|Tick");
  QStringList states;
  for (int row : {1, 2, 3}) {
    const QModelIndex program = list->model()->index(row - 1, 1);
    EXPECT_FALSE(program.data(Qt::DecorationRole).value<QIcon>().isNull());
    states << program.data(Qt::AccessibleDescriptionRole).toString();
  }
  EXPECT_EQ(states, (QStringList{"good", "damaged", "short"}));

  auto* extract = split->findChild<QAction*>(kExtractPrograms);
  auto* toDisk = split->findChild<QAction*>(kCopyProgramsToDisk);
  EXPECT_FALSE(extract->isEnabled() || toDisk->isEnabled());
  // The menu's entries, by name, when it opens at the middle of `row` (0: below the rows).
  const auto menuAt = [&](int row, const char* trigger = nullptr) {
    const QPoint at = row > 0 ? list->visualRect(list->model()->index(row - 1, 1)).center()
                              : QPoint(5, list->viewport()->height() - 5);
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
    QStringList entries = MenuEntries([&] { QApplication::sendEvent(list->viewport(), &click); }, trigger);
    // Every menu ends with the selected program's pulses.
    EXPECT_EQ(entries.mid(entries.size() - 2), (QStringList{"", kShowPulses}));
    entries.resize(std::max<qsizetype>(0, entries.size() - 2));
    return entries;
  };
  // Nothing ticked: a right-click on a program offers that program.
  EXPECT_EQ(menuAt(0), (QStringList{"", "", kExtractPrograms, kCopyProgramsToDisk}));  // a hint first
  desktop.dialogs.answers = {desktop.folder.path()};
  EXPECT_EQ(menuAt(1, kExtractProgram), (QStringList{kExtractProgram, kCopyProgramToDisk}));
  EXPECT_TRUE(fs::exists(desktop.folder.File("GOOD.prg")));
  desktop.messages.shown.clear();
  Toggle(1);
  EXPECT_EQ(menuAt(2), (QStringList{kExtractProgram, kCopyProgramToDisk, "", kExtractPrograms, kCopyProgramsToDisk}));
  Toggle(2);
  EXPECT_TRUE(extract->isEnabled() && toDisk->isEnabled());
  EXPECT_EQ(menuAt(1), (QStringList{kExtractPrograms, kCopyProgramsToDisk}));

  // The folder dialog opens at the output folder; the damaged program is named, not written.
  outputDir->setText(QString::fromStdString(desktop.folder.path()));
  desktop.dialogs.answers = {desktop.out.path()};
  extract->trigger();
  EXPECT_EQ(desktop.dialogs.asked.back().folder, desktop.folder.path());
  EXPECT_EQ(desktop.out.Names(), Lines{"GOOD.prg"});
  EXPECT_EQ(test::Shown(desktop.messages),
            Lines{"WARNING! | exclamation | 1 of 2 programs extracted to " + desktop.out.path() +
                  "\nNot extracted:\n2 BAD: " + tip(2).toStdString()});

  // Copy the first program to a disk, then decline to overwrite it.
  std::string reason;
  split->SetToolFolder(test::RealViceToolsFolder(&reason));
  if (!reason.empty()) GTEST_SKIP() << reason;
  Toggle(2);
  desktop.messages.shown.clear();
  const std::string disk = desktop.out.File("games.d64");
  desktop.dialogs.answers = {desktop.out.File("games"), disk};  // ".d64" is added
  toDisk->trigger();
  EXPECT_EQ(desktop.dialogs.asked.back().filters, Lines{"D64 disk image (*.d64)"});
  EXPECT_EQ(desktop.out.Names(), (Lines{"GOOD.prg", "games.d64"}));
  EXPECT_FALSE(desktop.window.waitBox().isVisible());
  desktop.messages.answer = MessageAnswer::No;
  toDisk->trigger();
  ASSERT_EQ(desktop.messages.shown.size(), 2u);
  EXPECT_EQ(test::Shown(desktop.messages)[1],
            "WARNING | exclamation yes/no | File " + disk + " Already exists ! Would you like to overwrite it ?");
}

TEST_F(SplitWindowTest, KeyboardAloneLoadsTicksRenamesAndSplits) {
  desktop.window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&desktop.window));
  ASSERT_EQ(QApplication::focusWidget(), split->findChild<QPushButton*>(kLoadFile));
  desktop.dialogs.answers = {tape};
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  ASSERT_EQ(list->model()->rowCount(), 3);
  // The offscreen platform leaves no window active after the please-wait box; a desktop does.
  QApplication::setActiveWindow(&desktop.window);
  EXPECT_EQ(test::TabStops(split, 2), (std::vector<std::string>{kTapeMap, kPrograms}));
  for (const Qt::Key key : {Qt::Key_Home, Qt::Key_Down, Qt::Key_Space}) QTest::keyClick(list, key);
  EXPECT_EQ(split->model().CheckStates(), (std::vector<bool>{false, true, false}));

  // Only Return, Enter and F2 open the name editor; other keys do not.
  test::ModalAnswers answers({[](QWidget* editor) { test::Click(editor, name_editor_controls::kExit); }});
  for (const Qt::Key key : {Qt::Key_A, Qt::Key_Delete, Qt::Key_Insert, Qt::Key_F3, Qt::Key_Backspace}) {
    QTest::keyClick(list, key);
  }
  QTest::keyClick(list, Qt::Key_F2);
  EXPECT_EQ(answers.answered(), 1u);

  // Shift+F10 opens the list's menu at the current row, here a ticked one.
  EXPECT_EQ(MenuEntries([&] { QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier); }),
            (QStringList{kExtractPrograms, kCopyProgramsToDisk, "", kShowPulses}));

  // Alt+O to the output folder, Alt+S to split.
  QApplication::setActiveWindow(&desktop.window);  // back from the menu, as above
  QTest::keyClick(list, Qt::Key_O, Qt::AltModifier);
  ASSERT_EQ(QApplication::focusWidget(), outputDir);
  outputDir->selectAll();
  QTest::keyClicks(outputDir, QString::fromStdString(desktop.out.path()));
  QTest::keyClick(outputDir, Qt::Key_S, Qt::AltModifier);  // clicked after a blink
  EXPECT_TRUE(QTest::qWaitFor([&] { return desktop.out.Names().size() == 1; }));
}

// A program opens onto the turbo files its stretch carries: rows without a
// tick, counted in Items; a file before the first program has no row.
// A click on a band of the tape's map, or the keyboard walking the bands as
// drawn, selects the band's program; a screen reader hears each band as its
// tooltip tells it. The pulses shown are the selected program's, or for a
// turbo file's row those of the program it lies under.
TEST_F(SplitWindowTest, ProgramRowsOpenOntoTheirTurboFilesAndTheTapeMapSelectsThePrograms) {
  desktop.window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&desktop.window));
  auto* strip = split->findChild<TapeMapStrip*>(split_controls::kTapeMap);
  EXPECT_EQ(strip->focusPolicy(), Qt::NoFocus);  // nothing to walk before a load
  test::TapeComposer composer(0, 1);
  composer.AddTurboFile({.family = "Freeload", .loadAddress = 0x0800, .data = test::ProgramData(300, 1)});
  composer.AddProgram({.name = "BOOT", .data = test::ProgramData(64, 2), .silenceBefore = 50000});
  composer.AddSilence(50000);
  const auto gold = composer.AddTurboFile(
      {.family = "US Gold", .loadAddress = 0xC000, .data = test::ProgramData(100, 3), .name = "LEVEL"});
  composer.AddSilence(50000);
  const auto bad = composer.AddTurboFile(
      {.family = "Freeload", .loadAddress = 0x4000, .data = test::ProgramData(300, 4), .corruptByte = 5});
  composer.AddProgram({.name = "NEXT", .data = test::ProgramData(64, 5), .silenceBefore = 985248});
  ASSERT_TRUE(split->LoadAndParse(QString::fromStdString(desktop.folder.Write("turbo.tap", composer.FileBytes()))));
  QApplication::setActiveWindow(&desktop.window);  // the offscreen platform leaves none after the wait box
  EXPECT_EQ(Label(kItems), "2, with 2 turbo files");

  const QModelIndex boot = list->model()->index(0, 0);
  EXPECT_FALSE(list->isExpanded(boot));
  list->expand(boot);
  const auto cell = [&](int row, int column, int role = Qt::DisplayRole) {
    return list->model()->index(row, column, boot).data(role).toString().toStdString();
  };
  ASSERT_EQ(list->model()->rowCount(boot), 2);
  EXPECT_EQ(cell(0, 1) + "|" + cell(0, 2) + "|" + cell(0, 5), "US Gold \"LEVEL\"|" + OffsetText(gold.start) + "|OK");
  EXPECT_EQ(cell(1, 1) + "|" + cell(1, 2) + "|" + cell(1, 5), "Freeload 4000-412C|" + OffsetText(bad.start) + "|ERROR");
  EXPECT_FALSE(cell(1, 3).empty() || cell(1, 4).empty());  // End and Duration
  EXPECT_EQ(cell(0, 2, Qt::ToolTipRole), "US Gold \"LEVEL\"\nLoads to $C000-$C064 (end exclusive)\nChecksum OK");

  // No tick, by mouse or keyboard.
  const QModelIndex file = list->model()->index(0, 0, boot);
  EXPECT_FALSE(list->model()->flags(file) & Qt::ItemIsUserCheckable);
  EXPECT_FALSE(list->model()->setData(file, Qt::Checked, Qt::CheckStateRole));
  list->setCurrentIndex(file);
  QTest::keyClick(list, Qt::Key_Space);
  EXPECT_EQ(split->model().CheckStates(), (std::vector<bool>{false, false}));

  ASSERT_GT(strip->width(), 100);
  // The pulse window of the selected row: its title and its picture's texts.
  const auto pulses = [&] {
    split->findChild<QAction*>(split_controls::kShowPulses)->trigger();
    auto* window = split->findChild<PulseWindow*>(pulse_window_controls::kWindow);
    QString texts = window->windowTitle();
    for (const PictureText& text : window->findChild<PictureView*>(pulse_window_controls::kPicture)->picture().texts)
      texts += "\n" + QString::fromStdString(text.text);
    delete window;
    return texts;
  };

  // The middle of the widest band of each program selects that program's row.
  const TapeMap& map = strip->survey().map;
  const std::vector<DrawnBand>& drawn = strip->drawnBands();
  for (const int row : {2, 1, 2}) {
    const auto width = [&](const DrawnBand& band) { return map.bands[band.main].row == row ? band.x1 - band.x0 : 0; };
    const auto widest = std::ranges::max_element(drawn, {}, width);
    QTest::mouseClick(strip, Qt::LeftButton, Qt::NoModifier,
                      QPoint(static_cast<int>((widest->x0 + widest->x1) / 2), strip->height() / 2));
    EXPECT_EQ(list->currentIndex().row(), row - 1);
    EXPECT_EQ(list->selectionModel()->selectedRows().size(), 1);
  }
  const QString next = pulses();
  EXPECT_TRUE(next.section('\n', 0, 0).contains("NEXT") && next.contains("Program 2: NEXT")) << next.toStdString();

  strip->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(strip->hasFocus());
  const auto described = [&] { return strip->accessibleDescription().toStdString(); };
  const int last = static_cast<int>(strip->drawnBands().size()) - 1;
  // The walk stops at either end.
  for (const auto& [key, band] :
       {std::pair{Qt::Key_End, last}, {Qt::Key_Right, last}, {Qt::Key_Home, 0}, {Qt::Key_Left, 0}}) {
    QTest::keyClick(strip, key);
    EXPECT_EQ(strip->currentBand(), band) << key;
  }
  // The first turbo band under a program (the one before the first program is under none).
  while ((described().find("Turbo file") != 0 || described().find("\nProgram 1: BOOT\n") == std::string::npos) &&
         strip->currentBand() < last) {
    QTest::keyClick(strip, Qt::Key_Right);
  }
  EXPECT_TRUE(described().starts_with("Turbo file: ") && described().find("\nProgram 1: BOOT\n") != std::string::npos)
      << described();
  QTest::keyClick(strip, Qt::Key_Return);
  EXPECT_EQ(list->currentIndex(), list->model()->index(0, 0));
  QTest::keyClick(strip, Qt::Key_End);
  QTest::keyClick(strip, Qt::Key_Space);
  EXPECT_EQ(list->currentIndex(), list->model()->index(1, 0));
  EXPECT_TRUE(strip->hasFocus());

  list->setCurrentIndex(file);
  const QString under = pulses();
  EXPECT_TRUE(under.section('\n', 0, 0).contains("BOOT") && under.contains("Freeload threshold"))
      << under.toStdString();
}

// With stand-in tools: nothing ticked starts nothing; the dialogs' answers reach
// the tools and the disk is built under the wait box; a refused device keeps its
// dialog open; closing either dialog stops the build.
TEST_F(SplitWindowTest, IndexD64WithStandInToolsTakesTheAnswersAndShowsProgress) {
  const std::string tools = desktop.folder.File("tools"), disk = desktop.out.File("game.tap.d64");
  fs::create_directory(tools);
  test::WriteStandInTools(tools, test::FormatMode::Ok, test::PetcatMode::Ok, test::WriteMode::Ok);
  QtToolRunner runner(tools, std::vector<std::string>{});
  // Rows 2 and 3 ticked: the groups start at rows 1 and 3.
  ASSERT_TRUE(split->LoadAndParse(QString::fromStdString(tape)));
  outputDir->setText(QString::fromStdString(desktop.out.path()));
  Toggle(2);
  Toggle(3);
  WaitBox& waitBox = desktop.window.waitBox();
  WatchedDialogs dialogs(&desktop.window, desktop.messages, waitBox);
  const auto run = [&] { return RunIndexD64(split->model(), desktop.messages, dialogs, runner, noSync, &waitBox); };
  test::ModalAnswers answers({
      [](QWidget* device) {
        test::Type(device, device_dialog_controls::kDevice, "12");
        test::Click(device, device_dialog_controls::kNext);
        EXPECT_EQ(device->findChild<QLineEdit*>(device_dialog_controls::kDevice)->text(), "8");
        test::Type(device, device_dialog_controls::kDevice, "9");
        test::Type(device, device_dialog_controls::kFolder, "\\Games\\C64");
        test::Click(device, device_dialog_controls::kNext);
      },
      [](QWidget* target) {
        const QWidget* owner = target->parentWidget();  // centred over it
        EXPECT_LE((target->mapToGlobal(target->rect().center()) - owner->mapToGlobal(owner->rect().center()))
                      .manhattanLength(),
                  3);
        EXPECT_EQ(target->findChild<QLabel*>(target_dialog_controls::kProposedName)->text(), "01-game loader  ");
        // Its field is announced by its label.
        EXPECT_EQ(Spoken(target->findChild<QLineEdit*>(target_dialog_controls::kName)), "Name it as:");
        target->findChild<QComboBox*>(target_dialog_controls::kSystem)->setCurrentIndex(1);
        test::Type(target, target_dialog_controls::kName, "MENU");
        test::Click(target, target_dialog_controls::kNext);  // next: the second group is asked too
      },
      [](QWidget* target) { test::Click(target, target_dialog_controls::kForAll); },  // for all remaining, as proposed
      [](QWidget* device) { device->close(); },
      [](QWidget* device) { test::Click(device, device_dialog_controls::kNext); },
      [](QWidget* target) { target->close(); },
  });
  EXPECT_EQ(run(), LauncherOutcome::Created);
  EXPECT_EQ(test::Shown(desktop.messages),
            (Lines{"Error ! | critical | Error, Device number of Tapewell must be in the interval 8-11 !",
                   "INFO | information | Index Disk " + disk + " successfully created !"}));
  const auto calls = test::RecordedCalls(tools);
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_EQ(calls[1].arguments[2], "1001");  // the load address of the second target system
  EXPECT_EQ(calls[2].arguments.back() + "|" + calls[4].arguments.back(), "01-menu         |02-demo         ");
  const std::string text = test::TokenisedText(tools, 2);
  EXPECT_NE(text.find("10 open 1,9,15,\"cd/games/c64\":close1"), std::string::npos) << text;
  EXPECT_EQ(dialogs.progress, (Lines{"0/2 busy", "1/2 busy", "2/2 busy"}));
  EXPECT_EQ(waitBox.findChild<QProgressBar*>(wait_box_controls::kProgress)->value(), 1000);
  EXPECT_FALSE(waitBox.isVisible());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  fs::remove(disk);
  desktop.messages.shown.clear();
  EXPECT_EQ(run(), LauncherOutcome::NotStarted);
  EXPECT_EQ(run(), LauncherOutcome::Aborted);
  split->model().SelectNone();  // nothing ticked: nothing asked, nothing said
  EXPECT_EQ(run(), LauncherOutcome::NotStarted);
  EXPECT_EQ(test::Shown(desktop.messages),
            Lines{"INFO | information | Operation Aborted, D64 Index file not created !"});
  EXPECT_EQ(answers.answered(), 6u);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// The last step of a long task is always drawn, however soon it follows the one before.
TEST(WaitBox, ShowsTheLastStep) {
  WaitBox box{nullptr};
  box.ShowWait("Working", true);
  box.SetProgress(1, 2);
  box.SetProgress(2, 2);
  EXPECT_EQ(box.findChild<QProgressBar*>(wait_box_controls::kProgress)->value(), 1000);
}

// The folder question is asked with a real dialog, opened where it was told to.
TEST(QtFileDialogs, ChooseFolderShowsTheDialogAtTheFolder) {
  test::ModalAnswers answers({[](QWidget* dialog) { static_cast<QDialog*>(dialog)->accept(); }});
  EXPECT_EQ(QtFileDialogs().ChooseFolder("Select a Directory", "/usr"), "/usr");
}

// The main window over the same desktop: its menus, toolbar, arguments and about box.
using MainWindowTest = SplitWindowTest;

TEST_F(MainWindowTest, StartsWithSplitInFrontOpensEachToolOnceAndTheAboutBoxModally) {
  MainWindow& window = desktop.window;
  QMdiArea* area = window.mdiArea();
  QWidget lone;  // nothing to centre over, or nothing to centre: left alone
  MainWindow::CenterChild(nullptr, &lone);
  MainWindow::CenterChild(&lone, nullptr);

  const QSize standard = QSize(Twips(12195), Twips(9030)).boundedTo(area->viewport()->size());
  // Menu and toolbar reach the same single instances, moved back each time.
  const auto expectPlacedInFront = [&](const char* action, const char* form) {
    if (action != nullptr) window.findChild<QAction*>(action)->trigger();
    QMdiSubWindow* active = area->activeSubWindow();
    ASSERT_NE(active, nullptr);
    EXPECT_EQ(active->widget()->objectName(), form);
    EXPECT_EQ(active->geometry(), QRect(QPoint(0, 0), standard)) << form;
  };
  expectPlacedInFront(nullptr, kWindow);
  expectPlacedInFront(main_controls::kJoin, join_controls::kWindow);
  EXPECT_TRUE(QObject::disconnect(split, &SplitWindow::indexD64Requested, &window, nullptr));  // to the launcher
  area->activeSubWindow()->move(40, 30);
  expectPlacedInFront(main_controls::kJoinButton, join_controls::kWindow);
  expectPlacedInFront(main_controls::kSplitButton, kWindow);
  expectPlacedInFront(main_controls::kConvert, convert_controls::kWindow);
  EXPECT_EQ(area->subWindowList().size(), 3);

  // The HTAP list takes dropped files and folders, hidden or repeated alike.
  ConvertWindow* convert = window.ConvertHtap();
  auto* htaps = convert->findChild<QTreeWidget*>(convert_controls::kItems);
  const QString file = QString::fromStdString(desktop.folder.Write("game.htap", std::string("x")));
  const QString hidden = QString::fromStdString(desktop.folder.Write(".hidden.htap", std::string("x")));
  const QString folder = QString::fromStdString(desktop.out.path());
  test::Drop(htaps->viewport(), {file, folder, hidden, file});
  QStringList rows;
  for (QTreeWidgetItem* row : htaps->findItems("", Qt::MatchContains)) rows << row->text(0) + " " + row->text(1);
  EXPECT_EQ(rows, QStringList({file + " File", folder + " Dir", hidden + " Dir", file + " File"}));

  // The about box keeps the main window disabled while it is open; a click on
  // its frame closes it, a click on a label does not.
  window.findChild<QAction*>(main_controls::kAbout)->trigger();
  EXPECT_FALSE(window.isEnabled());
  AboutBox* box = nullptr;
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (top->objectName() == about_controls::kWindow && top->isVisible()) box = static_cast<AboutBox*>(top);
  }
  ASSERT_NE(box, nullptr);
  QTest::mouseClick(box->findChild<QLabel*>("lblProductName"), Qt::LeftButton);
  EXPECT_TRUE(box->isVisible());
  QTest::mouseClick(box->findChild<QFrame*>(about_controls::kFrame), Qt::LeftButton);
  EXPECT_TRUE(window.isEnabled());

  window.findChild<QAction*>(main_controls::kExitButton)->trigger();
  EXPECT_FALSE(window.isVisible());
}

TEST_F(MainWindowTest, OpenRemembersRecentTapesInTheSettingsAndTheTitleNamesTheTape) {
  cInifile ini(noSync, QString::fromStdString(desktop.folder.File("Reelwright.ini")));
  const std::string other = desktop.folder.Write("Other.tap", test::TapeWith({"ONE"}));
  const auto recent = [](MainWindow& window) {
    QStringList shown;
    QMenu* menu = window.findChild<QMenu*>(main_controls::kRecentMenu);
    emit menu->aboutToShow();
    for (QAction* entry : menu->actions()) shown << entry->text();
    return shown;
  };
  {
    MainWindow window(Services{desktop.paths, desktop.messages, desktop.dialogs, noSync, &ini});
    desktop.dialogs.answers = {tape, other};
    window.findChild<QAction*>(main_controls::kOpen)->trigger();
    window.findChild<QAction*>(main_controls::kOpen)->trigger();
    EXPECT_TRUE(window.windowTitle().startsWith("Other.tap - Reelwright "));
    EXPECT_EQ(recent(window), (QStringList{"&1 Other.tap", "&2 Game.tap"}));
  }
  MainWindow again(Services{desktop.paths, desktop.messages, desktop.dialogs, noSync, &ini});
  ASSERT_EQ(recent(again), (QStringList{"&1 Other.tap", "&2 Game.tap"}));
  again.findChild<QMenu*>(main_controls::kRecentMenu)->actions().at(1)->trigger();
  EXPECT_EQ(again.splitWindow()->model().loadedPath(), tape);
  EXPECT_EQ(recent(again), (QStringList{"&1 Game.tap", "&2 Other.tap"}));
}

// Closing asks only while the compilation has rows not yet joined: none, or
// all joined, close without a word.
TEST_F(MainWindowTest, ClosingTheProgramAsksBeforeAnUnjoinedCompilationIsLost) {
  const auto addTwice = [&] {
    auto* join = static_cast<JoinWindow*>(desktop.window.Join());
    desktop.dialogs.answers = {tape, tape};
    test::Click(join, join_controls::kAddFile);
    test::Click(join, join_controls::kAddFile);
    return join;
  };
  // A closed tool window is deleted; once it is, the window is shown again.
  const auto closes = [&] {
    const bool closed = desktop.window.close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    desktop.window.show();
    return closed;
  };
  desktop.window.Join();
  EXPECT_TRUE(closes());
  JoinWindow* join = addTwice();
  desktop.messages.answer = MessageAnswer::No;
  EXPECT_FALSE(desktop.window.close());
  EXPECT_EQ(join->compilation().rows().size(), 2u);
  desktop.dialogs.answers = {desktop.out.File("joined")};  // no extension: ".tap" is added
  test::Click(join, join_controls::kJoin);
  EXPECT_TRUE(fs::exists(desktop.out.File("joined.tap")));
  EXPECT_TRUE(closes());
  addTwice();
  desktop.messages.answer = MessageAnswer::Yes;
  EXPECT_TRUE(closes());
  const std::string question =
      "WARNING! | question yes/no | Your TAP compilation has not been joined. Are you sure you want to close it and "
      "lose it?";
  EXPECT_EQ(test::Shown(desktop.messages),
            (Lines{question, "INFO | information | Join operation Executed Correctly !", question}));
}

// A refused file and a named pipe given as the argument are refused at once,
// without the window waiting on them.
TEST_F(MainWindowTest, FirstArgumentOpensTheTapeAsLoadFileWould) {
  const std::string bad = desktop.folder.Write("bad.tap", std::string("not a tape image"));
  const std::string pipe = desktop.folder.File("pipe.tap");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  desktop.window.OpenFromArguments({"reelwright"});
  desktop.window.OpenFromArguments({"reelwright", QString::fromStdString(bad), QString::fromStdString(tape)});
  desktop.window.OpenFromArguments({"reelwright", QString::fromStdString(pipe)});
  EXPECT_FALSE(split->model().loaded());
  EXPECT_EQ(test::Shown(desktop.messages),
            (Lines{"Error! | critical | " + bad + " Is not a valid TAP file",
                   "Error! | critical | Error while loading file " + pipe + " : Not a regular file (a named pipe)"}));
  EXPECT_FALSE(desktop.messages.waitBoxUp);
}

// The "Open with" argument is the file's name byte for byte: a tape in a
// folder whose name is not UTF-8 opens, its folder is remembered exactly, and
// the split writes there, never into the folder a lossy conversion would name.
TEST_F(MainWindowTest, TheArgumentOpensALatin1NameAndTheSplitWritesBesideIt) {
  const std::string folder = desktop.folder.File("bad\377dir"), sibling = desktop.folder.File("bad\357\277\275dir");
  fs::create_directory(folder);
  fs::create_directory(sibling);
  const std::string tape = desktop.folder.Write("bad\377dir/caf\351.tap", test::TapeWith({"GAME", "DEMO"}));
  // As main() hands them on: each argument's bytes, losslessly. A relative
  // path is remembered by its full folder, as after "Load File".
  char program[] = "reelwright";
  std::string argument = "caf\351.tap";
  char* argv[] = {program, argument.data()};
  const fs::path previous = fs::current_path();
  fs::current_path(folder);
  desktop.window.OpenFromArguments(NativeArguments(2, argv));
  fs::current_path(previous);
  ASSERT_TRUE(split->model().loaded()) << test::Shown(desktop.messages).front();
  EXPECT_EQ(split->model().loadedPath(), tape);
  EXPECT_EQ(desktop.paths.ReadPersistentPath(PersistentPath::LoadPath), folder);
  // The folder in the output box (as the folder dialog puts it there) is the
  // folder the split writes to, byte for byte.
  split->findChild<QLineEdit*>(output_folder_controls::kFolder)->setText(PathToQt(folder));
  EXPECT_EQ(split->model().outputDir, folder);
  split->model().SelectAll();
  split->UpdateCommands();
  test::Click(split, split_controls::kSplitFile);
  EXPECT_TRUE(fs::exists(folder + "/001.GAME.tap"));
  EXPECT_TRUE(fs::is_empty(sibling));
}

}  // namespace
}  // namespace rw
