#pragma once
// What the commands share: messages on standard error, text output.

#include <QString>

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

void PrintOut(const QString& line);  // a line on standard output (UTF-8)
void PrintErr(const QString& line);  // a line on standard error (UTF-8)

}  // namespace rw::cli
