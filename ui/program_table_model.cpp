#include "ui/program_table_model.h"

#include "split/program_data.h"
#include "split/program_list.h"
#include "ui/data_state_icon.h"

namespace rw {
namespace {

enum Column { kTick, kProgram, kStart, kEnd, kDuration, kCheck1, kCheck2, kColumns };

}  // namespace

ProgramTableModel::ProgramTableModel(ProgramList& list, QObject* parent) : QAbstractTableModel(parent), list_(list) {}

int ProgramTableModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : list_.RowCount(); }

int ProgramTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumns; }

QVariant ProgramTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= list_.RowCount()) return {};
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
  if (role != Qt::DisplayRole) return {};
  switch (index.column()) {
    case kProgram: return QString::fromStdString(row.program);
    case kStart: return QString::fromStdString(row.start);
    case kEnd: return QString::fromStdString(row.end);
    case kDuration: return QString::fromStdString(row.duration);
    case kCheck1: return QString::fromStdString(row.check1);
    case kCheck2: return QString::fromStdString(row.check2);
    default: return {};
  }
}

bool ProgramTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::CheckStateRole || index.column() != kTick || index.row() >= list_.RowCount()) return false;
  list_.SetChecked(index.row() + 1, value.toInt() == Qt::Checked);
  emit dataChanged(index, index, {Qt::CheckStateRole});
  emit checksChanged();
  return true;
}

Qt::ItemFlags ProgramTableModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
  if (index.column() == kTick) flags |= Qt::ItemIsUserCheckable;
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

void ProgramTableModel::Reload() {
  beginResetModel();
  looks_.clear();
  endResetModel();
}

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
  if (list_.RowCount() > 0) emit dataChanged(index(0, kTick), index(list_.RowCount() - 1, kTick), {Qt::CheckStateRole});
}

void ProgramTableModel::RowChanged(int row) {
  emit dataChanged(index(row - 1, 0), index(row - 1, kColumns - 1));
}

}  // namespace rw
