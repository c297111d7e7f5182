// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The programs' data behind the split list: whether each program's data reads
// back whole (for a row's tooltip, the command line's list and the disk
// copy), and the extraction of the ticked programs as ".prg" files. What a
// window needs is here, so that it only shows the results.

#include <string>
#include <vector>

#include "core/data_block.h"
#include "core/outcome.h"
#include "core/safe_file.h"
#include "split/program_list.h"

namespace rw {

// The data of every row of `list`, in row order.
std::vector<DataResult> ReadListData(const ProgramList& list);
// The data of one row (1-based).
DataResult ReadRowData(const ProgramList& list, int row);

// One line on a row's data, for a tooltip or a report, for example
// "Data good: 0801-080C, 11 bytes" or "Data damaged: 3 bytes unread, checksum
// ERROR (first copy 3 read errors, repeat missing)".
std::string DataSummary(const DataResult& data);

// A program's ".prg" name stem: the "Program" cell with spaces as "_", and
// "/" and NUL (which would leave the folder or end the name) as "_" too.
std::string ProgramFileStem(const std::string& program);

enum class ExtractStatus {
  Written,         // whole, written to `path`
  WrittenDamaged,  // not whole, written anyway to `path` (".damaged.prg")
  NotWhole,        // not whole, not written
  NotProgram,      // a data file or end-of-tape header: nothing to extract
  Failed,          // could not be written (the report's failure says why)
};

struct ExtractedProgram {
  int row = 0;
  ExtractStatus status = ExtractStatus::NotWhole;
  std::string path;     // the file written; empty when none
  std::string summary;  // DataSummary of the program
};

struct ExtractReport {
  std::vector<ExtractedProgram> programs;  // one per row asked for, in order, up to a failure
  bool allWhole = true;                    // every program asked for was written whole
  // Why a file could not be written, or the files could not be synced (the
  // entries of the files concerned say Failed).
  Outcome failure = Outcome::Success();
  bool failed() const { return !failure.ok(); }
};

// "Extract programs": one "NAME.prg" per row of `rows` (1-based) into
// `folder`: the two-byte start address, low byte first, then the data. Never
// writes over a file ("NAME(1).prg", ...). A program whose data is not whole
// is written as "NAME.damaged.prg" only with `keepDamaged`. Stops at the first
// file that cannot be written, its failure titled "ERROR!". The files are
// synced once, after the last, by this function (FolderSync::AtEnd; a failed
// sync turns every written entry to Failed) or by the caller.
ExtractReport ExtractPrograms(const ProgramList& list, const std::vector<int>& rows, const std::string& folder,
                              bool keepDamaged, FolderSync sync = FolderSync::AtEnd);

}  // namespace rw
