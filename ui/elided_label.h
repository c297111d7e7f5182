// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A one-line label for a path: when the path is wider than the label, the
// middle gives way, so that both its start and its file name stay in view.
// text() keeps the whole path, which is also the tooltip and what a screen
// reader reads.

#include <QLabel>

namespace rw {

class ElidedLabel : public QLabel {
  Q_OBJECT
 public:
  explicit ElidedLabel(QWidget* parent = nullptr);

  void SetPath(const QString& path);
  // Narrow enough never to widen the window; the path gives way instead.
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace rw
