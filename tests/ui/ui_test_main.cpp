// SPDX-License-Identifier: GPL-2.0-or-later
// The window tests drive real widgets with QtTest's input functions inside
// GoogleTest cases; they need one QApplication for the whole program.

#include <QApplication>
#include <QtGlobal>

#include <gtest/gtest.h>

namespace {

QtMessageHandler previousHandler = nullptr;

// The offscreen platform cannot raise windows and says so each time.
void QuietRaise(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.contains("does not support raise()")) return;
  if (previousHandler != nullptr) previousHandler(type, context, message);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  previousHandler = qInstallMessageHandler(QuietRaise);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
