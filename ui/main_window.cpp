// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QWindow>
#include <functional>

#include "core/commodore_names.h"
#include "core/utilities.h"
#include "platform/native_path.h"
#include "platform/qt_tool_runner.h"
#include "ui/about_box.h"
#include "ui/control_names.h"
#include "ui/controls.h"
#include "ui/convert_window.h"
#include "ui/index_d64.h"
#include "ui/join_window.h"
#include "ui/launcher_dialogs.h"
#include "ui/palette_icon.h"
#include "ui/recent_files.h"
#include "ui/split_window.h"
#include "ui/wait_box.h"

namespace rw {
namespace {

// Client area 12105 x 9735 twips; tool windows 12195 x 9030 twips.
constexpr int kClientWidth = Twips(12105);
constexpr int kClientHeight = Twips(9735);
constexpr int kToolWidth = Twips(12195);
constexpr int kToolHeight = Twips(9030);

}  // namespace

MainWindow::MainWindow(const Services& services, QWidget* parent)
    : QMainWindow(parent),
      recent_(std::make_unique<RecentFiles>(services.settingsFile)),
      paths_(&services.paths),
      messages_(&services.messages),
      fileDialogs_(&services.fileDialogs),
      storageSync_(&services.storageSync) {
  setObjectName(main_controls::kWindow);
  setWindowIcon(ProgramIcon("reelwright"));
  ControlCodes();  // the control-code tables, built once before any name is shown
  setWindowTitle(QStringLiteral("Reelwright ") + QStringLiteral(REELWRIGHT_VERSION));

  area_ = new QMdiArea(this);
  area_->setObjectName(main_controls::kArea);
  setCentralWidget(area_);
  waitBox_ = new WaitBox(this);
  BuildMenusAndToolbar();

  // A fixed frame without minimise or maximise controls.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
  layout()->activate();  // the client area has its size before the first tool window is placed
  Split();
}

MainWindow::~MainWindow() {
  // The about box is a window of its own, not a child: take it along.
  delete about_.data();
  // The tool windows use the services; close them before those go.
  delete area_;
}

void MainWindow::BuildMenusAndToolbar() {
  const auto addItem = [this](QMenu* menu, const char* name, const QString& caption, std::function<void()> command) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    connect(action, &QAction::triggered, this, std::move(command));
  };
  QMenu* file = menuBar()->addMenu("&File");
  file->setObjectName(main_controls::kFileMenu);
  addItem(file, main_controls::kOpen, QString::fromUtf8("&Open\u2026"), [this] { Split()->LoadFile(); });
  file->actions().constLast()->setShortcut(QKeySequence::Open);
  recentMenu_ = file->addMenu("Open &Recent");
  recentMenu_->setObjectName(main_controls::kRecentMenu);
  connect(recentMenu_, &QMenu::aboutToShow, this, &MainWindow::FillRecentMenu);
  FillRecentMenu();
  file->addSeparator();
  addItem(file, main_controls::kExit, "E&xit", [this] { Exit(); });
  QMenu* tools = menuBar()->addMenu("&Tools");
  tools->setObjectName(main_controls::kToolsMenu);
  addItem(tools, main_controls::kSplit, "&Split", [this] { Split(); });
  addItem(tools, main_controls::kJoin, "&Join", [this] { Join(); });
  addItem(tools, main_controls::kConvert, "&Convert HTAP", [this] { ConvertHtap(); });
  QMenu* help = menuBar()->addMenu("&Help");
  help->setObjectName(main_controls::kHelpMenu);
  addItem(help, main_controls::kAbout, "&About", [this] { About(); });

  auto* toolbar = addToolBar(main_controls::kToolbar);
  toolbar->setObjectName(main_controls::kToolbar);
  toolbar->setMovable(false);
  toolbar->setFloatable(false);
  toolbar->setToolButtonStyle(Qt::ToolButtonIconOnly);
  toolbar->setIconSize(QSize(24, 24));
  toolbar->toggleViewAction()->setEnabled(false);
  struct Button {
    const char* key;
    const char* toolTip;
    QIcon icon;
  };
  const Button buttons[] = {
      {main_controls::kExitButton, "Exit Application", StandardIcon(QStyle::SP_DialogCloseButton)},
      {main_controls::kJoinButton, "Join .TAP Files", ProgramIcon("join")},
      {main_controls::kSplitButton, "Split a .TAP file", ProgramIcon("split")},
      {main_controls::kConvertButton, "Convert HTAP Files", ProgramIcon("convert")},
  };
  for (const Button& button : buttons) {
    QAction* action = toolbar->addAction(PaletteIcon(button.icon), button.toolTip);
    action->setObjectName(button.key);
    action->setToolTip(button.toolTip);
    if (QWidget* widget = toolbar->widgetForAction(action)) {
      widget->setObjectName(QString::fromLatin1(main_controls::kToolbar) + "_" + button.key);
      widget->setAccessibleName(button.toolTip);
    }
    const QString key = QString::fromLatin1(button.key);
    connect(action, &QAction::triggered, this, [this, key] { ToolbarButtonClick(key); });
  }
}

void MainWindow::FillRecentMenu() {
  // Deleted later: an entry may be refilling the menu from its own click.
  for (QAction* old : recentMenu_->actions()) {
    recentMenu_->removeAction(old);
    old->deleteLater();
  }
  const QStringList files = recent_->Files();
  recentMenu_->setEnabled(!files.isEmpty());
  for (int i = 0; i < files.size(); ++i) {
    const QString path = files.at(i);
    QString caption = QFileInfo(path).fileName().replace('&', "&&");
    QAction* action = recentMenu_->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(caption));
    action->setToolTip(path);
    action->setStatusTip(path);
    connect(action, &QAction::triggered, this, [this, path] {
      // A tape that cannot be loaded any more (its message is shown) leaves the list.
      if (!Split()->LoadAndParse(path)) recent_->Remove(path);
    });
  }
}

void MainWindow::ShowLoadedTape(const QString& path) {
  recent_->Add(path);
  FillRecentMenu();
  setWindowTitle(QFileInfo(path).fileName() + QStringLiteral(" - Reelwright ") + QStringLiteral(REELWRIGHT_VERSION));
}

void MainWindow::ToolbarButtonClick(const QString& key) {
  if (key == QLatin1String(main_controls::kExitButton)) {
    Exit();
  } else if (key == QLatin1String(main_controls::kJoinButton)) {
    Join();
  } else if (key == QLatin1String(main_controls::kSplitButton)) {
    Split();
  } else if (key == QLatin1String(main_controls::kConvertButton)) {
    ConvertHtap();
  }
}

void MainWindow::Exit() { close(); }

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!join_.isNull() && !join_->close()) {
    event->ignore();
    return;
  }
  QMainWindow::closeEvent(event);
}

QMdiSubWindow* MainWindow::OpenTool(QPointer<QMdiSubWindow>& slot, QWidget* (MainWindow::*create)()) {
  if (slot.isNull()) {
    QWidget* tool = (this->*create)();
    slot = area_->addSubWindow(tool, Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                                         Qt::WindowMinimizeButtonHint);
    slot->setWindowIcon(tool->windowIcon());
  }
  if (slot->isMinimized() || slot->isMaximized()) slot->showNormal();
  PlaceChild(slot);
  slot->show();
  slot->raise();
  area_->setActiveSubWindow(slot);
  return slot;
}

void MainWindow::PlaceChild(QMdiSubWindow* child) {
  // The area's own size: its viewport follows only once the window is shown.
  const QSize client = area_->contentsRect().size();
  // The standard size, but never beyond the client area, where it would be cut off.
  const QSize size = QSize(kToolWidth, kToolHeight).boundedTo(client);
  child->resize(size);
  child->move(0, 0);
}

SplitWindow* MainWindow::Split() {
  return static_cast<SplitWindow*>(OpenTool(split_, &MainWindow::CreateSplitWindow)->widget());
}

QWidget* MainWindow::Join() { return OpenTool(join_, &MainWindow::CreateJoinWindow)->widget(); }

ConvertWindow* MainWindow::ConvertHtap() {
  return static_cast<ConvertWindow*>(OpenTool(convert_, &MainWindow::CreateConvertWindow)->widget());
}

SplitWindow* MainWindow::splitWindow() const {
  return split_.isNull() ? nullptr : static_cast<SplitWindow*>(split_->widget());
}

QWidget* MainWindow::CreateSplitWindow() {
  auto* window = new SplitWindow(*paths_, *messages_, *fileDialogs_, *storageSync_, *waitBox_);
  window->setWindowIcon(ProgramIcon("split"));
  connect(window, &SplitWindow::loaded, this, &MainWindow::ShowLoadedTape);
  // Closing the split window lets its tape go.
  connect(window, &QObject::destroyed, this,
          [this] { setWindowTitle(QStringLiteral("Reelwright ") + QStringLiteral(REELWRIGHT_VERSION)); });
  // "Index D64": the launcher disk for the ticked groups; its two dialogs
  // are centred over the main window, the tools found beside the program or
  // on the PATH.
  connect(window, &SplitWindow::indexD64Requested, this, [this, window] {
    QtLauncherDialogs dialogs(this, window->messages());
    QtToolRunner tools;
    RunIndexD64(window->model(), window->messages(), dialogs, tools, *storageSync_, &window->waitBox());
  });
  return window;
}

QWidget* MainWindow::CreateJoinWindow() {
  auto* window = new JoinWindow(*paths_, *messages_, *fileDialogs_, *storageSync_, waitBox_);
  window->setWindowIcon(ProgramIcon("join"));
  return window;
}

QWidget* MainWindow::CreateConvertWindow() {
  auto* window = new ConvertWindow;
  window->setWindowIcon(ProgramIcon("convert"));
  return window;
}

void MainWindow::About() {
  if (about_.isNull()) {
    about_ = new AboutBox;
    // The box is a window of its own (a disabled main window would disable
    // its children), kept above the main window as its transient.
    about_->winId();
    if (about_->windowHandle() != nullptr) about_->windowHandle()->setTransientParent(windowHandle());
    connect(about_, &AboutBox::closed, this, [this] { setEnabled(true); });
  }
  setEnabled(false);
  about_->show();
  CenterChild(this, about_);
  about_->raise();
  about_->activateWindow();
}

void MainWindow::CenterChild(QWidget* parent, QWidget* child) {
  if (parent == nullptr || child == nullptr) return;
  if (parent->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)) return;
  const QRect outer = parent->frameGeometry();
  const QSize size = child->frameGeometry().size();
  // Differences halved with the fraction dropped, as signed 16-bit values.
  const auto dx = static_cast<int16_t>((outer.width() - size.width()) / 2);
  const auto dy = static_cast<int16_t>((outer.height() - size.height()) / 2);
  child->move(outer.left() + dx, outer.top() + dy);
}

void MainWindow::OpenFromArguments(const QStringList& arguments) {
  if (arguments.size() < 2 || arguments.at(1).isEmpty()) return;
  // As from a file dialog: a full path, so that its folder can be remembered.
  // The argument is the file's name byte for byte (NativeArguments), made
  // absolute without a lossy conversion.
  Split()->LoadAndParse(PathToQt(AbsolutePath(PathFromQt(arguments.at(1)))));
}

}  // namespace rw
