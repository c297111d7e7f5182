// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/launcher_dialogs.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/ports/messages.h"
#include "launcher/device_answer.h"
#include "launcher/target_systems.h"
#include "ui/control_names.h"
#include "ui/wait_box.h"

namespace rw {
namespace {

QPushButton* Button(const char* objectName, const char* caption, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(objectName);
  return button;
}

QLabel* Label(const char* objectName, const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(objectName);
  return label;
}

QHBoxLayout* ButtonRow(std::initializer_list<QPushButton*> buttons) {
  auto* row = new QHBoxLayout;
  row->addStretch();
  for (QPushButton* button : buttons) row->addWidget(button);
  return row;
}

// Runs `dialog` modally over `owner`, the main window being disabled meanwhile.
void ShowOver(QWidget* owner, QDialog& dialog) {
  dialog.adjustSize();
  CenterOver(owner, &dialog);
  dialog.exec();
}

}  // namespace

LauncherDeviceDialog::LauncherDeviceDialog(Messages& messages, QWidget* parent) : QDialog(parent), messages_(messages) {
  setObjectName(device_dialog_controls::kWindow);
  setWindowTitle("Launcher Disk Creation");
  setModal(true);

  auto* deviceLabel = Label(device_dialog_controls::kDeviceCaption, "De&vice number of Tapewell", this);
  device_ = new QLineEdit("8", this);
  device_->setObjectName(device_dialog_controls::kDevice);
  device_->setAccessibleName("Device number of Tapewell");
  deviceLabel->setBuddy(device_);
  auto* directoryLabel = Label(device_dialog_controls::kFolderCaption,
                               "&Directory on the SDCard where the .TAP file is located, leave blank if the index disk "
                               "is in the same directory where the .TAP file is",
                               this);
  directoryLabel->setWordWrap(true);
  directory_ = new QLineEdit(this);
  directory_->setObjectName(device_dialog_controls::kFolder);
  directory_->setAccessibleName("Directory on the SDCard");
  directory_->setAccessibleDescription("Leave blank if the index disk is in the same directory where the .TAP file is");
  directoryLabel->setBuddy(directory_);

  QPushButton* next = Button(device_dialog_controls::kNext, "&Next >", this);
  next->setDefault(true);
  QPushButton* cancel = Button(device_dialog_controls::kCancel, "&Cancel", this);
  connect(next, &QPushButton::clicked, this, &LauncherDeviceDialog::Next);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  auto* deviceRow = new QHBoxLayout;
  deviceRow->addWidget(deviceLabel);
  deviceRow->addWidget(device_);
  layout->addLayout(deviceRow);
  layout->addWidget(directoryLabel);
  layout->addWidget(directory_);
  layout->addLayout(ButtonRow({next, cancel}));
  setFixedWidth(400);
}

void LauncherDeviceDialog::Next() {
  const DeviceCheck check = CheckDeviceAnswer(device_->text().toStdString(), directory_->text().toStdString());
  ShowFailure(check.refusal, messages_);
  if (check.resetDeviceText) device_->setText("8");
  if (!check.accepted()) return;
  answer_ = {false, check.device, check.directory};
  accept();
}

TargetSystemDialog::TargetSystemDialog(const std::string& proposedDiskName, const std::string& name, QWidget* parent)
    : QDialog(parent) {
  setObjectName(target_dialog_controls::kWindow);
  setWindowTitle("Target System");
  setModal(true);

  auto* programLabel = Label(target_dialog_controls::kProgramCaption, "Program named: ", this);
  auto* proposed = Label(target_dialog_controls::kProposedName, QString::fromStdString(proposedDiskName), this);
  proposed->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* systemLabel = Label(target_dialog_controls::kSystemCaption, "&Will have to be executed on a: ", this);
  systems_ = new QComboBox(this);
  systems_->setObjectName(target_dialog_controls::kSystem);
  for (const TargetSystem& system : TargetSystems()) systems_->addItem(system.entry);
  systems_->setCurrentIndex(0);
  systemLabel->setBuddy(systems_);
  auto* nameLabel = Label(target_dialog_controls::kNameCaption, "&Name it as:", this);
  name_ = new QLineEdit(QString::fromStdString(name), this);
  name_->setObjectName(target_dialog_controls::kName);
  nameLabel->setBuddy(name_);

  QPushButton* forAll = Button(target_dialog_controls::kForAll, "For &All remaining", this);
  QPushButton* next = Button(target_dialog_controls::kNext, "N&ext >", this);
  next->setDefault(true);
  QPushButton* cancel = Button(target_dialog_controls::kCancel, "&Cancel", this);
  connect(forAll, &QPushButton::clicked, this, [this] { Finish(TargetAction::ForAllRemaining); });
  connect(next, &QPushButton::clicked, this, [this] { Finish(TargetAction::Next); });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* grid = new QGridLayout;
  grid->addWidget(programLabel, 0, 0);
  grid->addWidget(proposed, 0, 1);
  grid->addWidget(systemLabel, 1, 0);
  grid->addWidget(systems_, 1, 1);
  grid->addWidget(nameLabel, 2, 0);
  grid->addWidget(name_, 2, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addLayout(ButtonRow({forAll, next, cancel}));
  setFixedWidth(420);
}

void TargetSystemDialog::Finish(TargetAction action) {
  answer_ = {action, systems_->currentIndex(), name_->text().toStdString()};
  accept();
}

DeviceAnswer QtLauncherDialogs::AskDevice() {
  LauncherDeviceDialog dialog(messages_, owner_);
  ShowOver(owner_, dialog);
  return dialog.answer();
}

TargetAnswer QtLauncherDialogs::AskTarget(const std::string& proposedDiskName, const std::string& name) {
  TargetSystemDialog dialog(proposedDiskName, name, owner_);
  ShowOver(owner_, dialog);
  return dialog.answer();
}

}  // namespace rw
