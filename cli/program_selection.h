// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What the split, index and launcher commands share: FILE OUTDIR arguments,
// the ticked rows (--select) and the name edits (--name, --tape-name), applied
// to a split-window model as the window would.

#include <QCommandLineParser>
#include <QString>

#include <vector>

#include "cli/cli_support.h"
#include "split/program_list.h"

namespace rw::cli {

// The rows of a --select value: a comma list of row numbers, or "all", of a
// tape with `rowCount` programs, in the order given (a row given twice counts
// once). False, with the reason printed, for a row that does not exist.
bool ParseRows(const QString& select, int rowCount, std::vector<int>& rows);

// Adds --select, --name and (with `tapeNames`) --tape-name to `parser`.
void AddSelectionOptions(QCommandLineParser& parser, bool tapeNames);

// Checks FILE OUTDIR, loads FILE into `list`, ticks the selected rows and
// applies the name edits. Returns kExitOk to go on, or the exit status to
// end with (the reason already printed).
// `tapeNames` as given to AddSelectionOptions.
int PrepareProgramList(const QCommandLineParser& parser, bool tapeNames, ProgramList& list, StderrMessages& messages);

}  // namespace rw::cli
