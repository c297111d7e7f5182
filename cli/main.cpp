// SPDX-License-Identifier: GPL-2.0-or-later
// reelwright-cli: the tape tools without windows.

#include <QCoreApplication>
#include <QGuiApplication>
#include <QStringList>

#include <cstring>
#include <memory>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "platform/interrupt_cleanup.h"
#include "platform/native_path.h"
#include "platform/posix_storage_sync.h"

namespace {

const char* const kUsage =
    "Usage: reelwright-cli COMMAND [OPTIONS] ARGUMENTS\n"
    "\n"
    "Commands:\n"
    "  info FILE                 the facts of a tape image\n"
    "  list [--json] FILE        the programs found on a tape image\n"
    "  split FILE OUTDIR ...     one tape image per group of selected programs\n"
    "  index FILE OUTDIR ...     an index file for tape-emulator hardware\n"
    "  join OUTFILE ITEM...      a compilation of tape images and pauses\n"
    "  launcher FILE OUTDIR ...  a launcher disk image (needs VICE's c1541 and petcat)\n"
    "  extract FILE OUTDIR ...   the selected programs as .prg files\n"
    "  todisk FILE DISK.d64 ...  a disk image holding the selected programs (needs VICE's c1541)\n"
    "  scan PATH...              a catalogue of every tape image under the paths\n"
    "  map FILE -o OUT.svg       a map of the tape (also .png)\n"
    "  pulses FILE --select ROW -o OUT.svg  a program's pulse widths (also .png)\n"
    "\n"
    "reelwright-cli COMMAND --help (or reelwright-cli help COMMAND) describes a command.\n"
    "Exit status: 0 done, 1 refused or failed, 2 wrong arguments; 128 + N when stopped by signal N.";

using Runner = int (*)(const QStringList&, rw::StorageSync&);

// Every command, by the name typed after reelwright-cli.
Runner FindCommand(const QString& name) {
  const struct {
    const char* name;
    Runner run;
  } commands[] = {{"info", rw::cli::RunInfo},       {"list", rw::cli::RunList},     {"split", rw::cli::RunSplit},
                  {"index", rw::cli::RunIndex},     {"join", rw::cli::RunJoin},     {"launcher", rw::cli::RunLauncher},
                  {"extract", rw::cli::RunExtract}, {"todisk", rw::cli::RunToDisk}, {"scan", rw::cli::RunScan},
                  {"map", rw::cli::RunMap},         {"pulses", rw::cli::RunPulses}};
  for (const auto& entry : commands) {
    if (name == QLatin1String(entry.name)) return entry.run;
  }
  return nullptr;
}

// True for a map or pulses command that writes a PNG file.
bool PaintsPng(int argc, char** argv) {
  if (argc < 2 || (std::strcmp(argv[1], "map") != 0 && std::strcmp(argv[1], "pulses") != 0)) return false;
  for (int i = 2; i < argc; ++i) {
    if (QString::fromLocal8Bit(argv[i]).endsWith(".png", Qt::CaseInsensitive)) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  // PNG pictures need fonts, which only a GUI application has; drawn off
  // screen, so they need no display either. SVG needs neither.
  const bool drawing = PaintsPng(argc, argv);
  if (drawing && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  const std::unique_ptr<QCoreApplication> app =
      drawing ? std::make_unique<QGuiApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
  // Written files are on the device before any success message.
  rw::PosixStorageSync storageSync;
  // Ctrl+C or a terminating signal leaves no partial file behind.
  rw::InstallInterruptCleanup();
  QCoreApplication::setApplicationName("reelwright-cli");
  QCoreApplication::setApplicationVersion(REELWRIGHT_VERSION);
  // The arguments as given, byte for byte: a file name that is not UTF-8
  // must reach the file system unchanged (see platform/native_path.h).
  const QStringList arguments = rw::NativeArguments(argc, argv);
  if (arguments.size() < 2) {
    rw::cli::PrintErr(kUsage);
    return rw::cli::kExitUsage;
  }
  const QString command = arguments.at(1);
  if (command == "help" && arguments.size() > 2) {
    // reelwright-cli help COMMAND: the command's own --help.
    const QString name = arguments.at(2);
    if (const Runner run = FindCommand(name)) {
      return run({QStringLiteral("reelwright-cli ") + name, QStringLiteral("--help")}, storageSync);
    }
    rw::cli::PrintErr(QStringLiteral("Unknown command: ") + name + "\n\n" + kUsage);
    return rw::cli::kExitUsage;
  }
  if (command == "--help" || command == "-h" || command == "help") {
    rw::cli::PrintOut(kUsage);
    return rw::cli::kExitOk;
  }
  if (command == "--version" || command == "-v") {
    rw::cli::PrintOut(QStringLiteral("reelwright-cli ") + REELWRIGHT_VERSION);
    return rw::cli::kExitOk;
  }
  QStringList rest = arguments.mid(2);
  rest.prepend(QStringLiteral("reelwright-cli ") + command);

  if (const Runner run = FindCommand(command)) return run(rest, storageSync);
  rw::cli::PrintErr(QStringLiteral("Unknown command: ") + command + "\n\n" + kUsage);
  return rw::cli::kExitUsage;
}
