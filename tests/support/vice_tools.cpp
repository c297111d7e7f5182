// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/vice_tools.h"

#include <unistd.h>

#include <cstdlib>
#include <sstream>

namespace rw::test {
namespace {

bool IsExecutable(const std::string& path) { return access(path.c_str(), X_OK) == 0; }

std::string FolderOnPath(const std::string& tool) {
  const char* path = std::getenv("PATH");
  std::istringstream folders(path ? path : "");
  for (std::string folder; std::getline(folders, folder, ':');) {
    if (!folder.empty() && IsExecutable(folder + "/" + tool)) return folder;
  }
  return {};
}

}  // namespace

std::string RealViceToolsFolder(std::string* reason) {
  const std::string onPath = FolderOnPath("c1541");
  if (!onPath.empty() && !FolderOnPath("petcat").empty()) return onPath;
  const std::string shared = REELWRIGHT_VICE_TOOLS;
  if (IsExecutable(shared + "/c1541") && IsExecutable(shared + "/petcat")) return shared;
  if (reason)
    *reason = "VICE's c1541 and petcat are neither on PATH nor in " + shared + " (install VICE to run this test)";
  return {};
}

}  // namespace rw::test
