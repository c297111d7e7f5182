// SPDX-License-Identifier: GPL-2.0-or-later
#include "split/tape_map.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "core/pulse_timing.h"
#include "core/tape_coverage.h"
#include "split/pulse_histogram.h"

namespace rw {
namespace {

struct Mark {
  int64_t start;
  int64_t end;
  BandKind kind;
  int turbo;
};

// Adds the bands of [start, end) for one mark: its pulses as `kind`, split
// by the pauses inside it.
class BandWriter {
 public:
  BandWriter(const TapImage& image, float usPerCycle, const std::vector<TapeSection>& sections, TapeMap& map)
      : image_(image),
        usPerCycle_(usPerCycle),
        sections_(sections),
        map_(map),
        pauseLength_(image.version == 0 ? 1 : 4) {}

  void Add(int64_t start, int64_t end, BandKind kind, int turbo) {
    const uint8_t* bytes = image_.bytes.data();
    int64_t p = start;
    while (p < end) {
      const void* zero = std::memchr(bytes + p, 0, static_cast<size_t>(end - p));
      const int64_t pulsesEnd = zero ? static_cast<const uint8_t*>(zero) - bytes : end;
      if (pulsesEnd > p) Push(p, pulsesEnd, kind, turbo);
      if (pulsesEnd >= end) break;
      // A run of pauses, each a zero byte and (after version 0) its count.
      int64_t q = pulsesEnd;
      while (q < end && bytes[q] == 0) q = std::min(end, q + pauseLength_);
      Push(pulsesEnd, q, BandKind::Pause, -1);
      p = q;
    }
  }

 private:
  void Push(int64_t start, int64_t end, BandKind kind, int turbo) {
    TapeBand band{kind, start, end, map_.totalSeconds, 0, 0, turbo};
    band.seconds =
        (kind == BandKind::Pause ? PulseDuration(image_, start, end - 1, usPerCycle_) : PulsesDuration(start, end)) /
        1e6;
    band.row = ProgramHolding(sections_, start);
    map_.totalSeconds += band.seconds;
    map_.bands.push_back(band);
  }

  // The playing time of [start, end), which holds no zero byte, in
  // microseconds: as PulseDuration times it, counted faster.
  double PulsesDuration(int64_t start, int64_t end) const {
    std::array<uint64_t, 256> counts{};
    CountBytes(image_.bytes.data() + start, static_cast<size_t>(end - start), counts);
    double total = 0;
    for (int b = 1; b < 256; ++b) {
      if (counts[static_cast<size_t>(b)] == 0) continue;
      const float one = static_cast<float>(b * 8) * usPerCycle_;
      total += static_cast<double>(one) * static_cast<double>(counts[static_cast<size_t>(b)]);
    }
    return total;
  }

  const TapImage& image_;
  float usPerCycle_;
  const std::vector<TapeSection>& sections_;
  TapeMap& map_;
  int pauseLength_;
};

}  // namespace

const char* BandKindText(BandKind kind) {
  switch (kind) {
    case BandKind::Rom:
      return "ROM program";
    case BandKind::Turbo:
      return "Turbo file";
    case BandKind::Pause:
      return "Pause";
    case BandKind::Unrecognised:
      break;
  }
  return "Unrecognised";
}

TapeMap BuildTapeMap(const TapImage& image, float usPerCycle, const std::vector<TapeSection>& sections,
                     const std::vector<TapeStretch>& rom, const std::vector<TurboFile>& turbo) {
  std::vector<Mark> marks;
  marks.reserve(rom.size() + turbo.size());
  for (const auto& s : rom) marks.push_back({s.start, s.end, BandKind::Rom, -1});
  for (size_t i = 0; i < turbo.size(); ++i) {
    marks.push_back({turbo[i].start, turbo[i].end, BandKind::Turbo, static_cast<int>(i)});
  }
  std::stable_sort(marks.begin(), marks.end(), [](const Mark& a, const Mark& b) { return a.start < b.start; });

  TapeMap map;
  BandWriter writer(image, usPerCycle, sections, map);
  const int64_t last = image.FileLength();
  int64_t p = kTapHeaderSize;
  for (const Mark& mark : marks) {
    // Stretches never overlap as the readers find them; should one reach
    // into the next, the earlier one keeps the shared pulses.
    const int64_t start = std::clamp<int64_t>(mark.start, p, last);
    const int64_t end = std::clamp<int64_t>(mark.end, start, last);
    if (start > p) writer.Add(p, start, BandKind::Unrecognised, -1);
    if (end > start) writer.Add(start, end, mark.kind, mark.turbo);
    p = std::max(p, end);
  }
  if (last > p) writer.Add(p, last, BandKind::Unrecognised, -1);
  return map;
}

std::vector<DrawnBand> LayOutBands(const TapeMap& map, double width) {
  std::vector<DrawnBand> drawn;
  if (map.bands.empty() || map.totalSeconds <= 0 || width <= 0) return drawn;
  const double scale = width / map.totalSeconds;

  // The run of narrow bands not drawn yet, with the time each kind takes in it.
  bool pending = false;
  DrawnBand run;
  double kindSeconds[kBandKinds] = {};
  const auto flush = [&] {
    if (!pending) return;
    const auto longest = std::max_element(std::begin(kindSeconds), std::end(kindSeconds));
    run.kind = static_cast<BandKind>(longest - std::begin(kindSeconds));
    drawn.push_back(run);
    pending = false;
    std::fill(std::begin(kindSeconds), std::end(kindSeconds), 0.0);
  };
  for (size_t i = 0; i < map.bands.size(); ++i) {
    const TapeBand& band = map.bands[i];
    const double x0 = band.startSeconds * scale;
    const double x1 = (band.startSeconds + band.seconds) * scale;
    if (x1 - x0 >= 1.0) {
      flush();
      drawn.push_back({x0, x1, band.kind, i, i, i});
      continue;
    }
    if (!pending) {
      run = {x0, x1, band.kind, i, i, i};
      pending = true;
    }
    run.x1 = x1;
    run.last = i;
    if (band.seconds > map.bands[run.main].seconds) run.main = i;
    kindSeconds[static_cast<int>(band.kind)] += band.seconds;
    if (run.x1 - run.x0 >= 1.0) flush();
  }
  flush();
  return drawn;
}

int DrawnBandAt(const std::vector<DrawnBand>& drawn, double x) {
  const auto after =
      std::upper_bound(drawn.begin(), drawn.end(), x, [](double value, const DrawnBand& b) { return value < b.x0; });
  if (after == drawn.begin()) return -1;
  const auto band = after - 1;
  // The last band's right edge belongs to it too.
  if (x > band->x1 || (x == band->x1 && after != drawn.end())) return -1;
  return static_cast<int>(band - drawn.begin());
}

}  // namespace rw
