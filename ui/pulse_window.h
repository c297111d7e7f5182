// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// "Pulses": a program's pulse-width histogram with its readers' bounds, in a
// small window of its own.

#include <QDialog>

#include "core/picture.h"

namespace rw {

// A picture drawn at its own size, with the tips of its shapes on hovering.
class PictureView : public QWidget {
  Q_OBJECT
 public:
  explicit PictureView(Picture picture, QWidget* parent = nullptr);
  const Picture& picture() const { return picture_; }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool event(QEvent* event) override;

 private:
  Picture picture_;
};

class PulseWindow : public QDialog {
  Q_OBJECT
 public:
  PulseWindow(Picture picture, const QString& title, QWidget* parent = nullptr);
};

}  // namespace rw
