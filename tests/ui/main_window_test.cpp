#include "ui/main_window.h"

#include <QDir>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "ui/about_box.h"
#include "ui/controls.h"
#include "ui/convert_window.h"
#include "ui/split_window.h"
#include "window_driver.h"

namespace rw {
namespace {

using test::Lines;

TEST(MainWindowTest, StartsWithSplitInFrontAndOpensEachToolOnce) {
  test::Desktop desktop;
  MainWindow& window = desktop.window;
  QMdiArea* area = window.mdiArea();
  EXPECT_FALSE(window.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
  EXPECT_EQ(window.minimumSize(), window.maximumSize());
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
  expectPlacedInFront(nullptr, "Form3");
  expectPlacedInFront("menuJoin", "Form4");
  EXPECT_TRUE(window.splitWindow()->onIndexD64);  // "Index D64" reaches the launcher builder
  area->activeSubWindow()->move(40, 30);
  expectPlacedInFront("Join", "Form4");
  expectPlacedInFront("Split", "Form3");
  expectPlacedInFront("menuConvert", "Form8");
  window.ToolbarButtonClick("split");  // keys compare case-sensitively
  expectPlacedInFront(nullptr, "Form8");
  EXPECT_EQ(area->subWindowList().size(), 3);

  // The HTAP list takes dropped files and folders, hidden or repeated alike.
  ConvertWindow* convert = window.ConvertHtap();
  auto* list = convert->findChild<QTreeWidget*>("ListView1");
  const QString file = QString::fromStdString(desktop.folder.Write("game.htap", std::string("x")));
  const QString hidden = QString::fromStdString(desktop.folder.Write(".hidden.htap", std::string("x")));
  const QString folder = QString::fromStdString(desktop.out.path());

  test::Drop(list->viewport(), {file, folder, hidden, file});
  test::Drop(list->viewport(), {}, "just text");
  QStringList rows;
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    rows << list->topLevelItem(i)->text(0) + " " + list->topLevelItem(i)->text(1);
  }
  EXPECT_EQ(rows, QStringList({file + " File", folder + " Dir", hidden + " Dir", file + " File"}));
  test::Click(convert, "vkCommand5");
  EXPECT_EQ(list->topLevelItemCount(), 4);

  // Each toolbar picture is named for assistive tools by its tooltip.
  auto* toolbar = window.findChild<QToolBar*>("Toolbar1");
  QStringList names;
  for (QAction* action : toolbar->actions()) names << toolbar->widgetForAction(action)->accessibleName();
  EXPECT_EQ(names, QStringList({"Exit Application", "Join .TAP Files", "Split a .TAP file", "Convert HTAP Files"}));

  window.findChild<QAction*>("ExitApp")->trigger();
  EXPECT_FALSE(window.isVisible());
}

TEST(MainWindowTest, FirstArgumentOpensTheTapeAsLoadFileWould) {
  test::Desktop desktop;
  const std::string tape = desktop.folder.Write("game.tap", test::TapeWith({"GAME", "LEVEL"}));
  const std::string bad = desktop.folder.Write("bad.tap", std::string("not a tape image"));
  SplitWindow* split = desktop.window.splitWindow();

  desktop.window.OpenFromArguments({"reelwright"});
  desktop.window.OpenFromArguments({"reelwright", QString::fromStdString(bad), QString::fromStdString(tape)});
  EXPECT_FALSE(split->model().loaded());
  EXPECT_EQ(test::Shown(desktop.messages), Lines{"Error! | critical | " + bad + " Is not a valid TAP file"});
  EXPECT_FALSE(desktop.messages.waitBoxUp);

  // A relative path is remembered by its full folder, as after "Load File".
  const QString previous = QDir::currentPath();
  QDir::setCurrent(QString::fromStdString(desktop.folder.path()));
  desktop.window.OpenFromArguments({"reelwright", "game.tap"});
  QDir::setCurrent(previous);
  // Only the tick column takes a value, and only as a check state.
  QAbstractItemModel* table = split->findChild<QTreeView*>("ListView1")->model();
  EXPECT_FALSE(table->setData(table->index(0, 1), "X"));
  EXPECT_FALSE(table->setData(table->index(0, 0), Qt::Checked, Qt::DisplayRole));
  EXPECT_FALSE(split->model().rows()[0].checked);
  EXPECT_EQ(split->model().loadedPath(), tape);
  EXPECT_EQ(desktop.paths.ReadPersistentPath(PersistentPath::LoadPath), desktop.folder.path());
}

TEST(MainWindowTest, AboutBoxKeepsTheMainWindowDisabledUntilItCloses) {
  test::Desktop desktop;
  MainWindow& window = desktop.window;
  // Its timer, a key and a click on its frame each close it; a click on a label does not.
  const std::function<void(AboutBox*)> closers[] = {
      [](AboutBox* box) {
        auto* timer = box->findChild<QTimer*>("Timer1");
        EXPECT_TRUE(timer->isActive());
        QTest::mouseClick(box->findChild<QLabel*>("lblProductName"), Qt::LeftButton);
        EXPECT_TRUE(box->isVisible());
        QMetaObject::invokeMethod(timer, "timeout");
      },
      [](AboutBox* box) { QTest::keyClick(box, Qt::Key_Space); },
      [](AboutBox* box) { QTest::mouseClick(box->findChild<QFrame*>("Frame1"), Qt::LeftButton); },
  };
  for (const auto& close : closers) {
    window.findChild<QAction*>("menuAbout")->trigger();
    EXPECT_FALSE(window.isEnabled());
    AboutBox* box = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets()) {
      if (top->objectName() == "frmSplash" && top->isVisible()) box = static_cast<AboutBox*>(top);
    }
    ASSERT_NE(box, nullptr);
    close(box);
    EXPECT_TRUE(window.isEnabled());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}

}  // namespace
}  // namespace rw
