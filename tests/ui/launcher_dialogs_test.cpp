#include "ui/launcher_dialogs.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "modal_answers.h"
#include "support/shown_messages.h"

namespace rw {
namespace {

void Click(QWidget* dialog, const char* name) {
  QTest::mouseClick(dialog->findChild<QPushButton*>(name), Qt::LeftButton);
}
void Type(QWidget* dialog, const char* name, const QString& text) {
  auto* box = dialog->findChild<QLineEdit*>(name);
  box->clear();
  QTest::keyClicks(box, text);
}

TEST(LauncherDeviceDialog, RefusalsKeepItOpenAndNextHandsBackTheAnswer) {
  RecordedMessages messages;
  LauncherDeviceDialog dialog(messages);
  EXPECT_EQ(dialog.windowTitle(), "Launcher Disk Creation");
  EXPECT_EQ(dialog.findChild<QLineEdit*>("Text2")->text(), "8");
  EXPECT_TRUE(dialog.findChild<QLineEdit*>("Text1")->text().isEmpty());

  Type(&dialog, "Text2", "12");
  Click(&dialog, "Command1");
  EXPECT_EQ(dialog.findChild<QLineEdit*>("Text2")->text(), "8");
  Type(&dialog, "Text1", QString(56, 'd'));
  Click(&dialog, "Command1");
  EXPECT_NE(dialog.result(), QDialog::Accepted);
  EXPECT_TRUE(dialog.answer().cancelled);
  EXPECT_EQ(test::Shown(messages),
            (test::Lines{"Error ! | critical | Error, Device number of Tapewell must be in the interval 8-11 !",
                         "Error ! | critical | Error, length of directory cannot exceed 55 charachters !"}));

  Type(&dialog, "Text2", "10");
  Type(&dialog, "Text1", "\\Games\\C64");
  Click(&dialog, "Command1");
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_FALSE(dialog.answer().cancelled);
  EXPECT_EQ(dialog.answer().device, 10);
  EXPECT_EQ(dialog.answer().directory, "/games/c64");
}

TEST(TargetSystemDialog, ShowsTheProposalAndHandsBackChoiceNameAndButton) {
  TargetSystemDialog dialog("01-game         ", "GAME");
  EXPECT_EQ(dialog.windowTitle(), "Target System");
  EXPECT_EQ(dialog.findChild<QLabel*>("Label2")->text(), "01-game         ");
  auto* systems = dialog.findChild<QComboBox*>("Combo1");
  ASSERT_EQ(systems->count(), 6);
  EXPECT_EQ(systems->currentText(), "Commodore 64");
  systems->setCurrentIndex(2);
  Type(&dialog, "Text1", "MENU");
  Click(&dialog, "Command1");
  EXPECT_EQ(dialog.answer().action, TargetAction::ForAllRemaining);
  EXPECT_EQ(dialog.answer().targetIndex, 2);
  EXPECT_EQ(dialog.answer().name, "MENU");
}

TEST(QtLauncherDialogs, ModalOverTheOwnerAndTheCloseBoxCancels) {
  RecordedMessages messages;
  QWidget owner;
  owner.resize(600, 400);
  owner.show();
  QtLauncherDialogs dialogs(&owner, messages);
  test::ModalAnswers answers({
      [](QWidget* shown) {
        EXPECT_EQ(shown->objectName(), "Form5");
        shown->close();
      },
      [](QWidget* shown) {
        EXPECT_EQ(shown->objectName(), "Form2");
        EXPECT_EQ(shown->findChild<QComboBox*>("Combo1")->currentIndex(), 0);
        Click(shown, "Command2");
      },
      [](QWidget* shown) { shown->close(); },
  });
  EXPECT_TRUE(dialogs.AskDevice().cancelled);
  const TargetAnswer next = dialogs.AskTarget("02-demo         ", "DEMO");
  EXPECT_EQ(next.action, TargetAction::Next);
  EXPECT_EQ(next.name, "DEMO");
  EXPECT_EQ(dialogs.AskTarget("03-x            ", "X").action, TargetAction::Cancel);
  EXPECT_EQ(answers.answered(), 3u);
}

}  // namespace
}  // namespace rw
