// SPDX-License-Identifier: GPL-2.0-or-later
// reelwright-cli join: gathers tape images, directories of them and pauses,
// in the order given, into one compilation and writes it as one tape image.

#include <sys/stat.h>

#include <QString>
#include <QStringList>

#include <algorithm>
#include <vector>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "core/pulse_timing.h"
#include "core/utilities.h"
#include "join/compilation.h"
#include "join/join_operation.h"
#include "platform/locale.h"

namespace rw::cli {
namespace {

const char* const kJoinUsage =
    "Usage: reelwright-cli join [--sort] [--force] [--stream] OUTFILE ITEM...\n"
    "\n"
    "Joins tape images into OUTFILE, in the order of the items. Each ITEM is\n"
    "  FILE          a tape image\n"
    "  DIRECTORY     every .tap file directly inside it, in name order,\n"
    "                numbers by value (2 before 10)\n"
    "  --pause TEXT  a pause such as 5s, 1m:30s or 2.5s\n"
    "All images must be for the same machine, video standard and TAP version;\n"
    "version-0 images cannot be joined with pauses. A directory never adds OUTFILE.\n"
    "\n"
    "Options:\n"
    "  --sort         keep the rows sorted by path in the same order, pauses first\n"
    "  --force        replace OUTFILE if it exists (only a regular file)\n"
    "  --stream       OUTFILE may be a named pipe or a device (/dev/stdout): the\n"
    "                 image is written into it as it is made, the list goes to\n"
    "                 standard error\n"
    "  --             the arguments that follow are paths, even if they begin with -\n"
    "  -h, --help     this help\n"
    "  -v, --version  the program's version";

// A named pipe or a character device, which --stream writes into.
bool IsStream(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && (S_ISFIFO(status.st_mode) || S_ISCHR(status.st_mode));
}

struct Item {
  bool pause = false;
  QString text;  // a path, or the pause text
};

struct JoinArguments {
  bool sort = false;
  bool force = false;
  bool stream = false;
  bool help = false;
  bool version = false;
  QString output;
  std::vector<Item> items;
};

// The order of the items is the order of the compilation, so the arguments
// are read in sequence rather than through an option parser.
bool ParseJoinArguments(const QStringList& arguments, JoinArguments& parsed, QString& error) {
  bool optionsEnded = false;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& argument = arguments.at(i);
    Item item;
    if (!optionsEnded && argument.startsWith(QLatin1Char('-')) && argument.size() > 1) {
      if (argument == "--") {
        optionsEnded = true;
        continue;
      }
      if (argument == "--help" || argument == "-h") {
        parsed.help = true;
        continue;
      }
      if (argument == "--version" || argument == "-v") {
        parsed.version = true;
        continue;
      }
      if (argument == "--sort") {
        parsed.sort = true;
        continue;
      }
      if (argument == "--force") {
        parsed.force = true;
        continue;
      }
      if (argument == "--stream") {
        parsed.stream = true;
        continue;
      }
      if (argument == "--pause") {
        if (i + 1 >= arguments.size()) {
          error = "--pause needs a duration such as 5s";
          return false;
        }
        item = {true, arguments.at(++i)};
      } else if (argument.startsWith("--pause=")) {
        item = {true, argument.mid(8)};
      } else {
        error = "Unknown option: " + argument;
        return false;
      }
    } else {
      item = {false, argument};
    }
    if (!item.pause && parsed.output.isNull()) {
      parsed.output = item.text;
    } else if (parsed.output.isNull()) {
      error = "The output file comes before the first pause";
      return false;
    } else {
      parsed.items.push_back(item);
    }
  }
  if (parsed.help || parsed.version) return true;
  if (parsed.output.isEmpty() || parsed.items.empty()) {
    error = "An output file and at least one item are needed";
    return false;
  }
  return true;
}

void PrintRows(const Compilation& compilation, void (*print)(const QString&)) {
  std::vector<std::vector<QString>> table;
  std::vector<QString> headings;
  for (const char* heading : kColumnHeadings) headings.push_back(QString::fromUtf8(heading));
  table.push_back(headings);
  for (const CompilationRow& row : compilation.rows()) {
    std::vector<QString> cells;
    for (int column = 0; column < kColumnCount; ++column) cells.push_back(PathToQt(row.Text(column)));
    table.push_back(cells);
  }
  // Each column as wide as the wider of its contents and its heading.
  std::vector<qsizetype> widths(kColumnCount, 0);
  for (const auto& cells : table) {
    for (int column = 0; column < kColumnCount; ++column)
      widths[column] = std::max(widths[column], cells[column].size());
  }
  for (const auto& cells : table) {
    QString line;
    for (int column = 0; column < kColumnCount; ++column) {
      if (column > 0) line += "  ";
      line += column + 1 < kColumnCount ? cells[column].leftJustified(widths[column]) : cells[column];
    }
    print(line);
  }
  print("Total Duration: " + PathToQt(compilation.totalText()));
}

}  // namespace

int RunJoin(const QStringList& arguments) {
  JoinArguments parsed;
  QString error;
  if (!ParseJoinArguments(arguments, parsed, error)) {
    PrintErr(error + "\n\n" + kJoinUsage);
    return kExitUsage;
  }
  if (parsed.help) {
    PrintOut(kJoinUsage);
    return kExitOk;
  }
  if (parsed.version) {
    PrintOut(QStringLiteral("reelwright-cli ") + REELWRIGHT_VERSION);
    return kExitOk;
  }

  // A pause that does not read as a duration is a wrong argument, found
  // before anything is loaded.
  const std::string decimalSeparator = DecimalSeparator();
  for (const Item& item : parsed.items) {
    if (item.pause && !ParseDuration(PathFromQt(item.text), decimalSeparator)) {
      return UsageError("--pause " + item.text + ": expected a duration such as 5s, 1m:30s or 2" +
                        PathToQt(decimalSeparator) + "5s.");
    }
  }

  StderrMessages messages;
  const std::string output = PathFromQt(parsed.output);
  // A stream asked for is written into; a file is replaced only with --force.
  const bool stream = parsed.stream && IsStream(output);
  if (!parsed.force && !stream && (FileExists(output) || FolderExists(output))) {
    messages.Critical("WARNING", "File " + output + " Already exists ! Use --force to overwrite it.");
    return kExitFailed;
  }

  Compilation compilation(decimalSeparator);
  compilation.SetSorted(parsed.sort);
  for (const Item& item : parsed.items) {
    const std::string text = PathFromQt(item.text);
    const Outcome added = item.pause           ? compilation.AddPauseRow(text)
                          : FolderExists(text) ? compilation.AddTapDirectory(text, output)
                                               : compilation.AddTapFile(text);
    if (!Report(added)) return kExitFailed;
  }
  // Standard output may be the stream itself: the list then goes to standard error.
  PrintRows(compilation, parsed.stream ? PrintErr : PrintOut);
  if (!compilation.joinAvailable()) {
    messages.Critical("ERROR!", "Nothing to join: the list needs at least two rows (tape images or pauses).");
    return kExitFailed;
  }
  if (!Report(JoinToTapFile(compilation, output, parsed.force, {}, parsed.stream))) return kExitFailed;
  (parsed.stream ? PrintErr : PrintOut)("Join operation Executed Correctly !");
  return kExitOk;
}

}  // namespace rw::cli
