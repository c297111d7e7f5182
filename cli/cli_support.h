#pragma once
// What the commands share: messages on standard error, text output.

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include "platform/messages.h"

namespace rw::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// Prints each message's text on standard error, one per line. Questions are
// answered with `answer` (the command line has no one to ask).
class StderrMessages : public Messages {
 public:
  explicit StderrMessages(MessageAnswer answer = MessageAnswer::No) : answer_(answer) {}
  MessageAnswer Show(const Message& message) override;
  int errors = 0;  // critical messages shown

 private:
  MessageAnswer answer_;
};

// Adds --help and --version to `parser` and parses `arguments` (whose first
// element names the command). Returns kGoOn, or the status to end with when
// help or the version was printed or the arguments were wrong.
inline constexpr int kGoOn = -1;
int ParseCommandLine(QCommandLineParser& parser, const QStringList& arguments);
// The parser's help with "reelwright-cli COMMAND" as the program's name.
QString CommandHelp(const QCommandLineParser& parser, const QStringList& arguments);

void PrintOut(const QString& line);  // a line on standard output (UTF-8)
void PrintErr(const QString& line);  // a line on standard error (UTF-8)

}  // namespace rw::cli
