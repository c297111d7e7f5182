// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Where a test finds the real VICE tools c1541 and petcat.

#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <string>

namespace rw::test {

// The first folder on PATH that holds `tool`, or an empty text.
inline std::string FolderOnPath(const std::string& tool) {
  const char* path = std::getenv("PATH");
  std::istringstream folders(path ? path : "");
  for (std::string folder; std::getline(folders, folder, ':');) {
    if (!folder.empty() && ::access((folder + "/" + tool).c_str(), X_OK) == 0) return folder;
  }
  return {};
}

// The folder to look in first for c1541 and petcat: the folder of c1541 on
// PATH when both are on PATH, else the copy kept beside the project
// (<source>/../shared/tools/vice) when it holds both, so that CI runs the
// tests that need them. An empty text when neither has them; `reason` then
// says why, for GTEST_SKIP(). Give the folder to QtToolRunner as its program
// folder, or put it first on a child process's PATH.
inline std::string RealViceToolsFolder(std::string* reason = nullptr) {
  const std::string onPath = FolderOnPath("c1541");
  if (!onPath.empty() && !FolderOnPath("petcat").empty()) return onPath;
  const std::string shared = REELWRIGHT_VICE_TOOLS;
  if (::access((shared + "/c1541").c_str(), X_OK) == 0 && ::access((shared + "/petcat").c_str(), X_OK) == 0) {
    return shared;
  }
  if (reason)
    *reason = "VICE's c1541 and petcat are neither on PATH nor in " + shared + " (install VICE to run this test)";
  return {};
}

}  // namespace rw::test
