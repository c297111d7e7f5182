// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What the launcher disk is built from, taken from the split list: the loaded
// tape image, the output folder and one program per group of ticked rows.
// The split window and the command line both build their disk from this.

#include "launcher/launcher_disk.h"

namespace rw {

class ProgramList;

// One LauncherProgram per group of ticked rows, in list order, named and
// started by the group's first row as the list shows it.
LauncherDiskInput LauncherInputFromProgramList(const ProgramList& list);

}  // namespace rw
