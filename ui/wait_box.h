// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The please-wait box: a small frameless window over the main window with one
// line of text, shown while a command does long work on the user-interface
// thread. Long work that can count its steps also shows a determinate bar.

#include <QElapsedTimer>
#include <QWidget>

class QLabel;
class QProgressBar;

namespace rw {

// Moves `window` so that it is centred over `owner` (half the difference of
// their sizes, rounded down), in screen coordinates when `window` is a
// top-level window and in its parent's otherwise.
void CenterOver(QWidget* owner, QWidget* window);

class WaitBox : public QWidget {
  Q_OBJECT
 public:
  explicit WaitBox(QWidget* owner);

  // With `show` true: sets the text, centres the box over the owner, shows it
  // and paints it before returning, so that it is visible while the caller
  // works. With `show` false: hides it (and its bar). User input is not
  // processed here, so no command can start in the middle of another.
  void ShowWait(const QString& message, bool show);

  // Shows a determinate bar at `done` of `total` and repaints at most every
  // few dozen milliseconds, so that counting costs the work nothing.
  void SetProgress(qint64 done, qint64 total);

 private:
  void Paint();

  QWidget* owner_;
  QLabel* label_;
  QProgressBar* bar_;
  QElapsedTimer sincePaint_;
};

}  // namespace rw
