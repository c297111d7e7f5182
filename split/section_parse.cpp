// SPDX-License-Identifier: GPL-2.0-or-later
#include "split/section_parse.h"

#include "core/pulse_timing.h"
#include "core/utilities.h"

namespace rw {
namespace {

const char* const kMachineNames[] = {"Commodore 64", "VIC-20", "C16 and Plus/4"};
const char* const kVideoNames[] = {"PAL", "NTSC"};

}  // namespace

ParsedTape ParseTape(const TapImage& image, float usPerCycle, const Progress& progress) {
  ParsedTape parsed;
  std::vector<ProgramRow>& rows = parsed.rows;
  if (image.FileLength() <= kTapHeaderSize) return parsed;
  RomDecoder decoder(image);
  decoder.untitledCounter = 0;
  int64_t pos = kTapHeaderSize;
  TapeSection section;
  while (decoder.FindNextSection(pos, section)) {
    if (!rows.empty()) rows.back().end = section.start - decoder.step();
    pos = static_cast<int64_t>(section.leaderEnd) + decoder.step();
    rows.push_back({std::move(section), 0, 0});
    if (progress) progress(pos, image.FileLength());
  }
  if (!rows.empty()) rows.back().end = image.FileLength() - 1;
  std::vector<std::pair<int64_t, int64_t>> stretches;
  stretches.reserve(rows.size());
  for (const auto& row : rows) stretches.emplace_back(row.section.start, row.end);
  const StretchTimes times = MeasureStretches(image, stretches, usPerCycle);
  for (size_t i = 0; i < rows.size(); ++i) rows[i].durationUs = times.stretches[i];
  parsed.totalUs = times.total;
  if (progress) progress(image.FileLength(), image.FileLength());
  return parsed;
}

std::vector<ProgramRow> ParsePrograms(const TapImage& image, float usPerCycle, const Progress& progress) {
  return ParseTape(image, usPerCycle, progress).rows;
}

ImageFacts DescribeImage(const TapImage& image, float usPerCycle, const std::string& decimalSeparator) {
  ParsedTape measured;
  measured.totalUs = PulseDuration(image, kTapHeaderSize, image.FileLength() - 1, usPerCycle);
  return DescribeImage(image, measured, decimalSeparator);
}

ImageFacts DescribeImage(const TapImage& image, const ParsedTape& parsed, const std::string& decimalSeparator) {
  ImageFacts facts;
  facts.machine = image.machine <= 2 ? kMachineNames[image.machine] : "";
  facts.version = "TAP V" + std::to_string(image.version);
  facts.video = image.video <= 1 ? kVideoNames[image.video] : "";
  facts.size = FormatSize(image.FileLength(), decimalSeparator);
  facts.totalDuration = DurationText(parsed.totalUs, decimalSeparator);
  return facts;
}

std::string OffsetText(int64_t offset) { return HexPad(static_cast<uint64_t>(offset < 0 ? 0 : offset), 6); }

std::string DurationText(double microseconds, const std::string& decimalSeparator) {
  return FormatDuration(microseconds / 1000000.0, decimalSeparator);
}

int32_t HexToLong(std::string_view text) {
  uint32_t value = 0;
  for (const char c : text) {
    uint32_t digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<uint32_t>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<uint32_t>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<uint32_t>(c - 'A' + 10);
    } else {
      break;
    }
    value = value << 4 | digit;
  }
  return static_cast<int32_t>(value);
}

}  // namespace rw
