// SPDX-License-Identifier: GPL-2.0-or-later
// reelwright-cli extract: the selected programs of a tape image as ".prg"
// files, each whole program's data as the machine's loader would load it.

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/program_selection.h"
#include "core/ports/remembered_paths.h"
#include "core/safe_file.h"
#include "core/utilities.h"
#include "platform/locale.h"
#include "split/program_data.h"
#include "split/program_list.h"
#include "split/turbo_listing.h"

namespace rw::cli {

int RunExtract(const QStringList& arguments, StorageSync& storageSync) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Writes each selected program of FILE as OUTDIR/NAME.prg: its load address, low byte first, then its data, "
      "read from both copies on tape and checked. Never writes over a file (NAME(1).prg, ...). A program whose "
      "data does not read whole is reported and not written, unless --keep-damaged is given. Exit status 1 when "
      "any selected program could not be extracted whole. The turbo files (data saved by a faster loader) of the "
      "selected rows' stretches are written too, as OUTDIR/Tnnn_LOADER_LOAD-END.prg (with --select all also those "
      "before the first program); one with a bad checksum or read errors only with --keep-damaged, as "
      "....damaged.prg.");
  parser.addPositionalArgument("FILE", "The tape image.");
  parser.addPositionalArgument("OUTDIR", "An existing folder for the program files.");
  parser.addOption(
      {"select", "The rows to extract: a comma list of row numbers, or \"all\" (the default).", "ROWS", "all"});
  parser.addOption({"keep-damaged", "Write a program that is not whole anyway, as NAME.damaged.prg."});
  if (const int status = ParseCommandLine(parser, arguments); status != kGoOn) return status;
  const QStringList positional = parser.positionalArguments();
  if (positional.size() != 2) {
    PrintErr("Expected FILE and OUTDIR; see --help.");
    return kExitUsage;
  }
  const std::string outDir = PathFromQt(positional.at(1));
  if (!FolderExists(outDir)) {
    PrintErr("Output folder " + positional.at(1) + " is not an existing folder.");
    return kExitUsage;
  }

  StderrMessages messages;
  MemoryPaths paths;
  ProgramList list(paths, storageSync, DecimalSeparator());
  if (!LoadTape(list, PathFromQt(positional.at(0)), messages)) return kExitFailed;
  // A tape of turbo files alone (its boot program lost) has no rows; its
  // turbo files are still extracted.
  const TurboListing turbo = ListTurboFiles(list.image(), list.sections(), ReadListData(list));
  if (list.RowCount() == 0 && turbo.files.empty()) return kExitFailed;  // already reported
  std::vector<int> rows;
  if (!ParseRows(parser.value("select"), list.RowCount(), rows)) return kExitUsage;
  const bool all = parser.value("select").trimmed().compare("all", Qt::CaseInsensitive) == 0;
  std::vector<bool> selected(static_cast<size_t>(list.RowCount()) + 1, all);
  for (const int row : rows) selected[static_cast<size_t>(row)] = true;
  std::vector<size_t> turboIndices;
  for (size_t i = 0; i < turbo.files.size(); ++i) {
    if (selected[static_cast<size_t>(turbo.rows[i])]) turboIndices.push_back(i);
  }

  const bool keepDamaged = parser.isSet("keep-damaged");
  const ExtractReport report = ExtractPrograms(list, rows, outDir, keepDamaged, storageSync, FolderSync::ByCaller);
  TurboExtractReport turboReport;
  if (Report(report.failure)) {
    turboReport = ExtractTurboFiles(turbo, turboIndices, outDir, keepDamaged);
    Report(turboReport.failure);
  }
  // One sync for every file of the run, before any is reported as written.
  std::string lastPath;
  for (const ExtractedProgram& program : report.programs) lastPath = program.path.empty() ? lastPath : program.path;
  for (const ExtractedTurboFile& entry : turboReport.files) lastPath = entry.path.empty() ? lastPath : entry.path;
  std::string syncError;
  const bool synced = lastPath.empty() || SyncFolderContents(storageSync, outDir, syncError);
  if (!synced) Report(FileCreationFailure(lastPath, syncError));

  for (const ExtractedProgram& program : report.programs) {
    const QString row = "Row " + QString::number(program.row) + " \"" +
                        PathToQt(list.rows()[static_cast<size_t>(program.row - 1)].program) + "\"";
    const QString summary = PathToQt(program.summary);
    const QString path = PathToQt(program.path);
    switch (program.status) {
      case ExtractStatus::Written:
        if (synced) PrintOut(path + "\t" + summary);
        break;
      case ExtractStatus::WrittenDamaged:
        if (!synced) break;
        PrintOut(path + "\t" + summary);
        PrintErr(row + " could not be extracted whole; written as " + path + ". " + summary);
        break;
      case ExtractStatus::NotWhole:
        PrintErr(row + " could not be extracted whole; not written (--keep-damaged writes it). " + summary);
        break;
      case ExtractStatus::NotProgram:
        PrintErr(row + " is not a program; nothing to extract. " + summary);
        break;
      case ExtractStatus::Failed:
        break;  // the error has been printed
    }
  }
  bool turboWhole = synced;
  for (const ExtractedTurboFile& entry : turboReport.files) {
    const TurboFile& file = turbo.files[entry.index];
    const QString label =
        "Turbo file " + QString::number(entry.index + 1) + " \"" + QString::fromStdString(TurboFileLabel(file)) + "\"";
    const QString state = QString("checksum ") + TurboChecksumText(file.checksum) +
                          (file.readErrors > 0 ? ", " + QString::number(file.readErrors) + " bytes unread" : "");
    const QString path = QString::fromStdString(entry.path);
    turboWhole = turboWhole && entry.status == TurboExtractStatus::Written;
    switch (entry.status) {
      case TurboExtractStatus::Written:
        if (synced) PrintOut(path + "\t" + label + ", " + state);
        break;
      case TurboExtractStatus::WrittenDamaged:
        if (!synced) break;
        PrintOut(path + "\t" + label + ", " + state);
        PrintErr(label + " is damaged (" + state + "); written as " + path + ".");
        break;
      case TurboExtractStatus::NotWritten:
        PrintErr(label + " is damaged (" + state + "); not written (--keep-damaged writes it).");
        break;
      case TurboExtractStatus::Failed:
        break;  // the error has been printed
    }
  }
  return report.allWhole && turboWhole ? kExitOk : kExitFailed;
}

}  // namespace rw::cli
