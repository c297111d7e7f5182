// SPDX-License-Identifier: GPL-2.0-or-later
#include "split/turbo_listing.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <utility>

#include "core/commodore_names.h"
#include "core/pulse_timing.h"
#include "core/safe_file.h"
#include "core/second_thread.h"
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

namespace {

// Writes the files indices[from, to) in order, each into its own entry
// (entries[k] for indices[k]), until one cannot be written or `stop` is
// set; says how many entries it filled, and sets `stop` on a failure.
size_t WriteTurboFiles(const TurboListing& listing, const std::vector<size_t>& indices, size_t from, size_t to,
                       const std::string& folder, bool keepDamaged, std::atomic<bool>& stop,
                       std::vector<ExtractedTurboFile>& entries, Outcome& failure) {
  for (size_t k = from; k < to; ++k) {
    if (stop.load(std::memory_order_relaxed)) return k - from;
    const size_t index = indices[k];
    const TurboFile& file = listing.files.at(index);
    ExtractedTurboFile& entry = entries[k];
    entry = {index, TurboExtractStatus::Written, {}};
    if (!file.usable()) {
      entry.status = keepDamaged ? TurboExtractStatus::WrittenDamaged : TurboExtractStatus::NotWritten;
      if (!keepDamaged) continue;
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
      entry.path = std::move(path);
      continue;
    }
    failure = FileCreationFailure(path, error);
    entry.status = TurboExtractStatus::Failed;
    stop = true;
    return k - from + 1;
  }
  return to - from;
}

}  // namespace

TurboExtractReport ExtractTurboFiles(const TurboListing& listing, const std::vector<size_t>& indices,
                                     const std::string& folder, bool keepDamaged) {
  TurboExtractReport report;
  // Every entry has its place from the start, so the two halves below fill
  // theirs without a second list of a tape's tens of thousands.
  report.files.resize(indices.size());
  std::atomic<bool> stop = false;
  // Giving a file its name costs the file system tens of microseconds of
  // processor time, far more than a turbo file's few hundred bytes, and a
  // tape of block-per-file chains holds tens of thousands of them. From a
  // few hundred files on, the later half is written on a second thread:
  // file systems create files in one folder on two processors at once, and
  // the run takes little more than half as long. The names never meet, as
  // each starts with its file's own number.
  constexpr size_t kWorthAThread = 256;
  const size_t half = indices.size() >= kWorthAThread ? indices.size() / 2 : indices.size();
  const auto writeHalf = [&](size_t from, size_t to, Outcome& failure) {
    return WriteTurboFiles(listing, indices, from, to, folder, keepDamaged, stop, report.files, failure);
  };
  Outcome laterFailure = Outcome::Success();
  size_t laterFilled = 0;
  size_t filled = 0;
  if (half < indices.size()) {
    SecondThread second([&] { laterFilled = writeHalf(half, indices.size(), laterFailure); });
    filled = writeHalf(0, half, report.failure);
    second.Join();
  } else {
    filled = writeHalf(0, half, report.failure);
  }
  // After a failure the entries end there, apart from the later half's
  // files already written meanwhile: those are on disk, and are reported.
  report.files.erase(report.files.begin() + static_cast<std::ptrdiff_t>(half + laterFilled), report.files.end());
  report.files.erase(report.files.begin() + static_cast<std::ptrdiff_t>(filled),
                     report.files.begin() + static_cast<std::ptrdiff_t>(half));
  if (report.failure.ok()) report.failure = std::move(laterFailure);
  return report;
}

}  // namespace rw
