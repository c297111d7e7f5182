// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The commands of reelwright-cli. Each takes its own arguments (the first
// element is "reelwright-cli COMMAND", as a program name for --help) and
// returns the exit status: 0 success, 1 refused or failed, 2 usage error.
// Every file a command writes is synced through `storageSync`, which main()
// makes.

#include <QStringList>

#include "core/ports/storage_sync.h"

namespace rw::cli {

int RunInfo(const QStringList& arguments, StorageSync& storageSync);
int RunList(const QStringList& arguments, StorageSync& storageSync);
int RunSplit(const QStringList& arguments, StorageSync& storageSync);
int RunIndex(const QStringList& arguments, StorageSync& storageSync);
int RunJoin(const QStringList& arguments, StorageSync& storageSync);
int RunLauncher(const QStringList& arguments, StorageSync& storageSync);
int RunExtract(const QStringList& arguments, StorageSync& storageSync);
int RunToDisk(const QStringList& arguments, StorageSync& storageSync);
int RunScan(const QStringList& arguments, StorageSync& storageSync);
int RunMap(const QStringList& arguments, StorageSync& storageSync);
int RunPulses(const QStringList& arguments, StorageSync& storageSync);

}  // namespace rw::cli
