#include <QApplication>

#include "ui/main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Reelwright");
  QApplication::setApplicationVersion(REELWRIGHT_VERSION);
  rw::MainWindow window;
  window.show();
  return QApplication::exec();
}
