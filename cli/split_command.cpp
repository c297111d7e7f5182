// SPDX-License-Identifier: GPL-2.0-or-later
// reelwright-cli split / index: the split window's two file commands.

#include <QCommandLineParser>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/program_selection.h"
#include "core/ports/remembered_paths.h"
#include "platform/locale.h"

namespace rw::cli {

int RunSplit(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Writes one tape image per group of selected programs into OUTDIR: a group runs from the row after the "
      "previous selected row (or the first row) to a selected row.");
  AddSelectionOptions(parser, true);
  int status = ParseCommandLine(parser, arguments);
  if (status != kGoOn) return status;

  // The command line names its folders itself and leaves the ones the
  // windows remember alone.
  MemoryPaths paths;
  ProgramList list(paths, DecimalSeparator());
  StderrMessages messages;
  status = PrepareProgramList(parser, true, list, messages);
  if (status != kExitOk) return status;

  std::vector<std::string> written;
  // A failure goes to standard error; the completion text ends the output.
  RecordedMessages done;
  const Outcome split = list.Split(done, &written);
  for (const auto& path : written) PrintOut(PathToQt(path));
  for (const auto& message : done.shown) PrintOut(PathToQt(message.text));
  return Report(split) ? kExitOk : kExitFailed;
}

int RunIndex(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription("Writes the index file of the selected groups into OUTDIR.");
  AddSelectionOptions(parser, false);
  parser.addOption({"format", "marquise (the default) or ultimate64.", "FORMAT", "marquise"});
  int status = ParseCommandLine(parser, arguments);
  if (status != kGoOn) return status;
  const QString format = parser.value("format").toLower();
  if (format != "marquise" && format != "ultimate64") {
    return UsageError("--format " + parser.value("format") + ": must be marquise or ultimate64.");
  }

  MemoryPaths paths;
  ProgramList list(paths, DecimalSeparator());
  StderrMessages messages;
  status = PrepareProgramList(parser, false, list, messages);
  if (status != kExitOk) return status;

  RecordedMessages done;
  const Outcome written = list.WriteIndex(format == "marquise" ? IndexFormat::Marquise : IndexFormat::Ultimate64, done);
  for (const auto& message : done.shown) PrintOut(PathToQt(message.text));
  return Report(written) ? kExitOk : kExitFailed;
}

}  // namespace rw::cli
