// SPDX-License-Identifier: GPL-2.0-or-later
#include "launcher/launcher_input.h"

#include "split/program_list.h"

namespace rw {

LauncherDiskInput LauncherInputFromProgramList(const ProgramList& list) {
  LauncherDiskInput input{list.loadedPath(), list.outputDir, {}};
  for (const ProgramGroup& group : list.Groups()) {
    const ListRow& first = list.rows().at(static_cast<size_t>(group.firstRow - 1));
    input.programs.push_back({first.program, first.start});
  }
  return input;
}

}  // namespace rw
