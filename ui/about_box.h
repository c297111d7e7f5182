// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The about box: name, version, platform, credits, a notice and a link to
// the project's web page. It closes itself after five seconds, at a key, or
// at a click on its frame; whoever opens it is told when it closed.

#include <QWidget>

class QTimer;

namespace rw {

// The project's web page, opened from the about box.
inline constexpr const char* kProjectAddress = "https://reelwright.example.org";

class AboutBox : public QWidget {
  Q_OBJECT
 public:
  AboutBox();

 signals:
  void closed();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* frame_;
};

}  // namespace rw
