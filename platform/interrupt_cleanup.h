// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What an interrupted run does: on SIGINT, SIGTERM or SIGHUP it stops the
// external tools it is running, with every process they started (their
// process groups, core/partial_files.h), removes the files it was writing and
// their temporary files, and
// ends with 128 + the signal number, as a shell reports a process that a
// signal stopped. Any command that writes through SafeFileWriter, or
// registers its own files, is covered once this is installed.

namespace rw {

void InstallInterruptCleanup();

// Stops every registered tool's process group now. Safe inside a signal handler.
void StopToolProcesses();
// Removes every registered partial file now. Safe inside a signal handler.
void RemovePartialFiles();

}  // namespace rw
