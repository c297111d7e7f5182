#include "platform/qt_tool_runner.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include <algorithm>
#include <csignal>

#include <unistd.h>

namespace rw {
namespace {

QString ToQt(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

std::string ToStd(const QString& text) { return text.toUtf8().toStdString(); }

// How long one wait for output lasts before the time limit is looked at again.
constexpr int kPollMs = 100;

// Appends what the tool printed and keeps only the newest kMaxToolOutput
// bytes: a tool that prints without end must not grow this program's memory.
void KeepTail(std::string& tail, const QByteArray& more) {
  if (more.isEmpty()) return;
  if (static_cast<size_t>(more.size()) >= kMaxToolOutput) {
    tail.assign(more.constData() + (more.size() - static_cast<qsizetype>(kMaxToolOutput)), kMaxToolOutput);
    return;
  }
  tail.append(more.constData(), static_cast<size_t>(more.size()));
  if (tail.size() > kMaxToolOutput) tail.erase(0, tail.size() - kMaxToolOutput);
}

}  // namespace

QtToolRunner::QtToolRunner(std::string programFolder, std::optional<std::vector<std::string>> searchPath,
                           int timeoutMs)
    : programFolder_(std::move(programFolder)), searchPath_(std::move(searchPath)), timeoutMs_(timeoutMs) {
  if (programFolder_.empty()) programFolder_ = ToStd(QCoreApplication::applicationDirPath());
}

std::string QtToolRunner::FindTool(const std::string& name) const {
  if (name.empty()) return "";
  if (!programFolder_.empty()) {
    const QFileInfo beside(QDir(ToQt(programFolder_)).filePath(ToQt(name)));
    if (beside.isFile() && beside.isExecutable()) return ToStd(beside.absoluteFilePath());
  }
  if (!searchPath_) return ToStd(QStandardPaths::findExecutable(ToQt(name)));
  // findExecutable treats an empty list as "use PATH", which is not what an
  // empty search path means here.
  if (searchPath_->empty()) return "";
  QStringList folders;
  for (const std::string& folder : *searchPath_) folders << ToQt(folder);
  return ToStd(QStandardPaths::findExecutable(ToQt(name), folders));
}

ToolResult QtToolRunner::Run(const std::string& toolPath, const std::vector<std::string>& arguments) {
  ToolResult result;
  QStringList list;
  for (const std::string& argument : arguments) list << ToQt(argument);
  QProcess process;
  process.setProgram(ToQt(toolPath));
  process.setArguments(list);
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.setStandardInputFile(QProcess::nullDevice());
  // The tool leads a process group of its own, so that stopping it also
  // stops whatever it started (a shell script's commands, for instance).
  process.setChildProcessModifier([] { ::setpgid(0, 0); });
  process.start();
  if (!process.waitForStarted(-1)) {
    result.error = ToStd(process.errorString());
    return result;
  }
  result.started = true;

  // Read while it runs: the pipe never fills (which would stall the tool)
  // and at no time is more than one read's worth held beyond the tail.
  std::string tail;
  QElapsedTimer clock;
  clock.start();
  bool timedOut = false;
  while (process.state() != QProcess::NotRunning) {
    const qint64 left = timeoutMs_ - clock.elapsed();
    if (left <= 0) {
      timedOut = true;
      break;
    }
    process.waitForReadyRead(static_cast<int>(std::min<qint64>(left, kPollMs)));
    KeepTail(tail, process.readAll());
  }
  if (timedOut) {
    // The tool is not reaped yet, so its process group still exists and
    // names only it and its children.
    const qint64 pid = process.processId();
    if (pid > 0) ::kill(-static_cast<pid_t>(pid), SIGKILL);
    process.kill();
    process.waitForFinished(-1);
    KeepTail(tail, process.readAll());
    result.output = ToStd(QString::fromLocal8Bit(tail.data(), static_cast<qsizetype>(tail.size())));
    result.error = "was stopped after " + std::to_string((timeoutMs_ + 999) / 1000) + " seconds without finishing";
    return result;
  }
  KeepTail(tail, process.readAll());
  result.output = ToStd(QString::fromLocal8Bit(tail.data(), static_cast<qsizetype>(tail.size())));
  if (process.exitStatus() == QProcess::CrashExit) {
    result.error = "ended abnormally";
    return result;
  }
  result.finished = true;
  result.exitStatus = process.exitCode();
  return result;
}

}  // namespace rw
