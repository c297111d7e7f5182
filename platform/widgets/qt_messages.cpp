// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/widgets/qt_messages.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>

namespace rw {

MessageAnswer QtMessages::Show(const Message& message) {
  QMessageBox::Icon icon = QMessageBox::Information;
  switch (message.icon) {
    case MessageIcon::Critical:
      icon = QMessageBox::Critical;
      break;
    case MessageIcon::Exclamation:
      icon = QMessageBox::Warning;
      break;
    case MessageIcon::Question:
      icon = QMessageBox::Question;
      break;
    case MessageIcon::Information:
      icon = QMessageBox::Information;
      break;
  }
  const bool yesNo = message.buttons == MessageButtons::YesNo;
  QMessageBox box(icon, QString::fromStdString(message.title), QString::fromStdString(message.text),
                  yesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok,
                  parent_ != nullptr ? parent_ : QApplication::activeWindow());
  const int answer = box.exec();
  if (!yesNo) return MessageAnswer::Ok;
  return answer == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
}

}  // namespace rw
