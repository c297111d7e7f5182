// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/program_selection.h"

#include "core/utilities.h"

namespace rw::cli {

namespace {

// "3=TEXT" into row 3 and TEXT; false when it is not of that form or the row
// does not exist.
bool ParseRowText(const QString& value, int rowCount, int& row, QString& text) {
  const auto equals = value.indexOf('=');
  if (equals <= 0) return false;
  bool ok = false;
  row = value.left(equals).toInt(&ok);
  text = value.mid(equals + 1);
  return ok && row >= 1 && row <= rowCount;
}

}  // namespace

bool ParseRows(const QString& select, int rowCount, std::vector<int>& rows) {
  rows.clear();
  std::vector<bool> taken(static_cast<size_t>(rowCount) + 1, false);
  if (select.trimmed().compare("all", Qt::CaseInsensitive) == 0) {
    for (int row = 1; row <= rowCount; ++row) rows.push_back(row);
    return true;
  }
  for (const QString& part : select.split(',', Qt::SkipEmptyParts)) {
    bool ok = false;
    const int row = part.trimmed().toInt(&ok);
    if (!ok || row < 1 || row > rowCount) {
      UsageError("--select " + select.trimmed() + ": no row " + part.trimmed() + " to select; the tape holds " +
                 QString::number(rowCount) + " programs.");
      return false;
    }
    if (!taken[static_cast<size_t>(row)]) rows.push_back(row);
    taken[static_cast<size_t>(row)] = true;
  }
  return true;
}

void AddSelectionOptions(QCommandLineParser& parser, bool tapeNames) {
  parser.addPositionalArgument("FILE", "The tape image.");
  parser.addPositionalArgument("OUTDIR", "An existing folder for the output.");
  parser.addOption({"select", "The rows to tick: a comma list of row numbers, or \"all\".", "ROWS"});
  parser.addOption({"name", "Sets a row's file name (its \"Program\" cell), at most 16 characters.", "ROW=TEXT"});
  if (tapeNames) {
    parser.addOption({"tape-name", "Sets a row's name on tape; {TOKENS} such as {RED} allowed.", "ROW=TEXT"});
  }
}

int PrepareProgramList(const QCommandLineParser& parser, bool tapeNames, ProgramList& list, StderrMessages& messages) {
  const QStringList positional = parser.positionalArguments();
  if (positional.size() != 2) {
    PrintErr("Expected FILE and OUTDIR; see --help.");
    return kExitUsage;
  }
  if (!parser.isSet("select")) {
    PrintErr("--select ROWS is required (row numbers such as 1,3,4, or all).");
    return kExitUsage;
  }
  const std::string outDir = PathFromQt(positional.at(1));
  if (!FolderExists(outDir)) {
    PrintErr("Output folder " + positional.at(1) + " is not an existing folder.");
    return kExitUsage;
  }
  if (!LoadTape(list, PathFromQt(positional.at(0)), messages)) return kExitFailed;
  list.outputDir = outDir;

  std::vector<int> selected;
  if (!ParseRows(parser.value("select"), list.RowCount(), selected)) return kExitUsage;
  for (const int row : selected) list.SetChecked(row, true);

  for (const QString& value : parser.values("name")) {
    int row = 0;
    QString text;
    if (!ParseRowText(value, list.RowCount(), row, text)) {
      return UsageError("--name " + value + ": expected ROW=TEXT with an existing row.");
    }
    if (HasControlCharacter(text)) {
      return UsageError("--name for row " + QString::number(row) +
                        ": a file name cannot hold a line break or another control character.");
    }
    // The name editor's box takes at most 16 characters.
    if (text.size() > 16) {
      PrintErr("--name " + value + ": a file name has at most 16 characters.");
      return kExitUsage;
    }
    list.SetFileName(row, PathFromQt(text));
  }
  if (tapeNames) {
    for (const QString& value : parser.values("tape-name")) {
      int row = 0;
      QString text;
      if (!ParseRowText(value, list.RowCount(), row, text)) {
        return UsageError("--tape-name " + value + ": expected ROW=TEXT with an existing row.");
      }
      // Control codes are written as {TOKENS}; a raw one is a typing accident.
      if (HasControlCharacter(text)) {
        return UsageError("--tape-name for row " + QString::number(row) +
                          ": use {TOKENS} such as {RED} for control codes, not the characters themselves.");
      }
      list.SetTapeNameText(row, text.toStdString());
    }
  }
  if (list.Groups().empty()) {
    // An image without programs has already been reported as such.
    if (list.RowCount() == 0) return kExitFailed;
    return UsageError("--select " + parser.value("select").trimmed() + ": no row is selected.");
  }
  return kExitOk;
}

}  // namespace rw::cli
