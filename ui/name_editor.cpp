// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/name_editor.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "split/program_list.h"
#include "ui/control_names.h"
#include "ui/controls.h"
#include "ui/program_table_model.h"

namespace rw {

NameEditor::NameEditor(ProgramTableModel& table, int row, QWidget* parent) : QDialog(parent), table_(table), row_(row) {
  setObjectName(name_editor_controls::kWindow);
  setWindowTitle("Edit TAP names");
  setModal(true);

  const NameEditorFields fields = table_.OpenNameEditor(row_);
  const QString decoderName = QString::fromStdString(table_.list().sections()[static_cast<size_t>(row_ - 1)].name);

  auto* fileNameLabel = new QLabel("&File name", this);
  fileNameLabel->setObjectName(name_editor_controls::kFileNameCaption);
  fileName_ = new QLineEdit(QString::fromStdString(fields.fileName), this);
  fileName_->setObjectName(name_editor_controls::kFileName);
  fileName_->setMaxLength(16);  // the length of a name on tape
  fileNameLabel->setBuddy(fileName_);
  QPushButton* resetFileName = CommandButton(this, name_editor_controls::kResetFileName, "&Reset",
                                             "Put the name found on the tape back into the file name");

  auto* tapeNameLabel = new QLabel("F&OUND..", this);
  tapeNameLabel->setObjectName(name_editor_controls::kTapeNameCaption);
  tapeName_ = new QLineEdit(QString::fromStdString(fields.tapeName), this);
  tapeName_->setObjectName(name_editor_controls::kTapeName);
  tapeName_->setMinimumWidth(260);
  tapeNameLabel->setBuddy(tapeName_);
  QPushButton* resetTapeName = CommandButton(this, name_editor_controls::kResetTapeName, "R&eset",
                                             "Put the name found on the tape back into the tape name");

  QPushButton* save = CommandButton(this, name_editor_controls::kSave, "&Save", QString());
  QPushButton* exit = CommandButton(this, name_editor_controls::kExit, "E&xit", QString());
  save->setDefault(true);

  auto* grid = new QGridLayout;
  grid->addWidget(fileNameLabel, 0, 0);
  grid->addWidget(fileName_, 0, 1);
  grid->addWidget(resetFileName, 0, 2);
  grid->addWidget(tapeNameLabel, 1, 0);
  grid->addWidget(tapeName_, 1, 1);
  grid->addWidget(resetTapeName, 1, 2);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(save);
  buttons->addWidget(exit);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addLayout(buttons);

  // Each Reset fills its own box only; nothing is stored before "Save".
  connect(resetFileName, &QPushButton::clicked, this, [this, decoderName] { fileName_->setText(decoderName); });
  connect(resetTapeName, &QPushButton::clicked, this, [this, decoderName] { tapeName_->setText(decoderName); });
  connect(save, &QPushButton::clicked, this, &NameEditor::Save);
  connect(exit, &QPushButton::clicked, this, &QDialog::reject);
  adjustSize();
  setFixedSize(size());
}

void NameEditor::Save() {
  table_.SaveNameEditor(row_, tapeName_->text().toStdString(), fileName_->text().toStdString());
  accept();
}

}  // namespace rw
