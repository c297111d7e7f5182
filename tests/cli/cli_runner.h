#pragma once
// Runs reelwright-cli as a user would, with "." as the decimal separator.

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <string>

namespace rw::test {

struct CliRun {
  int exitCode = -1;  // -1 when it crashed or hung
  std::string out;
  std::string err;
};

// `environment` adds to or replaces variables of the test's own environment.
inline CliRun RunCli(const QStringList& arguments, const QList<QPair<QString, QString>>& environment = {}) {
  QProcess process;
  QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
  variables.insert("LC_ALL", "C");
  for (const auto& [name, value] : environment) variables.insert(name, value);
  process.setProcessEnvironment(variables);
  process.start(REELWRIGHT_CLI, arguments);
  CliRun run;
  if (!process.waitForFinished(60000)) {
    process.kill();
    process.waitForFinished();
    return run;
  }
  run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  run.out = process.readAllStandardOutput().toStdString();
  run.err = process.readAllStandardError().toStdString();
  return run;
}

inline QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace rw::test
