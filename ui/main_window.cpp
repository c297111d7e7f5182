#include "ui/main_window.h"

#include <QMdiArea>

namespace rw {

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
  setObjectName("MDIForm1");
  setWindowTitle(QStringLiteral("Reelwright ") + QStringLiteral(REELWRIGHT_VERSION));
  auto* area = new QMdiArea(this);
  area->setObjectName("mdiArea");
  setCentralWidget(area);
  resize(1024, 700);
}

}  // namespace rw
