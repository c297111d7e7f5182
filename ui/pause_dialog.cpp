// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/pause_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/ports/messages.h"
#include "core/pulse_timing.h"
#include "ui/control_names.h"
#include "ui/wait_box.h"

namespace rw {

PauseDialog::PauseDialog(std::string decimalSeparator, Messages& messages, QWidget* parent)
    : QDialog(parent), decimalSeparator_(std::move(decimalSeparator)), messages_(messages) {
  setObjectName(pause_controls::kWindow);
  setWindowTitle("Add Pause");
  setModal(true);

  prompt_ = new QLabel(this);
  prompt_->setObjectName(pause_controls::kPrompt);
  prompt_->setWordWrap(true);
  prompt_->setText(QString::fromStdString(
      "Insert the pause to be added in the form XXmYYs, fractional digits are accepted. Decimal separator is: \"" +
      decimalSeparator_ + "\""));
  text_ = new QLineEdit(this);
  text_->setObjectName(pause_controls::kText);
  text_->setAccessibleName("Pause duration");
  prompt_->setBuddy(text_);

  auto* add = new QPushButton("&Add", this);
  add->setObjectName(pause_controls::kAdd);
  add->setDefault(true);
  auto* cancel = new QPushButton("&Cancel", this);
  cancel->setObjectName(pause_controls::kCancel);
  connect(add, &QPushButton::clicked, this, &PauseDialog::Add);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(add);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(prompt_);
  layout->addWidget(text_);
  layout->addLayout(buttons);
  setFixedWidth(360);
  Reset();
}

void PauseDialog::Reset() {
  pauseText_.clear();
  text_->setText("5s");
  text_->selectAll();
  text_->setFocus();
}

void PauseDialog::Add() {
  const std::string text = text_->text().toStdString();
  if (!ParseDuration(text, decimalSeparator_)) {
    messages_.Critical(
        "ERROR!", "Syntax of duration sting is invalid ! use XXmYYs as suggested, fractional digits are accepted.");
    return;
  }
  pauseText_ = text;
  accept();
}

std::string PauseDialog::PopUp(QWidget* owner) {
  Reset();
  adjustSize();
  CenterOver(owner, this);
  // Reject (Cancel, Escape, the close box) leaves the text empty.
  exec();
  return pauseText_;
}

}  // namespace rw
