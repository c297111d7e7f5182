#include "cli/cli_support.h"

#include <cstdio>

namespace rw::cli {

MessageAnswer StderrMessages::Show(const Message& message) {
  if (message.icon == MessageIcon::Critical) ++errors;
  PrintErr(QString::fromStdString(message.text));
  if (message.buttons == MessageButtons::YesNo) return answer_;
  return MessageAnswer::Ok;
}

void PrintOut(const QString& line) {
  const QByteArray bytes = line.toUtf8();
  std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
  std::fputc('\n', stdout);
}

void PrintErr(const QString& line) {
  std::fflush(stdout);
  const QByteArray bytes = line.toUtf8();
  std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
  std::fputc('\n', stderr);
}

}  // namespace rw::cli
