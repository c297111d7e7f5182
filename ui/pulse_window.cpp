// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/pulse_window.h"

#include <QDialogButtonBox>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <QVBoxLayout>

#include <cmath>

#include "platform/picture_painter.h"
#include "ui/control_names.h"

namespace rw {

PictureView::PictureView(Picture picture, QWidget* parent) : QWidget(parent), picture_(std::move(picture)) {
  setMinimumSize(sizeHint());
}

QSize PictureView::sizeHint() const {
  return {static_cast<int>(std::ceil(picture_.width)), static_cast<int>(std::ceil(picture_.height))};
}

void PictureView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  PaintPicture(painter, picture_);
}

bool PictureView::event(QEvent* event) {
  if (event->type() != QEvent::ToolTip) return QWidget::event(event);
  // The tip of the shape under the pointer; the last drawn lies on top.
  const QPoint pos = static_cast<QHelpEvent*>(event)->pos();
  for (auto r = picture_.rects.rbegin(); r != picture_.rects.rend(); ++r) {
    if (!r->tip.empty() && QRectF(r->x, r->y, r->w, r->h).contains(pos)) {
      QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), QString::fromStdString(r->tip), this);
      return true;
    }
  }
  QToolTip::hideText();
  return true;
}

PulseWindow::PulseWindow(Picture picture, const QString& title, QWidget* parent) : QDialog(parent) {
  setObjectName(pulse_window_controls::kWindow);
  setWindowTitle(title);
  auto* view = new PictureView(std::move(picture), this);
  view->setObjectName(pulse_window_controls::kPicture);
  view->setAccessibleName("Pulse widths");
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(view);
  layout->addWidget(buttons);
}

}  // namespace rw
