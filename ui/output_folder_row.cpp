// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/output_folder_row.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/control_names.h"
#include "ui/controls.h"

namespace rw {

OutputFolderRow::OutputFolderRow(const QString& captionName, QWidget* parent) : QWidget(parent) {
  auto* caption = new QLabel("&Output Directory", this);
  caption->setObjectName(captionName);
  folderEdit_ = new QLineEdit(this);
  folderEdit_->setObjectName(output_folder_controls::kFolder);
  folderEdit_->setAccessibleName("Output Directory");
  caption->setBuddy(folderEdit_);
  choose_ =
      PictureButton(this, output_folder_controls::kChoose, "Select destination directory for the resulting .TAP files",
                    StandardIcon(QStyle::SP_DirOpenIcon));
  setDefault_ = PictureButton(this, output_folder_controls::kSetDefault, "Set as Default Output Directory",
                              StandardIcon(QStyle::SP_DialogApplyButton));
  removeDefault_ = PictureButton(this, output_folder_controls::kRemoveDefault, "Remove Default Output Directory",
                                 StandardIcon(QStyle::SP_DialogDiscardButton));

  auto* fieldRow = new QHBoxLayout;
  fieldRow->addWidget(folderEdit_, 1);
  fieldRow->addWidget(choose_);
  fieldRow->addWidget(setDefault_);
  fieldRow->addWidget(removeDefault_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(caption);
  layout->addLayout(fieldRow);
}

}  // namespace rw
