#pragma once
// The join window: builds a compilation of tape images and pauses by buttons
// and drops, shows each row's size, machine, video standard, version and
// playing time with the total, and writes the compilation as one tape image.

#include <QWidget>

#include <functional>
#include <memory>
#include <string>

#include "join/compilation.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QTreeWidget;

namespace rw {

class FileDialogs;
class Messages;
class RememberedPaths;
class WaitBox;

class JoinWindow : public QWidget {
  Q_OBJECT
 public:
  // `waitBox` may be null (no please-wait box is shown then).
  JoinWindow(RememberedPaths& paths, Messages& messages, FileDialogs& fileDialogs, WaitBox* waitBox,
             QWidget* parent = nullptr);
  ~JoinWindow() override;

  // Asks for a pause text; empty when the user cancelled. Shows "Add Pause"
  // over the main window unless replaced (the tests answer it directly).
  std::function<std::string()> askPause;

  const Compilation& compilation() const { return *compilation_; }
  // Rows added, removed or moved since the last join (or since opening).
  bool HasUnjoinedRows() const;

 public slots:
  void RemoveFiles();     // vkCommand1
  void AddFile();         // vkCommand2
  void AddDirectory();    // vkCommand4
  void MoveUp();          // vkCommand5
  void MoveDown();        // vkCommand6
  void AddPause();        // vkCommand7
  void JoinFiles();       // vkCommand3
  void SetSorted(bool on);  // Check1
  // Adds dropped files in the order given; a refused one does not stop the rest.
  void AddDroppedFiles(const QStringList& paths);

 protected:
  // Asks before a compilation that was never joined is thrown away.
  void closeEvent(QCloseEvent* event) override;

 private:
  // The list's selection and current row go to the compilation before a
  // command that acts on them, and the list is redrawn from it afterwards.
  void TakeSelection();
  void ShowCompilation();

  RememberedPaths& paths_;
  Messages& messages_;
  FileDialogs& fileDialogs_;
  WaitBox* waitBox_;
  std::unique_ptr<Compilation> compilation_;
  std::vector<CompilationRow> joinedRows_;  // the rows as last joined

  QCheckBox* sort_;
  QTreeWidget* list_;
  QPushButton* remove_;
  QPushButton* moveUp_;
  QPushButton* moveDown_;
  QPushButton* join_;
  QLabel* total_;
};

}  // namespace rw
