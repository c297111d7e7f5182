#include "ui/pause_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "modal_answers.h"
#include "support/shown_messages.h"

namespace rw {
namespace {

const char* const kSyntaxError =
    "ERROR! | critical | Syntax of duration sting is invalid ! use XXmYYs as suggested, fractional digits are "
    "accepted.";

struct SeparatorCase {
  const char* separator;
  const char* refused;
  const char* accepted;
};

class PauseDialogTest : public ::testing::TestWithParam<SeparatorCase> {};

TEST_P(PauseDialogTest, PromptNamesTheSeparatorAndAddRefusesTheOtherOne) {
  const SeparatorCase& c = GetParam();
  RecordedMessages messages;
  PauseDialog dialog(c.separator, messages);
  EXPECT_EQ(dialog.objectName(), "frmGetPause");
  EXPECT_EQ(dialog.windowTitle(), "Add Pause");
  EXPECT_TRUE(dialog.findChild<QLabel*>("Label1")->text().endsWith(QString("\"") + c.separator + "\""));
  auto* text = dialog.findChild<QLineEdit*>("Text1");
  EXPECT_EQ(text->selectedText(), "5s");

  text->setText(c.refused);
  QTest::mouseClick(dialog.findChild<QPushButton*>("Command1"), Qt::LeftButton);
  EXPECT_EQ(test::Shown(messages), test::Lines{kSyntaxError});
  EXPECT_NE(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(text->text(), c.refused);
  EXPECT_EQ(dialog.pauseText(), "");

  text->setText(c.accepted);
  QTest::mouseClick(dialog.findChild<QPushButton*>("Command1"), Qt::LeftButton);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.pauseText(), c.accepted);
}

INSTANTIATE_TEST_SUITE_P(Separators, PauseDialogTest,
                         ::testing::Values(SeparatorCase{".", "2,5s", "2.5s"}, SeparatorCase{",", "2.5s", "2,5s"}),
                         [](const auto& info) { return std::string(*info.param.separator == '.' ? "Point" : "Comma"); });

TEST(PauseDialog, PopUpStartsAfreshAndTheCloseBoxGivesNothing) {
  RecordedMessages messages;
  PauseDialog dialog(".", messages);
  test::ModalAnswers answers({
      [](QWidget* shown) {
        auto* text = shown->findChild<QLineEdit*>("Text1");
        text->selectAll();
        QTest::keyClicks(text, "1m30s");
        QTest::mouseClick(shown->findChild<QPushButton*>("Command1"), Qt::LeftButton);
      },
      [](QWidget* shown) {
        EXPECT_EQ(shown->findChild<QLineEdit*>("Text1")->text(), "5s");
        shown->close();
      },
      [](QWidget* shown) { QTest::mouseClick(shown->findChild<QPushButton*>("Command2"), Qt::LeftButton); },
  });
  EXPECT_EQ(dialog.PopUp(nullptr), "1m30s");
  EXPECT_EQ(dialog.PopUp(nullptr), "");
  EXPECT_EQ(dialog.PopUp(nullptr), "");
  EXPECT_EQ(answers.answered(), 3u);
  EXPECT_TRUE(messages.shown.empty());
}

}  // namespace
}  // namespace rw
