// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Runs reelwright-cli as a user would, with "." as the decimal separator.

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <sstream>
#include <string>
#include <vector>

namespace rw {

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
  const bool finished = process.waitForFinished(60000);  // false when it hung or did not start
  if (!finished) process.kill();
  return {finished && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
          process.readAllStandardOutput().toStdString(), process.readAllStandardError().toStdString()};
}

inline QString Q(const std::string& text) { return QString::fromStdString(text); }

// Runs the command and checks its exit code and that standard error holds `message`.
inline CliRun ExpectRun(const QStringList& arguments, int exitCode, const std::string& message = "",
                        const QList<QPair<QString, QString>>& environment = {}) {
  const CliRun run = RunCli(arguments, environment);
  EXPECT_EQ(run.exitCode, exitCode) << arguments.join(' ').toStdString() << "\n" << run.err;
  EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
  return run;
}

inline QJsonObject Json(const std::string& text) {
  return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
}

// The named fields of a JSON object as one line of JSON, so that a number and
// a text of the same digits differ: ["VIC-20",1].
inline std::string Fields(const QJsonObject& object, const QStringList& names) {
  QJsonArray values;
  for (const QString& name : names) values.append(object[name]);
  return QJsonDocument(values).toJson(QJsonDocument::Compact).toStdString();
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace rw
