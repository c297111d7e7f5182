#pragma once
// The tape's map as a strip above the split window's list: one band per
// program, turbo file, pause and unrecognised stretch, as wide as it plays.
// Hovering a band tells what it is; clicking it asks for its program's row.

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

  QSize sizeHint() const override { return {400, 28}; }

 signals:
  // A band was clicked: the 1-based row of the program whose stretch holds it.
  void rowClicked(int row);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void LayOut();

  const ProgramList* list_ = nullptr;
  std::shared_ptr<const TapeSurvey> survey_ = std::make_shared<TapeSurvey>();
  std::vector<DrawnBand> drawn_;  // for the current width
};

}  // namespace rw
