// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/palette_icon.h"

#include <QGuiApplication>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPalette>

namespace rw {
namespace {

// Darker than this in every channel counts as ink.
constexpr int kInkLimit = 64;

class InkIconEngine : public QIconEngine {
 public:
  explicit InkIconEngine(QIcon source) : source_(std::move(source)) {}

  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    QImage image = source_.pixmap(size, mode, state).toImage().convertToFormat(QImage::Format_ARGB32);
    const QPalette::ColorGroup group = mode == QIcon::Disabled ? QPalette::Disabled : QPalette::Active;
    const QColor ink = QGuiApplication::palette().color(group, QPalette::ButtonText);
    for (int y = 0; y < image.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
      for (int x = 0; x < image.width(); ++x) {
        const QRgb pixel = line[x];
        if (qAlpha(pixel) == 0 || qRed(pixel) >= kInkLimit || qGreen(pixel) >= kInkLimit || qBlue(pixel) >= kInkLimit) {
          continue;
        }
        line[x] = qRgba(ink.red(), ink.green(), ink.blue(), qAlpha(pixel));
      }
    }
    return QPixmap::fromImage(image);
  }

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    const qreal ratio = painter->device() != nullptr ? painter->device()->devicePixelRatioF() : 1.0;
    QPixmap drawn = pixmap(rect.size() * ratio, mode, state);
    drawn.setDevicePixelRatio(ratio);
    painter->drawPixmap(rect, drawn);
  }

  QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return source_.actualSize(size, mode, state);
  }

  QIconEngine* clone() const override { return new InkIconEngine(source_); }

 private:
  QIcon source_;
};

}  // namespace

QIcon PaletteIcon(const QIcon& source) { return QIcon(new InkIconEngine(source)); }

}  // namespace rw
