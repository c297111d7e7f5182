// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/tape_map_strip.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>

#include "split/program_list.h"
#include "split/tape_pictures.h"
#include "ui/control_names.h"

namespace rw {
namespace {

const char* const kHelp =
    "The tape's contents in playing order: ROM programs, turbo files, pauses and unrecognised stretches. "
    "Click a band, or move to it with Left and Right and press Return, to select its program.";

// The outline of the keyboard's band is at least this wide, so that a band
// of a pixel or two still shows where the keyboard is.
constexpr double kLeastOutline = 12;

}  // namespace

TapeMapStrip::TapeMapStrip(QWidget* parent) : QWidget(parent) {
  setObjectName(split_controls::kTapeMap);
  setAccessibleName("Tape map");
  setAccessibleDescription(kHelp);
  // Reached by Tab, not by a click: a click selects a row in the list, where
  // the keyboard should stay. ShowTape takes the stop away while the strip
  // is empty (set after the window's tab order, which skips widgets without
  // focus).
  setFocusPolicy(Qt::TabFocus);
  setMinimumHeight(20);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  setMouseTracking(false);
}

void TapeMapStrip::ShowTape(const ProgramList& list, std::shared_ptr<const TapeSurvey> survey) {
  list_ = &list;
  survey_ = list.loaded() && survey ? std::move(survey) : std::make_shared<TapeSurvey>();
  current_ = 0;
  // An empty strip is no stop on the way to the list.
  const bool any = !survey_->map.bands.empty();
  if (!any && hasFocus()) focusNextChild();
  setFocusPolicy(any ? Qt::TabFocus : Qt::NoFocus);
  LayOut();
  if (hasFocus()) {
    DescribeCurrent();
  } else {
    setAccessibleDescription(kHelp);
  }
  update();
}

void TapeMapStrip::LayOut() { drawn_ = LayOutBands(survey_->map, width()); }

int TapeMapStrip::BandAt(int x) const { return DrawnBandAt(drawn_, x + 0.5); }

int TapeMapStrip::currentBand() const {
  const auto band =
      std::partition_point(drawn_.begin(), drawn_.end(), [&](const DrawnBand& d) { return d.last < current_; });
  return band == drawn_.end() ? -1 : static_cast<int>(band - drawn_.begin());
}

QString TapeMapStrip::BandText(const DrawnBand& band) const {
  if (list_ == nullptr) return {};
  return QString::fromStdString(DescribeBand(survey_->map, band, list_->sections(), survey_->turbo.files));
}

QRect TapeMapStrip::BandRect(const DrawnBand& band) const {
  const int x0 = static_cast<int>(band.x0);
  return {x0, 0, std::max(1, static_cast<int>(band.x1) - x0), height()};
}

void TapeMapStrip::SetCurrent(int index) {
  if (index < 0 || index >= static_cast<int>(drawn_.size())) return;
  current_ = drawn_[static_cast<size_t>(index)].first;
  DescribeCurrent();
  update();
}

void TapeMapStrip::DescribeCurrent() {
  const int index = currentBand();
  // A screen reader reads the band the keyboard is on, as a pointer would
  // show its tooltip.
  setAccessibleDescription(index < 0 ? QString(kHelp) : BandText(drawn_[static_cast<size_t>(index)]));
}

void TapeMapStrip::SelectBandRow(int index) {
  const int row = survey_->map.bands[drawn_[static_cast<size_t>(index)].main].row;
  if (row > 0) emit rowClicked(row);
}

void TapeMapStrip::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().base());
  for (const DrawnBand& band : drawn_) {
    const Colour c = BandColour(band.kind);
    painter.fillRect(QRectF(band.x0, 0, band.x1 - band.x0, height()), QColor(c.r, c.g, c.b));
  }
  painter.setPen(palette().mid().color());
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
  if (!hasFocus()) return;
  // The focus frame, and the keyboard's band outlined in black and white so
  // that it shows on every band colour (the highlight colour would vanish
  // on a ROM program's blue).
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(palette().highlight().color(), 2));
  painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
  if (const int index = currentBand(); index >= 0) {
    QRectF band = BandRect(drawn_[static_cast<size_t>(index)]);
    if (band.width() < kLeastOutline) {
      band.adjust(-(kLeastOutline - band.width()) / 2, 0, (kLeastOutline - band.width()) / 2, 0);
    }
    band = band.intersected(QRectF(rect()).adjusted(2, 2, -2, -2));
    painter.setPen(QPen(Qt::black, 2));
    painter.drawRect(band.adjusted(1, 1, -1, -1));
    painter.setPen(QPen(Qt::white, 2));
    painter.drawRect(band.adjusted(3, 3, -3, -3));
  }
}

void TapeMapStrip::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  LayOut();
  if (hasFocus()) DescribeCurrent();  // the bands may merge differently now
}

void TapeMapStrip::mousePressEvent(QMouseEvent* event) {
  const int index = event->button() == Qt::LeftButton ? BandAt(event->position().toPoint().x()) : -1;
  if (index < 0) return QWidget::mousePressEvent(event);
  SetCurrent(index);  // the keyboard goes on from the clicked band
  SelectBandRow(index);
}

void TapeMapStrip::keyPressEvent(QKeyEvent* event) {
  const int index = currentBand();
  const int last = static_cast<int>(drawn_.size()) - 1;
  int to = -1;
  switch (event->key()) {
    case Qt::Key_Left:
      to = std::max(0, index - 1);
      break;
    case Qt::Key_Right:
      to = std::min(last, index + 1);
      break;
    case Qt::Key_Home:
      to = 0;
      break;
    case Qt::Key_End:
      to = last;
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
      if (index >= 0) SelectBandRow(index);
      return;
    default:
      return QWidget::keyPressEvent(event);
  }
  if (to < 0 || to > last) return;
  SetCurrent(to);
  // What a pointer would show on the band, for whoever reads the screen.
  const QRect band = BandRect(drawn_[static_cast<size_t>(to)]);
  QToolTip::showText(mapToGlobal(QPoint(band.center().x(), height())), accessibleDescription(), this, band);
}

void TapeMapStrip::focusInEvent(QFocusEvent* event) {
  DescribeCurrent();
  update();
  QWidget::focusInEvent(event);
}

void TapeMapStrip::focusOutEvent(QFocusEvent* event) {
  QToolTip::hideText();
  update();
  QWidget::focusOutEvent(event);
}

bool TapeMapStrip::event(QEvent* event) {
  if (event->type() != QEvent::ToolTip) return QWidget::event(event);
  const auto* help = static_cast<QHelpEvent*>(event);
  const int index = BandAt(help->pos().x());
  if (index < 0 || list_ == nullptr) {
    QToolTip::hideText();
    event->ignore();
    return true;
  }
  const DrawnBand& band = drawn_[static_cast<size_t>(index)];
  QToolTip::showText(help->globalPos(), BandText(band), this, BandRect(band));
  return true;
}

}  // namespace rw
