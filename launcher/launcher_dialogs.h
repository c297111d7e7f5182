// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The two questions the launcher disk builder asks the user: once per build
// the tape-emulator device and the SD-card folder of the tape image, and once
// per program the machine it will run on and its name on the disk. The
// windows answer them in the desktop program; the command line and the tests
// answer them directly. A dialog closed with its close box answers "Cancel".

#include <string>

namespace rw {

// What "Launcher Disk Creation" hands back. `device` and `directory` have
// passed CheckDeviceAnswer (launcher/device_answer.h) when not cancelled.
struct DeviceAnswer {
  bool cancelled = true;
  int device = 8;
  std::string directory;  // lower case, "/" separators, may be empty (UTF-8)
};

enum class TargetAction { Next, ForAllRemaining, Cancel };

// What "Target System" hands back: the button pressed, the index into
// TargetSystems() selected in the choice list and the text of the name box.
struct TargetAnswer {
  TargetAction action = TargetAction::Cancel;
  int targetIndex = 0;
  std::string name;  // UTF-8
};

class LauncherDialogs {
 public:
  virtual ~LauncherDialogs() = default;
  // Opens with device 8 and an empty directory.
  virtual DeviceAnswer AskDevice() = 0;
  // Shows `proposedDiskName` and offers `name` for editing, with the first
  // target system selected.
  virtual TargetAnswer AskTarget(const std::string& proposedDiskName, const std::string& name) = 0;
  // The busy mouse pointer while the tools run; off whenever a dialog or a
  // message is about to show.
  virtual void SetBusy(bool /*busy*/) {}
  // How far the build is: `done` of `total` programs are on the disk. Told
  // once before the first program and after each one, so that a long build
  // for many programs can show its progress.
  virtual void SetProgress(int /*done*/, int /*total*/) {}
};

}  // namespace rw
