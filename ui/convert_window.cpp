#include "ui/convert_window.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/controls.h"

namespace rw {

ConvertWindow::ConvertWindow(QWidget* parent) : QWidget(parent) {
  setObjectName("Form8");
  setWindowTitle("HTAP File conversion");

  auto* label1 = new QLabel("HTAP Files and Directories to convert", this);
  label1->setObjectName("Label1");
  list_ = new QTreeWidget(this);
  list_->setObjectName("ListView1");
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setHeaderLabels({"Item Path", "Type", "Recurse"});
  list_->setColumnWidth(0, Twips(6900));
  list_->setColumnWidth(1, Twips(800));
  list_->setColumnWidth(2, Twips(800));
  list_->setAccessibleName("HTAP Files and Directories to convert");
  label1->setBuddy(list_);
  new FileDropFilter(list_->viewport(), [this](const QStringList& paths) {
    for (const QString& path : paths) AddConvertItem(path);
  });

  QPushButton* addFiles = PictureButton(this, "vkCommand3", "Add specific .HTAP files to the list",
                                        StandardIcon(QStyle::SP_FileIcon));
  QPushButton* addFolder = PictureButton(this, "vkCommand4", "Add the .HTAP files contained in a directory",
                                         StandardIcon(QStyle::SP_DirIcon));
  QPushButton* addFolder2 = PictureButton(this, "vkCommand6", "Add the .HTAP files contained in a directory",
                                          StandardIcon(QStyle::SP_DirLinkIcon));
  QPushButton* remove = PictureButton(this, "vkCommand2", "Remove one .HTAP file/Directory from the list",
                                      StandardIcon(QStyle::SP_TrashIcon));

  auto* label2 = new QLabel("&Output Directory", this);
  label2->setObjectName("Label2");
  auto* text1 = new QLineEdit(this);
  text1->setObjectName("Text1");
  text1->setAccessibleName("Output Directory");
  label2->setBuddy(text1);
  QPushButton* chooseDir = PictureButton(this, "vkCommand1", "Select destination directory for the resulting .TAP files",
                                         StandardIcon(QStyle::SP_DirOpenIcon));
  QPushButton* setDefault =
      PictureButton(this, "vkCommand8", "Set as Default Output Directory", StandardIcon(QStyle::SP_DialogApplyButton));
  QPushButton* removeDefault = PictureButton(this, "vkCommand9", "Remove Default Output Directory",
                                             StandardIcon(QStyle::SP_DialogDiscardButton));

  auto* frame2 = new QGroupBox("Output Format", this);
  frame2->setObjectName("Frame2");
  auto* combo1 = new QComboBox(frame2);
  combo1->setObjectName("Combo1");
  auto* combo2 = new QComboBox(frame2);
  combo2->setObjectName("Combo2");
  auto* formats = new QHBoxLayout(frame2);
  formats->addWidget(combo1, 1);
  formats->addWidget(combo2, 1);

  QPushButton* convert = CommandButton(this, "vkCommand5", "&Convert",
                                       "Join the .TAP files in the list to obtain a single .TAP file",
                                       ProgramIcon("convert"));

  auto* listButtons = new QVBoxLayout;
  for (QPushButton* button : {addFiles, addFolder, addFolder2, remove}) listButtons->addWidget(button);
  listButtons->addStretch();
  auto* listRow = new QHBoxLayout;
  listRow->addWidget(list_, 1);
  listRow->addLayout(listButtons);
  auto* folderRow = new QHBoxLayout;
  folderRow->addWidget(text1, 1);
  folderRow->addWidget(chooseDir);
  folderRow->addWidget(setDefault);
  folderRow->addWidget(removeDefault);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(frame2, 1);
  bottom->addWidget(convert);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label1);
  layout->addLayout(listRow, 1);
  layout->addWidget(label2);
  layout->addLayout(folderRow);
  layout->addLayout(bottom);
}

bool ConvertWindow::AddConvertItem(const QString& path) {
  const QFileInfo info(path);
  const bool file = info.isFile() && !info.isHidden();
  new QTreeWidgetItem(list_, {path, file ? "File" : "Dir", QString()});
  return true;
}

}  // namespace rw
