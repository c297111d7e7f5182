// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/data_state_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <map>

namespace rw {
namespace {

enum class Mark { Tick, Cross, Ring };

QPixmap Draw(int size, const QColor& colour, Mark mark) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(size / 16.0, size / 16.0);
  if (mark == Mark::Ring) {
    painter.setPen(QPen(colour, 2));
    painter.drawEllipse(QRectF(3, 3, 10, 10));
    return pixmap;
  }
  painter.setPen(Qt::NoPen);
  painter.setBrush(colour);
  painter.drawEllipse(QRectF(1, 1, 14, 14));
  painter.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  QPainterPath path;
  if (mark == Mark::Tick) {
    path.moveTo(4.5, 8.5);
    path.lineTo(7, 11);
    path.lineTo(11.5, 5.5);
  } else {
    path.moveTo(5.5, 5.5);
    path.lineTo(10.5, 10.5);
    path.moveTo(10.5, 5.5);
    path.lineTo(5.5, 10.5);
  }
  painter.drawPath(path);
  return pixmap;
}

QIcon Make(const QColor& colour, Mark mark) {
  QIcon icon;
  for (const int size : {16, 32, 64}) icon.addPixmap(Draw(size, colour, mark));
  return icon;
}

}  // namespace

QIcon DataStateIcon(DataState state) {
  // Kept to the end of the program: pictures must not outlive the application object.
  static const auto* const icons = new std::map<DataState, QIcon>{
      {DataState::Good, Make(QColor(0x2e, 0x9d, 0x4f), Mark::Tick)},
      {DataState::Short, Make(QColor(0xe0, 0x8a, 0x00), Mark::Tick)},
      {DataState::Damaged, Make(QColor(0xd3, 0x2f, 0x2f), Mark::Cross)},
      {DataState::Missing, Make(QColor(0x8a, 0x8f, 0x96), Mark::Ring)},
      {DataState::NotProgram, Make(QColor(0x8a, 0x8f, 0x96), Mark::Ring)},
  };
  const auto found = icons->find(state);
  return found != icons->end() ? found->second : QIcon();
}

}  // namespace rw
