// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/cli_support.h"

#include <algorithm>
#include <cstdio>

#include "split/program_list.h"
#include "split/section_parse.h"

namespace rw::cli {

MessageAnswer StderrMessages::Show(const Message& message) {
  if (message.buttons == MessageButtons::YesNo) {
    if (answer_ != MessageAnswer::Yes) PrintErr(PathToQt(message.text));
    return answer_;
  }
  PrintErr(PathToQt(message.text));
  return MessageAnswer::Ok;
}

bool Report(const Outcome& outcome) {
  if (!outcome.ok()) PrintErr(PathToQt(outcome.text()));
  return outcome.ok();
}

bool LoadTape(ProgramList& list, const std::string& path, Messages& messages) {
  if (!Report(list.LoadAndParse(path))) return false;
  if (list.RowCount() == 0) messages.Exclamation("WARNING!", kNoSectionsMessage);
  return true;
}

int ParseCommandLine(QCommandLineParser& parser, const QStringList& arguments) {
  // Qt's own help option also offers --help-all, which means nothing here.
  parser.addOption({{"h", "help"}, "Displays help on commandline options."});
  parser.addVersionOption();
  if (!parser.parse(arguments)) {
    PrintErr(parser.errorText());
    return kExitUsage;
  }
  if (parser.isSet("help")) {
    PrintOut(CommandHelp(parser, arguments));
    return kExitOk;
  }
  if (parser.isSet("version")) {
    PrintOut(QStringLiteral("reelwright-cli ") + REELWRIGHT_VERSION);
    return kExitOk;
  }
  return kGoOn;
}

QString CommandHelp(const QCommandLineParser& parser, const QStringList& arguments) {
  QString help = parser.helpText();
  // Qt names the executable's path; the user typed a command.
  const auto usage = help.indexOf(" [options]");
  if (help.startsWith("Usage: ") && usage > 0) help.replace(7, usage - 7, arguments.first());
  return help;
}

int UsageError(const QString& text) {
  PrintErr(text);
  return kExitUsage;
}

bool HasControlCharacter(const QString& text) {
  return std::any_of(text.begin(), text.end(), [](QChar c) {
    return c.unicode() < 0x20 || c.unicode() == 0x7F || (c.unicode() >= 0x80 && c.unicode() < 0xA0);
  });
}

std::string TerminalText(const std::string& bytes) {
  std::string shown;
  shown.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size();) {
    char32_t value = 0;
    const size_t length = Utf8Sequence(bytes, i, value);
    char escape[16];
    if (length == 0) {
      shown += "\xEF\xBF\xBD";
      ++i;
      continue;
    }
    if ((value < 0x20 && value != '\n' && value != '\t') || value == 0x7F) {
      std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned>(value));
      shown += escape;
    } else if (value >= 0x80 && value < 0xA0) {
      std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(value));
      shown += escape;
    } else {
      shown.append(bytes, i, length);
    }
    i += length;
  }
  return shown;
}

void PrintOut(const QString& line) {
  const std::string bytes = PathFromQt(line);
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  std::fputc('\n', stdout);
}

void WriteOutUtf8(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); }

void PrintErr(const QString& line) {
  std::fflush(stdout);
  const std::string bytes = TerminalText(PathFromQt(line));
  std::fwrite(bytes.data(), 1, bytes.size(), stderr);
  std::fputc('\n', stderr);
}

}  // namespace rw::cli
