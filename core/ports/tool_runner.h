// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Running an external command-line tool (for example VICE's c1541) and
// waiting for it. The tool gets a list of arguments exactly as given: no
// shell, no quoting, no word splitting. Standard library only, so that the
// launcher logic can use it and the tests can put stand-in tools behind it.

#include <cstddef>
#include <string>
#include <vector>

namespace rw {

// What a tool prints is kept up to this many bytes, the newest: enough for
// its last messages, and bounded however much it prints.
inline constexpr size_t kMaxToolOutput = 64 * 1024;

struct ToolResult {
  bool started = false;   // the tool could be run at all
  bool finished = false;  // it ended by itself (not crashed, not stopped for taking too long)
  int exitStatus = -1;    // meaningful when finished
  std::string output;     // the end of what it printed (kMaxToolOutput bytes at most), standard
                          // output and error together, as printed (bytes)
  std::string error;      // why it did not start or finish ("ended abnormally", "was stopped
                          // after 120 seconds without finishing"), empty otherwise

  bool Succeeded() const { return started && finished && exitStatus == 0; }
};

class ToolRunner {
 public:
  virtual ~ToolRunner() = default;

  // The full path of the tool `name`, looked up first in the program's own
  // folder and then on the search path; empty when it is in neither.
  virtual std::string FindTool(const std::string& name) const = 0;
  // The program's own folder, where a user may place the tools.
  virtual std::string ProgramFolder() const = 0;
  // Runs `toolPath` with `arguments` and waits until it ends. A runner with
  // a time limit stops the tool and every process it started when the limit
  // passes.
  virtual ToolResult Run(const std::string& toolPath, const std::vector<std::string>& arguments) = 0;
};

}  // namespace rw
