// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The join compilation: an ordered list of tape images and pauses that is
// written out as one tape image. Every image in it must be for the same
// machine and video standard and in the same TAP version, because the joined
// image has a single header; the first image added fixes all three.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/outcome.h"
#include "core/utilities.h"

namespace rw {

// Names shown in the Machine, Video and Type columns, indexed by the header
// values. The leading blank of " TAP V1" is part of the name.
inline constexpr const char* kMachineNamesLiteral = "C64;VIC-20;C16-Plus4";
inline constexpr const char* kVideoNamesLiteral = "PAL;NTSC";
inline constexpr const char* kVersionNamesLiteral = "TAP V0; TAP V1;TAP V2";

inline const std::vector<std::string> machineNames = SplitSemicolons(kMachineNamesLiteral);
inline const std::vector<std::string> videoNames = SplitSemicolons(kVideoNamesLiteral);
inline const std::vector<std::string> versionNames = SplitSemicolons(kVersionNamesLiteral);

// Column 0 of every pause row; a row whose path begins with "**" is a pause.
inline constexpr const char* kPauseRowPath = "**  [PAUSE]  **";

inline constexpr int kColumnCount = 6;
inline constexpr const char* kColumnHeadings[kColumnCount] = {"Path", "Size", "Machine", "Video", "Type", "Duration"};

// One row of the compilation: the six texts shown in the list. A file row is
// reopened by its path when the compilation is joined, a pause row encoded
// again from its duration text; nothing else is kept.
struct CompilationRow {
  std::string path;      // the file's path as it was added, or kPauseRowPath
  std::string size;      // FormatSize of the file, or the pause record's byte count
  std::string machine;   // machineNames entry, "-" for a pause
  std::string video;     // videoNames entry, "-" for a pause
  std::string type;      // versionNames entry, "-" for a pause
  std::string duration;  // FormatDuration of the file, or the pause text as typed

  bool IsPause() const { return path.compare(0, 2, "**") == 0; }
  const std::string& Text(int column) const;

  bool operator==(const CompilationRow&) const = default;
};

// Hears of every change to the rows, before and after it is made, so that a
// view can keep its selection and current row on the rows they belong to.
// Rows count from 0.
class CompilationListener {
 public:
  virtual ~CompilationListener() = default;
  virtual void BeforeInsert(int row) = 0;
  virtual void AfterInsert() = 0;
  virtual void BeforeRemove(int row) = 0;
  virtual void AfterRemove() = 0;
  // The row at `row` is about to be at `newRow`, next to where it was.
  virtual void BeforeMove(int row, int newRow) = 0;
  virtual void AfterMove() = 0;
  virtual void BeforeReorder() = 0;
  // `previousRow[i]` is where the row now at i was before.
  virtual void AfterReorder(const std::vector<int>& previousRow) = 0;
  // The texts of rows `first` to `last` changed.
  virtual void RowsChanged(int first, int last) = 0;
  // The total or the availability of the join may have changed.
  virtual void TotalsChanged() = 0;
};

class Compilation {
 public:
  // `decimalSeparator` is the user's, used for sizes, durations and pause
  // texts. Every refusal below comes back titled "ERROR!", a file the loader
  // refuses under the loader's own title.
  explicit Compilation(std::string decimalSeparator);

  // The one listener to every change, or none (nullptr).
  void SetListener(CompilationListener* listener) { listener_ = listener; }

  // Adds one tape image; a failure when it cannot be read or conflicts with
  // the images already listed.
  Outcome AddTapFile(const std::string& path);
  // Adds the tape images (".tap", any case) directly inside `directory`, in
  // natural file-name order (NaturalLess); stops at the first one that fails.
  Outcome AddTapDirectory(const std::string& directory);
  // The same, passing over the file `skipPath` names (the output of the join
  // being made, which must never become one of its own inputs).
  Outcome AddTapDirectory(const std::string& directory, const std::string& skipPath);
  // Adds a pause typed as e.g. "5s" or "1m:30s"; a failure for an invalid or
  // overlong text.
  Outcome AddPauseRow(const std::string& text);

  // Removes the rows at these indices (in any order; repeated or unknown
  // indices are passed over).
  void RemoveSelectedRows(std::vector<int> selectedRows);
  // Move the row at `row` one place; false (and nothing changed) at the end
  // of the list, for a row not in it, or while sorting is on.
  bool MoveRowUp(int row);
  bool MoveRowDown(int row);
  // With sorting on, rows are kept in natural order of their paths
  // (pauses first) and cannot be moved; turning it off keeps the order.
  void SetSorted(bool on);
  bool CanMoveRows() const { return !sorted_; }

  void SubtractDuration(const std::string& text);
  void UpdateTotalDuration();
  void UpdateJoinAvailability();

  const std::vector<CompilationRow>& rows() const { return rows_; }
  // The settings of the listed images, fixed by the first one added; the
  // joined image's header. With no image listed (pauses only) a version-1
  // C64 PAL image: a version-0 image has no record that can hold a pause.
  uint8_t machine() const { return fileRows_ > 0 ? machine_ : 0; }
  uint8_t video() const { return fileRows_ > 0 ? video_ : 0; }
  uint8_t version() const { return fileRows_ > 0 ? version_ : 1; }
  // The signature of the first listed image ("C16-TAPE-RAW" for a C16
  // collection), "C64-TAPE-RAW" with none listed.
  const std::string& signature() const;
  double totalSeconds() const { return totalSeconds_; }
  bool sorted() const { return sorted_; }
  // The total as shown under "Total Duration".
  const std::string& totalText() const { return totalText_; }
  // The join needs at least two rows of any kind.
  bool joinAvailable() const { return joinAvailable_; }
  const std::string& decimalSeparator() const { return decimalSeparator_; }
  // Microseconds per cycle of the compilation's machine and video standard:
  // the clock of its pause records.
  float usPerCycle() const;

 private:
  void InsertRow(CompilationRow row);
  void InsertRowAt(size_t index, CompilationRow row);
  void EraseRow(size_t index);
  void SwapWithNext(size_t index);
  void RefreshPauseSizes();
  std::string PauseSize(const std::string& text) const;

  std::string decimalSeparator_;
  std::vector<CompilationRow> rows_;
  CompilationListener* listener_ = nullptr;
  uint8_t machine_ = 0;
  uint8_t video_ = 0;
  uint8_t version_ = 0;
  std::string signature_;
  int fileRows_ = 0;  // rows that are not pauses
  double totalSeconds_ = 0;
  bool sorted_ = false;
  std::string totalText_ = "0m0s";
  bool joinAvailable_ = false;
};

}  // namespace rw
