// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/join_window.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

#include "core/ports/file_dialogs.h"
#include "core/ports/messages.h"
#include "core/ports/remembered_paths.h"
#include "core/utilities.h"
#include "join/join_operation.h"
#include "platform/locale.h"
#include "ui/compilation_table_model.h"
#include "ui/control_names.h"
#include "ui/controls.h"
#include "ui/pause_dialog.h"
#include "ui/wait_box.h"

namespace rw {
namespace {

// The opening column widths, 2500, 900, 900, 900, 900 and 1100 twips.
constexpr int kColumnWidths[kColumnCount] = {167, 60, 60, 60, 60, 73};

std::vector<std::string> TapFilters() { return {"Commodore TAP File (*.tap)", "Tutti i Files (*.*)"}; }

}  // namespace

JoinWindow::JoinWindow(RememberedPaths& paths, Messages& messages, FileDialogs& fileDialogs, WaitBox* waitBox,
                       PauseQuestion askPause, QWidget* parent)
    : QWidget(parent),
      paths_(paths),
      messages_(messages),
      fileDialogs_(fileDialogs),
      waitBox_(waitBox),
      askPause_(std::move(askPause)),
      model_(new CompilationTableModel(std::make_unique<Compilation>(DecimalSeparator()), this)) {
  setObjectName(join_controls::kWindow);
  setWindowTitle("Join TAP Files");
  if (!askPause_) {
    askPause_ = [this] {
      PauseDialog dialog(compilation().decimalSeparator(), messages_, this);
      return dialog.PopUp(window());
    };
  }

  sort_ = new QCheckBox("Sort &Automatically", this);
  sort_->setObjectName(join_controls::kSortAutomatically);
  connect(sort_, &QCheckBox::toggled, this, &JoinWindow::SetSorted);

  list_ = new QTreeView(this);
  list_->setObjectName(join_controls::kFiles);
  list_->setAccessibleName("TAP files to join");
  list_->setModel(model_);
  list_->setRootIsDecorated(false);
  list_->setItemsExpandable(false);
  list_->setUniformRowHeights(true);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->header()->setStretchLastSection(false);
  // Each column at least as wide as its caption while the list is empty.
  for (int column = 0; column < kColumnCount; ++column) {
    list_->setColumnWidth(column, std::max(kColumnWidths[column], list_->header()->sectionSizeHint(column)));
  }
  new FileDropFilter(list_->viewport(), [this](const QStringList& dropped) { AddDroppedFiles(dropped); });
  auto* removeKey = new QAction(list_);
  removeKey->setShortcut(QKeySequence::Delete);
  removeKey->setShortcutContext(Qt::WidgetShortcut);
  list_->addAction(removeKey);
  connect(removeKey, &QAction::triggered, this, &JoinWindow::RemoveFiles);

  remove_ = PictureButton(this, join_controls::kRemove, "Remove one .TAP file from the list",
                          StandardIcon(QStyle::SP_TrashIcon));
  QPushButton* addFile = PictureButton(this, join_controls::kAddFile, "Add a single .TAP file to the list",
                                       StandardIcon(QStyle::SP_FileIcon));
  QPushButton* addFolder = PictureButton(this, join_controls::kAddFolder, "Add the .TAP files contained in a directory",
                                         StandardIcon(QStyle::SP_DirOpenIcon));
  moveUp_ =
      PictureButton(this, join_controls::kMoveUp, "Move on .TAP file Up in the list", StandardIcon(QStyle::SP_ArrowUp));
  moveDown_ = PictureButton(this, join_controls::kMoveDown, "Move on .TAP file Down in the list",
                            StandardIcon(QStyle::SP_ArrowDown));
  QPushButton* addPause =
      PictureButton(this, join_controls::kAddPause, "Add a specific Pause", StandardIcon(QStyle::SP_MediaPause));
  join_ = CommandButton(this, join_controls::kJoin, "&Join Files",
                        "Join the .TAP files in the list to obtain a single .TAP file",
                        StandardIcon(QStyle::SP_DialogSaveButton));
  join_->setAccessibleName(join_->toolTip());
  connect(remove_, &QPushButton::clicked, this, &JoinWindow::RemoveFiles);
  connect(addFile, &QPushButton::clicked, this, &JoinWindow::AddFile);
  connect(addFolder, &QPushButton::clicked, this, &JoinWindow::AddDirectory);
  connect(moveUp_, &QPushButton::clicked, this, &JoinWindow::MoveUp);
  connect(moveDown_, &QPushButton::clicked, this, &JoinWindow::MoveDown);
  connect(addPause, &QPushButton::clicked, this, &JoinWindow::AddPause);
  connect(join_, &QPushButton::clicked, this, &JoinWindow::JoinFiles);
  connect(model_, &CompilationTableModel::totalsChanged, this, &JoinWindow::ShowTotals);

  auto* totalBox = new QGroupBox("Total Duration", this);
  totalBox->setObjectName(join_controls::kTotalFrame);
  total_ = new QLabel(totalBox);
  total_->setObjectName(join_controls::kTotal);
  // A screen reader reads the total itself, with its caption as description.
  total_->setAccessibleDescription("Total Duration");
  auto* totalLayout = new QHBoxLayout(totalBox);
  totalLayout->addWidget(total_);

  auto* buttons = new QHBoxLayout;
  for (QPushButton* button : {addFile, addFolder, addPause, remove_, moveUp_, moveDown_}) buttons->addWidget(button);
  buttons->addStretch();
  buttons->addWidget(totalBox);
  buttons->addWidget(join_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(sort_);
  layout->addWidget(list_, 1);
  layout->addLayout(buttons);
  // The order in which they stand on screen.
  QWidget* order[] = {sort_, list_, addFile, addFolder, addPause, remove_, moveUp_, moveDown_, join_};
  for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
  addFile->setFocus();  // an empty list: adding is the first thing to do

  ShowTotals();
}

JoinWindow::~JoinWindow() = default;

const Compilation& JoinWindow::compilation() const { return model_->compilation(); }

bool JoinWindow::HasUnjoinedRows() const {
  return !compilation().rows().empty() && compilation().rows() != joinedRows_;
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

int JoinWindow::ChosenRow() const {
  const QItemSelectionModel* selection = list_->selectionModel();
  const QModelIndex current = list_->currentIndex();
  if (current.isValid() && selection->isRowSelected(current.row(), QModelIndex())) return current.row();
  const QModelIndexList selected = selection->selectedRows();
  if (selected.isEmpty()) return -1;
  return std::min_element(selected.begin(), selected.end())->row();
}

void JoinWindow::FitColumns(int rowsBefore) {
  if (model_->rowCount() <= rowsBefore) return;
  for (int column = 0; column < kColumnCount; ++column) list_->resizeColumnToContents(column);
}

void JoinWindow::ShowTotals() {
  total_->setText(QString::fromStdString(compilation().totalText()));
  join_->setEnabled(compilation().joinAvailable());
}

void JoinWindow::RemoveFiles() {
  const QModelIndexList selected = list_->selectionModel()->selectedRows();
  if (selected.isEmpty()) return;
  if (!messages_.AskYesNo("WARNING!", MessageIcon::Question,
                          "Are you sure you want to delete the selected Files from your TAP compilation?")) {
    return;
  }
  std::vector<int> rows;
  for (const QModelIndex& index : selected) rows.push_back(index.row());
  model_->compilation().RemoveSelectedRows(std::move(rows));
}

void JoinWindow::AddFile() {
  const std::string path =
      fileDialogs_.OpenFile("Add TAP file", paths_.ReadPersistentPath(PersistentPath::JoinPath), TapFilters());
  if (path.empty()) return;
  const int rowsBefore = model_->rowCount();
  const Outcome added = model_->compilation().AddTapFile(path);
  ShowFailure(added, messages_);
  FitColumns(rowsBefore);
  if (added) paths_.WritePersistentPath(ParentFolder(path), PersistentPath::JoinPath);
}

void JoinWindow::AddDirectory() {
  const std::string folder = fileDialogs_.ChooseFolder("Select a Directory", "");
  if (folder.empty()) return;
  const int rowsBefore = model_->rowCount();
  const Outcome added = model_->compilation().AddTapDirectory(folder);
  ShowFailure(added, messages_);
  FitColumns(rowsBefore);
  if (added) paths_.WritePersistentPath(folder, PersistentPath::JoinPath);
}

void JoinWindow::AddDroppedFiles(const QStringList& dropped) {
  const int rowsBefore = model_->rowCount();
  for (const QString& path : dropped) ShowFailure(model_->compilation().AddTapFile(path.toStdString()), messages_);
  FitColumns(rowsBefore);
}

void JoinWindow::Move(Direction direction) {
  const bool up = direction == Direction::Up;
  const int row = ChosenRow();
  Compilation& compilation = model_->compilation();
  if (!(up ? compilation.MoveRowUp(row) : compilation.MoveRowDown(row))) return;
  // The moved row keeps its selection; it becomes the current row if the
  // current one was elsewhere.
  const QModelIndex moved = model_->index(up ? row - 1 : row + 1, 0);
  list_->selectionModel()->setCurrentIndex(moved, QItemSelectionModel::NoUpdate);
  list_->scrollTo(moved);
}

void JoinWindow::MoveUp() { Move(Direction::Up); }

void JoinWindow::MoveDown() { Move(Direction::Down); }

void JoinWindow::AddPause() {
  const std::string text = askPause_();
  if (text.empty()) return;
  const int rowsBefore = model_->rowCount();
  ShowFailure(model_->compilation().AddPauseRow(text), messages_);
  FitColumns(rowsBefore);
}

void JoinWindow::SetSorted(bool on) {
  if (sort_->isChecked() != on) {
    sort_->setChecked(on);  // comes back here through toggled
    return;
  }
  model_->compilation().SetSorted(on);
  moveUp_->setEnabled(compilation().CanMoveRows());
  moveDown_->setEnabled(compilation().CanMoveRows());
  if (list_->currentIndex().isValid()) list_->scrollTo(list_->currentIndex());
}

void JoinWindow::JoinFiles() {
  if (!compilation().joinAvailable()) return;
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
  const auto progress = [this](uint64_t written, uint64_t total) {
    if (waitBox_ && waitBox_->isVisible()) {
      waitBox_->SetProgress(static_cast<qint64>(written), static_cast<qint64>(total));
    }
  };
  const Outcome joined = JoinToTapFile(compilation(), path, replace, progress);
  if (waitBox_) waitBox_->ShowWait(QString(), false);
  if (!joined) {
    ShowFailure(joined, messages_);
    return;
  }
  joinedRows_ = compilation().rows();
  paths_.WritePersistentPath(ParentFolder(path), PersistentPath::SavePath);
  messages_.Info("INFO", "Join operation Executed Correctly !");
}

}  // namespace rw
