#include "ui/pause_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "window_driver.h"
#include "support/shown_messages.h"

namespace rw {
namespace {

void Click(QWidget* dialog, const char* name) {
  QTest::mouseClick(dialog->findChild<QPushButton*>(name), Qt::LeftButton);
}

// The prompt names the locale's decimal separator, and Add refuses the other one.
TEST(PauseDialog, AddTakesADurationWithItsOwnSeparatorOnly) {
  const struct {
    const char* separator;
    const char* refused;
    const char* accepted;
  } cases[] = {{".", "2,5s", "2.5s"}, {",", "2.5s", "2,5s"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.separator);
    RecordedMessages messages;
    PauseDialog dialog(c.separator, messages);
    EXPECT_TRUE(dialog.findChild<QLabel*>("Label1")->text().endsWith(QString("\"") + c.separator + "\""));
    auto* text = dialog.findChild<QLineEdit*>("Text1");
    EXPECT_EQ(text->selectedText(), "5s");

    text->setText(c.refused);
    Click(&dialog, "Command1");
    EXPECT_EQ(test::Shown(messages),
              test::Lines{"ERROR! | critical | Syntax of duration sting is invalid ! use XXmYYs as suggested, "
                          "fractional digits are accepted."});
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.pauseText(), "");
    text->setText(c.accepted);
    Click(&dialog, "Command1");
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.pauseText(), c.accepted);
  }
}

TEST(PauseDialog, PopUpStartsAfreshAndTheCloseBoxGivesNothing) {
  RecordedMessages messages;
  PauseDialog dialog(".", messages);
  test::ModalAnswers answers({
      [](QWidget* shown) {
        auto* text = shown->findChild<QLineEdit*>("Text1");
        text->selectAll();
        QTest::keyClicks(text, "1m30s");
        Click(shown, "Command1");
      },
      [](QWidget* shown) {
        EXPECT_EQ(shown->findChild<QLineEdit*>("Text1")->text(), "5s");
        shown->close();
      },
      [](QWidget* shown) { Click(shown, "Command2"); },
  });
  EXPECT_EQ(dialog.PopUp(nullptr), "1m30s");
  EXPECT_EQ(dialog.PopUp(nullptr), "");
  EXPECT_EQ(dialog.PopUp(nullptr), "");
  EXPECT_EQ(answers.answered(), 3u);
  EXPECT_TRUE(messages.shown.empty());
}

}  // namespace
}  // namespace rw
