// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Runs reelwright-cli as a user would, with "." as the decimal separator.

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <sstream>
#include <string>
#include <vector>

#include "support/program_run.h"

namespace rw {

// How a run ended: the exit status (128 + N after signal N, -1 when it hung) and what it printed.
using CliRun = test::ProgramOutcome;

// `environment` adds to or replaces variables of the test's own environment.
inline CliRun RunCli(const QStringList& arguments, const QList<QPair<QString, QString>>& environment = {}) {
  std::vector<std::string> bytes, variables;
  for (const QString& argument : arguments) bytes.push_back(argument.toStdString());
  for (const auto& [name, value] : environment) variables.push_back((name + "=" + value).toStdString());
  return test::RunCliBytes(bytes, variables);
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
