// SPDX-License-Identifier: GPL-2.0-or-later
#include "split/pulse_histogram.h"

#include <algorithm>
#include <cstring>
#include <tuple>

#include "core/tape_coverage.h"
#include "core/turbo_visiload.h"
#include "core/utilities.h"

namespace rw {
namespace {

// The threshold a family's files are most often read at, 0 for no family
// the reader knows.
int UsualThreshold(std::string_view loader) {
  for (const TurboFamily& family : TurboFamilies()) {
    if (family.name == loader) return family.threshold;
  }
  return 0;
}

}  // namespace

std::string WidthText(int width) { return "$" + HexPad(static_cast<uint64_t>(width), 2); }

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
  const int64_t end =
      row < static_cast<int>(sections.size()) ? sections[static_cast<size_t>(row)].start : image.FileLength();
  PulseHistogram histogram = CountPulses(image, section.start, end);
  const auto& b = section.bounds;
  histogram.marks = {{b[0], b[1], "short", {}}, {b[2], b[3], "medium", {}}, {b[4], b[5], "long", {}}};

  // One line per loader, at the mean of the thresholds its files were read
  // with: each is tuned to its own pilot, and they differ by a unit or two.
  // Visiload changes its speed as the tape plays, so its thresholds are kept
  // apart where they differ by more: one line per speed.
  struct Setting {
    std::string name;
    int64_t sum = 0;
    int64_t files = 0;
    int last = 0;          // the highest threshold so far
    bool guessed = false;  // no threshold known: the family's most common one
  };
  struct Read {
    std::string name;
    int threshold = 0;
    bool guessed = false;
  };
  std::vector<Read> reads;
  for (const TurboFile& file : turbo) {
    if (ProgramHolding(sections, file.start) != row) continue;
    if (file.threshold > 0) {
      reads.push_back({std::string(file.loader), file.threshold, false});
    } else if (const int usual = UsualThreshold(file.loader); usual > 0) {
      reads.push_back({std::string(file.loader), usual, true});
    }
  }
  // By loader in order of first appearance, the known thresholds first, then
  // by threshold.
  std::vector<std::string> order;
  for (const Read& read : reads) {
    if (std::find(order.begin(), order.end(), read.name) == order.end()) order.push_back(read.name);
  }
  const auto key = [&](const Read& r) {
    return std::make_tuple(std::find(order.begin(), order.end(), r.name) - order.begin(), r.guessed, r.threshold);
  };
  std::stable_sort(reads.begin(), reads.end(), [&](const Read& a, const Read& b) { return key(a) < key(b); });
  constexpr int kSameSpeed = 2;  // thresholds this close were read at one speed
  std::vector<Setting> settings;
  for (const Read& read : reads) {
    const bool speeds = read.name == kVisiloadName;
    if (settings.empty() || settings.back().name != read.name || settings.back().guessed != read.guessed ||
        (speeds && read.threshold - settings.back().last > kSameSpeed)) {
      settings.push_back({read.name, 0, 0, 0, read.guessed});
    }
    Setting& setting = settings.back();
    setting.sum += read.threshold;
    ++setting.files;
    setting.last = read.threshold;
  }
  for (const Setting& setting : settings) {
    const int threshold = static_cast<int>((setting.sum + setting.files / 2) / setting.files);
    HistogramMark mark{threshold, threshold, setting.name, {}};
    const auto count = [](int64_t n) { return std::to_string(n) + (n == 1 ? " file" : " files"); };
    if (setting.guessed) {
      mark.note = setting.name + " threshold: its most common speed's (" + WidthText(threshold) +
                  "); the speeds of its " + count(setting.files) + " here are not known";
    } else if (setting.name == kVisiloadName) {
      mark.note =
          setting.name + " threshold " + WidthText(threshold) + ": " + count(setting.files) + " read at this speed";
    }
    histogram.marks.push_back(std::move(mark));
  }
  return histogram;
}

}  // namespace rw
