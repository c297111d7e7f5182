// SPDX-License-Identifier: GPL-2.0-or-later
// The tape's map above the split list, by pointer and by keyboard, and the
// pulse picture of a program.

#include <QAction>
#include <QApplication>
#include <QTreeView>

#include <gtest/gtest.h>

#include <algorithm>

#include "ui/pulse_window.h"
#include "ui/split_window.h"
#include "ui/tape_map_strip.h"
#include "window_driver.h"

namespace rw {
namespace {

// A click on a band, or the keyboard walking the bands as drawn, selects the
// band's program; a screen reader hears each band as its tooltip tells it.
// The pulses shown are the selected program's, or for a turbo file's row
// those of the program it lies under.
TEST(TapeMapWindow, BandsSelectTheirProgramsByPointerAndKeyboardAndPulsesShowTheSelectedOne) {
  test::Desktop desktop;
  desktop.window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&desktop.window));
  SplitWindow* split = desktop.window.splitWindow();
  auto* list = split->findChild<QTreeView*>(split_controls::kPrograms);
  auto* strip = split->findChild<TapeMapStrip*>(split_controls::kTapeMap);
  EXPECT_EQ(strip->focusPolicy(), Qt::NoFocus);  // nothing to walk before a load
  test::TapeComposer composer(0, 1);
  composer.AddProgram({.name = "BOOT", .data = test::ProgramData(64, 1)});
  composer.AddTurboFile({.family = "Freeload", .loadAddress = 0x0800, .data = test::ProgramData(2000, 2)});
  composer.AddSilence(985248);
  composer.AddProgram({.name = "NEXT", .data = test::ProgramData(64, 3)});
  ASSERT_TRUE(split->LoadAndParse(QString::fromStdString(desktop.folder.Write("Game.tap", composer.FileBytes()))));
  QApplication::setActiveWindow(&desktop.window);  // the offscreen platform leaves none after the wait box
  ASSERT_GT(strip->width(), 100);
  auto* showPulses = split->findChild<QAction*>(split_controls::kShowPulses);
  // The pulse window of the selected row: its title and its picture's texts.
  const auto pulses = [&] {
    showPulses->trigger();
    auto* window = split->findChild<PulseWindow*>(pulse_window_controls::kWindow);
    std::vector<std::string> texts{window->windowTitle().toStdString()};
    for (const PictureText& text : window->findChild<PictureView*>(pulse_window_controls::kPicture)->picture().texts)
      texts.push_back(text.text);
    delete window;
    return texts;
  };
  const auto shows = [](const std::vector<std::string>& texts, const std::string& text) {
    return std::any_of(texts.begin(), texts.end(), [&](const std::string& t) { return t.find(text) != t.npos; });
  };

  // The middle of the widest band of each program selects that program's row.
  const TapeMap& map = strip->survey().map;
  for (const int row : {2, 1, 2}) {
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
  const auto next = pulses();
  EXPECT_TRUE(QString::fromStdString(next.front()).contains("NEXT"));
  EXPECT_TRUE(shows(next, "Program 2: NEXT"));

  strip->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(strip->hasFocus());
  const auto described = [&] { return strip->accessibleDescription().toStdString(); };
  const int last = static_cast<int>(strip->drawnBands().size()) - 1;
  QTest::keyClick(strip, Qt::Key_End);
  EXPECT_EQ(strip->currentBand(), last);
  QTest::keyClick(strip, Qt::Key_Right);
  EXPECT_EQ(strip->currentBand(), last);
  QTest::keyClick(strip, Qt::Key_Home);
  QTest::keyClick(strip, Qt::Key_Left);
  EXPECT_EQ(strip->currentBand(), 0);
  while (described().find("Turbo file") != 0 && strip->currentBand() < last) QTest::keyClick(strip, Qt::Key_Right);
  EXPECT_EQ(described().find("Turbo file: "), 0u) << described();
  EXPECT_NE(described().find("\nProgram 1: BOOT\n"), std::string::npos) << described();
  QTest::keyClick(strip, Qt::Key_Return);
  EXPECT_EQ(list->currentIndex(), list->model()->index(0, 0));
  QTest::keyClick(strip, Qt::Key_End);
  QTest::keyClick(strip, Qt::Key_Space);
  EXPECT_EQ(list->currentIndex(), list->model()->index(1, 0));
  EXPECT_TRUE(strip->hasFocus());

  const QModelIndex file = list->model()->index(0, 0, list->model()->index(0, 0));
  ASSERT_TRUE(file.isValid());
  list->setCurrentIndex(file);
  const auto boot = pulses();
  EXPECT_TRUE(QString::fromStdString(boot.front()).contains("BOOT"));
  EXPECT_TRUE(shows(boot, "Freeload threshold"));
}

}  // namespace
}  // namespace rw
