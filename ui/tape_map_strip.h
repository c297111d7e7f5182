// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The tape's map as a strip above the split window's list: one band per
// program, turbo file, pause and unrecognised stretch, as wide as it plays.
// Hovering a band tells what it is; clicking it asks for its program's row.
// By keyboard, the strip is a tab stop once a tape is loaded: Left and Right
// (Home, End) move between the bands as drawn, the focused band is outlined
// and its description is the strip's accessible description (and shown as a
// tooltip), and Return or Space select its program's row as a click does.

#include <QWidget>

#include <memory>
#include <vector>

#include "split/tape_map.h"
#include "split/tape_survey.h"

namespace rw {

class ProgramList;

class TapeMapStrip : public QWidget {
  Q_OBJECT
 public:
  explicit TapeMapStrip(QWidget* parent = nullptr);

  // Shows the tape `list` holds as `survey` found it (or clears the strip
  // when none is loaded).
  void ShowTape(const ProgramList& list, std::shared_ptr<const TapeSurvey> survey);
  const TapeSurvey& survey() const { return *survey_; }

  // The band drawn at `x` (pixels from the left), -1 where there is none.
  int BandAt(int x) const;
  const std::vector<DrawnBand>& drawnBands() const { return drawn_; }
  // The drawn band the keyboard is on, -1 when there is none.
  int currentBand() const;

  QSize sizeHint() const override { return {400, 28}; }

 signals:
  // A band was clicked: the 1-based row of the program whose stretch holds it.
  void rowClicked(int row);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void LayOut();
  // Moves the keyboard to drawn band `index` and tells what it is.
  void SetCurrent(int index);
  void DescribeCurrent();
  QString BandText(const DrawnBand& band) const;
  QRect BandRect(const DrawnBand& band) const;
  void SelectBandRow(int index);

  const ProgramList* list_ = nullptr;
  std::shared_ptr<const TapeSurvey> survey_ = std::make_shared<TapeSurvey>();
  std::vector<DrawnBand> drawn_;  // for the current width
  // The keyboard's band, as an index into the map's bands, so that it stays
  // put when a resize merges the bands differently.
  size_t current_ = 0;
};

}  // namespace rw
