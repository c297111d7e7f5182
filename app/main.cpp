#include <QApplication>

#include "ui/controls.h"
#include "core/safe_file.h"
#include "platform/posix_storage_sync.h"
#include "ui/main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // Written files are on the device before any success message.
  static rw::PosixStorageSync storageSync;
  rw::SetStorageSync(&storageSync);
  QApplication::setApplicationName("Reelwright");
  QApplication::setApplicationVersion(REELWRIGHT_VERSION);
  QApplication::setWindowIcon(rw::ProgramIcon("reelwright"));
  rw::MainWindow window;
  window.show();
  // "reelwright FILE.tap", as a file manager's "Open with" starts it.
  window.OpenFromArguments(QApplication::arguments());
  return QApplication::exec();
}
