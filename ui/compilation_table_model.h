// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The join compilation as a table for a view: one row per compilation row,
// its six texts as columns. Every change the compilation makes is passed on
// as Qt's insert, remove, move and layout signals, so that the view's
// selection and current row stay on the rows they were on.

#include <QAbstractTableModel>

#include <memory>

#include "join/compilation.h"

namespace rw {

class CompilationTableModel : public QAbstractTableModel, private CompilationListener {
  Q_OBJECT
 public:
  CompilationTableModel(std::unique_ptr<Compilation> compilation, QObject* parent = nullptr);
  ~CompilationTableModel() override;

  Compilation& compilation() { return *compilation_; }
  const Compilation& compilation() const { return *compilation_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

 signals:
  // The total duration or the availability of the join may have changed.
  void totalsChanged();

 private:
  void BeforeInsert(int row) override;
  void AfterInsert() override;
  void BeforeRemove(int row) override;
  void AfterRemove() override;
  void BeforeMove(int row, int newRow) override;
  void AfterMove() override;
  void BeforeReorder() override;
  void AfterReorder(const std::vector<int>& previousRow) override;
  void RowsChanged(int first, int last) override;
  void TotalsChanged() override;

  std::unique_ptr<Compilation> compilation_;
};

}  // namespace rw
