#include <gtest/gtest.h>

#include <QApplication>
#include <QScreen>
#include <QWidget>

#include "settings/ini_file.h"
#include "support/scratch_folder.h"

namespace rw {
namespace {

using test::ScratchFolder;

class FormPosition : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (QApplication::instance() == nullptr) {
      static int argc = 1;
      static char name[] = "test_settings";
      static char* argv[] = {name, nullptr};
      static QApplication app(argc, argv);
    }
  }

  FormPosition() : ini(QString::fromStdString(scratch.File("test.ini"))) { ini.SetSection("Window"); }

  void Store(const QString& key, const QString& value) {
    ini.SetKey(key);
    ini.SetValue(value);
  }
  QString Stored(const QString& key) {
    ini.SetKey(key);
    return ini.Value();
  }

  ScratchFolder scratch;
  cInifile ini;
  QWidget window;
};

TEST_F(FormPosition, SavedInTwipsAndRestoredOnAnotherWindowButNotWhenMaximised) {
  window.setGeometry(100, 50, 320, 200);
  ini.SetKey("Caller's key");
  ini.SaveFormPosition(window);
  EXPECT_TRUE(ini.Success());
  EXPECT_EQ(ini.Key(), "Caller's key");
  EXPECT_EQ((QStringList{Stored("Left"), Stored("Top"), Stored("Width"), Stored("Height"), Stored("Maximised")}),
            (QStringList{"1500", "750", "4800", "3000", "0"}));

  QWidget restored;
  restored.setGeometry(0, 0, 10, 10);
  ini.SetDefault("caller's default");
  ini.LoadFormPosition(restored, 0, 0);
  EXPECT_TRUE(ini.Success());
  EXPECT_EQ(restored.geometry(), QRect(100, 50, 320, 200));
  EXPECT_FALSE(restored.windowState() & Qt::WindowMaximized);
  EXPECT_EQ(ini.Default(), "caller's default");

  // Maximised, only that is stored: the normal place stays.
  Store("Left", "3000");
  window.setWindowState(Qt::WindowMaximized);
  ini.SaveFormPosition(window);
  EXPECT_EQ((QStringList{Stored("Maximised"), Stored("Left")}), (QStringList{"1", "3000"}));
}

TEST_F(FormPosition, KeptOnScreenWithAFourPixelMargin) {
  Store("Left", "-5000");
  Store("Top", "300");
  Store("Width", QString::number(window.screen()->geometry().width() * 15 + 3000));
  Store("Height", "1500");
  window.setGeometry(10, 10, 50, 50);
  ini.LoadFormPosition(window, 0, 0);
  EXPECT_EQ(window.geometry(), QRect(4, 20, window.screen()->geometry().width() - 8, 100));
}

TEST_F(FormPosition, UnreadableOrMissingValuesKeepTheWindowsOwn) {
  Store("Left", "not a number");
  Store("Width", "1500");  // below the minimum
  Store("Maximised", "1");
  window.setGeometry(40, 30, 200, 100);
  ini.LoadFormPosition(window, 4500, 0);
  EXPECT_EQ(window.geometry(), QRect(40, 30, 300, 100));
  EXPECT_TRUE(window.windowState() & Qt::WindowMaximized);
}

}  // namespace
}  // namespace rw
