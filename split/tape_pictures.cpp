// SPDX-License-Identifier: GPL-2.0-or-later
#include "split/tape_pictures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "split/section_parse.h"
#include "split/turbo_listing.h"

namespace rw {
namespace {

constexpr Colour kInk{32, 32, 32};
constexpr Colour kAxis{120, 120, 120};
constexpr Colour kThreshold{200, 40, 40};

std::string Seconds(double seconds) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.2fs", seconds);
  return buffer;
}

// A tick spacing of 1, 2 or 5 times a power of ten (or whole minutes) that
// gives at most `most` ticks over `total` seconds.
double TickSpacing(double total, int most) {
  const double steps[] = {0.1, 0.2, 0.5, 1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600, 7200};
  for (const double step : steps) {
    if (total / step <= most) return step;
  }
  return std::ceil(total / most / 3600) * 3600;
}

}  // namespace

Colour BandColour(BandKind kind) {
  switch (kind) {
    case BandKind::Rom:
      return {49, 110, 196};
    case BandKind::Turbo:
      return {56, 160, 82};
    case BandKind::Pause:
      return {200, 200, 200};
    case BandKind::Unrecognised:
      break;
  }
  return {214, 80, 64};
}

std::string AxisTime(double seconds) {
  const long tenths = std::lround(seconds * 10);
  const long whole = tenths / 10;
  char buffer[32];
  if (whole >= 3600) {
    std::snprintf(buffer, sizeof buffer, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
  } else if (tenths % 10 != 0) {
    std::snprintf(buffer, sizeof buffer, "%ld:%02ld.%ld", whole / 60, whole % 60, tenths % 10);
  } else {
    std::snprintf(buffer, sizeof buffer, "%ld:%02ld", whole / 60, whole % 60);
  }
  return buffer;
}

std::string DescribeBand(const TapeMap& map, const DrawnBand& drawn, const std::vector<TapeSection>& sections,
                         const std::vector<TurboFile>& turbo) {
  const TapeBand& main = map.bands.at(drawn.main);
  const TapeBand& first = map.bands.at(drawn.first);
  const TapeBand& last = map.bands.at(drawn.last);
  std::string text;
  if (drawn.first == drawn.last) {
    text = BandKindText(main.kind);
    if (main.turbo >= 0 && static_cast<size_t>(main.turbo) < turbo.size()) {
      const TurboFile& file = turbo[static_cast<size_t>(main.turbo)];
      text += ": " + TurboFileLabel(file) + ", checksum " + TurboChecksumText(file.checksum);
    }
  } else {
    text = std::to_string(drawn.last - drawn.first + 1) + " short stretches, mostly " + BandKindText(drawn.kind);
  }
  if (main.row > 0 && static_cast<size_t>(main.row) <= sections.size()) {
    text += "\nProgram " + std::to_string(main.row) + ": " + sections[static_cast<size_t>(main.row - 1)].name;
  } else {
    text += "\nBefore the first program";
  }
  const double end = last.startSeconds + last.seconds;
  text += "\n" + AxisTime(first.startSeconds) + " to " + AxisTime(end) + " (" + Seconds(end - first.startSeconds) +
          "), offsets " + OffsetText(first.start) + "-" + OffsetText(last.end);
  return text;
}

Picture TapeMapPicture(const TapeMap& map, const std::vector<TapeSection>& sections,
                       const std::vector<TurboFile>& turbo, const std::string& title, double width) {
  constexpr double kMargin = 24, kStripTop = 44, kStripHeight = 56;
  Picture picture;
  picture.width = width;
  picture.height = 190;
  picture.texts.push_back({kMargin, 26, title, 15, TextAnchor::Start, kInk});
  const double stripWidth = std::max(1.0, width - 2 * kMargin);
  for (const DrawnBand& band : LayOutBands(map, stripWidth)) {
    picture.rects.push_back({kMargin + band.x0, kStripTop, band.x1 - band.x0, kStripHeight, BandColour(band.kind),
                             "band", DescribeBand(map, band, sections, turbo)});
  }

  // The time axis.
  const double axisY = kStripTop + kStripHeight + 6;
  picture.lines.push_back({kMargin, axisY, kMargin + stripWidth, axisY, kAxis, false});
  if (map.totalSeconds > 0) {
    const double spacing = TickSpacing(map.totalSeconds, std::max(2, static_cast<int>(stripWidth / 90)));
    for (double t = 0; t <= map.totalSeconds + 1e-9; t += spacing) {
      const double x = kMargin + t / map.totalSeconds * stripWidth;
      picture.lines.push_back({x, axisY, x, axisY + 5, kAxis, false});
      picture.texts.push_back({x, axisY + 18, AxisTime(t), 11, TextAnchor::Middle, kInk});
    }
  }

  // The legend, with each kind's share of the playing time.
  double share[kBandKinds] = {};
  for (const TapeBand& band : map.bands) share[static_cast<int>(band.kind)] += band.seconds;
  double x = kMargin;
  const double legendY = axisY + 44;
  for (int k = 0; k < kBandKinds; ++k) {
    const auto kind = static_cast<BandKind>(k);
    char percent[32];
    std::snprintf(percent, sizeof percent, " %.1f%%", map.totalSeconds > 0 ? 100.0 * share[k] / map.totalSeconds : 0.0);
    picture.rects.push_back({x, legendY - 11, 14, 14, BandColour(kind), "legend", {}});
    const std::string label = std::string(BandKindText(kind)) + percent;
    picture.texts.push_back({x + 20, legendY, label, 12, TextAnchor::Start, kInk});
    x += 40 + 7.0 * static_cast<double>(label.size());
  }
  picture.texts.push_back({width - kMargin, legendY, "Total " + AxisTime(map.totalSeconds) + " (width: playing time)",
                           12, TextAnchor::End, kAxis});
  return picture;
}

Picture PulsePicture(const PulseHistogram& histogram, const std::string& title) {
  constexpr double kLeft = 64, kRight = 20, kPlotHeight = 260, kPlotWidth = 768, kLabelRow = 13, kNoteRow = 17;
  // The widths shown: from 0 to a little past the widest pulse or bound, in
  // steps of $20, so that the few dozen widths a tape uses are not squeezed
  // into a corner.
  int widest = 0;
  for (int w = 1; w < 256; ++w) {
    if (histogram.counts[static_cast<size_t>(w)] != 0) widest = w;
  }
  for (const HistogramMark& mark : histogram.marks) widest = std::max(widest, mark.last);
  const int range = std::clamp((widest + 8) / 32 * 32 + 32, 64, 256);
  const double bin = kPlotWidth / range;
  const auto xOf = [&](double width) { return kLeft + width * bin; };

  // The thresholds' captions, each on the first row above the plot where it
  // clears the captions already placed (a loader that changed its speed, or
  // two loaders, may have lines a few units apart). A loader with several
  // lines names each by its value.
  struct Caption {
    double x0 = 0, x1 = 0;
    int row = 0;
    std::string text;
  };
  std::vector<Caption> captions;
  std::vector<std::string> notes;
  int rows = 1;
  for (const HistogramMark& mark : histogram.marks) {
    if (!mark.note.empty()) notes.push_back(mark.note);
    if (mark.first != mark.last) continue;
    const auto sameLoader = std::count_if(histogram.marks.begin(), histogram.marks.end(), [&](const HistogramMark& m) {
      return m.first == m.last && m.label == mark.label;
    });
    Caption caption;
    caption.text = mark.label + (sameLoader > 1 ? " " + WidthText(mark.first) : std::string(" threshold"));
    caption.x0 = xOf(mark.first + 0.5);
    caption.x1 = caption.x0 + 3 + 6.5 * static_cast<double>(caption.text.size());  // about 11-pixel type
    const auto clashes = [&](int row) {
      return std::any_of(captions.begin(), captions.end(),
                         [&](const Caption& c) { return c.row == row && caption.x0 < c.x1 && c.x0 < caption.x1; });
    };
    while (clashes(caption.row)) ++caption.row;
    rows = std::max(rows, caption.row + 1);
    captions.push_back(caption);
  }
  const double plotTop = 56 + kLabelRow * (rows - 1);

  Picture picture;
  picture.width = kLeft + kPlotWidth + kRight;
  picture.height = plotTop + kPlotHeight + 56 + kNoteRow * static_cast<double>(notes.size());
  picture.texts.push_back({kLeft, 26, title, 15, TextAnchor::Start, kInk});
  const double bottom = plotTop + kPlotHeight;

  // The readers' bounds first, under the counts.
  const Colour spans[] = {{49, 110, 196, 0.15}, {56, 160, 82, 0.15}, {214, 130, 40, 0.15}};
  size_t spanIndex = 0;
  for (const HistogramMark& mark : histogram.marks) {
    if (mark.first != mark.last) {
      if (mark.last < mark.first) continue;  // classes never tuned
      const Colour colour = spans[spanIndex++ % std::size(spans)];
      picture.rects.push_back(
          {xOf(mark.first), plotTop, (mark.last - mark.first + 1) * bin, kPlotHeight, colour, "class", mark.label});
      picture.texts.push_back(
          {xOf((mark.first + mark.last + 1) / 2.0), plotTop - 6, mark.label, 11, TextAnchor::Middle, kInk});
    }
  }
  for (const Caption& caption : captions) {
    const double y = plotTop - 18 - kLabelRow * caption.row;
    picture.lines.push_back({caption.x0, y + 4, caption.x0, bottom, kThreshold, true});
    picture.texts.push_back({caption.x0 + 3, y, caption.text, 11, TextAnchor::Start, kThreshold});
  }

  const uint64_t most = *std::max_element(histogram.counts.begin(), histogram.counts.end());
  const double top = std::log10(1.0 + static_cast<double>(most));
  for (int w = 1; w < range; ++w) {
    const uint64_t count = histogram.counts[static_cast<size_t>(w)];
    if (count == 0) continue;
    const double h = std::max(1.0, kPlotHeight * std::log10(1.0 + static_cast<double>(count)) / top);
    picture.rects.push_back({xOf(w), bottom - h, bin, h, kInk, "bin",
                             WidthText(w) + " (" + std::to_string(w) + "): " + std::to_string(count) + " pulses"});
  }

  picture.lines.push_back({kLeft, bottom, xOf(range), bottom, kAxis, false});
  picture.lines.push_back({kLeft, plotTop, kLeft, bottom, kAxis, false});
  for (int w = 0; w <= range; w += range > 128 ? 32 : 16) {
    picture.lines.push_back({xOf(w), bottom, xOf(w), bottom + 5, kAxis, false});
    picture.texts.push_back({xOf(w), bottom + 18, WidthText(w), 11, TextAnchor::Middle, kInk});
  }
  picture.texts.push_back(
      {xOf(range / 2.0), bottom + 40, "pulse width (TAP units, 8 cycles each)", 12, TextAnchor::Middle, kInk});
  picture.texts.push_back({kLeft - 6, plotTop + 10, std::to_string(most), 11, TextAnchor::End, kInk});
  picture.texts.push_back({kLeft - 6, bottom, "0", 11, TextAnchor::End, kInk});
  picture.texts.push_back({kLeft - 6, plotTop + kPlotHeight / 2, "log", 11, TextAnchor::End, kAxis});
  // The legend: what a line needs said beyond its caption.
  for (size_t i = 0; i < notes.size(); ++i) {
    picture.texts.push_back(
        {kLeft, bottom + 62 + kNoteRow * static_cast<double>(i), notes[i], 12, TextAnchor::Start, kThreshold});
  }
  return picture;
}

}  // namespace rw
