// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The split window without the window: the loaded image, the programs found
// in it as list rows with their cells and ticks, the output folder, the name
// edits, and the commands that act on the ticked groups (split, index file).
// The window and the command line are thin views over this object.

#include <string>
#include <vector>

#include "core/rom_decoder.h"
#include "core/tap_image.h"
#include "split/index_file.h"
#include "split/program_groups.h"
#include "split/section_parse.h"

namespace rw {

class Messages;
class RememberedPaths;

// One row of the list, as shown.
struct ListRow {
  std::string program;  // "Program": the display name, or the file name set by the name editor
  std::string start;    // "Start": HexPad(start, 6)
  std::string end;      // "End"
  std::string duration;
  std::string check1;  // "OK" / "ERROR"
  std::string check2;
  bool checked = false;
};

// What the name editor shows when it opens for a row.
struct NameEditorFields {
  std::string fileName;  // "File name": the saved file name, else the "Program" cell
  std::string tapeName;  // "FOUND..": the tape name text, with {TOKENS}
};

class ProgramList {
 public:
  // Reads the default output folder, which becomes the output folder when set.
  // The split and index files are synced through `storageSync`.
  ProgramList(RememberedPaths& paths, StorageSync& storageSync, std::string decimalSeparator);
  ProgramList(const ProgramList&) = delete;
  ProgramList& operator=(const ProgramList&) = delete;

  // Loads and parses `path`. When the loader refuses the file, returns why
  // and nothing here changes. Otherwise the rows are replaced, all unticked;
  // a tape with no program found loads with no rows, and the caller warns
  // (kNoSectionsMessage) once its own busy state is over.
  // `progress` hears how far the parse has come, once the file is loaded.
  Outcome LoadAndParse(const std::string& path, const Progress& progress = {});

  bool loaded() const { return !loadedPath_.empty(); }
  const std::string& loadedPath() const { return loadedPath_; }
  const TapImage& image() const { return image_; }
  const ImageFacts& facts() const { return facts_; }
  float usPerCycle() const { return usPerCycle_; }
  const std::string& decimalSeparator() const { return decimalSeparator_; }

  const std::vector<ListRow>& rows() const { return rows_; }
  const std::vector<TapeSection>& sections() const { return sections_; }
  int RowCount() const { return static_cast<int>(rows_.size()); }

  // Ticks (1-based rows).
  void SetChecked(int row, bool checked);
  void SelectAll();
  void SelectNone();
  std::vector<bool> CheckStates() const;
  std::vector<ProgramGroup> Groups() const;
  int GroupFirstRow(int row) const;

  // The output folder ("Output Directory") and the default one.
  std::string outputDir;
  const std::string& defaultSplitDir() const { return defaultSplitDir_; }
  // True when the output folder exists and at least one row is ticked: the
  // split, the index file and the launcher disk are possible.
  bool CommandsAllowed() const;

  // Name edits (1-based rows). Opening the editor fills an empty tape name
  // text from the header, which marks the program for the rewrite of the
  // next split even when nothing is changed.
  NameEditorFields OpenNameEditor(int row);
  // "Save": both texts trimmed of outer spaces.
  void SaveNameEditor(int row, const std::string& tapeName, const std::string& fileName);
  // The "Program" cell and the file name alone.
  void SetFileName(int row, const std::string& fileName);
  // The tape name alone ({TOKENS} allowed); empty clears the rewrite mark.
  void SetTapeNameText(int row, const std::string& tapeName);

  // "Split File": rewrites edited tape names in the image in memory, then
  // writes one tape image per group into the output folder under a free
  // numbered name, never over an existing file. Stops at the first file that
  // cannot be written and returns why ("ERROR!"), keeping those written
  // before; otherwise remembers the folder as SplitPath and reports
  // completion through `messages`. The paths written are in `written` (may be
  // null). `progress` hears the files written of the groups to write.
  Outcome Split(Messages& messages, std::vector<std::string>* written = nullptr, const Progress& progress = {});

  // "IDX file" in the chosen format, into the output folder.
  Outcome WriteIndex(IndexFormat format, Messages& messages) const;
  std::vector<IndexEntry> IndexEntries() const;

  // "Set as Default Output Directory" / "Remove Default Output Directory".
  void SetDefaultOutputDir(Messages& messages);
  void RemoveDefaultOutputDir(Messages& messages);

 private:
  ListRow& Row(int row) { return rows_.at(static_cast<size_t>(row - 1)); }
  TapeSection& Section(int row) { return sections_.at(static_cast<size_t>(row - 1)); }

  RememberedPaths& paths_;
  StorageSync& storageSync_;
  std::string decimalSeparator_;
  std::string defaultSplitDir_;
  std::string loadedPath_;
  TapImage image_;
  float usPerCycle_ = 0;
  ImageFacts facts_;
  std::vector<TapeSection> sections_;
  std::vector<int32_t> starts_;  // numeric Start and End of each row
  std::vector<int32_t> ends_;
  std::vector<ListRow> rows_;
};

// The file-name stem of a split output: the counter with at least three
// digits, a full stop, and the program name with spaces as "_" (and "/" or
// NUL, which would leave the folder or end the name, as "_" too).
std::string SplitFileStem(int counter, const std::string& program);

}  // namespace rw
