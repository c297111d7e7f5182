// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/tape_coverage.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/rom_format.h"

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

std::vector<BootHeader> BootHeaders(const TapImage& image, const std::vector<TapeSection>& sections) {
  std::vector<BootHeader> headers;
  RomDecoder decoder(image);
  for (TapeSection section : sections) {
    decoder.SetBounds(section.bounds);
    for (const int copy : {1, 2}) {
      const int64_t pos = copy == 1 ? section.headerPos : section.repeatPos;
      if (pos <= 0) continue;
      decoder.ReadBlock(pos, section, copy);
      const auto& block = decoder.blockBuffer();
      // The countdown, the header, its checksum.
      constexpr size_t kCountdown = rom_block::kCountdownLength;
      if (block.size() < kCountdown + rom_block::kHeaderLength + 1 || !decoder.BlockChecksumOk()) continue;
      headers.push_back({section.start, std::vector<uint8_t>(block.begin() + kCountdown,
                                                             block.begin() + kCountdown + rom_block::kHeaderLength)});
      break;
    }
  }
  return headers;
}

namespace {

enum class Kind : uint8_t { Unknown, Rom, Turbo, Pause };

// Calls `visit(kind, start, end)` for consecutive runs of one kind that
// together cover the pulse data, in order. Where stretches overlap, later
// ones win, so a turbo file's tone over nothing else counts once.
template <typename Visit>
void ForEachRun(const TapImage& image, const std::vector<TapeStretch>& rom, const std::vector<TurboFile>& turbo,
                Visit visit) {
  const int64_t first = kTapHeaderSize;
  const int64_t last = image.FileLength();
  struct Mark {
    int64_t start;
    int64_t end;
    Kind kind;
  };
  std::vector<Mark> marks;
  marks.reserve(rom.size() + turbo.size());
  for (const auto& s : rom) marks.push_back({s.start, s.end, Kind::Rom});
  for (const auto& f : turbo) marks.push_back({f.start, f.end, Kind::Turbo});
  std::stable_sort(marks.begin(), marks.end(), [](const Mark& a, const Mark& b) { return a.start < b.start; });

  size_t m = 0;
  int64_t markEnd = 0;
  Kind kind = Kind::Unknown;
  const int pauseLength = image.version == 0 ? 1 : 4;
  for (int64_t p = first; p < last;) {
    while (m < marks.size() && marks[m].start <= p) {
      if (marks[m].end > p) {
        kind = marks[m].kind;
        markEnd = marks[m].end;
      }
      ++m;
    }
    if (p >= markEnd) kind = Kind::Unknown;
    if (image.bytes[static_cast<size_t>(p)] == 0) {
      const int64_t n = std::min<int64_t>(pauseLength, last - p);
      visit(Kind::Pause, p, p + n);
      p += n;
      continue;
    }
    // Up to the next change: the end of the mark, the next mark or a pause.
    int64_t stop = last;
    if (kind != Kind::Unknown) stop = std::min(stop, markEnd);
    if (m < marks.size()) stop = std::min(stop, marks[m].start);
    // Most of a tape lies between pauses: the next zero byte is looked for
    // the fast way, over whole stretches.
    const uint8_t* from = image.bytes.data() + p;
    const auto* zero = stop > p ? static_cast<const uint8_t*>(std::memchr(from, 0, static_cast<size_t>(stop - p))) : from;
    const int64_t q = zero == nullptr ? stop : p + (zero - from);
    visit(kind, p, q);
    p = q;
  }
}

}  // namespace

CoverageSurvey SurveyCoverage(const TapImage& image, const std::vector<TapeStretch>& rom,
                              const std::vector<TurboFile>& turbo) {
  CoverageSurvey survey;
  const int64_t total = image.FileLength() - kTapHeaderSize;
  if (total <= 0) return survey;
  int64_t shares[4] = {0, 0, 0, 0};
  std::vector<UnrecognisedStretch>& stretches = survey.unrecognised;
  std::array<int64_t, 256> counts{};
  bool open = false;  // the last stretch may still grow
  const auto close = [&] {
    if (!open) return;
    open = false;
    std::vector<std::pair<uint8_t, int64_t>> pulses;
    for (size_t v = 1; v < counts.size(); ++v) {
      if (counts[v] > 0) pulses.emplace_back(static_cast<uint8_t>(v), counts[v]);
    }
    const size_t keep = std::min(kCommonPulses, pulses.size());
    std::partial_sort(pulses.begin(), pulses.begin() + static_cast<ptrdiff_t>(keep), pulses.end(),
                      [](const auto& a, const auto& b) {
                        return a.second > b.second || (a.second == b.second && a.first < b.first);
                      });
    pulses.resize(keep);
    stretches.back().commonPulses = std::move(pulses);
    counts.fill(0);
  };
  ForEachRun(image, rom, turbo, [&](Kind kind, int64_t start, int64_t end) {
    shares[static_cast<size_t>(kind)] += end - start;
    if (kind != Kind::Unknown) {
      close();
      return;
    }
    // Runs of unknown pulses that touch (where a mark ends without a pause)
    // are one stretch.
    if (!open || stretches.back().end != start) {
      close();
      stretches.push_back({start, end, {}});
      open = true;
    } else {
      stretches.back().end = end;
    }
    for (int64_t p = start; p < end; ++p) ++counts[image.bytes[static_cast<size_t>(p)]];
  });
  close();
  const auto share = [&](Kind kind) {
    return 100.0 * static_cast<double>(shares[static_cast<size_t>(kind)]) / static_cast<double>(total);
  };
  survey.coverage.romPercent = share(Kind::Rom);
  survey.coverage.turboPercent = share(Kind::Turbo);
  survey.coverage.pausePercent = share(Kind::Pause);
  survey.coverage.unrecognisedPercent = share(Kind::Unknown);
  survey.coverage.pulseBytes = total;
  return survey;
}

TapeCoverage MeasureCoverage(const TapImage& image, const std::vector<TapeStretch>& rom,
                             const std::vector<TurboFile>& turbo) {
  return SurveyCoverage(image, rom, turbo).coverage;
}

std::vector<UnrecognisedStretch> FindUnrecognised(const TapImage& image, const std::vector<TapeStretch>& rom,
                                                  const std::vector<TurboFile>& turbo) {
  return SurveyCoverage(image, rom, turbo).unrecognised;
}

TapeCoverage RoundedCoverage(const TapeCoverage& coverage) {
  TapeCoverage rounded = coverage;
  double* parts[] = {&rounded.romPercent, &rounded.turboPercent, &rounded.pausePercent, &rounded.unrecognisedPercent};
  double sum = 0;
  for (double* part : parts) sum += *part;
  if (sum <= 0) {
    for (double* part : parts) *part = 0;
    return rounded;
  }
  // In hundredths: each share rounded down, then the hundredths still
  // missing given to the shares that lost the most.
  int64_t hundredths[4];
  double remainders[4];
  int64_t given = 0;
  for (size_t i = 0; i < 4; ++i) {
    const double exact = *parts[i] * 100.0 * (100.0 / sum);
    hundredths[i] = static_cast<int64_t>(std::floor(exact));
    remainders[i] = exact - static_cast<double>(hundredths[i]);
    given += hundredths[i];
  }
  for (int64_t missing = 10000 - given; missing > 0; --missing) {
    const size_t i = static_cast<size_t>(std::max_element(remainders, remainders + 4) - remainders);
    ++hundredths[i];
    remainders[i] = -1;
  }
  for (size_t i = 0; i < 4; ++i) *parts[i] = static_cast<double>(hundredths[i]) / 100.0;
  return rounded;
}

int ProgramHolding(const std::vector<TapeSection>& sections, int64_t position) {
  const auto after = std::upper_bound(sections.begin(), sections.end(), position,
                                      [](int64_t pos, const TapeSection& s) { return pos < s.start; });
  return static_cast<int>(after - sections.begin());
}

}  // namespace rw
