// SPDX-License-Identifier: GPL-2.0-or-later
#include "split/turbo_listing.h"

#include <algorithm>
#include <utility>

#include "core/commodore_names.h"
#include "core/pulse_timing.h"
#include "core/safe_file.h"
#include "core/tap_writer.h"
#include "core/utilities.h"

namespace rw {

TurboListing ListTurboFiles(const TapImage& image, const std::vector<TapeSection>& sections,
                            const std::vector<DataResult>& data, TurboBytes bytes) {
  TurboListing listing;
  const auto rom = RomStretches(image, sections, data);
  listing.files = FindTurboFiles(image, rom, BootHeaders(image, sections), bytes);
  listing.rows.reserve(listing.files.size());
  for (const auto& file : listing.files) listing.rows.push_back(ProgramHolding(sections, file.start));
  CoverageSurvey survey = SurveyCoverage(image, rom, listing.files);
  listing.coverage = survey.coverage;
  listing.unrecognised = std::move(survey.unrecognised);
  return listing;
}

std::string TurboFileName(const TurboFile& file) {
  if (!file.name) return {};
  std::string name = FilterName(*file.name);
  const auto first = name.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  name = name.substr(first, name.find_last_not_of(' ') - first + 1);
  for (char& c : name) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return Latin1ToUtf8(name);
}

std::string TurboEndAddressText(const TurboFile& file) { return HexPad(file.endAddress, 4); }

std::string TurboFileLabel(const TurboFile& file) {
  const std::string name = TurboFileName(file);
  if (!name.empty()) return std::string(file.loader) + " \"" + name + "\"";
  return std::string(file.loader) + " " + HexPad(file.loadAddress, 4) + "-" + TurboEndAddressText(file);
}

ListRow TurboListRow(const ProgramList& list, const TurboFile& file) {
  const double us = PulseDuration(list.image(), file.start, file.end - 1, list.usPerCycle());
  ListRow row;
  row.program = TurboFileLabel(file);
  row.start = OffsetText(file.start);
  row.end = OffsetText(file.end);
  row.duration = DurationText(us, list.decimalSeparator());
  row.check1 = TurboChecksumText(file.checksum);
  return row;
}

std::string TurboFileSummary(const TurboFile& file) {
  std::string text(file.loader);
  if (const std::string name = TurboFileName(file); !name.empty()) text += " \"" + name + "\"";
  text += "\nLoads to $" + HexPad(file.loadAddress, 4) + "-$" + TurboEndAddressText(file) + " (end exclusive)";
  text += file.checksum == TurboChecksum::None ? "\nNo checksum: the format has none"
                                               : "\nChecksum " + std::string(TurboChecksumText(file.checksum));
  if (file.readErrors > 0) {
    text += "\n" + std::to_string(file.readErrors) + (file.readErrors == 1 ? " byte" : " bytes") + " did not read";
  }
  return text;
}

std::vector<std::vector<size_t>> FilesByRow(const TurboListing& listing, int rowCount) {
  std::vector<std::vector<size_t>> byRow(static_cast<size_t>(std::max(rowCount, 0)));
  for (size_t i = 0; i < listing.files.size() && i < listing.rows.size(); ++i) {
    const int row = listing.rows[i];
    if (row >= 1 && row <= rowCount) byRow[static_cast<size_t>(row - 1)].push_back(i);
  }
  return byRow;
}

TurboExtractReport ExtractTurboFiles(const TurboListing& listing, const std::vector<size_t>& indices,
                                     const std::string& folder, bool keepDamaged) {
  TurboExtractReport report;
  report.files.reserve(indices.size());
  for (const size_t index : indices) {
    const TurboFile& file = listing.files.at(index);
    ExtractedTurboFile entry{index, TurboExtractStatus::Written, {}};
    if (!file.usable()) {
      entry.status = keepDamaged ? TurboExtractStatus::WrittenDamaged : TurboExtractStatus::NotWritten;
      if (!keepDamaged) {
        report.files.push_back(std::move(entry));
        continue;
      }
    }
    std::string number = std::to_string(index + 1);
    if (number.size() < 3) number.insert(0, 3 - number.size(), '0');
    std::string stem =
        "T" + number + "_" + std::string(file.loader) + "_" + HexPad(file.loadAddress, 4) + "-" + TurboEndAddressText(file);
    for (char& c : stem) {
      if (c == ' ' || c == '/') c = '_';
    }
    const std::string extension = file.usable() ? ".prg" : ".damaged.prg";
    const std::vector<uint8_t> bytes = TurboPrgBytes(file);
    // The first free name up to "(1000)", taken as the file gets its name.
    const NumberedName names{folder, stem, extension, 1000};
    std::string path = names.Candidate(0);
    std::string error;
    NoStorageSync callerSyncs;  // once for all the files, before any is reported
    SafeFileWriter writer(callerSyncs);
    writer.DeferSync();
    if (writer.OpenUnnamed(path, error) && writer.Write(bytes.data(), bytes.size(), error) &&
        writer.CommitUnderFreeName(names, path, error)) {
      entry.path = path;
      report.files.push_back(std::move(entry));
      continue;
    }
    report.failure = FileCreationFailure(path, error);
    entry.status = TurboExtractStatus::Failed;
    report.files.push_back(std::move(entry));
    break;
  }
  return report;
}

}  // namespace rw
