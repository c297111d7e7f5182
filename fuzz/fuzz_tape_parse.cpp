// SPDX-License-Identifier: GPL-2.0-or-later
// The loader and the whole parse on arbitrary bytes: load, find every
// program, time them, and make every text the list and the info show. The
// raw bytes go through the loader as they are (so its refusals are fuzzed
// too) and once more with a mended header, so that the decoders see every
// input.

#include <string>

#include "core/data_block.h"
#include "core/pulse_timing.h"
#include "core/tap_image.h"
#include "fuzz/fuzz_support.h"
#include "split/section_parse.h"
#include "split/turbo_listing.h"

namespace {

void CheckText(const std::string& text) {
  // No text of the list may carry a NUL or be absurdly long.
  FUZZ_CHECK(text.find('\0') == std::string::npos);
  FUZZ_CHECK(text.size() < 200);
}

void ParseAndDescribe(const rw::TapImage& image) {
  const float usPerCycle = rw::SelectClock(image.machine, image.video);
  const auto rows = rw::ParsePrograms(image, usPerCycle);
  const int64_t last = image.FileLength() - 1;
  rw::DataBlockReader reader(image);
  std::vector<rw::TapeSection> sections;
  std::vector<rw::DataResult> results;
  for (size_t i = 0; i < rows.size(); ++i) {
    const auto& row = rows[i];
    const auto& section = row.section;
    FUZZ_CHECK(section.start >= rw::kTapHeaderSize);
    FUZZ_CHECK(section.start <= row.end + 1);
    FUZZ_CHECK(row.end <= last);
    FUZZ_CHECK(section.headerPos > section.start && section.headerPos <= last);
    FUZZ_CHECK(row.durationUs >= 0);
    FUZZ_CHECK(!section.name.empty());
    FUZZ_CHECK(section.rawName.size() <= 16);
    if (i + 1 < rows.size()) FUZZ_CHECK(rows[i + 1].section.start > section.start);
    for (const std::string separator : {".", ","}) {
      CheckText(rw::OffsetText(section.start));
      CheckText(rw::OffsetText(row.end));
      CheckText(rw::DurationText(row.durationUs, separator));
    }
    CheckText(section.name);
    (void)rw::ChecksumText(section.headerChecksumOk);
    (void)rw::ChecksumText(section.repeatChecksumOk);
    // The data: never presented whole unless complete and checked.
    const rw::DataResult data = reader.Read(section, row.end);
    if (data.whole()) {
      FUZZ_CHECK(data.checksumOk && data.combinedErrors == 0);
      FUZZ_CHECK(data.Length() == data.endAddress - data.startAddress);
    }
    FUZZ_CHECK(data.first.bytesRead >= 0 && data.first.readErrors >= 0);
    FUZZ_CHECK(data.first.pos <= last && data.repeat.pos <= last);
    sections.push_back(section);
    results.push_back(data);
  }
  // Turbo files: in tape order, inside the image, never over a ROM block,
  // never usable with a failed checksum, their bytes filling their range.
  const auto rom = rw::RomStretches(image, sections, results);
  const rw::TurboListing turbo = rw::ListTurboFiles(image, sections, results);
  int64_t previousEnd = 0;
  for (const rw::TurboFile& file : turbo.files) {
    FUZZ_CHECK(file.start >= previousEnd && file.start < file.end && file.end <= image.FileLength());
    previousEnd = file.end;
    for (const auto& stretch : rom) FUZZ_CHECK(file.end <= stretch.start || file.start >= stretch.end);
    FUZZ_CHECK(file.endAddress > file.loadAddress && file.endAddress <= 0x10000);
    FUZZ_CHECK(file.bytes.size() == file.endAddress - file.loadAddress);
    FUZZ_CHECK(!file.usable() || file.checksum != rw::TurboChecksum::Error);
    CheckText(rw::TurboFileLabel(file));
  }
  const auto& c = turbo.coverage;
  const double total = c.romPercent + c.turboPercent + c.pausePercent + c.unrecognisedPercent;
  FUZZ_CHECK(image.FileLength() <= rw::kTapHeaderSize || (total > 99.999 && total < 100.001));
  for (const std::string separator : {".", ","}) {
    const rw::ImageFacts facts = rw::DescribeImage(image, usPerCycle, separator);
    CheckText(facts.machine);
    CheckText(facts.version);
    CheckText(facts.video);
    CheckText(facts.size);
    CheckText(facts.totalDuration);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  {
    rw::TapImage image;
    const rw::Outcome loaded = rw::LoadTapImageFromBytes("fuzz.tap", std::vector<uint8_t>(data, data + size), image);
    // A refusal names its reason; an accepted file says nothing.
    FUZZ_CHECK(loaded.ok() == loaded.text().empty());
    if (loaded) {
      FUZZ_CHECK(image.FileLength() == static_cast<int32_t>(size));
      ParseAndDescribe(image);
      return 0;
    }
  }
  rw::TapImage image;
  FUZZ_CHECK(rw::LoadTapImageFromBytes("fuzz.tap", rw::fuzz::MendedTapFile(data, size), image).ok());
  ParseAndDescribe(image);
  return 0;
}
