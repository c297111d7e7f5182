// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/about_box.h"

#include <QDesktopServices>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "ui/control_names.h"
#include "ui/controls.h"

namespace rw {
namespace {

constexpr int kCloseAfterMs = 5000;

QLabel* TextLabel(QWidget* parent, const char* objectName, const QString& text, int pointSize, bool bold = false) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(objectName);
  QFont font("Arial", pointSize);
  font.setBold(bold);
  label->setFont(font);
  // A click on a label is not a click on the frame: it must not close the box.
  label->setAttribute(Qt::WA_NoMousePropagation);
  return label;
}

}  // namespace

AboutBox::AboutBox() : QWidget(nullptr, Qt::Dialog | Qt::FramelessWindowHint) {
  setObjectName(about_controls::kWindow);
  setWindowTitle("About Reelwright");
  setAttribute(Qt::WA_DeleteOnClose);

  auto* frame = new QFrame(this);
  frame->setObjectName(about_controls::kFrame);
  frame->setFrameShape(QFrame::Box);
  frame->setFrameShadow(QFrame::Raised);
  frame->setLineWidth(2);
  frame_ = frame;
  frame->installEventFilter(this);

  auto* picture = new QLabel(frame);
  picture->setObjectName(about_controls::kPicture);
  picture->setPixmap(ProgramIcon("reelwright").pixmap(64, 64));
  picture->setAttribute(Qt::WA_NoMousePropagation);

  QLabel* product = TextLabel(frame, about_controls::kProductName, "Reelwright", 22, true);
  QLabel* version = TextLabel(frame, about_controls::kVersion, QStringLiteral(REELWRIGHT_VERSION), 10);
  QLabel* platform = TextLabel(frame, about_controls::kPlatform, "Linux", 10);
  QLabel* company = TextLabel(frame, about_controls::kCompany, "Written by the Reelwright developers", 9);
  QLabel* rights = TextLabel(frame, about_controls::kCopyright, "Copyright \u00A9 2026 the Reelwright developers", 9);
  QLabel* notice = TextLabel(frame, about_controls::kWarning,
                             "Reelwright may be copied and passed on free of charge, unchanged and together with "
                             "this notice. It comes without any warranty: keep copies of your tape images. If you "
                             "find it useful, please support its development on the project's web page.",
                             8);
  notice->setWordWrap(true);

  auto* link = new QLabel(frame);
  link->setObjectName(about_controls::kLink);
  link->setFont(QFont("Calibri", 10));
  link->setText(QStringLiteral("<a href=\"%1\" style=\"color:#0000ff\">%1</a>").arg(QLatin1String(kProjectAddress)));
  link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  link->setAttribute(Qt::WA_NoMousePropagation);
  // The box stays open; a failure to start a browser is not worth a message.
  connect(link, &QLabel::linkActivated, this, [](const QString& address) { QDesktopServices::openUrl(QUrl(address)); });

  auto* grid = new QGridLayout(frame);
  grid->addWidget(picture, 0, 0, 3, 1, Qt::AlignTop);
  grid->addWidget(product, 0, 1);
  grid->addWidget(version, 1, 1);
  grid->addWidget(platform, 2, 1);
  grid->addWidget(company, 3, 0, 1, 2);
  grid->addWidget(rights, 4, 0, 1, 2);
  grid->addWidget(notice, 5, 0, 1, 2);
  grid->addWidget(link, 6, 0, 1, 2);
  grid->setColumnStretch(1, 1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(frame);
  setFixedWidth(420);
  adjustSize();

  auto* timer = new QTimer(this);
  timer->setObjectName(about_controls::kCloseTimer);
  timer->setSingleShot(true);
  connect(timer, &QTimer::timeout, this, &QWidget::close);
  timer->start(kCloseAfterMs);
}

void AboutBox::keyPressEvent(QKeyEvent*) { close(); }

void AboutBox::closeEvent(QCloseEvent* event) {
  emit closed();
  QWidget::closeEvent(event);
}

bool AboutBox::eventFilter(QObject* watched, QEvent* event) {
  if (watched == frame_ && event->type() == QEvent::MouseButtonPress) {
    close();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace rw
