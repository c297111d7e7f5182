// SPDX-License-Identifier: GPL-2.0-or-later
// A run interrupted while a VICE tool works (todisk, launcher) stops the tool
// and everything it started, removes its temporary files, here and in the
// temporary folder, and ends with 128 + the signal number.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "support/program_run.h"
#include "support/scratch_folder.h"
#include "support/tape_composer.h"

namespace rw {
namespace {

namespace fs = std::filesystem;
using test::ScratchFolder;
using Lines = std::vector<std::string>;

// True once process `pid` has ended (gone, or a zombie nobody reaped yet).
bool Ended(pid_t pid) {
  for (int i = 0; i < 100; ++i) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return true;
    const size_t state = line.rfind(')') + 2;
    if (state < line.size() && line[state] == 'Z') return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

// Waits (up to ten seconds) for `path` to hold a whole line: the shell
// creates the file before it writes the number into it.
bool Appears(const std::string& path) {
  const auto whole = [&] {
    const std::string text = test::ReadFileText(path);
    return !text.empty() && text.back() == '\n';
  };
  for (int i = 0; i < 200 && !whole(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  return whole();
}

// A c1541 and a petcat that note their process and a child they start, make
// their output file (c1541 formats the disk), then wait for ever.
void WriteHangingTools(const std::string& folder) {
  for (const char* tool : {"c1541", "petcat"}) {
    const std::string path = folder + "/" + tool;
    std::ofstream(path) << "#!/bin/sh\n"
                           "dir=$(dirname \"$0\")\n"
                           "for a in \"$@\"; do last=$a; done\n"
                           "[ \"$1\" = -format ] && printf 'disk' > \"$4\"\n"
                           "sleep 300 &\n"
                           "echo $! > \"$dir/child.pid\"\n"
                           "echo $$ > \"$dir/tool.pid\"\n"
                           "wait\n";
    fs::permissions(path, fs::perms::owner_all);
  }
}

std::vector<uint8_t> OneProgramTape() {
  test::TapeComposer composer(0, 1);
  composer.AddProgram({.name = "GAME", .data = test::ProgramData(40, 1), .leaderPulses = 1500});
  return composer.FileBytes();
}

TEST(ToolInterrupt, TheToolsProcessGroupStopsAndNoTemporaryFileStays) {
  ScratchFolder in;
  const std::string tape = in.Write("game.tap", OneProgramTape());
  const struct {
    std::vector<std::string> arguments;  // after the command; OUT stands for the output folder
    int signalNumber;
  } cases[] = {
      {{"todisk", tape, "OUT/game.d64"}, SIGINT},
      {{"todisk", tape, "OUT/game.d64"}, SIGTERM},
      {{"launcher", tape, "OUT", "--select", "1"}, SIGHUP},
      {{"launcher", tape, "OUT", "--select", "1"}, SIGTERM},
  };
  for (const auto& c : cases) {
    ScratchFolder tools, out, tmp;
    WriteHangingTools(tools.path());
    std::vector<std::string> arguments;
    for (std::string argument : c.arguments) {
      if (argument.starts_with("OUT")) argument = out.path() + argument.substr(3);
      arguments.push_back(argument);
    }
    SCOPED_TRACE(arguments.front() + " " + std::to_string(c.signalNumber));
    test::RunningProgram run(REELWRIGHT_CLI, arguments,
                             {"PATH=" + tools.path() + ":/usr/bin:/bin", "TMPDIR=" + tmp.path()});
    ASSERT_TRUE(Appears(tools.File("tool.pid"))) << run.err();
    const pid_t tool = std::stoi(test::ReadFileText(tools.File("tool.pid")));
    const pid_t child = std::stoi(test::ReadFileText(tools.File("child.pid")));
    run.Signal(c.signalNumber);
    EXPECT_EQ(run.Wait(20000), 128 + c.signalNumber);
    EXPECT_TRUE(Ended(tool)) << "the tool " << tool << " is still running";
    EXPECT_TRUE(Ended(child)) << "the tool's child " << child << " is still running";
    EXPECT_EQ(out.Names(), Lines{});
    EXPECT_EQ(tmp.Names(), Lines{});
  }
}

}  // namespace
}  // namespace rw
