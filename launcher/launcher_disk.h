// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The launcher disk: a d64 disk image holding one small BASIC program per
// group of selected programs of a tape image. Loaded and run on the Commodore
// machine, each program has the tape-emulator device mount the tape image at
// the group's start and starts loading from tape. The text of each program is
// tokenised by VICE's petcat; the disk is made and filled by VICE's c1541.

#include <string>
#include <vector>

#include "core/outcome.h"
#include "core/ports/messages.h"
#include "core/ports/tool_runner.h"
#include "launcher/launcher_dialogs.h"
#include "launcher/target_systems.h"

namespace rw {

// One group of selected rows of the split list, in list order.
struct LauncherProgram {
  // The "Program" cell of the group's first row (the display name, or the
  // file name set in the name editor), UTF-8 as shown.
  std::string name;
  // The "Start" cell of the group's first row as shown (hexadecimal, at least
  // six digits, for example "0001A4"); used as text, lower-cased.
  std::string start;
};

struct LauncherDiskInput {
  std::string imagePath;     // the loaded tape image; only its file name is used
  std::string outputFolder;  // where the disk image goes
  std::vector<LauncherProgram> programs;
};

// Device number (8 to 11) and SD-card folder (SdDirectoryText form, may be
// empty), as the "Launcher Disk Creation" dialog hands them back.
struct LauncherDevice {
  int device = 8;
  std::string directory;
};

struct LauncherServices {
  LauncherDialogs& dialogs;
  LauncherSettings& settings;  // the target choice, kept between builds
  ToolRunner& tools;
  Messages& messages;
};

enum class LauncherOutcome {
  Created,     // "Index Disk ... successfully created !"
  NotStarted,  // device dialog cancelled or replacing the disk image declined: nothing written
  Aborted,     // target dialog cancelled: nothing written
  Failed,      // the failure says why (a missing tool among them)
};

// How a build ended, and why when it failed (titled "ERROR!", or "Error !"
// for a folder the device dialog would refuse).
struct LauncherResult {
  LauncherResult(LauncherOutcome ended) : state(ended) {}  // NOLINT(google-explicit-constructor)
  LauncherResult(Outcome why) : state(LauncherOutcome::Failed), failure(std::move(why)) {}  // NOLINT
  LauncherOutcome state;
  Outcome failure = Outcome::Success();
};

// The "Index D64" command: checks that c1541 and petcat can be found and that
// the tape image's name can be sent in a launcher (QuotedTextProblem), asks
// the device dialog, then builds as below.
LauncherResult BuildLauncherDisk(const LauncherDiskInput& input, const LauncherServices& services);

// Builds the disk for a known device (a folder that cannot be sent is
// refused like the device dialog refuses it): asks before replacing whatever
// is at the disk image's name, formats a staged image beside it
// (StagedDiskImage), then for each program asks the target dialog (unless
// "For All remaining" was chosen), writes the launcher text to a temporary
// file, tokenises it to another and copies that onto the staged image. Only
// the complete image takes the name. Created and Aborted end with exactly one
// message, Failed with none (its failure comes back); a failure or a cancel
// leaves nothing new behind, an earlier disk image unchanged and the
// temporary folder as it was.
LauncherResult BuildLauncherDiskFor(const LauncherDiskInput& input, const LauncherDevice& device,
                                    const LauncherServices& services);

}  // namespace rw
