// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The split window's list as a Qt model: one row per program of the
// ProgramList, seven columns, the tick in the first; under each program, the
// turbo files its stretch of tape carries, as rows without a tick. The
// ProgramList holds everything; this presents it, so the views stay fast on
// tapes with thousands of programs, and it is the one way the window changes
// the rows, their ticks and names and the output folder, so that every view
// and command hears of each change. A program's cell
// shows how its data reads by a picture, its tooltip and its accessible
// description.

#include <QAbstractItemModel>
#include <QString>

#include <memory>
#include <string>
#include <vector>

#include "core/data_block.h"
#include "split/program_list.h"
#include "split/tape_survey.h"

namespace rw {

class Messages;

class ProgramTableModel : public QAbstractItemModel {
  Q_OBJECT
 public:
  explicit ProgramTableModel(ProgramList& list, QObject* parent = nullptr);

  QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // Loads and parses `path` into the list (see ProgramList::LoadAndParse),
  // then finds the turbo files the programs carry. A refused file changes
  // nothing.
  Outcome LoadAndParse(const std::string& path, const Progress& progress = {});
  // Ticks; rows are 1-based.
  void SetChecked(int row, bool checked);
  void SelectAll();
  void SelectNone();
  // The name editor's fields for `row`, and its "Save".
  NameEditorFields OpenNameEditor(int row);
  void SaveNameEditor(int row, const std::string& tapeName, const std::string& fileName);
  // The output folder and the default one.
  void SetOutputDir(const std::string& folder);
  void SetDefaultOutputDir(Messages& messages);
  void RemoveDefaultOutputDir(Messages& messages);

  const ProgramList& list() const { return list_; }
  // The 1-based program row of `index`: its own for a program's row, 0 for a
  // turbo file's row or no row.
  static int ProgramRow(const QModelIndex& index);
  // The 1-based row of the program whose stretch of tape holds `index`: its
  // own for a program, the program it lies under for a turbo file; 0 for no row.
  static int OwningProgramRow(const QModelIndex& index);
  // What the loaded tape holds besides its programs, read once per load and
  // shared with the other views of the tape.
  std::shared_ptr<const TapeSurvey> survey() const { return survey_; }
  // How many turbo files the programs carry (those before the first program
  // have no row and are not counted).
  int CarriedFileCount() const;

  // While off, the Program cells have no data state picture: fitting the
  // column to its contents would otherwise read every program's data.
  void ShowDataStates(bool on) { statesShown_ = on; }

 signals:
  // The rows, their ticks or the output folder changed: what the window's
  // commands act on.
  void changed();

 private:
  struct DataLook {
    bool read = false;
    DataState state = DataState::Missing;
    QString tip;  // DataSummary
  };
  // A row's data, read when its picture or tooltip is first asked for, which
  // is when the row comes into view: reading every program's data up front
  // would double the time a long tape takes to load.
  const DataLook& Look(int row) const;
  QVariant ProgramData(const QModelIndex& index, int role) const;
  QVariant FileData(const QModelIndex& index, int role) const;
  // The file a turbo file's row shows, as an index into the survey's files.
  size_t FileOf(const QModelIndex& index) const;
  void ChecksChanged();
  void RowChanged(int row);

  ProgramList& list_;
  std::shared_ptr<const TapeSurvey> survey_ = std::make_shared<TapeSurvey>();
  std::vector<std::vector<size_t>> files_;  // per program row: its turbo files
  std::vector<ListRow> fileRows_;           // per turbo file: its cells
  mutable std::vector<DataLook> looks_;
  bool statesShown_ = true;
};

}  // namespace rw
