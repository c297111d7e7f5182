// SPDX-License-Identifier: GPL-2.0-or-later
// Interrupted writes leave nothing half-done under a final name.
//
// A file is written under a temporary name in its folder, registered for
// removal before it exists, and renamed into place when complete: a signal
// right after the file was created removes it; a run killed outright
// (SIGKILL) leaves no incomplete file under a final name, and its leftover,
// recognisable by its name, is removed by a later run that writes into the
// folder once it is old and no writer holds it. A signal during a VICE tool
// run stops the tool's whole process group and removes the temporary files.

#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "core/partial_files.h"
#include "core/ports/remembered_paths.h"
#include "core/safe_file.h"
#include "core/tap_image.h"
#include "platform/interrupt_cleanup.h"
#include "split/program_data.h"
#include "split/program_list.h"
#include "support/program_run.h"
#include "support/scratch_folder.h"
#include "support/shown_messages.h"
#include "support/tape_composer.h"

// Stands in for the C library's flock in this test program: with a signal
// set, that signal arrives the moment a writer has created its file (it
// locks the file right after), before the writer has even returned. A file
// written without a name brings it as it is about to take its name (linkat).
static std::atomic<int> signalAtLock{0};
extern "C" int flock(int fd, int operation) {
  if (const int signalNumber = signalAtLock.load(); signalNumber != 0) std::raise(signalNumber);
  return static_cast<int>(::syscall(SYS_flock, fd, operation));
}
extern "C" int linkat(int fromFolder, const char* from, int toFolder, const char* to, int flags) {
  if (const int signalNumber = signalAtLock.load(); signalNumber != 0) std::raise(signalNumber);
  return static_cast<int>(::syscall(SYS_linkat, fromFolder, from, toFolder, to, flags));
}

namespace rw {
namespace {

namespace fs = std::filesystem;
using test::ScratchFolder;
using Lines = std::vector<std::string>;

// Moves the file's times back by `seconds`, as if written that long ago.
void Age(const std::string& path, int seconds) {
  struct stat status {};
  ASSERT_EQ(::lstat(path.c_str(), &status), 0);
  timespec times[2] = {status.st_atim, status.st_mtim};
  times[0].tv_sec -= seconds;
  times[1].tv_sec -= seconds;
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

Lines TemporaryNames(const ScratchFolder& folder) {
  Lines names;
  for (const std::string& name : folder.Names()) {
    if (IsTemporaryFileName(name)) names.push_back(name);
  }
  return names;
}

TEST(InterruptedWrite, ASignalRightAfterTheFileIsCreatedLeavesNothing) {
  for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
    ScratchFolder folder;
    const std::string kept = folder.Write("kept.tap", std::string("old"));
    EXPECT_EXIT(
        {
          InstallInterruptCleanup();
          // Files written and done with free their places in the registry.
          for (int i = 0; i < 2 * kMaxPartialFiles; ++i) PartialFileGuard done(folder.File("done.tap"));
          signalAtLock = signalNumber;
          std::string error;
          SafeFileWriter writer(test::noSync);
          (void)writer.Open(kept, error);  // the signal comes inside
          std::_Exit(0);
        },
        ::testing::ExitedWithCode(128 + signalNumber), "");
    EXPECT_EQ(folder.Names(), Lines{"kept.tap"});
    EXPECT_EQ(test::ReadFileText(kept), "old");
  }
}

// A split and an extraction interrupted as their second file is created:
// the first file is complete, the second is nowhere, not even empty.
TEST(InterruptedWrite, SplitAndExtractLeaveNoFileUnderTheNameTheyWereWriting) {
  ScratchFolder in;
  const std::string tape = in.Write("parts.tap", test::PartsTape(3, 64));
  for (const bool extract : {false, true}) {
    ScratchFolder out;
    EXPECT_EXIT(
        {
          InstallInterruptCleanup();
          MemoryPaths paths;
          RecordedMessages messages;
          ProgramList list(paths, test::noSync, ".");
          if (!list.LoadAndParse(tape)) std::_Exit(1);
          list.SelectAll();
          list.outputDir = out.path();
          // The first file's own lock passes; the second's brings the signal.
          if (extract) {
            ExtractPrograms(list, {1}, out.path(), false, test::noSync);
            signalAtLock = SIGTERM;
            ExtractPrograms(list, {2}, out.path(), false, test::noSync);
          } else {
            (void)list.Split(messages, nullptr, [&](int64_t, int64_t) { signalAtLock = SIGTERM; });
          }
          std::_Exit(0);
        },
        ::testing::ExitedWithCode(128 + SIGTERM), "");
    EXPECT_EQ(out.Names(), extract ? Lines{"PART1.prg"} : Lines{"001.PART1.tap"});
  }
}

TEST(KilledWrite, ASplitKilledOutrightLeavesNoIncompleteFileAndTheNextSplitRemovesItsLeftovers) {
  ScratchFolder in, reference;
  const std::string tape = in.Write("parts.tap", test::PartsTape(4, 60000));
  ASSERT_EQ(test::RunCliBytes({"split", tape, reference.path(), "--select", "all"}).exitCode, 0);
  ScratchFolder out;
  // Killed at different moments of its run.
  for (const int afterMs : {0, 20, 40, 80, 120, 200}) {
    test::RunningProgram split(REELWRIGHT_CLI, {"split", tape, out.path(), "--select", "all"});
    std::this_thread::sleep_for(std::chrono::milliseconds(afterMs));
    split.Signal(SIGKILL);
    split.Wait();
  }
  // A writer killed half-way through its file, for certain; one without a
  // name leaves nothing at all.
  for (const bool unnamed : {false, true}) {
    EXPECT_EXIT(
        {
          std::string error;
          SafeFileWriter writer(test::noSync);
          const std::string path = out.File("001.PART1.tap");
          if ((unnamed ? writer.OpenUnnamed(path, error) : writer.Open(path, error)) && writer.Write("half", 4, error))
            std::raise(SIGKILL);
          std::_Exit(0);
        },
        ::testing::KilledBySignal(SIGKILL), "");
  }
  // Every file under a final name is one of the split's whole files
  // ("001.PART1(2).tap" is a copy of "001.PART1.tap").
  for (const std::string& name : out.Names()) {
    if (IsTemporaryFileName(name)) continue;
    const auto number = name.find('(');
    const std::string whole = reference.File(number == std::string::npos ? name : name.substr(0, number) + ".tap");
    EXPECT_EQ(test::ReadFileBytes(out.File(name)), test::ReadFileBytes(whole)) << name;
  }
  const Lines leftovers = TemporaryNames(out);
  ASSERT_FALSE(leftovers.empty());
  // Still young: a later split leaves them, as it would a writer's at work.
  ASSERT_EQ(test::RunCliBytes({"split", tape, out.path(), "--select", "1"}).exitCode, 0);
  EXPECT_EQ(TemporaryNames(out), leftovers);
  for (const std::string& name : leftovers) Age(out.File(name), 2 * 3600);
  ASSERT_EQ(test::RunCliBytes({"split", tape, out.path(), "--select", "1"}).exitCode, 0);
  EXPECT_EQ(TemporaryNames(out), Lines{});
}

TEST(Leftovers, OnlyOldOnesThatNoWriterHoldsAreRemoved) {
  ScratchFolder folder;
  // One of a writer still at work, old all the same (it holds the lock).
  std::string error;
  SafeFileWriter working(test::noSync);
  ASSERT_TRUE(working.Open(folder.File("busy.tap"), error)) << error;
  const std::string busy = working.temporaryPath();
  Age(busy, 7200);
  // One of a killed writer, old; one just made; a user's file of a like name.
  const std::string dead = folder.Write(TemporaryFileName("dead.tap", "0123456789abcdef"), std::string("x"));
  Age(dead, 7200);
  const std::string young = folder.Write(TemporaryFileName("young.tap", "fedcba9876543210"), std::string("x"));
  const std::string own = folder.Write(".notes.0123456789abcdef.part", std::string("mine"));
  Age(own, 7200);
  EXPECT_EQ(RemoveLeftoverTemporaryFiles(folder.path()), 1);
  EXPECT_FALSE(fs::exists(dead));
  EXPECT_TRUE(fs::exists(busy) && fs::exists(young) && fs::exists(own));
  EXPECT_TRUE(working.Write("more", 4, error) && working.Commit(false, error)) << error;
  EXPECT_EQ(test::ReadFileText(folder.File("busy.tap")), "more");
}

TEST(Leftovers, TemporaryNamesFitIn255BytesWhateverTheFinalName) {
  const std::string suffix = "0123456789abcdef";
  EXPECT_EQ(TemporaryFileName("game.tap", suffix), ".game.tap.0123456789abcdef.rwpart");
  for (const size_t length : {1u, 200u, 229u, 230u, 231u, 250u, 255u}) {
    const std::string name = TemporaryFileName(std::string(length, 'a'), suffix);
    EXPECT_LE(name.size(), kMaxFileNameBytes) << length;
    EXPECT_TRUE(IsTemporaryFileName(name)) << length;
  }
  // Cut at the start of a character, never inside one.
  const std::string accents = TemporaryFileName(std::string(229, 'a') + "\xC3\xA9\xC3\xA9", suffix);
  EXPECT_EQ(accents, "." + std::string(229, 'a') + "." + suffix + ".rwpart");
  EXPECT_FALSE(IsTemporaryFileName(".game.tap.0123456789ABCDEF.rwpart"));
  EXPECT_FALSE(IsTemporaryFileName("game.tap.0123456789abcdef.rwpart"));
  EXPECT_FALSE(IsTemporaryFileName(".game.tap.123.part"));
}

// A run interrupted while a VICE tool works (todisk, launcher) stops the tool
// and everything it started, removes its temporary files, here and in the
// temporary folder, and ends with 128 + the signal number.

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

TEST(ToolInterrupt, TheToolsProcessGroupStopsAndNoTemporaryFileStays) {
  ScratchFolder in;
  const std::string tape = in.Write("game.tap", test::PartsTape(1));
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
