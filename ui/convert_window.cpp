// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/convert_window.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/control_names.h"
#include "ui/controls.h"
#include "ui/output_folder_row.h"

namespace rw {

ConvertWindow::ConvertWindow(QWidget* parent) : QWidget(parent) {
  setObjectName(convert_controls::kWindow);
  setWindowTitle("HTAP File conversion");

  auto* listCaption = new QLabel("HTAP Files and Directories to convert", this);
  listCaption->setObjectName(convert_controls::kItemsCaption);
  list_ = new QTreeWidget(this);
  list_->setObjectName(convert_controls::kItems);
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setHeaderLabels({"Item Path", "Type", "Recurse"});
  list_->setColumnWidth(0, Twips(6900));
  list_->setColumnWidth(1, Twips(800));
  list_->setColumnWidth(2, Twips(800));
  list_->setAccessibleName("HTAP Files and Directories to convert");
  listCaption->setBuddy(list_);
  new FileDropFilter(list_->viewport(), [this](const QStringList& paths) {
    for (const QString& path : paths) AddConvertItem(path);
  });

  QPushButton* addFiles = PictureButton(this, convert_controls::kAddFiles, "Add specific .HTAP files to the list",
                                        StandardIcon(QStyle::SP_FileIcon));
  QPushButton* addFolder =
      PictureButton(this, convert_controls::kAddFolder, "Add the .HTAP files contained in a directory",
                    StandardIcon(QStyle::SP_DirIcon));
  QPushButton* addLinkedFolder =
      PictureButton(this, convert_controls::kAddLinkedFolder, "Add the .HTAP files contained in a directory",
                    StandardIcon(QStyle::SP_DirLinkIcon));
  QPushButton* remove = PictureButton(this, convert_controls::kRemove, "Remove one .HTAP file/Directory from the list",
                                      StandardIcon(QStyle::SP_TrashIcon));

  auto* folderRow = new OutputFolderRow(convert_controls::kOutputFolderCaption, this);

  auto* formatBox = new QGroupBox("Output Format", this);
  formatBox->setObjectName(convert_controls::kOutputFormat);
  auto* firstFormat = new QComboBox(formatBox);
  firstFormat->setObjectName(convert_controls::kFirstFormat);
  auto* secondFormat = new QComboBox(formatBox);
  secondFormat->setObjectName(convert_controls::kSecondFormat);
  auto* formats = new QHBoxLayout(formatBox);
  formats->addWidget(firstFormat, 1);
  formats->addWidget(secondFormat, 1);

  QPushButton* convert =
      CommandButton(this, convert_controls::kConvert, "&Convert",
                    "Join the .TAP files in the list to obtain a single .TAP file", ProgramIcon("convert"));

  auto* listButtons = new QVBoxLayout;
  for (QPushButton* button : {addFiles, addFolder, addLinkedFolder, remove}) listButtons->addWidget(button);
  listButtons->addStretch();
  auto* listRow = new QHBoxLayout;
  listRow->addWidget(list_, 1);
  listRow->addLayout(listButtons);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(formatBox, 1);
  bottom->addWidget(convert);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(listCaption);
  layout->addLayout(listRow, 1);
  layout->addWidget(folderRow);
  layout->addLayout(bottom);
}

bool ConvertWindow::AddConvertItem(const QString& path) {
  const QFileInfo info(path);
  const bool file = info.isFile() && !info.isHidden();
  new QTreeWidgetItem(list_, {path, file ? "File" : "Dir", QString()});
  return true;
}

}  // namespace rw
