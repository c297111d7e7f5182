// SPDX-License-Identifier: GPL-2.0-or-later
#include "launcher/target_systems.h"

namespace rw {

const std::array<TargetSystem, 6>& TargetSystems() {
  // 631/198 is the keyboard buffer and its count on the C64 and VIC-20 (code
  // 131 is shifted RUN/STOP); the C16 family and the C128 take the keys
  // L, shifted O, RETURN from buffers of their own.
  static const std::array<TargetSystem, 6> systems = {{
      {"Commodore 64", "25 poke631,131:poke198,1", "-w2"},
      {"VIC-20 Unexpanded", "25 poke631,131:poke198,1", "-w2 -l 1001"},
      {"VIC-20 3K Exp", "25 poke631,131:poke198,1", "-w2 -l 0401"},
      {"VIC-20 8K Exp or more", "25 poke631,131:poke198,1", "-w2 -l 1201"},
      {"C16/C116/Plus-4", "25 poke1319,76:poke1320,207:poke1321,13:poke239,3", "-w3"},
      {"C128", "25 poke842,76:poke843,207:poke844,13:poke208,3", "-w70 -l 1C01"},
  }};
  return systems;
}

std::string ApplyTargetAnswer(const TargetAnswer& answer, const std::string& proposedDiskName,
                              LauncherSettings& settings) {
  if (answer.action == TargetAction::Cancel) {
    settings.launcherCancelled = true;
    return proposedDiskName;
  }
  const auto& systems = TargetSystems();
  const bool inRange = answer.targetIndex >= 0 && answer.targetIndex < static_cast<int>(systems.size());
  const TargetSystem& system = systems[inRange ? answer.targetIndex : 0];
  settings.autostartLine = system.autostartLine;
  settings.petcatOptions = system.petcatOptions;
  if (answer.action == TargetAction::ForAllRemaining) settings.forAllRemaining = true;
  return answer.name;
}

}  // namespace rw
