// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Drives the desktop program as a user would, with answered dialogs and
// recorded messages: a main window over in-memory settings, composed tapes,
// file drops and modal dialogs handled while they are open.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <optional>
#include <vector>

#include "core/ports/file_dialogs.h"
#include "core/ports/messages.h"
#include "core/ports/remembered_paths.h"
#include "support/scratch_folder.h"
#include "support/shown_messages.h"
#include "support/tape_composer.h"
#include "ui/control_names.h"
#include "ui/main_window.h"

namespace rw::test {

// Clicks the push button `name` inside `parent`.
inline void Click(QWidget* parent, const char* name) {
  QTest::mouseClick(parent->findChild<QPushButton*>(name), Qt::LeftButton);
}

// Replaces the text of the line edit `name` inside `parent`, typed key by key.
inline void Type(QWidget* parent, const char* name, const QString& text) {
  auto* box = parent->findChild<QLineEdit*>(name);
  box->clear();
  QTest::keyClicks(box, text);
}

// The names of the widgets that Tab reaches, one per press, starting from
// the focus that `window` has now (shown and active).
inline std::vector<std::string> TabStops(QWidget* window, int presses) {
  std::vector<std::string> names;
  for (int i = 0; i < presses; ++i) {
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window, Qt::Key_Tab);
    names.push_back(QApplication::focusWidget() ? QApplication::focusWidget()->objectName().toStdString() : "");
  }
  return names;
}

// Sends a drag carrying `paths` as local files and drops it; returns the
// action the drop reported back to its source, or nothing when the target
// refused the drag on entry (a real drop would not reach it).
inline std::optional<Qt::DropAction> Drop(QWidget* target, const QStringList& paths) {
  QMimeData data;
  QList<QUrl> urls;
  for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
  data.setUrls(urls);
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
  if (!enter.isAccepted()) return std::nullopt;
  return drop.dropAction();
}

// Answers modal dialogs while the code under test waits in their exec(): each
// dialog that opens gets the next step, run from a timer inside its event loop.
class ModalAnswers : public QObject {
 public:
  using Step = std::function<void(QWidget* dialog)>;
  explicit ModalAnswers(std::vector<Step> steps) : steps_(std::move(steps)) {
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
    timer_.start(5);
  }
  size_t answered() const { return next_; }

 private:
  void Poll() {
    QWidget* dialog = QApplication::activeModalWidget();
    if (!dialog || dialog->property("answered").toBool()) return;
    if (next_ >= steps_.size()) {
      // An unexpected dialog would wait forever: fail and close it.
      ADD_FAILURE() << "unexpected dialog " << dialog->objectName().toStdString();
      dialog->close();
      return;
    }
    dialog->setProperty("answered", true);
    steps_[next_++](dialog);
    // A step that leaves its dialog open has answered it; one that closed it
    // lets the same dialog shown again ask a new question.
    dialog->setProperty("answered", dialog->isVisible());
  }

  std::vector<Step> steps_;
  size_t next_ = 0;
  QTimer timer_;
};

// Recorded messages that also note whether the please-wait box was still up
// when one showed: it must never hide a message.
struct DesktopMessages : RecordedMessages {
  MessageAnswer Show(const Message& message) override {
    for (QWidget* top : QApplication::topLevelWidgets()) {
      waitBoxUp = waitBoxUp || (top->objectName() == wait_box_controls::kWindow && top->isVisible());
    }
    return RecordedMessages::Show(message);
  }
  bool waitBoxUp = false;
};

// The program's main window, its settings in memory (unset folders read as
// "/program"), its messages recorded and its dialogs answered from `dialogs`.
struct Desktop {
  Desktop() { window.show(); }
  ScratchFolder folder, out;
  MemoryPaths paths{"/program"};
  DesktopMessages messages;
  ScriptedFileDialogs dialogs;
  MainWindow window{Services{paths, messages, dialogs}};
};

}  // namespace rw::test
