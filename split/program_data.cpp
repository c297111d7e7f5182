// SPDX-License-Identifier: GPL-2.0-or-later
#include "split/program_data.h"

#include <algorithm>

#include "core/safe_file.h"
#include "core/tap_writer.h"
#include "core/utilities.h"

namespace rw {
namespace {

int64_t RowEnd(const ProgramList& list, size_t index) {
  return static_cast<uint32_t>(HexToLong(list.rows()[index].end));
}

std::string CopyText(const char* which, const DataCopy& copy) {
  if (!copy.found) return std::string(which) + " missing";
  if (copy.readErrors == 0) return std::string(which) + (copy.checksumOk ? " good" : " checksum ERROR");
  return std::string(which) + " " + std::to_string(copy.readErrors) + " read error" + (copy.readErrors == 1 ? "" : "s");
}

}  // namespace

std::vector<DataResult> ReadListData(const ProgramList& list) {
  std::vector<DataResult> results;
  results.reserve(list.sections().size());
  DataBlockReader reader(list.image());
  for (size_t i = 0; i < list.sections().size(); ++i)
    results.push_back(reader.Read(list.sections()[i], RowEnd(list, i)));
  return results;
}

DataResult ReadRowData(const ProgramList& list, int row) {
  const auto index = static_cast<size_t>(row - 1);
  return DataBlockReader(list.image()).Read(list.sections().at(index), RowEnd(list, index));
}

std::string DataSummary(const DataResult& data) {
  if (!data.headerRead) return "Data unknown: the header's type and addresses do not read";
  const std::string range = HexPad(data.startAddress, 4) + "-" + HexPad(data.endAddress, 4);
  switch (data.state) {
    case DataState::NotProgram:
      return "Not a program: header type " + std::to_string(data.fileType);
    case DataState::Good:
      return "Data good: " + range + ", " + std::to_string(data.Length()) + " bytes" +
             (data.loadAddress != data.startAddress ? ", loads at " + HexPad(data.loadAddress, 4) : "");
    case DataState::Short:
      return "Data good: " + range + ", " + std::to_string(data.Length()) + " of " +
             std::to_string(data.HeaderLength()) + " bytes (ends before the header's end address)" +
             (data.loadAddress != data.startAddress ? ", loads at " + HexPad(data.loadAddress, 4) : "");
    case DataState::Missing:
      return "Data missing: no copy of the data block found (" + range + ")";
    case DataState::Damaged:
      break;
  }
  if (data.endAddress < data.startAddress) return "Data damaged: the end address lies before the start (" + range + ")";
  std::string text = "Data damaged: ";
  if (data.combinedErrors > 0) {
    text += std::to_string(data.combinedErrors) + " byte" + (data.combinedErrors == 1 ? "" : "s") + " unread, ";
  }
  return text + "checksum ERROR (" + CopyText("first copy", data.first) + ", " + CopyText("repeat", data.repeat) +
         "; " + range + ")";
}

std::string ProgramFileStem(const std::string& program) {
  std::string name = program.empty() ? "_" : program;
  for (char& c : name) {
    if (c == ' ' || c == '/' || c == '\0') c = '_';
  }
  return name;
}

ExtractReport ExtractPrograms(const ProgramList& list, const std::vector<int>& rows, const std::string& folder,
                              bool keepDamaged, StorageSync& storageSync, FolderSync sync) {
  ExtractReport report;
  DataBlockReader reader(list.image());
  for (const int row : rows) {
    const auto index = static_cast<size_t>(row - 1);
    const DataResult data = reader.Read(list.sections().at(index), RowEnd(list, index));
    ExtractedProgram program{row, ExtractStatus::Written, {}, DataSummary(data)};
    if (!data.whole()) {
      report.allWhole = false;
      program.status = data.state == DataState::NotProgram ? ExtractStatus::NotProgram : ExtractStatus::NotWhole;
      // Bytes of a program without readable addresses have no place to go.
      if (!keepDamaged || !data.headerRead || data.state == DataState::NotProgram) {
        report.programs.push_back(std::move(program));
        continue;
      }
      program.status = ExtractStatus::WrittenDamaged;
    }
    const std::string extension = data.whole() ? ".prg" : ".damaged.prg";
    const std::string stem = ProgramFileStem(list.rows()[index].program);
    const std::vector<uint8_t> bytes = PrgFileBytes(data);
    // The first free name, without a limit, passing over a name that another
    // run takes at the same moment.
    const NumberedName names{folder, stem, extension};
    std::string path = names.Candidate(0);
    std::string error;
    SafeFileWriter writer(storageSync);
    // One sync for all the files instead of two for each, which would take
    // most of the run on a tape of many programs.
    writer.DeferSync();
    if (writer.OpenUnnamed(path, error) && writer.Write(bytes.data(), bytes.size(), error) &&
        writer.CommitUnderFreeName(names, path, error)) {
      program.path = path;
      report.programs.push_back(std::move(program));
      continue;
    }
    report.failure = FileCreationFailure(path, error);
    program.status = ExtractStatus::Failed;
    report.allWhole = false;
    report.programs.push_back(std::move(program));
    break;
  }
  // The files written before a failure are reported too: they are synced all the same.
  const auto written = std::find_if(report.programs.rbegin(), report.programs.rend(),
                                    [](const ExtractedProgram& p) { return !p.path.empty(); });
  std::string error;
  if (sync == FolderSync::AtEnd && written != report.programs.rend() &&
      !SyncFolderContents(storageSync, folder, error)) {
    report.failure = FileCreationFailure(written->path, error);
    for (ExtractedProgram& program : report.programs) {
      if (!program.path.empty()) program.status = ExtractStatus::Failed;
    }
    report.allWhole = false;
  }
  return report;
}

}  // namespace rw
