// SPDX-License-Identifier: GPL-2.0-or-later
#include <QApplication>
#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <cstring>

#include "platform/interrupt_cleanup.h"
#include "platform/native_path.h"
#include "platform/posix_storage_sync.h"
#include "platform/widgets/qt_file_dialogs.h"
#include "platform/widgets/qt_messages.h"
#include "settings/app_settings.h"
#include "ui/controls.h"
#include "ui/main_window.h"

namespace {

const char* const kUsage =
    "Usage: reelwright [FILE]\n"
    "\n"
    "Starts the desktop program; with FILE, a tape image loaded in the split window.\n"
    "reelwright-cli does the same work without windows (reelwright-cli --help).\n";

// Answered before QApplication exists, which needs a display: a packager or a
// user on a terminal asks these where there is none.
bool AnswerInformationRequest(int argc, char** argv, int* status) {
  if (argc < 2) return false;
  const char* argument = argv[1];
  if (std::strcmp(argument, "--version") == 0 || std::strcmp(argument, "-v") == 0) {
    std::printf("reelwright %s\n", REELWRIGHT_VERSION);
  } else if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0) {
    std::fputs(kUsage, stdout);
  } else {
    return false;
  }
  *status = std::fflush(stdout) == 0 ? 0 : 1;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (int status = 0; AnswerInformationRequest(argc, argv, &status)) return status;
  QApplication app(argc, argv);
  // Written files are on the device before any success message.
  rw::PosixStorageSync storageSync;
  // Ctrl+C, a terminating signal or the end of the session leaves no partial
  // file behind and no VICE tool running.
  rw::InstallInterruptCleanup();
  QApplication::setApplicationName("Reelwright");
  QApplication::setApplicationVersion(REELWRIGHT_VERSION);
  // Wayland compositors match the window to its menu entry by this name.
  QGuiApplication::setDesktopFileName(QStringLiteral(REELWRIGHT_APP_ID));
  QApplication::setWindowIcon(rw::ProgramIcon("reelwright"));
  // The settings file beside the program (a portable copy) or in the
  // user's configuration folder; Qt's message boxes and file dialogs, shown
  // over the program's window.
  const QString settingsPath = rw::SettingsFileLocation();
  rw::AppSettings settings(storageSync, settingsPath,
                           rw::UnsetFolderDefault(settingsPath, QCoreApplication::applicationDirPath(), QDir::homePath()));
  rw::QtMessages messages;
  rw::QtFileDialogs fileDialogs;
  rw::MainWindow window(rw::Services{settings, messages, fileDialogs, storageSync, &settings});
  window.show();
  // "reelwright FILE.tap", as a file manager's "Open with" starts it.
  // The file's name byte for byte: QApplication::arguments() would turn a
  // name that is not UTF-8 into another name.
  window.OpenFromArguments(rw::NativeArguments(argc, argv));
  return QApplication::exec();
}
