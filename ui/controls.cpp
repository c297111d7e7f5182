// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/controls.h"

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>

#include "ui/palette_icon.h"

namespace rw {
namespace {

// The local files a drag carries, or none when it carries no file list.
QStringList LocalFiles(const QMimeData* data) {
  QStringList paths;
  if (data == nullptr || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) paths << url.toLocalFile();
  }
  return paths;
}

}  // namespace

QPushButton* CommandButton(QWidget* parent, const QString& objectName, const QString& caption, const QString& toolTip,
                           const QIcon& icon) {
  auto* button = new QPushButton(icon.isNull() ? icon : PaletteIcon(icon), caption, parent);
  button->setObjectName(objectName);
  button->setToolTip(toolTip);
  button->setAutoDefault(true);
  return button;
}

QPushButton* PictureButton(QWidget* parent, const QString& objectName, const QString& toolTip, const QIcon& icon) {
  QPushButton* button = CommandButton(parent, objectName, QString(), toolTip, icon);
  button->setAccessibleName(toolTip);
  button->setIconSize(QSize(20, 20));
  return button;
}

QIcon ProgramIcon(const char* name) { return QIcon(QStringLiteral(":/icons/%1.png").arg(QLatin1String(name))); }

QIcon StandardIcon(QStyle::StandardPixmap which) { return QApplication::style()->standardIcon(which); }

FileDropFilter::FileDropFilter(QWidget* target, std::function<void(const QStringList&)> dropped)
    : QObject(target), dropped_(std::move(dropped)) {
  target->setAcceptDrops(true);
  target->installEventFilter(this);
}

bool FileDropFilter::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDropEvent*>(event);
      if (LocalFiles(drag->mimeData()).isEmpty()) return false;
      // Copy, never move: the dropped file stays where it is.
      drag->setDropAction(Qt::CopyAction);
      drag->accept();
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      const QStringList paths = LocalFiles(drop->mimeData());
      if (paths.isEmpty()) return false;
      // The files were only read: tell the source nothing was copied or moved.
      drop->setDropAction(Qt::IgnoreAction);
      drop->accept();
      dropped_(paths);
      return true;
    }
    default:
      return QObject::eventFilter(watched, event);
  }
}

}  // namespace rw
