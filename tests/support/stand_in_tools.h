// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Stand-ins for VICE's c1541 and petcat: shell scripts written into a folder
// that record every argument list they receive and act like the real tools
// (create the disk image, write a non-empty program file) or fail in a chosen
// way. The test points a QtToolRunner at that folder as the program folder.

#include <ostream>
#include <string>
#include <vector>

namespace rw::test {

enum class FormatMode { Ok, FailNoFile, EmptyFile };
enum class PetcatMode { Ok, NoOutput, EmptyOutput, FailStatus };
enum class WriteMode { Ok, FailOnThird };

struct ToolCall {
  std::string tool;  // "c1541" or "petcat"
  std::vector<std::string> arguments;
  bool operator==(const ToolCall&) const = default;
};
inline void PrintTo(const ToolCall& call, std::ostream* out) {
  *out << call.tool;
  for (const std::string& argument : call.arguments) *out << " [" << argument << "]";
}

// Writes the scripts `c1541` and `petcat` into `folder`. petcat keeps a copy
// of every text it tokenises as folder/text-001.bas, text-002.bas, ...
void WriteStandInTools(const std::string& folder, FormatMode format, PetcatMode petcat, WriteMode write);

// The calls recorded in `folder`, in order.
std::vector<ToolCall> RecordedCalls(const std::string& folder);
// The n-th (from 1) launcher text petcat was given, as bytes.
std::string TokenisedText(const std::string& folder, int n);

}  // namespace rw::test
