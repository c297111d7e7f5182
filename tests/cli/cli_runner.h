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

inline CliRun RunCli(const QStringList& arguments, const QString& workingFolder = QString()) {
  QProcess process;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("LC_ALL", "C");
  process.setProcessEnvironment(environment);
  if (!workingFolder.isEmpty()) process.setWorkingDirectory(workingFolder);
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
