#pragma once
// Drives the desktop program as a user would, with answered dialogs and
// recorded messages: a main window over in-memory settings, composed tapes,
// file drops and modal dialogs handled while they are open.

#include <QApplication>
#include <QDialog>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <optional>

#include "platform/file_dialogs.h"
#include "platform/messages.h"
#include "platform/remembered_paths.h"
#include "support/scratch_folder.h"
#include "support/tape_composer.h"
#include "ui/main_window.h"

namespace rw::test {

// Sends a drag carrying `paths` as local files (or `text` alone) and drops
// it; returns the action the drop reported back to its source, or nothing
// when the target refused the drag on entry (a real drop would not reach it).
inline std::optional<Qt::DropAction> Drop(QWidget* target, const QStringList& paths, const QString& text = QString()) {
  QMimeData data;
  QList<QUrl> urls;
  for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
  if (!urls.isEmpty()) data.setUrls(urls);
  if (!text.isEmpty()) data.setText(text);
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
  if (!enter.isAccepted()) return std::nullopt;
  return drop.dropAction();
}

// Runs `act` on the modal dialog that the next statement opens.
inline void WhenModalOpens(std::function<void(QDialog*)> act) {
  QTimer::singleShot(0, [act] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    act(dialog);
    if (dialog->isVisible()) dialog->reject();  // never leave a test hanging
  });
}

// The program's main window, its settings in memory (unset folders read as
// "/program"), its messages recorded and its dialogs answered from `dialogs`.
struct Desktop {
  Desktop() { window.show(); }
  ScratchFolder folder, out;
  MemoryPaths paths{"/program"};
  RecordedMessages messages;
  ScriptedFileDialogs dialogs;
  MainWindow window{Services{paths, messages, dialogs}};
};

}  // namespace rw::test
