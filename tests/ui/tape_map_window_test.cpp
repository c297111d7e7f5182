// The tape's map above the split list, and the pulse picture of a program.

#include <QAction>
#include <QApplication>
#include <QTreeView>

#include <gtest/gtest.h>

#include "ui/pulse_window.h"
#include "ui/split_window.h"
#include "ui/tape_map_strip.h"
#include "window_driver.h"

namespace rw {
namespace {

TEST(TapeMapWindow, ClickingABandSelectsItsProgramAndPulsesShowTheSelectedOne) {
  test::Desktop desktop;
  SplitWindow* split = desktop.window.splitWindow();
  auto* list = split->findChild<QTreeView*>("ListView1");
  auto* strip = split->findChild<TapeMapStrip*>("tapeMap");
  ASSERT_NE(strip, nullptr);
  ASSERT_TRUE(split->LoadAndParse(
      QString::fromStdString(desktop.folder.Write("Game.tap", test::TapeWith({"ONE", "TWO", "THREE"})))));
  ASSERT_GT(strip->width(), 100);

  // The middle of the widest band of each program selects that program's row.
  const TapeMap& map = strip->survey().map;
  for (const int row : {3, 1, 2}) {
    double best = 0;
    int x = -1;
    for (const DrawnBand& band : strip->drawnBands()) {
      if (map.bands[band.main].row == row && band.x1 - band.x0 > best) {
        best = band.x1 - band.x0;
        x = static_cast<int>((band.x0 + band.x1) / 2);
      }
    }
    ASSERT_GE(x, 0) << row;
    QTest::mouseClick(strip, Qt::LeftButton, Qt::NoModifier, QPoint(x, strip->height() / 2));
    EXPECT_EQ(list->currentIndex().row(), row - 1);
    EXPECT_EQ(list->selectionModel()->selectedRows().size(), 1);
  }

  auto* pulses = split->findChild<QAction*>("showPulses");
  ASSERT_NE(pulses, nullptr);
  pulses->trigger();
  auto* window = split->findChild<PulseWindow*>("pulseWindow");
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->windowTitle().contains("TWO"));
  const auto* view = window->findChild<PictureView*>("pulsePicture");
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(QString::fromStdString(view->picture().texts.front().text).contains("Program 2: TWO"));
  window->close();
}

}  // namespace
}  // namespace rw
