// SPDX-License-Identifier: GPL-2.0-or-later
#include "split/program_list.h"

#include "core/commodore_names.h"
#include "core/ports/messages.h"
#include "core/ports/remembered_paths.h"
#include "core/pulse_timing.h"
#include "core/utilities.h"

namespace rw {

namespace {

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

ProgramList::ProgramList(RememberedPaths& paths, StorageSync& storageSync, std::string decimalSeparator)
    : paths_(paths), storageSync_(storageSync), decimalSeparator_(std::move(decimalSeparator)) {
  defaultSplitDir_ = paths_.ReadPersistentPath(PersistentPath::DefSplitPath);
  if (!defaultSplitDir_.empty()) outputDir = defaultSplitDir_;
}

Outcome ProgramList::LoadAndParse(const std::string& path, const Progress& progress) {
  // Load into a fresh image so that a refused file leaves the loaded one,
  // its rows and its header facts exactly as they were.
  TapImage loaded;
  if (Outcome outcome = LoadTapImage(path, loaded); !outcome) return outcome;
  paths_.WritePersistentPath(ParentFolder(path), PersistentPath::LoadPath);

  image_ = std::move(loaded);
  usPerCycle_ = SelectClock(image_.machine, image_.video);
  loadedPath_ = path;
  ParsedTape parsed = ParseTape(image_, usPerCycle_, progress);
  facts_ = DescribeImage(image_, parsed, decimalSeparator_);

  sections_.clear();
  starts_.clear();
  ends_.clear();
  rows_.clear();
  for (auto& program : parsed.rows) {
    ListRow row;
    row.program = program.section.name;
    row.start = OffsetText(program.section.start);
    row.end = OffsetText(program.end);
    row.duration = DurationText(program.durationUs, decimalSeparator_);
    row.check1 = ChecksumText(program.section.headerChecksumOk);
    row.check2 = ChecksumText(program.section.repeatChecksumOk);
    rows_.push_back(std::move(row));
    starts_.push_back(program.section.start);
    ends_.push_back(program.end);
    sections_.push_back(std::move(program.section));
  }
  if (defaultSplitDir_.empty()) outputDir = ParentFolder(path);
  return Outcome::Success();
}

void ProgramList::SetChecked(int row, bool checked) { Row(row).checked = checked; }

void ProgramList::SelectAll() {
  for (auto& row : rows_) row.checked = true;
}

void ProgramList::SelectNone() {
  for (auto& row : rows_) row.checked = false;
}

std::vector<bool> ProgramList::CheckStates() const {
  std::vector<bool> states;
  states.reserve(rows_.size());
  for (const auto& row : rows_) states.push_back(row.checked);
  return states;
}

std::vector<ProgramGroup> ProgramList::Groups() const { return FormGroups(CheckStates()); }

int ProgramList::GroupFirstRow(int row) const { return rw::GroupFirstRow(CheckStates(), row); }

bool ProgramList::CommandsAllowed() const {
  if (outputDir.empty() || !FolderExists(outputDir)) return false;
  for (const auto& row : rows_) {
    if (row.checked) return true;
  }
  return false;
}

NameEditorFields ProgramList::OpenNameEditor(int row) {
  TapeSection& section = Section(row);
  if (section.tapeNameText.empty()) section.tapeNameText = NameToText(section.rawName);
  return {section.fileName.empty() ? Row(row).program : section.fileName, section.tapeNameText};
}

void ProgramList::SaveNameEditor(int row, const std::string& tapeName, const std::string& fileName) {
  SetTapeNameText(row, tapeName);
  SetFileName(row, fileName);
}

void ProgramList::SetFileName(int row, const std::string& fileName) {
  const std::string trimmed = Trimmed(fileName);
  Row(row).program = trimmed;
  Section(row).fileName = trimmed;
}

void ProgramList::SetTapeNameText(int row, const std::string& tapeName) {
  Section(row).tapeNameText = Trimmed(tapeName);
}

std::vector<IndexEntry> ProgramList::IndexEntries() const {
  std::vector<IndexEntry> entries;
  for (const auto& group : Groups()) {
    const ListRow& first = rows_[static_cast<size_t>(group.firstRow - 1)];
    entries.push_back({first.program, first.start, rows_[static_cast<size_t>(group.lastRow - 1)].end});
  }
  return entries;
}

Outcome ProgramList::WriteIndex(IndexFormat format, Messages& messages) const {
  return WriteIndexFile(outputDir, loadedPath_, IndexEntries(), format, storageSync_, messages);
}

void ProgramList::SetDefaultOutputDir(Messages& messages) {
  // Stored as typed, even empty or not an existing folder.
  paths_.WritePersistentPath(outputDir, PersistentPath::DefSplitPath);
  defaultSplitDir_ = outputDir;
  messages.Info("INFO", "Directory \"" + outputDir + "\" successfully set as Default Split Directory !");
}

void ProgramList::RemoveDefaultOutputDir(Messages& messages) {
  paths_.WritePersistentPath("", PersistentPath::DefSplitPath);
  messages.Info("INFO", "Default Split Directory Removed !");
  defaultSplitDir_.clear();
}

}  // namespace rw
