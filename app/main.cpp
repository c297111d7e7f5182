#include <QApplication>

#include "ui/controls.h"
#include "core/safe_file.h"
#include "platform/interrupt_cleanup.h"
#include "platform/native_path.h"
#include "platform/posix_storage_sync.h"
#include "ui/main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // Written files are on the device before any success message.
  static rw::PosixStorageSync storageSync;
  rw::SetStorageSync(&storageSync);
  // Ctrl+C, a terminating signal or the end of the session leaves no partial
  // file behind and no VICE tool running.
  rw::InstallInterruptCleanup();
  QApplication::setApplicationName("Reelwright");
  QApplication::setApplicationVersion(REELWRIGHT_VERSION);
  QApplication::setWindowIcon(rw::ProgramIcon("reelwright"));
  rw::MainWindow window;
  window.show();
  // "reelwright FILE.tap", as a file manager's "Open with" starts it.
  // The file's name byte for byte: QApplication::arguments() would turn a
  // name that is not UTF-8 into another name.
  window.OpenFromArguments(rw::NativeArguments(argc, argv));
  return QApplication::exec();
}
