// SPDX-License-Identifier: GPL-2.0-or-later
#include "split/tape_summary.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "core/commodore_names.h"
#include "core/data_block.h"
#include "core/pulse_timing.h"
#include "core/tap_image.h"
#include "split/section_parse.h"
#include "split/turbo_listing.h"

namespace rw {

int TapeSummary::HeaderErrors() const {
  return static_cast<int>(
      std::count_if(programs.begin(), programs.end(), [](const ProgramSummary& p) { return p.HeaderError(); }));
}

std::optional<int> TapeSummary::DataDamaged() const {
  if (!kDataResultsAvailable) return std::nullopt;
  return static_cast<int>(std::count_if(programs.begin(), programs.end(),
                                        [](const ProgramSummary& p) { return p.dataDamaged.value_or(false); }));
}

int TapeSummary::DamagedPrograms() const {
  return static_cast<int>(
      std::count_if(programs.begin(), programs.end(), [](const ProgramSummary& p) { return p.Damaged(); }));
}

std::vector<ProgramSummary> SummarisePrograms(const TapImage& image, const std::vector<ProgramRow>& rows,
                                              const std::string& decimalSeparator, std::vector<DataResult>* data) {
  std::vector<ProgramSummary> programs;
  programs.reserve(rows.size());
  DataBlockReader reader(image);
  for (const ProgramRow& row : rows) {
    ProgramSummary program;
    program.row = static_cast<int>(programs.size()) + 1;
    program.name = row.section.name;
    program.rawName = Latin1ToUtf8(row.section.rawName);
    program.start = OffsetText(row.section.start);
    program.end = OffsetText(row.end);
    program.duration = DurationText(row.durationUs, decimalSeparator);
    program.headerOk = row.section.headerChecksumOk;
    program.repeatOk = row.section.repeatChecksumOk;
    // A program loads only when its data reads whole; a data file or the
    // end-of-tape marker has no program data to judge.
    DataResult result = reader.Read(row.section, row.end);
    program.dataDamaged = result.state != DataState::NotProgram && !result.whole();
    if (data != nullptr) data->push_back(std::move(result));
    programs.push_back(std::move(program));
  }
  return programs;
}

TapeSummary SummariseTape(const std::string& path, const std::string& decimalSeparator) {
  TapeSummary summary;
  summary.path = path;
  try {
    TapImage image;
    if (const Outcome outcome = LoadTapImage(path, image); !outcome) {
      summary.refusal = outcome.text();
      return summary;
    }
    const float usPerCycle = SelectClock(image.machine, image.video);
    const ParsedTape parsed = ParseTape(image, usPerCycle);
    const ImageFacts facts = DescribeImage(image, parsed, decimalSeparator);
    summary.machine = facts.machine;
    summary.version = image.version;
    summary.video = facts.video;
    summary.size = facts.size;
    summary.duration = facts.totalDuration;
    const std::vector<ProgramRow>& rows = parsed.rows;
    std::vector<DataResult> data;
    summary.programs = SummarisePrograms(image, rows, decimalSeparator, &data);
    std::vector<TapeSection> sections;
    sections.reserve(rows.size());
    for (const ProgramRow& row : rows) sections.push_back(row.section);
    const TurboListing turbo = ListTurboFiles(image, sections, data);
    summary.turboFiles = static_cast<int>(turbo.files.size());
    for (size_t i = 0; i < turbo.files.size(); ++i) {
      if (!turbo.files[i].usable()) {
        summary.damagedTurboFiles.push_back(std::to_string(i + 1) + " \"" + TurboFileLabel(turbo.files[i]) + "\"");
      }
    }
    summary.coverage = turbo.coverage;
  } catch (const std::bad_alloc&) {
    // A huge image on a machine short of memory is one refused tape, not the
    // end of the whole catalogue.
    summary = TapeSummary{};
    summary.path = path;
    summary.refusal = "Error while loading file " + path + " : " + std::strerror(ENOMEM);
  }
  return summary;
}

}  // namespace rw
