// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/stand_in_tools.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

#include "support/scratch_folder.h"

namespace rw::test {
namespace {

namespace fs = std::filesystem;

// Each call goes to calls.log as the tool's name, one "[argument]" line per
// argument (blanks kept) and a closing ".".
const char* const kRecord =
    "#!/bin/sh\n"
    "dir=$(dirname \"$0\")\n"
    "{ echo \"$(basename \"$0\")\"; for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done; echo .; } >> "
    "\"$dir/calls.log\"\n";

void WriteScript(const std::string& path, const std::string& body) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << kRecord << body;
  fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
}

}  // namespace

void WriteStandInTools(const std::string& folder, FormatMode format, PetcatMode petcat, WriteMode write) {
  std::string body = "if [ \"$1\" = -format ]; then\n";
  body += format == FormatMode::Ok          ? "  printf 'd64 image\\n' > \"$4\"; exit 0\n"
          : format == FormatMode::EmptyFile ? "  exit 0\n"
                                            : "  echo 'cannot format'; exit 1\n";
  body += "fi\n";
  // -attach D -write P NAME: the disk keeps the name and the program.
  // c1541's own attach line comes first; the message keeps only the others.
  const char* const kFull = "printf 'disk image attached\\nno room\\ndisk full\\n' >&2; exit 2\n";
  if (write == WriteMode::FailOnThird)
    body += std::string("echo >> \"$dir/writes\"; [ $(wc -l < \"$dir/writes\") -ge 3 ] && { ") + kFull + "}\n";
  body += "{ printf '%s\\n' \"$5\"; cat \"$4\"; } >> \"$2\"; exit 0\n";
  WriteScript(folder + "/c1541", body);

  // The options come first; "-o P -- B" close the list.
  body =
      "out=; prev=; for a in \"$@\"; do [ \"$prev\" = -o ] && out=$a; prev=$a; done\n"
      "n=$(ls \"$dir\" | grep -c '^text-')\n"
      "cp \"$prev\" \"$dir/text-$(printf '%03d' $((n + 1))).bas\"\n";
  body += petcat == PetcatMode::Ok            ? "cp \"$prev\" \"$out\"; exit 0\n"
          : petcat == PetcatMode::NoOutput    ? "rm -f \"$out\"; exit 0\n"
          : petcat == PetcatMode::EmptyOutput ? ": > \"$out\"; exit 0\n"
                                              : "cp \"$prev\" \"$out\"; echo 'syntax error'; exit 1\n";
  WriteScript(folder + "/petcat", body);
}

std::vector<ToolCall> RecordedCalls(const std::string& folder) {
  std::vector<ToolCall> calls;
  std::istringstream log(ReadFileText(folder + "/calls.log"));
  std::string line;
  ToolCall call;  // the one being read; no tool yet between calls
  while (std::getline(log, line)) {
    if (call.tool.empty()) {
      call.tool = line;
    } else if (line == ".") {
      calls.push_back(std::exchange(call, {}));
    } else if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      call.arguments.push_back(line.substr(1, line.size() - 2));
    }
  }
  return calls;
}

std::string TokenisedText(const std::string& folder, int n) {
  char name[32];
  std::snprintf(name, sizeof name, "/text-%03d.bas", n);
  return ReadFileText(folder + name);
}

}  // namespace rw::test
