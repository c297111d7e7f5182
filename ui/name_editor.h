// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// "Edit TAP names": the modal editor of one program's two names, the file
// name (the "Program" cell, which names its outputs) and the tape name
// (with {TOKENS} for control codes, written into the headers by the next
// split).

#include <QDialog>

class QLineEdit;

namespace rw {

class ProgramTableModel;

class NameEditor : public QDialog {
  Q_OBJECT
 public:
  // Opens for `row` (1-based): an empty tape name is filled from the header,
  // which marks the program for the next split's rewrite even on "Exit".
  // The names are changed through `table`, so that the list shows them.
  NameEditor(ProgramTableModel& table, int row, QWidget* parent);

 private:
  void Save();

  ProgramTableModel& table_;
  int row_;
  QLineEdit* fileName_;
  QLineEdit* tapeName_;
};

}  // namespace rw
