#include "ui/tape_map_strip.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include "split/program_list.h"
#include "split/tape_pictures.h"

namespace rw {

TapeMapStrip::TapeMapStrip(QWidget* parent) : QWidget(parent) {
  setObjectName("tapeMap");
  setAccessibleName("Tape map");
  setAccessibleDescription("The tape's contents in playing order: ROM programs, turbo files, pauses and "
                           "unrecognised stretches. Click a band to select its program.");
  setMinimumHeight(20);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  setMouseTracking(false);
}

void TapeMapStrip::ShowTape(const ProgramList& list, std::shared_ptr<const TapeSurvey> survey) {
  list_ = &list;
  survey_ = list.loaded() && survey ? std::move(survey) : std::make_shared<TapeSurvey>();
  LayOut();
  update();
}

void TapeMapStrip::LayOut() { drawn_ = LayOutBands(survey_->map, width()); }

int TapeMapStrip::BandAt(int x) const { return DrawnBandAt(drawn_, x + 0.5); }

void TapeMapStrip::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().base());
  for (const DrawnBand& band : drawn_) {
    const Colour c = BandColour(band.kind);
    painter.fillRect(QRectF(band.x0, 0, band.x1 - band.x0, height()), QColor(c.r, c.g, c.b));
  }
  painter.setPen(palette().mid().color());
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TapeMapStrip::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  LayOut();
}

void TapeMapStrip::mousePressEvent(QMouseEvent* event) {
  const int index = event->button() == Qt::LeftButton ? BandAt(event->position().toPoint().x()) : -1;
  if (index < 0) return QWidget::mousePressEvent(event);
  const int row = survey_->map.bands[drawn_[static_cast<size_t>(index)].main].row;
  if (row > 0) emit rowClicked(row);
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
  const std::string text = DescribeBand(survey_->map, band, list_->sections(), survey_->turbo.files);
  QToolTip::showText(help->globalPos(), QString::fromStdString(text), this,
                     QRect(static_cast<int>(band.x0), 0, std::max(1, static_cast<int>(band.x1 - band.x0)), height()));
  return true;
}

}  // namespace rw
