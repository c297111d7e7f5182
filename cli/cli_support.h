// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What the commands share: messages on standard error, text output.

#include <QByteArray>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <string_view>

#include "core/outcome.h"
#include "core/ports/messages.h"
#include "platform/native_path.h"

namespace rw {
class ProgramList;
}

namespace rw::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// Prints each message's text on standard error, one per line. Questions are
// answered with `answer` (the command line has no one to ask); a question
// answered Yes (by --force) is not printed, since nothing was refused.
class StderrMessages : public Messages {
 public:
  explicit StderrMessages(MessageAnswer answer = MessageAnswer::No) : answer_(answer) {}
  MessageAnswer Show(const Message& message) override;

 private:
  MessageAnswer answer_;
};

// A failure's text on standard error, as a message box would show it; true
// (and nothing printed) for a success.
bool Report(const Outcome& outcome);

// Loads the tape at `path` into `list`: a refusal is reported and false
// returned; a tape with no program found loads, with the warning the split
// window gives.
bool LoadTape(ProgramList& list, const std::string& path, Messages& messages);

// Adds -h/--help and --version to `parser` and parses `arguments` (whose first
// element names the command). Returns kGoOn, or the status to end with when
// help or the version was printed or the arguments were wrong.
inline constexpr int kGoOn = -1;
int ParseCommandLine(QCommandLineParser& parser, const QStringList& arguments);
// The parser's help with "reelwright-cli COMMAND" as the program's name.
QString CommandHelp(const QCommandLineParser& parser, const QStringList& arguments);

// Wrong arguments: prints `text` (which names the option or argument at
// fault, e.g. "--device x: ...") on standard error and returns kExitUsage.
int UsageError(const QString& text);
// True when `text` holds a line break or another control character, which
// no name, path part or label on the command line may carry.
bool HasControlCharacter(const QString& text);

// A line on standard output: the bytes it stands for (PathToQt), so that a
// file name printed there is the file's own name, byte for byte.
void PrintOut(const QString& line);
// Text already UTF-8 on standard output, as it is: a JSON document (tens of
// megabytes for a long tape) is handed over piece by piece, then a line break.
void WriteOutUtf8(std::string_view text);
// A line on standard error, for a person to read (TerminalText).
void PrintErr(const QString& line);
// `bytes` for a terminal: UTF-8 kept, each other byte as U+FFFD, and control
// characters other than line breaks and tabs (which would move the cursor,
// clear the screen or change colours) as "\xNN" (C1 controls "\u0080").
std::string TerminalText(const std::string& bytes);

}  // namespace rw::cli
