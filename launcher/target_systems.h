// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The machines a launcher program can be made for. Each fixes the line that
// fills the machine's keyboard buffer so that loading starts by itself, and
// the options of the tokeniser petcat (BASIC dialect and load address).

#include <array>
#include <string>

#include "launcher/launcher_dialogs.h"

namespace rw {

struct TargetSystem {
  const char* entry;          // as listed in the "Target System" dialog
  const char* autostartLine;  // line 25 of the launcher text
  const char* petcatOptions;  // blank-separated
};

const std::array<TargetSystem, 6>& TargetSystems();

// The choice of the last "Target System" answer and the state of one build.
// The two texts keep the last choice; the builder clears both flags when a
// build starts, so "For All remaining" lasts for the rest of one build only.
struct LauncherSettings {
  std::string autostartLine;
  std::string petcatOptions;
  bool forAllRemaining = false;
  bool launcherCancelled = false;
};

// Applies a "Target System" answer: "Next >" and "For All remaining" take the
// selected system's settings (the latter also sets forAllRemaining) and hand
// back the typed name; "Cancel" sets launcherCancelled, keeps the settings
// and hands back `proposedDiskName`. An index outside the list counts as 0.
std::string ApplyTargetAnswer(const TargetAnswer& answer, const std::string& proposedDiskName,
                              LauncherSettings& settings);

}  // namespace rw
