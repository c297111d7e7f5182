// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/widgets/qt_file_dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QStringList>

namespace rw {

std::string QtFileDialogs::Ask(const FileDialogRequest& request) {
  const QString title = QString::fromStdString(request.title);
  const QString folder = QString::fromStdString(request.folder);
  QStringList filters;
  for (const auto& filter : request.filters) filters << QString::fromStdString(filter);
  QWidget* const parent = parent_ != nullptr ? parent_ : QApplication::activeWindow();
  QString chosen;
  switch (request.kind) {
    case FileDialogRequest::Kind::Open:
      chosen = QFileDialog::getOpenFileName(parent, title, folder, filters.join(";;"));
      break;
    case FileDialogRequest::Kind::Save:
      chosen = QFileDialog::getSaveFileName(parent, title, folder, filters.join(";;"), nullptr,
                                            QFileDialog::DontConfirmOverwrite);
      break;
    case FileDialogRequest::Kind::Folder:
      chosen = QFileDialog::getExistingDirectory(parent, title, folder);
      break;
  }
  return chosen.toStdString();
}

}  // namespace rw
