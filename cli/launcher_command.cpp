// SPDX-License-Identifier: GPL-2.0-or-later
// reelwright-cli launcher: a launcher disk image for the selected programs of
// a tape image, made by VICE's c1541 and petcat, with one target machine for
// every program.

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <iterator>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/program_selection.h"
#include "core/ports/remembered_paths.h"
#include "launcher/device_answer.h"
#include "launcher/launcher_disk.h"
#include "launcher/launcher_input.h"
#include "platform/locale.h"
#include "platform/qt_tool_runner.h"
#include "split/program_list.h"

namespace rw::cli {
namespace {

const char* const kDescription =
    "Builds OUTDIR/<file name>.d64 with one launcher program per group of selected programs: run on the "
    "Commodore machine, each has the tape-emulator device mount FILE at the group's start and starts loading. "
    "Needs VICE's c1541 and petcat beside reelwright-cli or on PATH.";

// --target names, in the order of TargetSystems().
const char* const kTargetNames[] = {"c64", "vic20", "vic20-3k", "vic20-8k", "c16", "c128"};

int TargetIndex(const QString& name) {
  for (int i = 0; i < static_cast<int>(std::size(kTargetNames)); ++i) {
    if (name.compare(QLatin1String(kTargetNames[i]), Qt::CaseInsensitive) == 0) return i;
  }
  return -1;
}

// Completions on standard output, everything else on standard error.
class LauncherMessages : public StderrMessages {
 public:
  using StderrMessages::StderrMessages;
  MessageAnswer Show(const Message& message) override {
    if (message.icon == MessageIcon::Information) {
      PrintOut(PathToQt(message.text));
      return MessageAnswer::Ok;
    }
    return StderrMessages::Show(message);
  }
};

// The command line asks no one: the device was given, and the one target
// goes to every program as "For All remaining" would.
class FixedAnswers : public LauncherDialogs {
 public:
  explicit FixedAnswers(int target) : target_(target) {}
  DeviceAnswer AskDevice() override { return {true, 8, ""}; }
  TargetAnswer AskTarget(const std::string&, const std::string& name) override {
    return {TargetAction::ForAllRemaining, target_, name};
  }

 private:
  int target_;
};

}  // namespace

int RunLauncher(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(kDescription);
  AddSelectionOptions(parser, false);
  parser.addOption({"device", "Device number of the tape-emulator device, 8 to 11.", "N", "8"});
  parser.addOption({"sd-dir", "Folder of FILE on the SD card; none by default.", "TEXT"});
  parser.addOption({"target", "c64 (the default), vic20, vic20-3k, vic20-8k, c16 or c128.", "NAME", "c64"});
  parser.addOption({"force", "Replace the disk image if it exists."});
  if (const int status = ParseCommandLine(parser, arguments); status != kGoOn) return status;
  const int target = TargetIndex(parser.value("target"));
  if (target < 0) {
    return UsageError("--target " + parser.value("target") + ": must be c64, vic20, vic20-3k, vic20-8k, c16 or c128.");
  }

  // The dialog reads the leading number of what was typed; an argument is
  // a whole number or wrong.
  bool deviceOk = false;
  const int deviceNumber = parser.value("device").toInt(&deviceOk);
  if (!deviceOk || deviceNumber < 8 || deviceNumber > 11) {
    return UsageError("--device " + parser.value("device") + ": expected a device number from 8 to 11.");
  }
  if (HasControlCharacter(parser.value("sd-dir"))) {
    return UsageError("--sd-dir: a folder name cannot hold a line break or another control character.");
  }
  LauncherMessages messages(parser.isSet("force") ? MessageAnswer::Yes : MessageAnswer::No);
  const DeviceCheck device =
      CheckDeviceAnswer(parser.value("device").toStdString(), parser.value("sd-dir").toStdString());
  if (!Report(device.refusal)) return UsageError("--sd-dir " + parser.value("sd-dir") + ": refused, see above.");

  // The command line names its folders itself and leaves the ones the
  // windows remember alone.
  MemoryPaths paths;
  ProgramList list(paths, DecimalSeparator());
  const int status = PrepareProgramList(parser, false, list, messages);
  if (status != kExitOk) return status;

  const LauncherDiskInput input = LauncherInputFromProgramList(list);

  FixedAnswers answers(target);
  LauncherSettings settings;
  QtToolRunner tools;
  const LauncherResult result =
      BuildLauncherDiskFor(input, {device.device, device.directory}, {answers, settings, tools, messages});
  Report(result.failure);
  if (result.state == LauncherOutcome::NotStarted) PrintErr("Use --force to replace it.");
  return result.state == LauncherOutcome::Created ? kExitOk : kExitFailed;
}

}  // namespace rw::cli
