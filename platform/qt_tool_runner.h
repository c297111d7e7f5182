// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// ToolRunner for this system: the tool is started directly (posix_spawn) with
// its argument list as bytes, so that a path that is not UTF-8 reaches it
// unchanged, in a process group of its own, and waited for; its standard
// output and error are read together while it runs, and only their end is
// kept. While it runs its process group is registered (core/partial_files.h),
// so that an interrupted run stops the tool and everything it started too.
// (The name is historical: the runner once stood on QProcess.)

#include <optional>
#include <string>
#include <vector>

#include "core/ports/tool_runner.h"

namespace rw {

class QtToolRunner : public ToolRunner {
 public:
  // `programFolder` empty: the folder of the running executable.
  // `searchPath` absent: the folders of the PATH environment variable; an
  // empty list searches nowhere but the program folder.
  // A tool still running after `timeoutMs` is stopped, with every process
  // of its group, and counts as failed.
  explicit QtToolRunner(std::string programFolder = {},
                        std::optional<std::vector<std::string>> searchPath = std::nullopt, int timeoutMs = 120000);

  std::string FindTool(const std::string& name) const override;
  std::string ProgramFolder() const override { return programFolder_; }
  ToolResult Run(const std::string& toolPath, const std::vector<std::string>& arguments) override;

 private:
  std::string programFolder_;
  std::optional<std::vector<std::string>> searchPath_;
  int timeoutMs_;
};

}  // namespace rw
