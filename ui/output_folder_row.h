// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The output directory as the tool windows show it: its caption above a text
// field, with buttons beside the field to choose the folder and to set or
// remove the default one. The window that holds it gives the buttons their
// work.

#include <QWidget>

class QLineEdit;
class QPushButton;

namespace rw {

class OutputFolderRow : public QWidget {
  Q_OBJECT
 public:
  // `captionName` is the object name of the caption (the windows differ).
  OutputFolderRow(const QString& captionName, QWidget* parent);

  QLineEdit* folderEdit() const { return folderEdit_; }
  QPushButton* chooseButton() const { return choose_; }
  QPushButton* setDefaultButton() const { return setDefault_; }
  QPushButton* removeDefaultButton() const { return removeDefault_; }

 private:
  QLineEdit* folderEdit_;
  QPushButton* choose_;
  QPushButton* setDefault_;
  QPushButton* removeDefault_;
};

}  // namespace rw
