// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The commands of reelwright-cli. Each takes its own arguments (the first
// element is "reelwright-cli COMMAND", as a program name for --help) and
// returns the exit status: 0 success, 1 refused or failed, 2 usage error.

#include <QStringList>

namespace rw::cli {

int RunInfo(const QStringList& arguments);
int RunList(const QStringList& arguments);
int RunSplit(const QStringList& arguments);
int RunIndex(const QStringList& arguments);
int RunJoin(const QStringList& arguments);
int RunLauncher(const QStringList& arguments);
int RunExtract(const QStringList& arguments);
int RunToDisk(const QStringList& arguments);
int RunScan(const QStringList& arguments);
int RunMap(const QStringList& arguments);
int RunPulses(const QStringList& arguments);

}  // namespace rw::cli
