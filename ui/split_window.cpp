// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/split_window.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

#include "core/ports/file_dialogs.h"
#include "core/ports/messages.h"
#include "core/ports/remembered_paths.h"
#include "core/utilities.h"
#include "launcher/program_disk.h"
#include "platform/locale.h"
#include "platform/native_path.h"
#include "platform/qt_tool_runner.h"
#include "split/program_data.h"
#include "split/section_parse.h"
#include "split/tape_pictures.h"
#include "ui/control_names.h"
#include "ui/controls.h"
#include "ui/elided_label.h"
#include "ui/name_editor.h"
#include "ui/output_folder_row.h"
#include "ui/program_table_model.h"
#include "ui/pulse_window.h"
#include "ui/tape_map_strip.h"
#include "ui/wait_box.h"

namespace rw {
namespace {

constexpr int kColumnTwips[] = {300, 2500, 900, 900, 900, 400, 400};
constexpr int kProgramColumn = 1;
const char* const kIndexToolTip =
    "Create an Index file for the loaded .TAP file in order to be used with Tapewell Marquise";
// A split of a few files is over before a box could be read; longer ones
// show their progress.
constexpr int kSplitBoxAfterMs = 300;
const char* const kNothingTicked = "Tick the programs to work on first";

// The busy pointer while a command writes files. Qt keeps override cursors
// on a stack: each holder takes away only its own, so a busy command inside
// another leaves the outer one's pointer as it found it.
struct BusyCursor {
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

QLabel* FactLabel(QWidget* parent, const char* objectName) {
  auto* label = new QLabel(parent);
  label->setObjectName(objectName);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return label;
}

// A screen reader names a value label by its value; an empty one would
// otherwise be named after the frame around it ("Current File").
void ShowValue(QLabel* label, const QString& value) {
  label->setText(value);
  label->setAccessibleName(value.isEmpty() ? QStringLiteral("none") : value);
}

}  // namespace

// Takes the please-wait box and the busy pointer away before any message, so
// that a message box is never hidden behind the box and never shows an
// hourglass while it waits for the user.
class SplitWindow::WaitAwareMessages : public Messages {
 public:
  WaitAwareMessages(Messages& shown, WaitBox& waitBox) : shown_(shown), waitBox_(waitBox) {}
  MessageAnswer Show(const Message& message) override {
    if (waitBox_.isVisible()) waitBox_.ShowWait(QString(), false);
    // The box waits for the user: an ordinary pointer over it, and the busy
    // one back after, for the rest of the command.
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (busy) QApplication::setOverrideCursor(Qt::ArrowCursor);
    const MessageAnswer answer = shown_.Show(message);
    if (busy) QApplication::restoreOverrideCursor();
    return answer;
  }

 private:
  Messages& shown_;
  WaitBox& waitBox_;
};

SplitWindow::SplitWindow(RememberedPaths& paths, Messages& messages, FileDialogs& fileDialogs, StorageSync& storageSync,
                         WaitBox& waitBox, QWidget* parent)
    : QWidget(parent),
      storageSync_(storageSync),
      list_(paths, storageSync, DecimalSeparator()),
      paths_(paths),
      messages_(std::make_unique<WaitAwareMessages>(messages, waitBox)),
      fileDialogs_(fileDialogs),
      waitBox_(waitBox) {
  setObjectName(split_controls::kWindow);
  setWindowTitle("Split TAP File");
  BuildControls();
  // The window opens with the default output folder, when one is set.
  outputDir_->setText(PathToQt(list_.outputDir));
  UpdateCommands();
}

SplitWindow::~SplitWindow() = default;

Messages& SplitWindow::messages() { return *messages_; }

void SplitWindow::BuildControls() {
  // "Current File": seven caption/value pairs.
  auto* currentFile = new QGroupBox("Current File", this);
  currentFile->setObjectName(split_controls::kCurrentFile);
  auto* facts = new QGridLayout(currentFile);
  filePath_ = new ElidedLabel(currentFile);
  filePath_->setObjectName(split_controls::kFilePath);
  machine_ = FactLabel(currentFile, split_controls::kMachine);
  version_ = FactLabel(currentFile, split_controls::kVersion);
  video_ = FactLabel(currentFile, split_controls::kVideo);
  fileSize_ = FactLabel(currentFile, split_controls::kFileSize);
  totalDuration_ = FactLabel(currentFile, split_controls::kTotalDuration);
  items_ = FactLabel(currentFile, split_controls::kItems);
  const auto addPair = [&](const char* name, const char* caption, QLabel* value, int row, int column, int span) {
    auto* label = new QLabel(caption, currentFile);
    label->setObjectName(name);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    value->setAccessibleDescription(QString::fromLatin1(caption).chopped(1));
    ShowValue(value, QString());
    facts->addWidget(label, row, column * 2);
    facts->addWidget(value, row, column * 2 + 1, 1, span);
  };
  addPair(split_controls::kFilePathCaption, "File Path:", filePath_, 0, 0, 5);
  addPair(split_controls::kMachineCaption, "Machine:", machine_, 1, 0, 1);
  addPair(split_controls::kVersionCaption, "TAP version:", version_, 1, 1, 1);
  addPair(split_controls::kVideoCaption, "Video Standard:", video_, 1, 2, 1);
  addPair(split_controls::kFileSizeCaption, "File Size:", fileSize_, 2, 0, 1);
  addPair(split_controls::kTotalDurationCaption, "Total Duration:", totalDuration_, 2, 1, 1);
  addPair(split_controls::kItemsCaption, "Items:", items_, 2, 2, 1);
  for (const int column : {1, 3, 5}) facts->setColumnStretch(column, 1);
  // A gap between a value and the next caption, however narrow the window.
  for (const int column : {2, 4}) facts->setColumnMinimumWidth(column - 1, fontMetrics().averageCharWidth() * 14);
  facts->setHorizontalSpacing(fontMetrics().averageCharWidth() * 2);

  QPushButton* load =
      CommandButton(this, split_controls::kLoadFile, "&Load File", "Load the .TAP file to be Split or Indexed",
                    StandardIcon(QStyle::SP_DialogOpenButton));
  load->setMinimumHeight(48);

  // The programs, a tick in the first column; each program opens
  // onto the turbo files it carries, drawn as a tree in the Program column.
  table_ = new ProgramTableModel(list_, this);
  listView_ = new QTreeView(this);
  listView_->setObjectName(split_controls::kPrograms);
  listView_->setModel(table_);
  listView_->setTreePosition(kProgramColumn);
  listView_->setExpandsOnDoubleClick(false);  // a double click edits the names
  listView_->setUniformRowHeights(true);      // keeps tapes of thousands of programs smooth
  listView_->setAlternatingRowColors(true);
  listView_->setAllColumnsShowFocus(true);
  listView_->setSelectionMode(QAbstractItemView::SingleSelection);
  listView_->setSelectionBehavior(QAbstractItemView::SelectRows);
  listView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  listView_->header()->setStretchLastSection(false);
  listView_->header()->setSectionsMovable(false);
  listView_->setAccessibleName("Programs on the tape");
  listView_->setToolTip("Tick the last program of each group; double click a program to edit its names");
  // Each column at least as wide as its caption, so that none is cut before a load.
  for (int column = 0; column < 7; ++column) {
    listView_->setColumnWidth(column,
                              std::max(Twips(kColumnTwips[column]), listView_->header()->sectionSizeHint(column)));
  }
  listView_->installEventFilter(this);
  new FileDropFilter(listView_->viewport(), [this](const QStringList& paths) {
    if (!paths.first().isEmpty()) LoadAndParse(paths.first());
  });

  QPushButton* selectAll = PictureButton(this, split_controls::kSelectAll, "Select All", ProgramIcon("select-all"));
  QPushButton* selectNone = PictureButton(this, split_controls::kSelectNone, "Select None", ProgramIcon("select-none"));

  // The output folder and its three buttons.
  auto* folderRow = new OutputFolderRow(split_controls::kOutputFolderCaption, this);
  outputDir_ = folderRow->folderEdit();
  new FileDropFilter(outputDir_, [this](const QStringList& paths) {
    if (!paths.first().isEmpty()) outputDir_->setText(PathToQt(FolderOfPath(PathFromQt(paths.first()))));
  });
  QPushButton* chooseDir = folderRow->chooseButton();
  QPushButton* setDefault = folderRow->setDefaultButton();
  QPushButton* removeDefault = folderRow->removeDefaultButton();

  auto* idxFormat = new QGroupBox("IDX Format", this);
  idxFormat->setObjectName(split_controls::kIdxFormat);
  marquise_ = new QRadioButton("&Marquise", idxFormat);
  marquise_->setObjectName(split_controls::kMarquise);
  marquise_->setChecked(true);
  auto* ultimate = new QRadioButton("&Ultimate 64", idxFormat);
  ultimate->setObjectName(split_controls::kUltimate);
  auto* formats = new QHBoxLayout(idxFormat);
  formats->addWidget(marquise_);
  formats->addWidget(ultimate);

  splitButton_ = CommandButton(this, split_controls::kSplitFile, "&Split File", "Split the .TAP files loaded in Memory",
                               ProgramIcon("split"));
  indexButton_ = CommandButton(this, split_controls::kIdxFile, "&IDX file", kIndexToolTip,
                               StandardIcon(QStyle::SP_FileDialogDetailedView));
  indexD64_ =
      CommandButton(this, split_controls::kIndexD64, "Index &D64", kIndexToolTip, StandardIcon(QStyle::SP_DriveFDIcon));

  auto* top = new QHBoxLayout;
  top->addWidget(currentFile, 1);
  top->addWidget(load);
  auto* ticks = new QHBoxLayout;
  ticks->addWidget(selectAll);
  ticks->addWidget(selectNone);
  ticks->addStretch();
  auto* outputRow = new QHBoxLayout;
  outputRow->addWidget(folderRow, 1);
  outputRow->addWidget(idxFormat);
  auto* commands = new QHBoxLayout;
  commands->addStretch();
  commands->addWidget(splitButton_);
  commands->addWidget(indexButton_);
  commands->addWidget(indexD64_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  tapeMap_ = new TapeMapStrip(this);
  layout->addWidget(tapeMap_);
  layout->addWidget(listView_, 1);
  layout->addLayout(ticks);
  layout->addLayout(outputRow);
  layout->addLayout(commands);

  // Reading order: load, the tape's map, the list and its ticks, the folder,
  // the format, the commands.
  QWidget* order[] = {load,       tapeMap_,      listView_, selectAll, selectNone,   outputDir_,   chooseDir,
                      setDefault, removeDefault, marquise_, ultimate,  splitButton_, indexButton_, indexD64_};
  for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
  tapeMap_->ShowTape(list_, nullptr);  // empty, and no tab stop, until a tape is loaded
  load->setFocus();                    // nothing is loaded yet: loading is the first thing to do

  // The list's context menu: the ticked programs' data, out of the tape.
  extract_ = new QAction(QString::fromUtf8("E&xtract programs\u2026"), this);
  extract_->setObjectName(split_controls::kExtractPrograms);
  toDisk_ = new QAction(QString::fromUtf8("&Copy programs to a disk image\u2026"), this);
  toDisk_->setObjectName(split_controls::kCopyProgramsToDisk);
  listView_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(listView_, &QWidget::customContextMenuRequested, this, &SplitWindow::ShowListMenu);
  showPulses_ = new QAction(QString::fromUtf8("Show &pulses\u2026"), this);
  showPulses_->setObjectName(split_controls::kShowPulses);
  connect(showPulses_, &QAction::triggered, this, &SplitWindow::ShowPulses);
  connect(tapeMap_, &TapeMapStrip::rowClicked, this, [this](int row) {
    const QModelIndex index = table_->index(row - 1, 0);  // the program's own row, even for a turbo file
    listView_->setCurrentIndex(index);
    listView_->scrollTo(index);
  });

  connect(load, &QPushButton::clicked, this, &SplitWindow::LoadFile);
  connect(extract_, &QAction::triggered, this, [this] { ExtractRows(TickedRows()); });
  connect(toDisk_, &QAction::triggered, this, [this] { CopyRowsToDisk(TickedRows()); });
  // Every change goes through the model, which tells the commands.
  connect(table_, &ProgramTableModel::changed, this, &SplitWindow::UpdateCommands);
  connect(listView_, &QTreeView::doubleClicked, this, &SplitWindow::PopUp);
  // The turbo files' texts, now in view, may be wider than the programs'.
  connect(listView_, &QTreeView::expanded, this, [this] { FitColumns(false); });
  connect(selectAll, &QPushButton::clicked, table_, &ProgramTableModel::SelectAll);
  connect(selectNone, &QPushButton::clicked, table_, &ProgramTableModel::SelectNone);
  connect(outputDir_, &QLineEdit::textChanged, this,
          [this](const QString& text) { table_->SetOutputDir(PathFromQt(text)); });
  connect(chooseDir, &QPushButton::clicked, this, &SplitWindow::ChooseOutputFolder);
  connect(setDefault, &QPushButton::clicked, this, [this] { table_->SetDefaultOutputDir(messages()); });
  connect(removeDefault, &QPushButton::clicked, this, [this] { table_->RemoveDefaultOutputDir(messages()); });
  connect(splitButton_, &QPushButton::clicked, this, &SplitWindow::SplitFile);
  connect(indexButton_, &QPushButton::clicked, this, &SplitWindow::WriteIndexFile);
  connect(indexD64_, &QPushButton::clicked, this, &SplitWindow::indexD64Requested);
}

void SplitWindow::LoadFile() {
  const std::string path = fileDialogs_.OpenFile("Load TAP file", paths_.ReadPersistentPath(PersistentPath::LoadPath),
                                                 {"Commodore TAP File (*.tap)", "Tutti i Files (*)"});
  if (!path.empty()) LoadAndParse(PathToQt(path));
}

bool SplitWindow::LoadAndParse(const QString& path) {
  // The commands would act on the tape being replaced.
  for (QPushButton* command : {splitButton_, indexButton_, indexD64_}) command->setEnabled(false);
  extract_->setEnabled(false);
  toDisk_->setEnabled(false);
  waitBox_.ShowWait("Loading TAP file Please Wait!", true);
  bool parsing = false;
  const Outcome outcome = table_->LoadAndParse(PathFromQt(path), [&](int64_t done, int64_t total) {
    if (!parsing) {
      // The file is in: show its facts while its programs are searched.
      parsing = true;
      ShowImageInfo();
      waitBox_.ShowWait("Parsing TAP file, please wait !", true);
    }
    waitBox_.SetProgress(done, total);
  });
  if (!outcome) {
    ShowFailure(outcome, messages());
    waitBox_.ShowWait(QString(), false);
    UpdateCommands();
    return false;
  }
  ShowImageInfo();
  listView_->setUpdatesEnabled(false);
  tapeMap_->ShowTape(list_, table_->survey());
  FitColumns();
  listView_->setUpdatesEnabled(true);
  // The programs, as ever, and what they carry besides.
  QString items = QString::number(list_.RowCount());
  if (const int files = table_->CarriedFileCount(); files > 0) {
    items += QString(", with %1 turbo file%2").arg(files).arg(files == 1 ? "" : "s");
  }
  ShowValue(items_, items);
  if (waitBox_.isVisible()) waitBox_.ShowWait(QString(), false);
  // Said over the window that already shows the empty tape.
  if (list_.RowCount() == 0) messages().Exclamation("WARNING!", kNoSectionsMessage);
  // The folder of the file becomes the output folder unless a default is set.
  outputDir_->setText(PathToQt(list_.outputDir));
  emit loaded(path);
  return true;
}

void SplitWindow::ShowImageInfo() {
  const ImageFacts& facts = list_.facts();
  filePath_->SetPath(ForDisplay(list_.loadedPath()));
  filePath_->setAccessibleName(filePath_->text());
  ShowValue(machine_, QString::fromStdString(facts.machine));
  ShowValue(version_, QString::fromStdString(facts.version));
  ShowValue(video_, QString::fromStdString(facts.video));
  ShowValue(fileSize_, QString::fromStdString(facts.size));
  ShowValue(totalDuration_, QString::fromStdString(facts.totalDuration));
}

void SplitWindow::FitColumns(bool shrink) {
  // Without the pictures, which would read the data of every program in
  // reach of the fit; their room is added to the Program column after.
  table_->ShowDataStates(false);
  const int picture = listView_->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, listView_);
  for (int column = 0; column < table_->columnCount(); ++column) {
    const int before = listView_->columnWidth(column);
    listView_->resizeColumnToContents(column);
    // The pictures, all of one size, and their gap.
    int width = listView_->columnWidth(column) + (column == kProgramColumn ? picture + 6 : 0);
    if (!shrink) width = std::max(width, before);
    listView_->setColumnWidth(column, width);
  }
  table_->ShowDataStates(true);
}

void SplitWindow::UpdateCommands() {
  const bool allowed = list_.CommandsAllowed();
  splitButton_->setEnabled(allowed);
  indexButton_->setEnabled(allowed);
  indexD64_->setEnabled(allowed);
  // The context menu asks for its own folder or disk: the ticks are enough.
  const bool ticked = !TickedRows().empty();
  extract_->setEnabled(ticked);
  toDisk_->setEnabled(ticked);
  extract_->setToolTip(ticked ? "Write each ticked program as a .prg file into a folder" : kNothingTicked);
  toDisk_->setToolTip(ticked ? "Copy the ticked programs onto a new D64 disk image" : kNothingTicked);
  extract_->setStatusTip(extract_->toolTip());
  toDisk_->setStatusTip(toDisk_->toolTip());
  // Say why the commands may be unavailable.
  const QString folder = outputDir_->text();
  if (folder.isEmpty()) {
    outputDir_->setToolTip("Choose the folder for the resulting files");
  } else if (!FolderExists(PathFromQt(folder))) {
    outputDir_->setToolTip("This folder does not exist: " + ForDisplay(folder));
  } else {
    outputDir_->setToolTip("The resulting files are written to " + ForDisplay(folder));
  }
}

void SplitWindow::ChooseOutputFolder() {
  // Start where the output folder is, or where the last split wrote.
  std::string start = PathFromQt(outputDir_->text());
  const std::string remembered = paths_.ReadPersistentPath(PersistentPath::SplitPath);
  if (start.empty() || !FolderExists(start)) start = remembered;
  const std::string chosen = fileDialogs_.ChooseFolder("Select a Directory", start);
  if (!chosen.empty()) outputDir_->setText(PathToQt(chosen));
}

void SplitWindow::SplitFile() {
  if (!list_.CommandsAllowed()) return;
  BusyCursor busy;
  QElapsedTimer clock;
  clock.start();
  bool boxShown = false;
  const Outcome split = list_.Split(messages(), nullptr, [&](int64_t done, int64_t total) {
    if (!boxShown) {
      if (clock.elapsed() < kSplitBoxAfterMs) return;
      boxShown = true;
      waitBox_.ShowWait("Splitting TAP file, please wait !", true);
    }
    waitBox_.SetProgress(done, total);
  });
  ShowFailure(split, messages());
  if (waitBox_.isVisible()) waitBox_.ShowWait(QString(), false);
}

void SplitWindow::WriteIndexFile() {
  if (!list_.CommandsAllowed()) return;
  BusyCursor busy;
  ShowFailure(list_.WriteIndex(marquise_->isChecked() ? IndexFormat::Marquise : IndexFormat::Ultimate64, messages()),
              messages());
}

std::vector<int> SplitWindow::TickedRows() const {
  std::vector<int> rows;
  const std::vector<bool> checks = list_.CheckStates();
  for (size_t i = 0; i < checks.size(); ++i) {
    if (checks[i]) rows.push_back(static_cast<int>(i) + 1);
  }
  return rows;
}

std::string SplitWindow::DialogStartFolder() const {
  const std::string folder = PathFromQt(outputDir_->text());
  return folder.empty() || !FolderExists(folder) ? paths_.ReadPersistentPath(PersistentPath::SplitPath) : folder;
}

void SplitWindow::ShowListMenu(const QPoint& pos) {
  QMenu menu(this);
  menu.setToolTipsVisible(true);  // a disabled entry says why
  // An unticked program under the pointer is offered on its own, as a file
  // manager offers the file that was clicked.
  const QModelIndex clicked = listView_->indexAt(pos);
  const int row = ProgramTableModel::ProgramRow(clicked);
  const bool offerRow = row > 0 && !list_.rows()[static_cast<size_t>(row - 1)].checked;
  if (offerRow) {
    QString name = QString::fromStdString(list_.rows()[static_cast<size_t>(row - 1)].program);
    name.replace('&', "&&");  // a name's "&" is no shortcut
    QAction* extractOne = menu.addAction(QString::fromUtf8("E&xtract \u201C%1\u201D\u2026").arg(name));
    extractOne->setObjectName(split_controls::kExtractProgram);
    connect(extractOne, &QAction::triggered, this, [this, row] { ExtractRows({row}); });
    QAction* copyOne = menu.addAction(QString::fromUtf8("&Copy \u201C%1\u201D to a disk image\u2026").arg(name));
    copyOne->setObjectName(split_controls::kCopyProgramToDisk);
    connect(copyOne, &QAction::triggered, this, [this, row] { CopyRowsToDisk({row}); });
  }
  if (!offerRow && TickedRows().empty()) {
    // Rather than two greyed entries and no reason.
    menu.addAction(QStringLiteral("Tick programs, or right-click one, to act on them"))->setEnabled(false);
    menu.addSeparator();
  }
  if (!offerRow || !TickedRows().empty()) {
    if (offerRow) menu.addSeparator();
    menu.addAction(extract_);
    menu.addAction(toDisk_);
  }
  // The selected program's pulses, which a right-click on a row selects.
  menu.addSeparator();
  const bool selected = PulsesRow() > 0;
  showPulses_->setEnabled(selected);
  showPulses_->setToolTip(selected ? "The pulse widths of the selected program's stretch of tape"
                                   : "Select a program first");
  menu.addAction(showPulses_);
  menu.exec(listView_->viewport()->mapToGlobal(pos));
}

void SplitWindow::ExtractRows(const std::vector<int>& rows) {
  if (rows.empty()) return;
  const std::string folder = fileDialogs_.ChooseFolder("Select a Directory", DialogStartFolder());
  if (folder.empty()) return;
  ExtractReport report;
  {
    BusyCursor busy;
    // A program that does not read whole is not written: a damaged ".prg"
    // would load as if it were the program.
    report = ExtractPrograms(list_, rows, folder, false, storageSync_);
  }
  if (report.failed()) {
    ShowFailure(report.failure, messages());
    return;
  }
  int written = 0;
  std::string notWhole;
  for (const ExtractedProgram& program : report.programs) {
    if (program.status == ExtractStatus::Written) {
      ++written;
    } else {
      notWhole += "\n" + std::to_string(program.row) + " " +
                  list_.rows()[static_cast<size_t>(program.row - 1)].program + ": " + program.summary;
    }
  }
  std::string text = std::to_string(written) + " of " + std::to_string(rows.size()) + " program" +
                     (rows.size() == 1 ? "" : "s") + " extracted to " + folder;
  if (notWhole.empty()) {
    messages().Info("INFO", text);
  } else {
    messages().Exclamation("WARNING!", text + "\nNot extracted:" + notWhole);
  }
}

void SplitWindow::CopyRowsToDisk(const std::vector<int>& rows) {
  if (rows.empty()) return;
  std::string path =
      fileDialogs_.SaveFile("Copy programs to a disk image", DialogStartFolder(), {"D64 disk image (*.d64)"});
  if (path.empty()) return;
  if (FileNameOf(path).find('.') == std::string::npos) path += ".d64";
  // The old disk stays until the new one is complete.
  const bool replace = FileExists(path);
  if (replace && !messages().AskYesNo("WARNING", MessageIcon::Exclamation,
                                      "File " + path + " Already exists ! Would you like to overwrite it ?")) {
    return;
  }
  BusyCursor busy;
  waitBox_.ShowWait("Creating D64 disk image Please Wait!", true);
  QtToolRunner tools(toolFolder_);
  ShowFailure(CopyProgramsToDisk(list_, rows, path, replace, tools, storageSync_, messages()), messages());
  if (waitBox_.isVisible()) waitBox_.ShowWait(QString(), false);
}

int SplitWindow::SelectedRow() const {
  const QModelIndexList selected = listView_->selectionModel()->selectedRows();
  return selected.isEmpty() ? 0 : ProgramTableModel::ProgramRow(selected.first());
}

int SplitWindow::PulsesRow() const {
  // A turbo file lies in its program's stretch: that stretch is what shows.
  const QModelIndexList selected = listView_->selectionModel()->selectedRows();
  return selected.isEmpty() ? 0 : ProgramTableModel::OwningProgramRow(selected.first());
}

void SplitWindow::PopUp() {
  const int row = SelectedRow();
  if (row < 1) return;
  NameEditor editor(*table_, row, this);
  CenterOver(window(), &editor);
  editor.exec();
}

void SplitWindow::ToggleCurrentRow() {
  const int row = ProgramTableModel::ProgramRow(listView_->currentIndex());
  if (row < 1) return;  // a turbo file has no tick
  table_->SetChecked(row, !list_.rows()[static_cast<size_t>(row - 1)].checked);
}

bool SplitWindow::eventFilter(QObject* watched, QEvent* event) {
  // Space ticks the current row whichever cell has the focus; Return or F2
  // opens the name editor, as a double click does.
  if (watched == listView_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Space) {
      ToggleCurrentRow();
      return true;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_F2) {
      PopUp();
      return true;
    }
    // The menu key reaches the list as a context menu event; Shift+F10, the
    // other common key for it, does not by itself.
    if (key == Qt::Key_F10 && static_cast<QKeyEvent*>(event)->modifiers() == Qt::ShiftModifier) {
      const QModelIndex current = listView_->currentIndex();
      ShowListMenu(current.isValid() ? listView_->visualRect(current).center() : QPoint(0, 0));
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void SplitWindow::ShowPulses() {
  const int row = PulsesRow();
  if (row < 1) return;
  const TapeSection& section = list_.sections()[static_cast<size_t>(row - 1)];
  const PulseHistogram histogram = ProgramPulses(list_.image(), list_.sections(), row, table_->survey()->turbo.files);
  const std::string title = "Program " + std::to_string(row) + ": " + section.name + " (" +
                            OffsetText(histogram.start) + "-" + OffsetText(histogram.end) + ")";
  auto* window = new PulseWindow(PulsePicture(histogram, title),
                                 QString::fromUtf8("Pulses \u2013 ") + QString::fromStdString(section.name), this);
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->show();
}

}  // namespace rw
