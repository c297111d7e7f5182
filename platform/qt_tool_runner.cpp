#include "platform/qt_tool_runner.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

namespace rw {
namespace {

QString ToQt(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

std::string ToStd(const QString& text) { return text.toUtf8().toStdString(); }

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
  process.start();
  if (!process.waitForStarted(-1)) {
    result.error = ToStd(process.errorString());
    return result;
  }
  result.started = true;
  if (!process.waitForFinished(timeoutMs_)) {
    process.kill();
    process.waitForFinished(-1);
    result.output = ToStd(QString::fromLocal8Bit(process.readAll()));
    result.error = "stopped after " + std::to_string(timeoutMs_ / 1000) + " seconds without finishing";
    return result;
  }
  result.output = ToStd(QString::fromLocal8Bit(process.readAll()));
  if (process.exitStatus() == QProcess::CrashExit) {
    result.error = "ended abnormally";
    return result;
  }
  result.finished = true;
  result.exitStatus = process.exitCode();
  return result;
}

}  // namespace rw
