#include "split/pulse_histogram.h"

#include <algorithm>

#include "core/tape_coverage.h"

namespace rw {

PulseHistogram CountPulses(const TapImage& image, int64_t start, int64_t end) {
  PulseHistogram histogram;
  start = std::max<int64_t>(start, kTapHeaderSize);
  end = std::min<int64_t>(end, image.FileLength());
  histogram.start = start;
  histogram.end = std::max(start, end);
  const uint8_t* bytes = image.bytes.data();
  // A zero byte is a pause; after version 0 its three count bytes follow.
  const int64_t pauseLength = image.version == 0 ? 1 : 4;
  if (image.version == 2) {
    for (int64_t p = start; p < end;) {
      if (bytes[p] == 0) {
        p += pauseLength;
        continue;
      }
      const int second = p + 1 < end ? bytes[p + 1] : 0;
      ++histogram.counts[static_cast<size_t>(std::min(255, bytes[p] + second))];
      p += second == 0 ? 1 : 2;
    }
    return histogram;
  }
  for (int64_t p = start; p < end;) {
    const uint8_t b = bytes[p];
    if (b == 0) {
      p += pauseLength;
      continue;
    }
    ++histogram.counts[b];
    ++p;
  }
  return histogram;
}

PulseHistogram ProgramPulses(const TapImage& image, const std::vector<TapeSection>& sections, int row,
                             const std::vector<TurboFile>& turbo) {
  if (row < 1 || row > static_cast<int>(sections.size())) return {};
  const TapeSection& section = sections[static_cast<size_t>(row - 1)];
  const int64_t end = row < static_cast<int>(sections.size()) ? sections[static_cast<size_t>(row)].start
                                                               : image.FileLength();
  PulseHistogram histogram = CountPulses(image, section.start, end);
  const auto& b = section.bounds;
  histogram.marks = {{b[0], b[1], "short"}, {b[2], b[3], "medium"}, {b[4], b[5], "long"}};

  const std::vector<TurboFamily> families = TurboFamilies();
  std::vector<std::string> loaders;
  for (const TurboFile& file : turbo) {
    if (ProgramHolding(sections, file.start) != row) continue;
    if (std::find(loaders.begin(), loaders.end(), file.loader) != loaders.end()) continue;
    loaders.push_back(file.loader);
    const auto family = std::find_if(families.begin(), families.end(),
                                     [&](const TurboFamily& f) { return f.name == file.loader; });
    if (family != families.end()) histogram.marks.push_back({family->threshold, family->threshold, file.loader});
  }
  return histogram;
}

}  // namespace rw
