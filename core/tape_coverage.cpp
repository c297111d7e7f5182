#include "core/tape_coverage.h"

#include <algorithm>
#include <cstdlib>

namespace rw {
std::vector<TapeStretch> RomStretches(const TapImage& image, const std::vector<TapeSection>& sections,
                                      const std::vector<DataResult>& data) {
  std::vector<TapeStretch> stretches;
  stretches.reserve(sections.size());
  RomDecoder decoder(image);
  for (size_t i = 0; i < sections.size(); ++i) {
    const TapeSection& section = sections[i];
    decoder.SetBounds(section.bounds);
    int64_t end = std::max<int64_t>(section.afterHeader, section.afterRepeat);
    if (i < data.size()) {
      for (const DataCopy* copy : {&data[i].first, &data[i].repeat}) {
        if (copy->found) end = std::max<int64_t>(end, copy->end);
      }
    }
    // The short pulses the saver writes after a block: close to the
    // program's own short pulse, so that a turbo pilot right behind (whose
    // 0 bits may be short in the ROM's terms too) keeps its first pulse.
    const int peak = section.peaks[0];
    const auto trailing = [&](int p) { return decoder.IsShort(p) && 8 * std::abs(p - peak) <= peak; };
    while (end < image.FileLength() && trailing(decoder.ReadPulse(end))) end += decoder.step();
    stretches.push_back({section.start, std::min<int64_t>(end, image.FileLength())});
  }
  return stretches;
}

TapeCoverage MeasureCoverage(const TapImage& image, const std::vector<TapeStretch>& rom,
                             const std::vector<TurboFile>& turbo) {
  TapeCoverage coverage;
  const int64_t first = kTapHeaderSize;
  const int64_t last = image.FileLength();
  if (last <= first) return coverage;

  // Every position is one kind; later entries win, so a turbo file's tone
  // that overlaps nothing else counts once.
  enum Kind : uint8_t { kUnknown, kRom, kTurbo };
  struct Mark {
    int64_t start;
    int64_t end;
    Kind kind;
  };
  std::vector<Mark> marks;
  marks.reserve(rom.size() + turbo.size());
  for (const auto& s : rom) marks.push_back({s.start, s.end, kRom});
  for (const auto& f : turbo) marks.push_back({f.start, f.end, kTurbo});
  std::sort(marks.begin(), marks.end(), [](const Mark& a, const Mark& b) { return a.start < b.start; });

  int64_t counts[3] = {0, 0, 0};
  int64_t pauses = 0;
  size_t m = 0;
  int64_t markEnd = 0;
  Kind kind = kUnknown;
  const int pauseLength = image.version == 0 ? 1 : 4;
  for (int64_t p = first; p < last;) {
    while (m < marks.size() && marks[m].start <= p) {
      if (marks[m].end > p) {
        kind = marks[m].kind;
        markEnd = marks[m].end;
      }
      ++m;
    }
    if (p >= markEnd) kind = kUnknown;
    if (image.bytes[static_cast<size_t>(p)] == 0) {
      const int64_t n = std::min<int64_t>(pauseLength, last - p);
      pauses += n;
      p += n;
      continue;
    }
    // Up to the next change: the end of the mark, the next mark or a pause.
    int64_t stop = last;
    if (kind != kUnknown) stop = std::min(stop, markEnd);
    if (m < marks.size()) stop = std::min(stop, marks[m].start);
    int64_t q = p;
    while (q < stop && image.bytes[static_cast<size_t>(q)] != 0) ++q;
    counts[kind] += q - p;
    p = q;
  }
  const double total = static_cast<double>(last - first);
  coverage.romPercent = 100.0 * static_cast<double>(counts[kRom]) / total;
  coverage.turboPercent = 100.0 * static_cast<double>(counts[kTurbo]) / total;
  coverage.pausePercent = 100.0 * static_cast<double>(pauses) / total;
  coverage.unrecognisedPercent = 100.0 * static_cast<double>(counts[kUnknown]) / total;
  return coverage;
}

int ProgramHolding(const std::vector<TapeSection>& sections, int64_t position) {
  const auto after = std::upper_bound(sections.begin(), sections.end(), position,
                                      [](int64_t pos, const TapeSection& s) { return pos < s.start; });
  return static_cast<int>(after - sections.begin());
}

}  // namespace rw
