#include "split/pulse_histogram.h"

#include <algorithm>
#include <cstring>

#include "core/tape_coverage.h"

namespace rw {

void CountBytes(const uint8_t* bytes, size_t n, std::array<uint64_t, 256>& counts) {
  // Four tables, so that a run of equal bytes (a leader, a pilot) does not
  // wait on one counter's last increment at every step.
  uint32_t tables[4][256] = {};
  while (n > 0) {
    // Each 32-bit counter takes at most a quarter of a chunk.
    const size_t chunk = std::min<size_t>(n, size_t{1} << 30);
    size_t i = 0;
    for (; i + 4 <= chunk; i += 4) {
      ++tables[0][bytes[i]];
      ++tables[1][bytes[i + 1]];
      ++tables[2][bytes[i + 2]];
      ++tables[3][bytes[i + 3]];
    }
    for (; i < chunk; ++i) ++tables[0][bytes[i]];
    for (size_t v = 0; v < 256; ++v) {
      counts[v] += uint64_t{tables[0][v]} + tables[1][v] + tables[2][v] + tables[3][v];
      tables[0][v] = tables[1][v] = tables[2][v] = tables[3][v] = 0;
    }
    bytes += chunk;
    n -= chunk;
  }
}

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
  // Runs of pulses between the pauses.
  for (int64_t p = start; p < end;) {
    const void* zero = std::memchr(bytes + p, 0, static_cast<size_t>(end - p));
    const int64_t stop = zero ? static_cast<const uint8_t*>(zero) - bytes : end;
    CountBytes(bytes + p, static_cast<size_t>(stop - p), histogram.counts);
    p = stop + pauseLength;
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

  // One line per loader, at the mean of the thresholds its files were read
  // with: each is tuned to its own pilot, and they differ by a unit or two.
  struct Loader {
    std::string name;
    int64_t sum = 0;
    int64_t files = 0;
  };
  std::vector<Loader> loaders;
  for (const TurboFile& file : turbo) {
    if (file.threshold <= 0 || ProgramHolding(sections, file.start) != row) continue;
    auto loader = std::find_if(loaders.begin(), loaders.end(), [&](const Loader& l) { return l.name == file.loader; });
    if (loader == loaders.end()) loader = loaders.insert(loaders.end(), {file.loader});
    loader->sum += file.threshold;
    ++loader->files;
  }
  for (const Loader& loader : loaders) {
    const int threshold = static_cast<int>((loader.sum + loader.files / 2) / loader.files);
    histogram.marks.push_back({threshold, threshold, loader.name});
  }
  return histogram;
}

}  // namespace rw
