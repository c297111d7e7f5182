#include "ui/join_window.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

#include "core/utilities.h"
#include "join/join_operation.h"
#include "core/ports/file_dialogs.h"
#include "platform/locale.h"
#include "core/ports/messages.h"
#include "core/ports/remembered_paths.h"
#include "ui/palette_icon.h"
#include "ui/pause_dialog.h"
#include "ui/wait_box.h"
#include "ui/wait_messages.h"

namespace rw {
namespace {

// The opening column widths, 2500, 900, 900, 900, 900 and 1100 twips.
constexpr int kColumnWidths[kColumnCount] = {167, 60, 60, 60, 60, 73};

std::vector<std::string> TapFilters() { return {"Commodore TAP File (*.tap)", "Tutti i Files (*.*)"}; }

// The list takes files dragged from a file manager; it moves and copies
// nothing itself, so the drop is reported as no action.
class DropList : public QTreeWidget {
 public:
  using QTreeWidget::QTreeWidget;
  std::function<void(const QStringList&)> onDrop;

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override { Consider(event); }
  void dragMoveEvent(QDragMoveEvent* event) override { Consider(event); }
  void dropEvent(QDropEvent* event) override {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
      if (url.isLocalFile()) paths << url.toLocalFile();
    }
    event->setDropAction(Qt::IgnoreAction);
    event->accept();
    if (!paths.isEmpty() && onDrop) onDrop(paths);
  }

 private:
  static void Consider(QDropEvent* event) {
    if (event->mimeData()->hasUrls()) {
      event->acceptProposedAction();
    } else {
      event->ignore();
    }
  }
};

// A picture button whose tooltip is also what a screen reader says.
QPushButton* PictureButton(const char* objectName, QStyle::StandardPixmap pixmap, const char* tooltip,
                           QWidget* parent) {
  auto* button = new QPushButton(parent);
  button->setObjectName(objectName);
  button->setIcon(PaletteIcon(parent->style()->standardIcon(pixmap, nullptr, button)));
  button->setIconSize(QSize(24, 24));
  button->setToolTip(tooltip);
  button->setAccessibleName(tooltip);
  button->setFocusPolicy(Qt::StrongFocus);
  return button;
}

}  // namespace

JoinWindow::JoinWindow(RememberedPaths& paths, Messages& messages, FileDialogs& fileDialogs, WaitBox* waitBox,
                       QWidget* parent)
    : QWidget(parent),
      paths_(paths),
      messages_(messages),
      fileDialogs_(fileDialogs),
      waitBox_(waitBox),
      compilation_(std::make_unique<Compilation>(DecimalSeparator(), messages)) {
  setObjectName("Form4");
  setWindowTitle("Join TAP Files");
  askPause = [this] {
    PauseDialog dialog(compilation_->decimalSeparator(), messages_, this);
    return dialog.PopUp(window());
  };

  sort_ = new QCheckBox("Sort &Automatically", this);
  sort_->setObjectName("Check1");
  connect(sort_, &QCheckBox::toggled, this, &JoinWindow::SetSorted);

  auto* list = new DropList(this);
  list->onDrop = [this](const QStringList& dropped) { AddDroppedFiles(dropped); };
  list_ = list;
  list_->setObjectName("ListView1");
  list_->setAccessibleName("TAP files to join");
  list_->setColumnCount(kColumnCount);
  QStringList headings;
  for (const char* heading : kColumnHeadings) headings << heading;
  list_->setHeaderLabels(headings);
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setAcceptDrops(true);
  list_->setDragDropMode(QAbstractItemView::DropOnly);
  list_->header()->setStretchLastSection(false);
  // Each column at least as wide as its caption while the list is empty.
  for (int column = 0; column < kColumnCount; ++column) {
    list_->setColumnWidth(column, std::max(kColumnWidths[column], list_->header()->sectionSizeHint(column)));
  }
  auto* removeKey = new QAction(list_);
  removeKey->setShortcut(QKeySequence::Delete);
  removeKey->setShortcutContext(Qt::WidgetShortcut);
  list_->addAction(removeKey);
  connect(removeKey, &QAction::triggered, this, &JoinWindow::RemoveFiles);

  remove_ = PictureButton("vkCommand1", QStyle::SP_TrashIcon, "Remove one .TAP file from the list", this);
  auto* addFile = PictureButton("vkCommand2", QStyle::SP_FileIcon, "Add a single .TAP file to the list", this);
  auto* addFolder =
      PictureButton("vkCommand4", QStyle::SP_DirOpenIcon, "Add the .TAP files contained in a directory", this);
  moveUp_ = PictureButton("vkCommand5", QStyle::SP_ArrowUp, "Move on .TAP file Up in the list", this);
  moveDown_ = PictureButton("vkCommand6", QStyle::SP_ArrowDown, "Move on .TAP file Down in the list", this);
  auto* addPause = PictureButton("vkCommand7", QStyle::SP_MediaPause, "Add a specific Pause", this);
  join_ = new QPushButton("&Join Files", this);
  join_->setObjectName("vkCommand3");
  join_->setIcon(PaletteIcon(style()->standardIcon(QStyle::SP_DialogSaveButton, nullptr, join_)));
  join_->setToolTip("Join the .TAP files in the list to obtain a single .TAP file");
  join_->setAccessibleName(join_->toolTip());
  connect(remove_, &QPushButton::clicked, this, &JoinWindow::RemoveFiles);
  connect(addFile, &QPushButton::clicked, this, &JoinWindow::AddFile);
  connect(addFolder, &QPushButton::clicked, this, &JoinWindow::AddDirectory);
  connect(moveUp_, &QPushButton::clicked, this, &JoinWindow::MoveUp);
  connect(moveDown_, &QPushButton::clicked, this, &JoinWindow::MoveDown);
  connect(addPause, &QPushButton::clicked, this, &JoinWindow::AddPause);
  connect(join_, &QPushButton::clicked, this, &JoinWindow::JoinFiles);

  auto* frame = new QGroupBox("Total Duration", this);
  frame->setObjectName("Frame1");
  total_ = new QLabel(frame);
  total_->setObjectName("Label1");
  // A screen reader reads the total itself, with its caption as description.
  total_->setAccessibleDescription("Total Duration");
  auto* frameLayout = new QHBoxLayout(frame);
  frameLayout->addWidget(total_);

  auto* buttons = new QHBoxLayout;
  for (QPushButton* button : {addFile, addFolder, addPause, remove_, moveUp_, moveDown_}) buttons->addWidget(button);
  buttons->addStretch();
  buttons->addWidget(frame);
  buttons->addWidget(join_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(sort_);
  layout->addWidget(list_, 1);
  layout->addLayout(buttons);
  // The order in which they stand on screen.
  QWidget* order[] = {sort_, list_, addFile, addFolder, addPause, remove_, moveUp_, moveDown_, join_};
  for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
  addFile->setFocus();  // an empty list: adding is the first thing to do

  ShowCompilation();
}

JoinWindow::~JoinWindow() = default;

bool JoinWindow::HasUnjoinedRows() const {
  return !compilation_->rows().empty() && compilation_->rows() != joinedRows_;
}

void JoinWindow::closeEvent(QCloseEvent* event) {
  if (HasUnjoinedRows() &&
      !messages_.AskYesNo("WARNING!", MessageIcon::Question,
                          "Your TAP compilation has not been joined. Are you sure you want to close it and lose it?")) {
    event->ignore();
    return;
  }
  QWidget::closeEvent(event);
}

void JoinWindow::TakeSelection() {
  Compilation& c = *compilation_;
  int current = -1;
  for (int i = 0; i < list_->topLevelItemCount(); ++i) {
    const bool selected = list_->topLevelItem(i)->isSelected();
    c.SelectRow(i, selected);
    if (selected && (current < 0 || list_->topLevelItem(i) == list_->currentItem())) current = i;
  }
  c.SetCurrentRow(current);
}

void JoinWindow::ShowCompilation() {
  const Compilation& c = *compilation_;
  const bool grew = list_->topLevelItemCount() < static_cast<int>(c.rows().size());
  list_->setUpdatesEnabled(false);
  list_->clear();
  QList<QTreeWidgetItem*> items;
  for (const CompilationRow& row : c.rows()) {
    auto* item = new QTreeWidgetItem;
    for (int column = 0; column < kColumnCount; ++column) {
      item->setText(column, QString::fromStdString(row.Text(column)));
    }
    items << item;
  }
  list_->addTopLevelItems(items);
  for (int i = 0; i < items.size(); ++i) items[i]->setSelected(c.IsSelected(i));
  if (c.currentRow() >= 0) {
    list_->setCurrentItem(items[c.currentRow()], 0, QItemSelectionModel::NoUpdate);
    list_->scrollToItem(items[c.currentRow()]);
  }
  if (grew) {
    for (int column = 0; column < kColumnCount; ++column) list_->resizeColumnToContents(column);
  }
  list_->setUpdatesEnabled(true);

  total_->setText(QString::fromStdString(c.totalText()));
  join_->setEnabled(c.joinAvailable());
  moveUp_->setEnabled(c.CanMoveRows());
  moveDown_->setEnabled(c.CanMoveRows());
}

void JoinWindow::RemoveFiles() {
  TakeSelection();
  if (list_->selectedItems().isEmpty()) return;
  if (!messages_.AskYesNo("WARNING!", MessageIcon::Question,
                          "Are you sure you want to delete the selected Files from your TAP compilation?")) {
    return;
  }
  compilation_->RemoveSelectedRows();
  ShowCompilation();
}

void JoinWindow::AddFile() {
  const std::string path =
      fileDialogs_.OpenFile("Add TAP file", paths_.ReadPersistentPath(PersistentPath::JoinPath), TapFilters());
  if (path.empty()) return;
  TakeSelection();
  const bool added = compilation_->AddTapFile(path);
  ShowCompilation();
  if (added) paths_.WritePersistentPath(ParentFolder(path), PersistentPath::JoinPath);
}

void JoinWindow::AddDirectory() {
  const std::string folder = fileDialogs_.ChooseFolder("Select a Directory", "");
  if (folder.empty()) return;
  TakeSelection();
  const bool added = compilation_->AddTapDirectory(folder);
  ShowCompilation();
  if (added) paths_.WritePersistentPath(folder, PersistentPath::JoinPath);
}

void JoinWindow::AddDroppedFiles(const QStringList& dropped) {
  TakeSelection();
  for (const QString& path : dropped) compilation_->AddTapFile(path.toStdString());
  ShowCompilation();
}

void JoinWindow::MoveUp() {
  TakeSelection();
  if (compilation_->MoveRowUp()) ShowCompilation();
}

void JoinWindow::MoveDown() {
  TakeSelection();
  if (compilation_->MoveRowDown()) ShowCompilation();
}

void JoinWindow::AddPause() {
  const std::string text = askPause ? askPause() : std::string();
  if (text.empty()) return;
  TakeSelection();
  compilation_->AddPauseRow(text);
  ShowCompilation();
}

void JoinWindow::SetSorted(bool on) {
  if (sort_->isChecked() != on) {
    sort_->setChecked(on);  // comes back here through toggled
    return;
  }
  TakeSelection();
  compilation_->SetSorted(on);
  ShowCompilation();
}

void JoinWindow::JoinFiles() {
  if (!compilation_->joinAvailable()) return;
  std::string path =
      fileDialogs_.SaveFile("Join to TAP file", paths_.ReadPersistentPath(PersistentPath::SavePath), TapFilters());
  if (path.empty()) return;
  // "joined1" means joined1.tap; a name with an extension is taken as typed.
  if (FileNameOf(path).find('.') == std::string::npos) path += ".tap";
  // The old file stays until the new image is complete: the join builds it
  // beside the old one and only then puts it in its place.
  const bool replace = FileExists(path);
  if (replace && !messages_.AskYesNo("WARNING", MessageIcon::Exclamation,
                                     "File " + path + " Already exists ! Would you like to overwrite it ?")) {
    return;
  }
  if (waitBox_) waitBox_->ShowWait("Joining TAP file Please Wait!", true);
  WaitBoxMessages messages(messages_, waitBox_);
  const auto progress = [this](uint64_t written, uint64_t total) {
    if (waitBox_ && waitBox_->isVisible()) {
      waitBox_->SetProgress(static_cast<qint64>(written), static_cast<qint64>(total));
    }
  };
  const bool joined = JoinToTapFile(*compilation_, path, replace, messages, progress);
  if (waitBox_) waitBox_->ShowWait(QString(), false);
  if (!joined) return;
  joinedRows_ = compilation_->rows();
  paths_.WritePersistentPath(ParentFolder(path), PersistentPath::SavePath);
  messages_.Info("INFO", "Join operation Executed Correctly !");
}

}  // namespace rw
