// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/wait_box.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

#include <cmath>

#include "ui/control_names.h"

namespace rw {
namespace {

// Design client size 4560 x 1035 twips at 15 twips per pixel.
constexpr int kWidth = 304;
constexpr int kHeight = 69;
constexpr int kRepaintMs = 40;

int HalfDown(int difference) { return static_cast<int>(std::floor(difference / 2.0)); }

}  // namespace

void CenterOver(QWidget* owner, QWidget* window) {
  if (!owner || !window) return;
  const QRect ownerRect(owner->mapToGlobal(QPoint(0, 0)), owner->size());
  QPoint topLeft(ownerRect.left() + HalfDown(ownerRect.width() - window->width()),
                 ownerRect.top() + HalfDown(ownerRect.height() - window->height()));
  if (!window->isWindow() && window->parentWidget()) topLeft = window->parentWidget()->mapFromGlobal(topLeft);
  window->move(topLeft);
}

WaitBox::WaitBox(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), owner_(owner) {
  setObjectName(wait_box_controls::kWindow);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAccessibleDescription("Please wait");
  auto* frame = new QFrame(this);
  frame->setObjectName(wait_box_controls::kFrame);
  frame->setFrameShape(QFrame::Box);
  frame->setFrameShadow(QFrame::Raised);
  label_ = new QLabel(frame);
  label_->setObjectName(wait_box_controls::kMessage);
  label_->setAlignment(Qt::AlignCenter);
  QFont bold = label_->font();
  bold.setBold(true);
  label_->setFont(bold);
  bar_ = new QProgressBar(frame);
  bar_->setObjectName(wait_box_controls::kProgress);
  bar_->setTextVisible(true);
  bar_->hide();
  auto* inner = new QVBoxLayout(frame);
  inner->addWidget(label_);
  inner->addWidget(bar_);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(frame);
  setFixedWidth(kWidth);
  setMinimumHeight(kHeight);
  adjustSize();
}

void WaitBox::ShowWait(const QString& message, bool show) {
  label_->setText(message);
  if (show) {
    bar_->hide();
    adjustSize();
    CenterOver(owner_, this);
    // Shown without taking the focus, the box would go unheard: it is named
    // by its message and announced as an alert.
    setAccessibleName(message);
    QWidget::show();
    raise();
    QAccessibleEvent alert(this, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
  } else {
    bar_->hide();
    hide();
  }
  Paint();
}

void WaitBox::SetProgress(qint64 done, qint64 total) {
  if (total <= 0) return;
  if (sincePaint_.isValid() && sincePaint_.elapsed() < kRepaintMs && done < total) return;
  // QProgressBar holds an int: scale large totals (bytes of a big image) to per-mille.
  bar_->setRange(0, 1000);
  bar_->setValue(static_cast<int>(done * 1000 / total));
  if (bar_->isHidden()) {
    bar_->show();
    adjustSize();
    CenterOver(owner_, this);
  }
  Paint();
}

void WaitBox::Paint() {
  sincePaint_.restart();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace rw
