// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/program_table_model.h"

#include "split/program_data.h"
#include "split/turbo_listing.h"
#include "ui/data_state_icon.h"

namespace rw {
namespace {

enum Column { kTick, kProgram, kStart, kEnd, kDuration, kCheck1, kCheck2, kColumns };

// An index's internal id: 0 on a program's row; on a turbo file's row, the
// 1-based row of the program that carries it.
constexpr quintptr kProgramRow = 0;

QVariant CellText(const ListRow& row, int column) {
  switch (column) {
    case kProgram:
      return QString::fromStdString(row.program);
    case kStart:
      return QString::fromStdString(row.start);
    case kEnd:
      return QString::fromStdString(row.end);
    case kDuration:
      return QString::fromStdString(row.duration);
    case kCheck1:
      return QString::fromStdString(row.check1);
    case kCheck2:
      return QString::fromStdString(row.check2);
    default:
      return {};
  }
}

}  // namespace

ProgramTableModel::ProgramTableModel(ProgramList& list, QObject* parent) : QAbstractItemModel(parent), list_(list) {}

QModelIndex ProgramTableModel::index(int row, int column, const QModelIndex& parent) const {
  if (!hasIndex(row, column, parent)) return {};
  if (!parent.isValid()) return createIndex(row, column, kProgramRow);
  return createIndex(row, column, static_cast<quintptr>(parent.row() + 1));
}

QModelIndex ProgramTableModel::parent(const QModelIndex& child) const {
  if (!child.isValid() || child.internalId() == kProgramRow) return {};
  return createIndex(static_cast<int>(child.internalId()) - 1, 0, kProgramRow);
}

int ProgramTableModel::rowCount(const QModelIndex& parent) const {
  if (!parent.isValid()) return list_.RowCount();
  // Only a program's first cell has children, as a tree view asks.
  if (parent.internalId() != kProgramRow || parent.column() != 0) return 0;
  const auto row = static_cast<size_t>(parent.row());
  return row < files_.size() ? static_cast<int>(files_[row].size()) : 0;
}

int ProgramTableModel::columnCount(const QModelIndex&) const { return kColumns; }

int ProgramTableModel::ProgramRow(const QModelIndex& index) {
  return index.isValid() && index.internalId() == kProgramRow ? index.row() + 1 : 0;
}

int ProgramTableModel::OwningProgramRow(const QModelIndex& index) {
  if (!index.isValid()) return 0;
  return index.internalId() == kProgramRow ? index.row() + 1 : static_cast<int>(index.internalId());
}

size_t ProgramTableModel::FileOf(const QModelIndex& index) const {
  return files_.at(index.internalId() - 1).at(static_cast<size_t>(index.row()));
}

QVariant ProgramTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  if (index.internalId() != kProgramRow) return FileData(index, role);
  if (index.row() >= list_.RowCount()) return {};
  return ProgramData(index, role);
}

QVariant ProgramTableModel::ProgramData(const QModelIndex& index, int role) const {
  const ListRow& row = list_.rows()[static_cast<size_t>(index.row())];
  if (index.column() == kTick) {
    if (role == Qt::CheckStateRole) return row.checked ? Qt::Checked : Qt::Unchecked;
    // A tick box has no text of its own: a screen reader names it by its program.
    if (role == Qt::AccessibleTextRole) return QString::fromStdString(row.program);
  }
  if (role == Qt::ToolTipRole) return Look(index.row()).tip;
  if (index.column() == kProgram) {
    if (role == Qt::DecorationRole) return statesShown_ ? DataStateIcon(Look(index.row()).state) : QVariant();
    if (role == Qt::AccessibleDescriptionRole) return QString::fromLatin1(DataStateText(Look(index.row()).state));
  }
  return role == Qt::DisplayRole ? CellText(row, index.column()) : QVariant();
}

QVariant ProgramTableModel::FileData(const QModelIndex& index, int role) const {
  const size_t file = FileOf(index);
  const TurboFile& turbo = survey_->turbo.files[file];
  if (role == Qt::ToolTipRole) return QString::fromStdString(TurboFileSummary(turbo));
  if (index.column() == kProgram && role == Qt::DecorationRole && statesShown_) {
    // Good only when a checksum says so; a format without one gets the grey
    // ring of what cannot be told, which keeps the names in line.
    if (!turbo.usable()) return DataStateIcon(DataState::Damaged);
    return DataStateIcon(turbo.checksum == TurboChecksum::Ok ? DataState::Good : DataState::Missing);
  }
  return role == Qt::DisplayRole ? CellText(fileRows_[file], index.column()) : QVariant();
}

bool ProgramTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  const int row = ProgramRow(index);
  if (role != Qt::CheckStateRole || index.column() != kTick || row < 1 || row > list_.RowCount()) return false;
  SetChecked(row, value.toInt() == Qt::Checked);
  return true;
}

Qt::ItemFlags ProgramTableModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  const int row = ProgramRow(index);
  if (row == 0 || rowCount(this->index(row - 1, 0)) == 0) flags |= Qt::ItemNeverHasChildren;
  if (row > 0 && index.column() == kTick) flags |= Qt::ItemIsUserCheckable;
  return flags;
}

QVariant ProgramTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return {};
  if (section == kTick && role == Qt::AccessibleTextRole) return QStringLiteral("Tick");
  if (section == kTick && role == Qt::ToolTipRole) return QStringLiteral("Tick the last program of each group");
  if (role != Qt::DisplayRole) return {};
  static const char* const kHeaders[kColumns] = {"", "Program", "Start", "End", "Duration", "Check1", "Check2"};
  return section >= 0 && section < kColumns ? QString::fromLatin1(kHeaders[section]) : QVariant();
}

Outcome ProgramTableModel::LoadAndParse(const std::string& path, const Progress& progress) {
  if (Outcome loaded = list_.LoadAndParse(path, progress); !loaded) return loaded;
  beginResetModel();
  survey_ = std::make_shared<const TapeSurvey>(SurveyTape(list_));
  files_ = FilesByRow(survey_->turbo, list_.RowCount());
  fileRows_.clear();
  for (const TurboFile& file : survey_->turbo.files) fileRows_.push_back(TurboListRow(list_, file));
  looks_.clear();
  endResetModel();
  emit changed();
  return Outcome::Success();
}

int ProgramTableModel::CarriedFileCount() const {
  size_t count = 0;
  for (const auto& files : files_) count += files.size();
  return static_cast<int>(count);
}

void ProgramTableModel::SetChecked(int row, bool checked) {
  list_.SetChecked(row, checked);
  emit dataChanged(index(row - 1, kTick), index(row - 1, kTick), {Qt::CheckStateRole});
  emit changed();
}

void ProgramTableModel::SelectAll() {
  list_.SelectAll();
  ChecksChanged();
}

void ProgramTableModel::SelectNone() {
  list_.SelectNone();
  ChecksChanged();
}

NameEditorFields ProgramTableModel::OpenNameEditor(int row) { return list_.OpenNameEditor(row); }

void ProgramTableModel::SaveNameEditor(int row, const std::string& tapeName, const std::string& fileName) {
  list_.SaveNameEditor(row, tapeName, fileName);
  RowChanged(row);
}

void ProgramTableModel::SetOutputDir(const std::string& folder) {
  list_.outputDir = folder;
  emit changed();
}

void ProgramTableModel::SetDefaultOutputDir(Messages& messages) { list_.SetDefaultOutputDir(messages); }

void ProgramTableModel::RemoveDefaultOutputDir(Messages& messages) { list_.RemoveDefaultOutputDir(messages); }

const ProgramTableModel::DataLook& ProgramTableModel::Look(int row) const {
  if (looks_.size() != list_.rows().size()) looks_.assign(list_.rows().size(), DataLook());
  DataLook& look = looks_[static_cast<size_t>(row)];
  if (!look.read) {
    const DataResult data = ReadRowData(list_, row + 1);
    look = {true, data.state, QString::fromStdString(DataSummary(data))};
  }
  return look;
}

void ProgramTableModel::ChecksChanged() {
  // Keeps the view's position and selection, which a reset would not.
  if (list_.RowCount() > 0) emit dataChanged(index(0, kTick), index(list_.RowCount() - 1, kTick), {Qt::CheckStateRole});
  emit changed();
}

void ProgramTableModel::RowChanged(int row) {
  emit dataChanged(index(row - 1, 0), index(row - 1, kColumns - 1));
  emit changed();
}

}  // namespace rw
