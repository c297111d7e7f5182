// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// "Split TAP File": load one tape image, see its facts and its programs,
// tick programs, rename them, choose the output folder, and write split
// files, an index file or (through indexD64Requested) a launcher disk. The list's
// context menu extracts the ticked programs as ".prg" files or copies them
// onto a new disk image.

#include <QWidget>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "split/program_list.h"

class QAction;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeView;

namespace rw {

class ElidedLabel;
class FileDialogs;
class Messages;
class ProgramTableModel;
class RememberedPaths;
class TapeMapStrip;
class WaitBox;

class SplitWindow : public QWidget {
  Q_OBJECT
 public:
  SplitWindow(RememberedPaths& paths, Messages& messages, FileDialogs& fileDialogs, WaitBox& waitBox,
              QWidget* parent = nullptr);
  ~SplitWindow() override;

  // Loads and parses the image at `path` as "Load File" does after its
  // dialog. A refused file changes nothing here.
  bool LoadAndParse(const QString& path);

  // "Load File": the file dialog, then LoadAndParse.
  void LoadFile();

  // Opens the name editor for the selected row; nothing without one.
  void PopUp();

  // Re-evaluates the three output commands from the ticks and the folder.
  void UpdateCommands();

  ProgramList& model() { return list_; }
  WaitBox& waitBox() { return waitBox_; }
  // Messages that first take the please-wait box away, so that it never
  // covers a message box.
  Messages& messages();

  // Where "Copy programs to a disk image…" looks first for c1541; empty (the
  // default): beside the program, then the PATH.
  void SetToolFolder(std::string folder) { toolFolder_ = std::move(folder); }

 signals:
  // A tape was loaded and parsed from `path`.
  void loaded(const QString& path);
  // "Index D64": whoever builds launcher disks answers; the button is enabled
  // by the same rule as "Split File" and "IDX file".
  void indexD64Requested();

 private:
  class WaitAwareMessages;

  void BuildControls();
  void ShowImageInfo();
  // Fits every column to its header and the rows in reach; without `shrink`
  // a column already wider keeps its width.
  void FitColumns(bool shrink = true);
  void ChooseOutputFolder();
  void SplitFile();
  void WriteIndexFile();
  std::vector<int> TickedRows() const;
  std::string DialogStartFolder() const;
  void ShowListMenu(const QPoint& pos);
  // Rows are 1-based.
  void ExtractRows(const std::vector<int>& rows);
  void CopyRowsToDisk(const std::vector<int>& rows);
  void ShowPulses();
  void ToggleCurrentRow();
  int SelectedRow() const;
  // The program whose pulses "Show pulses…" shows: the selected one, or the
  // one the selected turbo file lies under.
  int PulsesRow() const;
  bool eventFilter(QObject* watched, QEvent* event) override;

  ProgramList list_;
  RememberedPaths& paths_;
  std::unique_ptr<WaitAwareMessages> messages_;
  FileDialogs& fileDialogs_;
  WaitBox& waitBox_;
  ProgramTableModel* table_;

  ElidedLabel* filePath_;
  QLabel* machine_;
  QLabel* version_;
  QLabel* video_;
  QLabel* fileSize_;
  QLabel* totalDuration_;
  QLabel* items_;
  QTreeView* listView_;
  QLineEdit* outputDir_;
  QRadioButton* marquise_;
  QPushButton* splitButton_;
  QPushButton* indexButton_;
  QPushButton* indexD64_;
  QAction* extract_;  // the list's context menu
  QAction* toDisk_;
  QAction* showPulses_;
  TapeMapStrip* tapeMap_;  // the tape's map above the list
  std::string toolFolder_;
};

}  // namespace rw
