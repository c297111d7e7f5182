// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/compilation_table_model.h"

namespace rw {

CompilationTableModel::CompilationTableModel(std::unique_ptr<Compilation> compilation, QObject* parent)
    : QAbstractTableModel(parent), compilation_(std::move(compilation)) {
  compilation_->SetListener(this);
}

CompilationTableModel::~CompilationTableModel() { compilation_->SetListener(nullptr); }

int CompilationTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(compilation_->rows().size());
}

int CompilationTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant CompilationTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || role != Qt::DisplayRole) return {};
  return QString::fromStdString(compilation_->rows()[static_cast<size_t>(index.row())].Text(index.column()));
}

QVariant CompilationTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kColumnCount) return {};
  return QString::fromLatin1(kColumnHeadings[section]);
}

void CompilationTableModel::BeforeInsert(int row) { beginInsertRows(QModelIndex(), row, row); }

void CompilationTableModel::AfterInsert() { endInsertRows(); }

void CompilationTableModel::BeforeRemove(int row) { beginRemoveRows(QModelIndex(), row, row); }

void CompilationTableModel::AfterRemove() { endRemoveRows(); }

void CompilationTableModel::BeforeMove(int row, int newRow) {
  // Qt names the place the row goes before, counted before the move.
  beginMoveRows(QModelIndex(), row, row, QModelIndex(), newRow > row ? newRow + 1 : newRow);
}

void CompilationTableModel::AfterMove() { endMoveRows(); }

void CompilationTableModel::BeforeReorder() { emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint); }

void CompilationTableModel::AfterReorder(const std::vector<int>& previousRow) {
  std::vector<int> newRow(previousRow.size());
  for (size_t i = 0; i < previousRow.size(); ++i) newRow[static_cast<size_t>(previousRow[i])] = static_cast<int>(i);
  const QModelIndexList before = persistentIndexList();
  QModelIndexList after;
  for (const QModelIndex& index : before) {
    after << index.sibling(newRow[static_cast<size_t>(index.row())], index.column());
  }
  changePersistentIndexList(before, after);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void CompilationTableModel::RowsChanged(int first, int last) {
  emit dataChanged(index(first, 0), index(last, kColumnCount - 1), {Qt::DisplayRole});
}

void CompilationTableModel::TotalsChanged() { emit totalsChanged(); }

}  // namespace rw
