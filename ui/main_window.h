// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The program's frame: a menu, a toolbar and the area in which the tool
// windows (split, join, HTAP list) open as child windows. It hands those
// windows what they share: the services main() made (remembered folders,
// message boxes, file dialogs) and its own please-wait box.

#include <QMainWindow>
#include <QPointer>

#include <memory>

class QMdiArea;
class QMenu;
class QMdiSubWindow;

namespace rw {

class AboutBox;
class cInifile;
class RecentFiles;
class ConvertWindow;
class FileDialogs;
class Messages;
class RememberedPaths;
class SplitWindow;
class StorageSync;
class WaitBox;

// What the windows use of the outside world. The program uses the settings
// file and Qt's dialogs; tests answer with recorded messages and scripted
// dialogs.
struct Services {
  RememberedPaths& paths;
  Messages& messages;
  FileDialogs& fileDialogs;
  // How written files are put on the device before a success message.
  StorageSync& storageSync;
  // Where the recently opened tapes are kept; null: for this run only.
  cInifile* settingsFile = nullptr;
};

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  // `services` as main() (or a test) made them; they outlive the window.
  explicit MainWindow(const Services& services, QWidget* parent = nullptr);
  ~MainWindow() override;

  // The command line: the first argument after the program's name is a tape
  // image to open in the split window, as "Load File" would; any further
  // argument is ignored.
  void OpenFromArguments(const QStringList& arguments);

  // The commands of the menu and the toolbar. Each tool window exists once
  // and is put back at the client area's top-left corner, at its standard
  // size, and in front, every time its command is given.
  void Exit();
  SplitWindow* Split();
  QWidget* Join();
  ConvertWindow* ConvertHtap();
  void About();
  // The toolbar dispatches on its buttons' keys; an unknown key does nothing.
  void ToolbarButtonClick(const QString& key);

  // Centres `child` over `parent` unless `parent` is minimised or maximised.
  static void CenterChild(QWidget* parent, QWidget* child);

  RememberedPaths& paths() { return *paths_; }
  Messages& messages() { return *messages_; }
  FileDialogs& fileDialogs() { return *fileDialogs_; }
  WaitBox& waitBox() { return *waitBox_; }
  QMdiArea* mdiArea() { return area_; }
  SplitWindow* splitWindow() const;  // null while closed

 protected:
  // The join window may keep the program open: it asks before an unjoined
  // compilation is lost.
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenusAndToolbar();
  void FillRecentMenu();
  // The window's caption, naming the tape the split window has loaded.
  void ShowLoadedTape(const QString& path);
  // Shows `widget` (one of the tool windows) in its child window, creating
  // that on first use, placed by PlaceChild and in front.
  QMdiSubWindow* OpenTool(QPointer<QMdiSubWindow>& slot, QWidget* (MainWindow::*create)());
  void PlaceChild(QMdiSubWindow* child);
  QWidget* CreateSplitWindow();
  QWidget* CreateJoinWindow();
  QWidget* CreateConvertWindow();

  std::unique_ptr<RecentFiles> recent_;
  QMenu* recentMenu_ = nullptr;
  RememberedPaths* paths_ = nullptr;
  Messages* messages_ = nullptr;
  FileDialogs* fileDialogs_ = nullptr;
  StorageSync* storageSync_ = nullptr;
  WaitBox* waitBox_ = nullptr;
  QMdiArea* area_ = nullptr;
  QPointer<QMdiSubWindow> split_;
  QPointer<QMdiSubWindow> join_;
  QPointer<QMdiSubWindow> convert_;
  QPointer<AboutBox> about_;
};

}  // namespace rw
