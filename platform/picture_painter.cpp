// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/picture_painter.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>

#include <cmath>

namespace rw {
namespace {

QColor ToQColor(Colour colour) {
  QColor c(colour.r, colour.g, colour.b);
  c.setAlphaF(static_cast<float>(colour.alpha));
  return c;
}

}  // namespace

void PaintPicture(QPainter& painter, const Picture& picture) {
  painter.save();
  painter.fillRect(QRectF(0, 0, picture.width, picture.height), ToQColor(picture.background));
  for (const PictureRect& r : picture.rects) {
    painter.fillRect(QRectF(r.x, r.y, r.w, r.h), ToQColor(r.fill));
  }
  for (const PictureLine& l : picture.lines) {
    QPen pen(ToQColor(l.stroke));
    pen.setWidthF(1.0);
    if (l.dashed) pen.setStyle(Qt::DashLine);
    painter.setPen(pen);
    painter.drawLine(QPointF(l.x1, l.y1), QPointF(l.x2, l.y2));
  }
  QFont font = painter.font();
  for (const PictureText& t : picture.texts) {
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(t.size))));
    painter.setFont(font);
    painter.setPen(ToQColor(t.fill));
    const QString text = QString::fromStdString(t.text);
    const double width = QFontMetricsF(font).horizontalAdvance(text);
    const double x = t.anchor == TextAnchor::Middle ? t.x - width / 2 : t.anchor == TextAnchor::End ? t.x - width : t.x;
    painter.drawText(QPointF(x, t.y), text);
  }
  painter.restore();
}

QByteArray PicturePng(const Picture& picture) {
  QImage image(static_cast<int>(std::ceil(picture.width)), static_cast<int>(std::ceil(picture.height)),
               QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    PaintPicture(painter, picture);
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

}  // namespace rw
