// SPDX-License-Identifier: GPL-2.0-or-later
#include "launcher/program_disk.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/rom_format.h"
#include "core/safe_file.h"
#include "core/utilities.h"
#include "launcher/staged_disk_image.h"
#include "split/program_data.h"

namespace rw {
namespace {

namespace fs = std::filesystem;

constexpr const char* kErrorTitle = "ERROR!";

// A 35-track D64: tracks 1..17 have 21 sectors, so the directory track 18
// begins at sector 357. Its sector 1 starts the chain of directory sectors,
// each holding eight 32-byte entries; an entry's name is 16 bytes at offset
// 5, padded with 0xA0.
constexpr size_t kSectorSize = 256;
constexpr size_t kDirectoryTrackOffset = 357 * kSectorSize;
constexpr int kDirectoryTrack = 18;
constexpr int kDirectoryTrackSectors = 19;
constexpr size_t kD64Size = 174848;
constexpr size_t kNameOffset = 5;
constexpr size_t kNameLength = rom_block::kNameLength;
constexpr uint8_t kPadding = 0xA0;
// Programs written by one c1541 run.
constexpr size_t kProgramsPerRun = 32;

// Walks the directory chain; `visit(entryOffset)` for every used entry.
template <typename Visit>
bool WalkDirectory(const std::vector<uint8_t>& disk, Visit visit) {
  if (disk.size() != kD64Size && disk.size() != kD64Size + 683) return false;  // with or without error bytes
  int track = kDirectoryTrack;
  int sector = 1;
  for (int visited = 0; track != 0; ++visited) {
    // The directory never leaves its track; a chain that does, or loops, is broken.
    if (track != kDirectoryTrack || sector >= kDirectoryTrackSectors || visited >= kDirectoryTrackSectors) {
      return false;
    }
    const size_t base = kDirectoryTrackOffset + static_cast<size_t>(sector) * kSectorSize;
    for (size_t entry = 0; entry < 8; ++entry) {
      const size_t offset = base + entry * 32;
      if (disk[offset + 2] != 0) visit(offset);
    }
    track = disk[base];
    sector = disk[base + 1];
  }
  return true;
}

std::string EntryName(const std::vector<uint8_t>& disk, size_t entry) {
  std::string name(disk.begin() + static_cast<std::ptrdiff_t>(entry + kNameOffset),
                   disk.begin() + static_cast<std::ptrdiff_t>(entry + kNameOffset + kNameLength));
  while (!name.empty() && static_cast<uint8_t>(name.back()) == kPadding) name.pop_back();
  return name;
}

// The placeholder a file is written under: plain lower-case letters and
// digits, which c1541 stores as the PETSCII capitals and digits of the same
// codes ("p001" becomes P001).
std::string Placeholder(size_t index) {
  std::string digits = std::to_string(index + 1);
  return "p" + std::string(digits.size() < 3 ? 3 - digits.size() : 0, '0') + digits;
}

std::string UpperAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

// The disk's own name: the disk file's name without ".d64", in characters
// that c1541 takes in a "name,id" argument, at most 16.
std::string DiskLabel(const std::string& diskPath) {
  std::string stem = FileNameOf(diskPath);
  const auto dot = stem.rfind('.');
  if (dot != std::string::npos && dot > 0) stem.resize(dot);
  std::string label;
  for (const char c : stem) {
    if (label.size() == kNameLength) break;
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == ' ' || c == '-' || c == '.') {
      label += c;
    } else if (c >= 'A' && c <= 'Z') {
      label += static_cast<char>(c - 'A' + 'a');
    }
  }
  return label.empty() ? "tape" : label;
}

std::string ToolText(const ToolResult& result) {
  ToolResult shown = result;
  shown.output = WithoutC1541Narration(result.output);
  // Stopped at the time limit or crashed: say so, with the tool's last lines.
  if (!result.started || !result.finished) return ToolFailureText("c1541", shown);
  std::string text = shown.output;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  // Of what c1541 says beyond its narration, the last line tells what went wrong.
  const auto lastLine = text.rfind('\n');
  if (lastLine != std::string::npos) text = text.substr(lastLine + 1);
  const std::string cause = C1541FailureCause(shown.output);
  if (text.empty()) text = "c1541 ended with exit status " + std::to_string(result.exitStatus);
  return cause.empty() ? text : text + " (" + cause + ")";
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
  std::ifstream in(fs::u8path(path), std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// The disk image's name is taken and the user did not agree to replace it.
Outcome AlreadyExists(const std::string& diskPath) {
  return Outcome::Failure(FailureKind::Refused, "File " + diskPath + " Already exists !", kErrorTitle);
}

}  // namespace

bool ReadD64Directory(const std::vector<uint8_t>& disk, std::vector<std::string>& names) {
  names.clear();
  return WalkDirectory(disk, [&](size_t entry) { names.push_back(EntryName(disk, entry)); });
}

Outcome BuildProgramDisk(const std::string& diskPath, const std::vector<DiskProgram>& programs, bool replace,
                         ToolRunner& tools, Messages& messages) {
  const auto fail = [](const std::string& text) {
    return Outcome::Failure(FailureKind::SystemError, text, kErrorTitle);
  };
  const std::string c1541 = tools.FindTool("c1541");
  if (c1541.empty()) {
    return fail(
        "Cannot build the disk image: c1541 was not found. Install VICE, which provides it, or place c1541 in " +
        tools.ProgramFolder() + " !");
  }
  if (!replace && FileExists(diskPath)) return AlreadyExists(diskPath);
  const std::string failed = "Error while creating file " + diskPath + " : ";

  TemporaryFiles temporary;
  const std::string work = temporary.Make("RWD");
  if (work.empty()) return fail(failed + "no temporary file could be made");
  const ToolResult formatted = tools.Run(c1541, {"-format", DiskLabel(diskPath) + ",rw", "d64", work});
  if (!formatted.Succeeded()) return fail(failed + ToolText(formatted));

  // The programs go on in batches, each through one c1541 run: few runs, and
  // few temporary files at any time however many programs there are.
  for (size_t batch = 0; batch < programs.size(); batch += kProgramsPerRun) {
    TemporaryFiles files;
    std::vector<std::string> arguments = {"-attach", work};
    for (size_t i = batch; i < std::min(programs.size(), batch + kProgramsPerRun); ++i) {
      const std::string file = files.Make("RWP");
      std::string error;
      if (file.empty() || !WriteTemporaryFile(file, programs[i].file.data(), programs[i].file.size(), error)) {
        return fail(failed + (file.empty() ? "no temporary file could be made" : error));
      }
      arguments.insert(arguments.end(), {"-write", file, Placeholder(i)});
    }
    const ToolResult written = tools.Run(c1541, arguments);
    if (!written.Succeeded()) return fail(failed + ToolText(written));
  }

  // Every file must be there, in order, before it gets its tape name.
  std::vector<uint8_t> disk;
  if (!ReadWholeFile(work, disk)) return fail(failed + "the disk made by c1541 cannot be read");
  std::vector<size_t> entries;
  std::vector<std::string> names;
  if (!WalkDirectory(disk,
                     [&](size_t entry) {
                       entries.push_back(entry);
                       names.push_back(EntryName(disk, entry));
                     }) ||
      entries.size() != programs.size()) {
    return fail(failed + "the disk made by c1541 does not hold the programs");
  }
  for (size_t i = 0; i < programs.size(); ++i) {
    if (names[i] != UpperAscii(Placeholder(i)))
      return fail(failed + "the disk made by c1541 does not hold the programs");
    std::string name = programs[i].nameBytes.substr(0, kNameLength);
    name.resize(kNameLength, static_cast<char>(kPadding));
    std::copy(name.begin(), name.end(), disk.begin() + static_cast<std::ptrdiff_t>(entries[i] + kNameOffset));
  }

  std::string error;
  if (!WriteWholeFile(diskPath, disk.data(), disk.size(), replace, error)) {
    // The name was free when the build began: taken now, it went to another
    // writer while c1541 ran, and the disk is not put over it.
    if (!replace && NameTaken(diskPath)) return AlreadyExists(diskPath);
    return fail(failed + error);
  }
  messages.Info("INFO", "Disk " + diskPath + " successfully created with " + std::to_string(programs.size()) +
                            (programs.size() == 1 ? " program !" : " programs !"));
  return Outcome::Success();
}

Outcome CopyProgramsToDisk(const ProgramList& list, std::vector<int> rows, const std::string& diskPath, bool replace,
                           ToolRunner& tools, Messages& messages) {
  if (!replace && FileExists(diskPath)) return AlreadyExists(diskPath);
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  std::vector<DiskProgram> programs;
  std::string refused;
  for (const int row : rows) {
    const DataResult data = ReadRowData(list, row);
    const std::string& shown = list.rows().at(static_cast<size_t>(row - 1)).program;
    if (!data.whole()) {
      refused += "\nRow " + std::to_string(row) + " \"" + shown + "\": " + DataSummary(data);
      continue;
    }
    std::string name = data.nameBytes;
    while (!name.empty() && name.back() == ' ') name.pop_back();
    // A name of spaces only would leave an empty directory entry; the
    // untitled name the list shows is plain capitals, the same in PETSCII.
    if (name.empty()) name = list.sections().at(static_cast<size_t>(row - 1)).name;
    programs.push_back({name, PrgFileBytes(data)});
  }
  if (!refused.empty()) {
    return Outcome::Failure(
        FailureKind::Refused,
        "The disk image " + diskPath + " is not made: only programs that read whole are copied." + refused,
        kErrorTitle);
  }
  return BuildProgramDisk(diskPath, programs, replace, tools, messages);
}

}  // namespace rw
