#pragma once
// The split window's list as a Qt model: one row per program of the
// ProgramList, seven columns, the tick in the first. The ProgramList holds
// everything; this only presents it, so the views stay fast on tapes with
// thousands of programs. A program's cell shows how its data reads by a
// picture, its tooltip and its accessible description.

#include <QAbstractTableModel>
#include <QString>

#include <vector>

#include "core/data_block.h"

namespace rw {

class ProgramList;

class ProgramTableModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit ProgramTableModel(ProgramList& list, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // After the list was replaced by a load.
  void Reload();
  // After every tick may have changed (Select All, Select None); keeps the
  // view's position and selection.
  void ChecksChanged();
  // After one row (1-based) changed, e.g. by the name editor.
  void RowChanged(int row);
  // While off, the Program cells have no data state picture: fitting the
  // column to its contents would otherwise read every program's data.
  void ShowDataStates(bool on) { statesShown_ = on; }

 signals:
  // A tick was set or cleared through the view.
  void checksChanged();

 private:
  ProgramList& list_;
  struct DataLook {
    bool read = false;
    DataState state = DataState::Missing;
    QString tip;  // DataSummary
  };
  // A row's data, read when its picture or tooltip is first asked for, which
  // is when the row comes into view: reading every program's data up front
  // would double the time a long tape takes to load.
  const DataLook& Look(int row) const;

  mutable std::vector<DataLook> looks_;
  bool statesShown_ = true;
};

}  // namespace rw
