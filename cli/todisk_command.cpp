// SPDX-License-Identifier: GPL-2.0-or-later
// reelwright-cli todisk: the selected programs of a tape image copied onto a
// new D64 disk image under their tape names, through VICE's c1541.

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/program_selection.h"
#include "core/ports/remembered_paths.h"
#include "launcher/program_disk.h"
#include "launcher/staged_disk_image.h"
#include "platform/locale.h"
#include "platform/qt_tool_runner.h"
#include "split/program_list.h"

namespace rw::cli {
namespace {

// The completion on standard output, everything else on standard error.
class DiskMessages : public StderrMessages {
 public:
  MessageAnswer Show(const Message& message) override {
    if (message.icon == MessageIcon::Information) {
      PrintOut(PathToQt(message.text));
      return MessageAnswer::Ok;
    }
    return StderrMessages::Show(message);
  }
};

}  // namespace

int RunToDisk(const QStringList& arguments, StorageSync& storageSync) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Makes DISK, a new D64 disk image holding the selected programs of FILE as PRG files under their tape names "
      "(PETSCII as on tape), in tape order. Refuses when a selected program's data does not read whole. Needs "
      "VICE's c1541 beside reelwright-cli or on PATH.");
  parser.addPositionalArgument("FILE", "The tape image.");
  parser.addPositionalArgument("DISK", "The disk image to make (.d64).");
  parser.addOption(
      {"select", "The rows to copy: a comma list of row numbers, or \"all\" (the default).", "ROWS", "all"});
  parser.addOption({"force", "Replace DISK if it exists (the old one stays until the new one is complete)."});
  if (const int status = ParseCommandLine(parser, arguments); status != kGoOn) return status;
  const QStringList positional = parser.positionalArguments();
  if (positional.size() != 2) {
    PrintErr("Expected FILE and DISK; see --help.");
    return kExitUsage;
  }

  DiskMessages messages;
  MemoryPaths paths;
  ProgramList list(paths, storageSync, DecimalSeparator());
  if (!LoadTape(list, PathFromQt(positional.at(0)), messages)) return kExitFailed;
  if (list.RowCount() == 0) return kExitFailed;  // already reported
  std::vector<int> rows;
  if (!ParseRows(parser.value("select"), list.RowCount(), rows)) return kExitUsage;

  QtToolRunner tools;
  const Outcome outcome =
      CopyProgramsToDisk(list, rows, PathFromQt(positional.at(1)), parser.isSet("force"), tools, storageSync, messages);
  if (Report(outcome)) return kExitOk;
  if (outcome.kind() == FailureKind::Refused && !parser.isSet("force") && NameTaken(PathFromQt(positional.at(1)))) {
    PrintErr("Use --force to replace it.");
  }
  return kExitFailed;
}

}  // namespace rw::cli
