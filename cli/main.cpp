// reelwright-cli: the tape tools without windows.

#include <QCoreApplication>
#include <QStringList>

#include "cli/cli_support.h"
#include "cli/commands.h"

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
    "  scan [--json|--csv] PATH...  a catalogue of every tape image under the paths\n"
    "\n"
    "reelwright-cli COMMAND --help describes a command.";

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName("reelwright-cli");
  QCoreApplication::setApplicationVersion(REELWRIGHT_VERSION);
  const QStringList arguments = QCoreApplication::arguments();
  if (arguments.size() < 2) {
    rw::cli::PrintErr(kUsage);
    return rw::cli::kExitUsage;
  }
  const QString command = arguments.at(1);
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

  using Runner = int (*)(const QStringList&);
  const struct {
    const char* name;
    Runner run;
  } commands[] = {{"info", rw::cli::RunInfo},   {"list", rw::cli::RunList}, {"split", rw::cli::RunSplit},
                  {"index", rw::cli::RunIndex}, {"join", rw::cli::RunJoin}, {"launcher", rw::cli::RunLauncher},
                  {"scan", rw::cli::RunScan}};
  for (const auto& entry : commands) {
    if (command == QLatin1String(entry.name)) return entry.run(rest);
  }
  rw::cli::PrintErr(QStringLiteral("Unknown command: ") + command + "\n\n" + kUsage);
  return rw::cli::kExitUsage;
}
