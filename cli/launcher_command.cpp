// reelwright-cli launcher: a launcher disk image for the selected programs of
// a tape image, made by VICE's c1541 and petcat, with one target machine for
// every program.

#include <QString>
#include <QStringList>

#include <map>
#include <vector>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "core/utilities.h"
#include "launcher/device_answer.h"
#include "launcher/launcher_disk.h"
#include "platform/locale.h"
#include "platform/qt_tool_runner.h"
#include "platform/remembered_paths.h"
#include "split/program_list.h"

namespace rw::cli {
namespace {

const char* const kLauncherUsage =
    "Usage: reelwright-cli launcher FILE OUTDIR --select ROWS [OPTIONS]\n"
    "\n"
    "Builds OUTDIR/<file name>.d64 with one launcher program per group of\n"
    "selected programs; run on the Commodore machine, each has the tape-emulator\n"
    "device mount FILE at the group's start and starts loading. Needs VICE's\n"
    "c1541 and petcat beside reelwright-cli or on PATH.\n"
    "\n"
    "Options:\n"
    "  --select ROWS        comma list of row numbers (as 'list' shows them) or all;\n"
    "                       each selected row closes a group\n"
    "  --device N           device number of the tape-emulator device, 8 to 11 (8)\n"
    "  --sd-dir TEXT        folder of FILE on the SD card (none)\n"
    "  --target NAME        c64, vic20, vic20-3k, vic20-8k, c16 or c128 (c64)\n"
    "  --name ROW=TEXT      the name of a row's program, as the name editor sets it\n"
    "  --force              replace the disk image if it exists";

struct LauncherArguments {
  bool help = false;
  bool force = false;
  QStringList positional;
  QString select;
  QString device = "8";
  QString sdDirectory;
  int target = 0;
  std::vector<std::pair<int, QString>> names;
};

const std::map<QString, int>& TargetNames() {
  static const std::map<QString, int> names = {{"c64", 0}, {"vic20", 1}, {"vic20-3k", 2},
                                               {"vic20-8k", 3}, {"c16", 4}, {"c128", 5}};
  return names;
}

bool ParseLauncherArguments(const QStringList& arguments, LauncherArguments& parsed, QString& error) {
  bool optionsEnded = false;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    QString argument = arguments.at(i);
    if (optionsEnded || !argument.startsWith("--") || argument == "--") {
      if (argument == "--" && !optionsEnded) {
        optionsEnded = true;
      } else {
        parsed.positional << argument;
      }
      continue;
    }
    if (argument == "--help") {
      parsed.help = true;
      continue;
    }
    if (argument == "--force") {
      parsed.force = true;
      continue;
    }
    QString value;
    const qsizetype equals = argument.indexOf('=');
    if (equals > 0) {
      value = argument.mid(equals + 1);
      argument = argument.left(equals);
    } else if (i + 1 < arguments.size()) {
      value = arguments.at(++i);
    } else {
      error = argument + " needs a value";
      return false;
    }
    if (argument == "--select") {
      parsed.select = value;
    } else if (argument == "--device") {
      parsed.device = value;
    } else if (argument == "--sd-dir") {
      parsed.sdDirectory = value;
    } else if (argument == "--target") {
      const auto found = TargetNames().find(value.toLower());
      if (found == TargetNames().end()) {
        error = "Unknown target: " + value;
        return false;
      }
      parsed.target = found->second;
    } else if (argument == "--name") {
      const qsizetype split = value.indexOf('=');
      bool ok = false;
      const int row = split > 0 ? value.left(split).toInt(&ok) : 0;
      if (!ok) {
        error = "--name needs ROW=TEXT, for example 3=GAME";
        return false;
      }
      parsed.names.emplace_back(row, value.mid(split + 1));
    } else {
      error = "Unknown option: " + argument;
      return false;
    }
  }
  if (parsed.help) return true;
  if (parsed.positional.size() != 2) {
    error = "A tape image and an output folder are needed";
    return false;
  }
  if (parsed.select.isEmpty()) {
    error = "--select is needed: the rows whose groups get a launcher";
    return false;
  }
  return true;
}

// "all" or "1,3,7": the rows to tick, each between 1 and `rowCount`.
bool ParseRows(const QString& text, int rowCount, std::vector<int>& rows, QString& error) {
  if (text.trimmed().compare("all", Qt::CaseInsensitive) == 0) {
    for (int row = 1; row <= rowCount; ++row) rows.push_back(row);
    return true;
  }
  for (const QString& part : text.split(',')) {
    bool ok = false;
    const int row = part.trimmed().toInt(&ok);
    if (!ok || row < 1 || row > rowCount) {
      error = "No row " + part.trimmed() + ": the image has " + QString::number(rowCount) + " programs";
      return false;
    }
    rows.push_back(row);
  }
  return true;
}

// Completions on standard output, everything else on standard error.
class LauncherMessages : public StderrMessages {
 public:
  using StderrMessages::StderrMessages;
  MessageAnswer Show(const Message& message) override {
    if (message.icon == MessageIcon::Information) {
      PrintOut(QString::fromStdString(message.text));
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
  LauncherArguments parsed;
  QString error;
  if (!ParseLauncherArguments(arguments, parsed, error)) {
    PrintErr(error + "\n\n" + kLauncherUsage);
    return kExitUsage;
  }
  if (parsed.help) {
    PrintOut(kLauncherUsage);
    return kExitOk;
  }

  LauncherMessages messages(parsed.force ? MessageAnswer::Yes : MessageAnswer::No);
  const DeviceCheck device =
      CheckDeviceAnswer(parsed.device.toStdString(), parsed.sdDirectory.toStdString(), messages);
  if (!device.accepted) return kExitFailed;

  MemoryPaths paths;
  ProgramList list(paths, DecimalSeparator());
  if (!list.LoadAndParse(parsed.positional.at(0).toStdString(), messages)) return kExitFailed;
  if (list.RowCount() == 0) return kExitFailed;

  std::vector<int> rows;
  if (!ParseRows(parsed.select, list.RowCount(), rows, error)) {
    PrintErr(error);
    return kExitUsage;
  }
  for (int row : rows) list.SetChecked(row, true);
  for (const auto& [row, name] : parsed.names) {
    if (row < 1 || row > list.RowCount()) {
      PrintErr("No row " + QString::number(row) + ": the image has " + QString::number(list.RowCount()) + " programs");
      return kExitUsage;
    }
    list.SetFileName(row, name.toStdString());
  }
  list.outputDir = parsed.positional.at(1).toStdString();
  if (!FolderExists(list.outputDir)) {
    messages.Critical("ERROR!", "Output folder " + list.outputDir + " does not exist !");
    return kExitFailed;
  }

  // One launcher per group, named and started by the group's first row.
  LauncherDiskInput input{list.loadedPath(), list.outputDir, {}};
  for (const ProgramGroup& group : list.Groups()) {
    const ListRow& first = list.rows().at(static_cast<size_t>(group.firstRow - 1));
    input.programs.push_back({first.program, first.start});
  }

  FixedAnswers answers(parsed.target);
  LauncherSettings settings;
  QtToolRunner tools;
  const LauncherOutcome outcome =
      BuildLauncherDiskFor(input, {device.device, device.directory}, {answers, settings, tools, messages});
  if (outcome == LauncherOutcome::NotStarted) PrintErr("Use --force to replace it.");
  return outcome == LauncherOutcome::Created ? kExitOk : kExitFailed;
}

}  // namespace rw::cli
