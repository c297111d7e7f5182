// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The split window's "Index D64" command: a launcher disk for the ticked
// groups of the split list, asking its dialogs over the main window and
// showing the busy pointer and the progress while c1541 and petcat run.

#include "launcher/launcher_disk.h"

namespace rw {

class ProgramList;
class WaitBox;

// Does nothing (NotStarted) unless the list allows its commands (an existing
// output folder and at least one ticked row). `dialogs` asks the questions
// (QtLauncherDialogs over the main window in the program); `waitBox` may be
// null.
LauncherOutcome RunIndexD64(const ProgramList& model, Messages& messages, LauncherDialogs& dialogs, ToolRunner& tools,
                            StorageSync& storageSync, WaitBox* waitBox);

}  // namespace rw
