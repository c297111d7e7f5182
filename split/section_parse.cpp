#include "split/section_parse.h"

#include "core/pulse_timing.h"
#include "core/utilities.h"

namespace rw {
namespace {

const char* const kMachineNames[] = {"Commodore 64", "VIC-20", "C16 and Plus/4"};
const char* const kVideoNames[] = {"PAL", "NTSC"};

}  // namespace

std::vector<ProgramRow> ParsePrograms(const TapImage& image, float usPerCycle, const Progress& progress) {
  std::vector<ProgramRow> rows;
  if (image.FileLength() <= kTapHeaderSize) return rows;
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
  for (auto& row : rows) row.durationUs = PulseDuration(image, row.section.start, row.end, usPerCycle);
  if (progress) progress(image.FileLength(), image.FileLength());
  return rows;
}

ImageFacts DescribeImage(const TapImage& image, float usPerCycle, const std::string& decimalSeparator) {
  ImageFacts facts;
  facts.machine = image.machine <= 2 ? kMachineNames[image.machine] : "";
  facts.version = "TAP V" + std::to_string(image.version);
  facts.video = image.video <= 1 ? kVideoNames[image.video] : "";
  const int32_t lastOffset = image.FileLength() - 1;
  facts.size = FormatSize(image.FileLength(), decimalSeparator);
  facts.totalDuration =
      DurationText(PulseDuration(image, kTapHeaderSize, lastOffset, usPerCycle), decimalSeparator);
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
