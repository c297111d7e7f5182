// SPDX-License-Identifier: GPL-2.0-or-later
// The manual page of reelwright-cli against the program's own help, so that
// neither can change without the other: every command that
// "reelwright-cli --help" lists has a subsection ".SS NAME" that describes each
// option of "reelwright-cli NAME --help" in an entry of its own (".TP") and
// names no other, apart from the options that every command shares, which the
// page describes once under OPTIONS. "help NAME" prints the same as
// "NAME --help", and every command answers --version.

#include <QFile>
#include <QRegularExpression>

#include <map>
#include <set>

#include "cli_runner.h"

namespace rw {
namespace {

using Options = std::set<std::string>;

// The first group of every match of `pattern` in `text`.
Options Matches(const QRegularExpression& pattern, const QString& text) {
  Options found;
  for (auto match = pattern.globalMatch(text); match.hasNext();) found.insert(match.next().captured(1).toStdString());
  return found;
}

// "-v", "--tape-name", "[--json]", "(--pause": a dash and a letter after a
// blank or an opening bracket; not the inner dashes of "VIC-20" or "tab-separated".
Options OptionsIn(const QString& text) {
  return Matches(QRegularExpression(R"((?:^|[\s\[(|])(--?[A-Za-z][A-Za-z0-9-]*))"), text);
}

struct Section {
  QString text;
  QString tags;  // the lines that head ".TP" entries
};

// ".SS NAME" under COMMANDS by NAME, and OPTIONS as "".
using ManPage = std::map<std::string, Section>;

// Roff as text: "\-" is a dash, "\fB" and its kin switch fonts, "\&" is nothing.
ManPage ReadManPage(const QString& path) {
  QFile file(path);
  file.open(QIODevice::ReadOnly);  // a page not found has no sections, which the test reports
  static const QRegularExpression fonts(R"(\\f[BIRP])");
  ManPage page;
  QString heading;
  Section* into = nullptr;
  bool tag = false;
  for (QString line : QString::fromUtf8(file.readAll()).split('\n')) {
    if (line.startsWith(".\\\"")) continue;
    line.replace("\\-", "-").remove(fonts).remove("\\&");
    if (line.startsWith(".SH ")) {
      heading = line.mid(4).remove('"').trimmed();
      into = heading == "OPTIONS" ? &page[""] : nullptr;
    } else if (line.startsWith(".SS ") && heading == "COMMANDS") {
      into = &page[line.mid(4).remove('"').trimmed().split(' ').first().toStdString()];
    } else if (into) {
      into->text.append(line).append('\n');
      if (tag) into->tags.append(line).append('\n');
    }
    tag = line == ".TP";
  }
  return page;
}

TEST(ManPage, DescribesEveryCommandWithExactlyTheOptionsOfItsHelp) {
  const CliRun usage = ExpectRun({"--help"}, 0);
  // The commands are the first words of the usage's indented lines.
  const Options commands =
      Matches(QRegularExpression(R"(^  ([a-z]+)\b)", QRegularExpression::MultilineOption), Q(usage.out));
  ASSERT_FALSE(commands.empty()) << usage.out;
  ManPage page = ReadManPage(REELWRIGHT_CLI_MAN_PAGE);
  const Options shared = OptionsIn(page[""].tags);
  ASSERT_FALSE(shared.empty()) << "no options under .SH OPTIONS in " << REELWRIGHT_CLI_MAN_PAGE;

  std::vector<std::string> problems;
  for (const std::string& command : commands) {
    const CliRun help = RunCli({Q(command), "--help"});
    const Options helpOptions = OptionsIn(Q(help.out));
    if (help.exitCode != 0 || helpOptions.empty()) {
      problems.push_back(command + " --help failed or lists no option: " + help.err);
      continue;
    }
    if (RunCli({"help", Q(command)}).out != help.out) problems.push_back(command + ": \"help\" differs from --help");
    if (RunCli({Q(command), "--version"}).out != std::string("reelwright-cli ") + REELWRIGHT_VERSION + "\n") {
      problems.push_back(command + ": --version");
    }
    // A command without its ".SS NAME" under COMMANDS describes none of its options.
    const Section& section = page[command];
    const Options described = OptionsIn(section.tags);
    for (const std::string& option : helpOptions) {
      if (!described.count(option) && !shared.count(option)) problems.push_back(command + ": undescribed " + option);
    }
    for (const std::string& option : OptionsIn(section.text)) {
      if (!helpOptions.count(option)) problems.push_back(command + ": the page describes what --help lacks: " + option);
    }
  }
  EXPECT_EQ(problems, std::vector<std::string>{}) << "in " << REELWRIGHT_CLI_MAN_PAGE;
}

}  // namespace
}  // namespace rw
