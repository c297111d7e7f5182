// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The join window: builds a compilation of tape images and pauses by buttons
// and drops, shows each row's size, machine, video standard, version and
// playing time with the total, and writes the compilation as one tape image.

#include <QWidget>

#include <functional>
#include <string>

#include "join/compilation.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QTreeView;

namespace rw {

class CompilationTableModel;
class FileDialogs;
class Messages;
class RememberedPaths;
class WaitBox;

class JoinWindow : public QWidget {
  Q_OBJECT
 public:
  // Asks for a pause text; empty when the user cancelled.
  using PauseQuestion = std::function<std::string()>;

  // `waitBox` may be null (no please-wait box is shown then). Without
  // `askPause`, "Add Pause" is asked over the main window.
  JoinWindow(RememberedPaths& paths, Messages& messages, FileDialogs& fileDialogs, WaitBox* waitBox,
             PauseQuestion askPause = nullptr, QWidget* parent = nullptr);
  ~JoinWindow() override;

  const Compilation& compilation() const;
  // Rows added, removed or moved since the last join (or since opening).
  bool HasUnjoinedRows() const;

 public slots:
  void RemoveFiles();
  void AddFile();
  void AddDirectory();
  void MoveUp();
  void MoveDown();
  void AddPause();
  void JoinFiles();
  void SetSorted(bool on);
  // Adds dropped files in the order given; a refused one does not stop the rest.
  void AddDroppedFiles(const QStringList& paths);

 protected:
  // Asks before a compilation that was never joined is thrown away.
  void closeEvent(QCloseEvent* event) override;

 private:
  // The row the move commands act on: the current row when it is selected,
  // else the first selected row; -1 with none selected.
  int ChosenRow() const;
  enum class Direction { Up, Down };
  void Move(Direction direction);
  // Fits the columns to their texts when rows were added since `rowsBefore`
  // (only then, so that a column the user resized keeps its width).
  void FitColumns(int rowsBefore);
  void ShowTotals();

  RememberedPaths& paths_;
  Messages& messages_;
  FileDialogs& fileDialogs_;
  WaitBox* waitBox_;
  PauseQuestion askPause_;
  CompilationTableModel* model_;
  std::vector<CompilationRow> joinedRows_;  // the rows as last joined

  QCheckBox* sort_;
  QTreeView* list_;
  QPushButton* remove_;
  QPushButton* moveUp_;
  QPushButton* moveDown_;
  QPushButton* join_;
  QLabel* total_;
};

}  // namespace rw
