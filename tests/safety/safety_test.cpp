// SPDX-License-Identifier: GPL-2.0-or-later
// Written files are durable and a user's files are never lost: the data is
// synced before the name, the folder after it, once for a split's many
// files; a failed sync is a failed write. A write that fails half-way (a
// full disk) is told in one message, keeps an earlier file of that name and
// leaves no partial file. The split leaves the loaded tape as it is on disk
// and never writes over a name taken by a file or a dangling link.
//
// Interrupted writes leave nothing half-done under a final name. A file is
// written under a temporary name in its folder, registered for removal before
// it exists, and renamed into place when complete: a signal right after the
// file was created removes it; a run killed outright (SIGKILL) leaves no
// incomplete file under a final name, and its leftover, recognisable by its
// name, is removed by a later run that writes into the folder once it is old
// and no writer holds it.
//
// Names: writers into one folder at once take distinct free names (a name
// taken at the last moment is passed over, never answered with "File
// exists"), extraction numbers without a limit, and names up to the system's
// limit of 255 bytes are written (the temporary name is shortened, never the
// final one) while longer ones are refused with the system's reason.
//
// Messages say the cause: no permission (the tests run as root, so the step
// runs as "nobody"), a tool stopped at its time limit with its last lines.
//
// Hangs: a named pipe is never opened in a way that blocks, not even when it
// takes a tape's place between the look at a path and its open, nor when a
// scan is given one, nor when the desktop program is opened with one or finds
// one at its settings' place.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <tuple>

#include "core/partial_files.h"
#include "core/ports/remembered_paths.h"
#include "core/safe_file.h"
#include "core/tap_image.h"
#include "join/compilation.h"
#include "join/join_operation.h"
#include "launcher/launcher_disk.h"
#include "launcher/program_disk.h"
#include "platform/interrupt_cleanup.h"
#include "platform/posix_storage_sync.h"
#include "platform/qt_tool_runner.h"
#include "split/program_data.h"
#include "split/program_list.h"
#include "support/program_run.h"
#include "support/scratch_folder.h"
#include "support/shown_messages.h"
#include "support/stand_in_tools.h"
#include "support/tap_bytes.h"
#include "support/tape_composer.h"

// Stands in for the C library's fsync in this test program: with an error
// set, a folder cannot be synced, as on file systems that refuse it.
static int folderSyncError = 0;
extern "C" int fsync(int fd) {
  struct stat status;
  if (folderSyncError != 0 && ::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) {
    errno = folderSyncError;
    return -1;
  }
  return static_cast<int>(::syscall(SYS_fsync, fd));
}

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
using namespace test;

// Records each sync; fails file syncs when told to.
class RecordingSync : public StorageSync {
 public:
  bool SyncFile(std::FILE*, std::string& error) override {
    calls.push_back("file");
    if (failFiles) error = "Input/output error";
    return !failFiles;
  }
  bool SyncFolder(const std::string& folder, std::string&) override {
    return calls.push_back("folder " + folder), true;
  }
  bool SyncAllIn(const std::string& folder, std::string&) override { return calls.push_back("all " + folder), true; }
  std::vector<std::string> calls;
  bool failFiles = false;
};

class DurableWrites : public ::testing::Test {
 protected:
  RecordingSync sync;
  ScratchFolder folder;
  RecordedMessages messages;
};

TEST_F(DurableWrites, JoinSyncsTheFileBeforeItsNameAndTheFolderAfter) {
  Compilation compilation(".");
  for (const char* name : {"a.tap", "b.tap"}) {
    ASSERT_TRUE(compilation.AddTapFile(folder.Write(name, TapBytes(0, 0, 1, 120))));
  }
  ASSERT_TRUE(JoinToTapFile(compilation, folder.File("out.tap"), false, sync));
  EXPECT_EQ(sync.calls, (Lines{"file", "folder " + folder.path()}));

  // A sync that fails is a write that failed: the old output stays, nothing else is left.
  sync.failFiles = true;
  const std::string old = folder.Write("old.tap", std::string("keep"));
  EXPECT_EQ(ShownFailure(JoinToTapFile(compilation, old, true, sync)),
            "Error! | critical | Error while saving file " + old + " : Input/output error");
  EXPECT_EQ(ReadFileText(old), "keep");
  EXPECT_EQ(folder.Names(), (Lines{"a.tap", "b.tap", "old.tap", "out.tap"}));
}

TEST(PosixStorageSync, SyncsRealFilesAndFoldersAndReportsAMissingFolder) {
  ScratchFolder folder;
  PosixStorageSync sync;
  std::string error;
  std::FILE* file = std::fopen(folder.File("x").c_str(), "wb");
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(sync.SyncFile(file, error)) << error;
  std::fclose(file);
  EXPECT_TRUE(sync.SyncFolder(folder.path(), error)) << error;
  EXPECT_TRUE(sync.SyncAllIn(folder.path(), error)) << error;
  EXPECT_FALSE(sync.SyncFolder(folder.File("missing"), error));
  EXPECT_EQ(error, "No such file or directory");
  // A folder the file system cannot sync is as durable as it gets; a failing
  // device is a failure.
  for (const int refusal : {EINVAL, EROFS, ENOTSUP, EIO}) {
    folderSyncError = refusal;
    EXPECT_EQ(sync.SyncFolder(folder.path(), error), refusal != EIO) << refusal;
  }
  folderSyncError = 0;
  EXPECT_EQ(error, "Input/output error");
}

// Runs `step` with no file allowed to grow beyond `limitBytes`
// (RLIMIT_FSIZE, with SIGXFSZ ignored, so a write past the limit fails with
// "File too large" as on a full disk), then lifts the limit again.
template <typename Step>
bool OnFullDisk(rlim_t limitBytes, const Step& step) {
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit{};
  getrlimit(RLIMIT_FSIZE, &limit);
  const rlimit before = limit;
  limit.rlim_cur = limitBytes;
  EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  const bool ok = step();
  setrlimit(RLIMIT_FSIZE, &before);
  return ok;
}

TEST_F(DurableWrites, AJoinOnAFullDiskKeepsThePreviousOutputAndLeavesNoPartialFile) {
  Compilation compilation{"."};
  // Two inputs of 300 KB each: more than one copy buffer, so the failure
  // comes after some of the output was already written.
  ASSERT_TRUE(compilation.AddTapFile(folder.Write("a.tap", TapBytes(0, 0, 1, 300020))));
  ASSERT_TRUE(compilation.AddTapFile(folder.Write("b.tap", TapBytes(0, 0, 1, 300020))));
  const std::string output = folder.Write("joined.tap", std::string("the previous join"));
  Outcome joined = Outcome::Success();
  EXPECT_FALSE(OnFullDisk(100000, [&] { return (joined = JoinToTapFile(compilation, output, true, noSync)).ok(); }));
  EXPECT_EQ(ShownFailure(joined), "Error! | critical | Error while saving file " + output + " : File too large");
  EXPECT_EQ(ReadFileText(output), "the previous join");
  EXPECT_EQ(folder.Names(), (Lines{"a.tap", "b.tap", "joined.tap"}));
}

// Every program goes to the Commodore 64.
struct AnswerEveryTarget : LauncherDialogs {
  DeviceAnswer AskDevice() override { return {}; }
  TargetAnswer AskTarget(const std::string&, const std::string& name) override { return {TargetAction::Next, 6, name}; }
};

TEST(LauncherSafety, AFullDiskKeepsThePreviousDiskAndLeavesNoTemporaryFile) {
  ScratchFolder root, out, tmp;
  WriteStandInTools(root.path(), FormatMode::Ok, PetcatMode::Ok, WriteMode::Ok);
  const TemporaryFolderOverride temporaryFolder(tmp.path());
  const std::string disk = out.Write("games.tap.d64", std::string("previous disk"));
  // The stand-in c1541 makes a disk of ten bytes; the launcher text, longer, is what fails.
  const LauncherDiskInput input{root.File("Games.tap"), out.path(), {{"GAME", "000014"}, {"LEVELS", "00A3FF"}}};
  RecordedMessages shown;  // answers yes to replacing the disk
  AnswerEveryTarget dialogs;
  LauncherSettings settings;
  QtToolRunner runner(root.path(), std::vector<std::string>{});
  EXPECT_FALSE(OnFullDisk(32, [&] {
    const LauncherResult result = BuildLauncherDiskFor(input, {8, ""}, {dialogs, settings, runner, shown, noSync});
    ShowFailure(result.failure, shown);
    return result.state == LauncherOutcome::Created;
  }));
  EXPECT_EQ(Shown(shown), (Lines{"WARNING | exclamation yes/no | File " + disk +
                                     " Already exists ! Would you like to "
                                     "overwrite it ?",
                                 "ERROR! | critical | Error while creating file " + disk + " : File too large"}));
  EXPECT_EQ(std::tuple(ReadFileText(disk), out.Names(), tmp.Names()),
            std::tuple("previous disk", Lines{"games.tap.d64"}, Lines{}));
}

// The loaded tape as it is on disk: a rewrite in place with the same bytes shows as well.
std::tuple<ino_t, long long, std::vector<uint8_t>> Stamp(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(stat(path.c_str(), &info), 0);
  return {info.st_ino, info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec, ReadFileBytes(path)};
}

// The tape is named like the first output, in the output folder itself; a
// dangling link takes the third output's name. The split syncs once, for all
// its files, before its message.
TEST_F(DurableWrites, SplitRenamesAndOutputsNeverReachTheLoadedFileOrATakenName) {
  TapeComposer composer(0, 1);
  for (const char* name : {"GAME", "LEVELS", "MUSIC"}) {
    composer.AddProgram({.name = name, .data = ProgramData(1000, 3)});
    composer.AddSilence(100000);
  }
  const std::string tape = folder.Write("001.GAME.tap", composer.FileBytes());
  const auto before = Stamp(tape);
  fs::create_symlink(folder.File("nowhere"), folder.File("003.MUSIC.tap"));
  MemoryPaths paths;
  ProgramList list{paths, sync, "."};
  ASSERT_TRUE(list.LoadAndParse(tape));
  list.SelectAll();
  list.outputDir = folder.path();
  list.SetTapeNameText(1, "RENAMED");
  list.SetTapeNameText(3, "{RED}TUNE");
  ASSERT_TRUE(list.Split(messages));
  EXPECT_EQ(sync.calls, Lines{"all " + folder.path()});
  EXPECT_EQ(Stamp(tape), before);
  // So does an extraction, unless its caller syncs for it after more files.
  ScratchFolder programs;
  EXPECT_FALSE(ExtractPrograms(list, {1, 2, 3}, programs.path(), false, sync).failed());
  EXPECT_FALSE(ExtractPrograms(list, {1, 2}, programs.path(), false, sync, FolderSync::ByCaller).failed());
  EXPECT_EQ(sync.calls, (Lines{"all " + folder.path(), "all " + programs.path()}));
  EXPECT_EQ(programs.Names().size(), 5u);
  // Written beside them under free names, with no temporary file left.
  EXPECT_EQ(folder.Names(),
            (Lines{"001.GAME(1).tap", "001.GAME.tap", "002.LEVELS.tap", "003.MUSIC(1).tap", "003.MUSIC.tap"}));
  EXPECT_TRUE(fs::is_symlink(folder.File("003.MUSIC.tap")) && !fs::exists(fs::symlink_status(folder.File("nowhere"))));
}

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
  Lines names = folder.Names();
  std::erase_if(names, [](const std::string& name) { return !IsTemporaryFileName(name); });
  return names;
}

// Interrupted as a file is created: a file that would replace "kept.tap",
// or the second file of an extraction or of a split. What came before is
// complete, and the file interrupted is nowhere, not even empty.
TEST(InterruptedWrite, ASignalRightAfterAFileIsCreatedLeavesNothingUnderItsName) {
  ScratchFolder in;
  const std::string tape = in.Write("parts.tap", test::PartsTape(3, 64));
  const std::tuple<int, Lines> cases[] = {
      {SIGINT, {"kept.tap"}}, {SIGTERM, {"PART1.prg", "kept.tap"}}, {SIGHUP, {"001.PART1.tap", "kept.tap"}}};
  for (const auto& [signalNumber, names] : cases) {
    ScratchFolder out;
    const std::string kept = out.Write("kept.tap", std::string("old"));
    EXPECT_EXIT(
        {
          InstallInterruptCleanup();
          // Files written and done with free their places in the registry.
          for (int i = 0; i < 2 * kMaxPartialFiles; ++i) PartialFileGuard done(out.File("done.tap"));
          MemoryPaths paths;
          RecordedMessages messages;
          ProgramList list(paths, test::noSync, ".");
          if (!list.LoadAndParse(tape)) std::_Exit(1);
          list.SelectAll();
          list.outputDir = out.path();
          std::string error;
          SafeFileWriter writer(test::noSync);
          // The signal comes inside the next lock: the first file's own lock passes.
          if (signalNumber == SIGINT) {
            signalAtLock = signalNumber;
            (void)writer.Open(kept, error);
          } else if (signalNumber == SIGTERM) {
            ExtractPrograms(list, {1}, out.path(), false, test::noSync);
            signalAtLock = signalNumber;
            ExtractPrograms(list, {2}, out.path(), false, test::noSync);
          } else {
            (void)list.Split(messages, nullptr, [&](int64_t, int64_t) { signalAtLock = signalNumber; });
          }
          std::_Exit(0);
        },
        ::testing::ExitedWithCode(128 + signalNumber), "");
    EXPECT_EQ(out.Names(), names);
    EXPECT_EQ(test::ReadFileText(kept), "old");
  }
}

TEST(KilledWrite, ASplitKilledOutrightLeavesNoIncompleteFileAndTheNextSplitRemovesItsLeftovers) {
  ScratchFolder in, reference, out;
  const std::string tape = in.Write("parts.tap", test::PartsTape(4, 60000));
  ASSERT_EQ(test::RunCliBytes({"split", tape, reference.path(), "--select", "all"}).exitCode, 0);
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
  // Once old (young ones are a writer's at work, see below), a later split removes them.
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
  const std::pair<std::string, int> cases[] = {
      {"todisk", SIGINT}, {"todisk", SIGTERM}, {"launcher", SIGHUP}, {"launcher", SIGTERM}};
  for (const auto& [command, signalNumber] : cases) {
    ScratchFolder tools, out, tmp;
    WriteHangingTools(tools.path());
    const Lines arguments = command == "todisk" ? Lines{command, tape, out.File("game.d64")}
                                                : Lines{command, tape, out.path(), "--select", "1"};
    SCOPED_TRACE(command + " " + std::to_string(signalNumber));
    test::RunningProgram run(REELWRIGHT_CLI, arguments,
                             {"PATH=" + tools.path() + ":/usr/bin:/bin", "TMPDIR=" + tmp.path()});
    ASSERT_TRUE(Appears(tools.File("tool.pid"))) << run.err();
    const pid_t tool = std::stoi(test::ReadFileText(tools.File("tool.pid")));
    const pid_t child = std::stoi(test::ReadFileText(tools.File("child.pid")));
    run.Signal(signalNumber);
    EXPECT_EQ(run.Wait(20000), 128 + signalNumber);
    EXPECT_TRUE(test::Ended(tool)) << "the tool " << tool << " is still running";
    EXPECT_TRUE(test::Ended(child)) << "the tool's child " << child << " is still running";
    EXPECT_EQ(std::pair(out.Names(), tmp.Names()), std::pair(Lines{}, Lines{}));
  }
}

TEST(FreeNames, ANameTakenAtTheLastMomentIsPassedOver) {
  ScratchFolder folder;
  std::string error, chosen;
  SafeFileWriter writer(test::noSync);
  ASSERT_TRUE(writer.Open(folder.File("x.tap"), error)) << error;
  ASSERT_TRUE(writer.Write("mine", 4, error));
  // Another writer takes the first two names meanwhile; a dangling link counts.
  folder.Write("x.tap", std::string("theirs"));
  fs::create_symlink(folder.File("nowhere"), folder.File("x(1).tap"));
  ASSERT_TRUE(writer.CommitUnderFreeName({folder.path(), "x", ".tap"}, chosen, error)) << error;
  EXPECT_EQ(chosen, folder.File("x(2).tap"));
  EXPECT_EQ(test::ReadFileText(chosen) + test::ReadFileText(folder.File("x.tap")), "minetheirs");
}

TEST(FreeNames, ThreeSplitsIntoOneFolderAtOnceAllSucceedUnderDistinctNames) {
  ScratchFolder in, out;
  const std::string tape = in.Write("parts.tap", PartsTape(6, 2000));
  std::vector<std::unique_ptr<test::RunningProgram>> runs;
  for (int i = 0; i < 3; ++i) {
    runs.push_back(std::make_unique<test::RunningProgram>(
        REELWRIGHT_CLI, std::vector<std::string>{"split", tape, out.path(), "--select", "all"}));
  }
  for (auto& run : runs) EXPECT_EQ(run->Wait(), 0) << run->err();
  EXPECT_EQ(out.Names().size(), 18u);
  for (int part = 1; part <= 6; ++part) {
    const std::string stem = "00" + std::to_string(part) + ".PART" + std::to_string(part);
    const auto whole = test::ReadFileBytes(out.File(stem + ".tap"));
    for (const char* copy : {"(1)", "(2)"}) EXPECT_EQ(test::ReadFileBytes(out.File(stem + copy + ".tap")), whole);
  }
}

TEST(FreeNames, ExtractNumbersPastAThousand) {
  ScratchFolder in, out;
  const std::string tape = in.Write("one.tap", PartsTape(1, 40, "SAME"));
  out.Write("SAME.prg", std::string("x"));
  for (int n = 1; n <= 1000; ++n) out.Write("SAME(" + std::to_string(n) + ").prg", std::string("x"));
  MemoryPaths paths;
  ProgramList list(paths, test::noSync, ".");
  ASSERT_TRUE(list.LoadAndParse(tape));
  const ExtractReport report = ExtractPrograms(list, {1, 1}, out.path(), false, test::noSync);
  ASSERT_EQ(report.programs.size(), 2u);
  EXPECT_EQ(report.programs[0].path, out.File("SAME(1001).prg"));
  EXPECT_EQ(report.programs[1].path, out.File("SAME(1002).prg"));
  EXPECT_FALSE(report.failed());
}

TEST(LongNames, NamesUpTo255BytesAreWrittenAndLongerOnesRefusedWithTheReason) {
  ScratchFolder folder;
  // A join to a name of 255 bytes, whose temporary name must be shortened, and one of 256.
  const std::string a = folder.Write("a.tap", test::TapBytes(0, 0, 1, 120));
  const auto joined = test::RunCliBytes({"join", folder.File(std::string(251, 'j') + ".tap"), a, a});
  EXPECT_EQ(joined.exitCode, 0) << joined.err;
  const std::string tooLong = folder.File(std::string(252, 'j') + ".tap");
  const auto refused = test::RunCliBytes({"join", tooLong, a, a});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_TRUE(Holds(refused.err, "Error while saving file " + tooLong + " : File name too long"));
  EXPECT_EQ(folder.Names().size(), 2u);  // a.tap and the join: nothing else
}

TEST(CausedMessages, NoPermissionIsSaidAsSuch) {
  ScratchFolder in, out;
  const std::string tape = in.Write("one.tap", PartsTape(2));
  ASSERT_EQ(::chmod(in.path().c_str(), 0755), 0);
  ASSERT_EQ(::chmod(in.File("one.tap").c_str(), 0644), 0);
  ASSERT_EQ(::chmod(out.path().c_str(), 0755), 0);  // not writable for nobody
  // The steps run as the unprivileged user "nobody", in a child process: the
  // tests run as root, who may write anywhere.
  EXPECT_EXIT(
      {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) std::_Exit(3);
        MemoryPaths paths;
        RecordedMessages messages;
        ProgramList list(paths, test::noSync, ".");
        if (!list.LoadAndParse(tape)) std::_Exit(1);
        const auto extracted = test::ShownFailure(ExtractPrograms(list, {1}, out.path(), false, test::noSync).failure);
        list.SelectAll();
        list.outputDir = out.path();
        const std::string denied = "ERROR! | critical | Error while creating file " + out.path();
        const bool toldSo = extracted == denied + "/PART1.prg : Permission denied" &&
                            test::ShownFailure(list.Split(messages)) == denied + "/001.PART1.tap : Permission denied";
        std::_Exit(toldSo ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(out.Names(), Lines{});
}

// The tool's shell starts a child that outlives it; the limit stops both.
TEST(CausedMessages, AToolStoppedAtItsTimeLimitIsSaidWithItsLastLines) {
  ScratchFolder tools, out;
  const std::string c1541 = tools.File("c1541");
  std::ofstream(c1541) << "#!/bin/sh\necho 'first line'\necho 'writing p001'\nsleep 30 &\necho $! > \"$0.pid\"\nwait\n";
  fs::permissions(c1541, fs::perms::owner_all);
  QtToolRunner runner(tools.path(), std::vector<std::string>{}, 500);
  RecordedMessages messages;
  const std::string disk = out.File("d.d64");
  const Outcome built = BuildProgramDisk(disk, {}, false, runner, test::noSync, messages);
  EXPECT_EQ(built.kind(), FailureKind::SystemError);
  EXPECT_EQ(test::ShownFailure(built),
            "ERROR! | critical | Error while creating file " + disk +
                " : c1541 was stopped after 1 seconds without finishing:\nfirst line\nwriting p001");
  const pid_t child = std::stoi(test::ReadFileText(c1541 + ".pid"));
  EXPECT_TRUE(test::Ended(child)) << "the tool's child " << child << " is still running";
}

TEST(Hangs, APipeThatTakesATapesPlaceIsRefusedWithoutBlocking) {
  ScratchFolder folder;
  const std::string tape = folder.Write("real.tap", PartsTape(1));
  const std::string pipe = folder.File("pipe");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const std::string place = folder.File("game.tap");
  EXPECT_EXIT(
      {
        ::alarm(30);  // a blocked open ends the test program here
        std::atomic<bool> done{false};
        // The file and the pipe take turns at the name while it is loaded.
        std::thread swapper([&] {
          const std::string file = folder.File("file"), fifo = folder.File("fifo");
          while (!done) {
            // A failure here only changes whose turn it is; the race is the point.
            [[maybe_unused]] const int linked = ::link(tape.c_str(), file.c_str());
            ::rename(file.c_str(), place.c_str());
            ::mkfifo(fifo.c_str(), 0600);
            ::rename(fifo.c_str(), place.c_str());
          }
        });
        int loaded = 0;
        int refused = 0;
        for (int i = 0; i < 3000; ++i) {
          TapImage image;
          (LoadTapImage(place, image) ? loaded : refused)++;
        }
        done = true;
        swapper.join();
        std::_Exit(refused > 0 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  // As a scan's path: refused at once with the reason.
  const auto scan = test::RunCliBytes({"scan", pipe}, {}, 20000);
  EXPECT_EQ(scan.exitCode, 1);
  EXPECT_TRUE(Holds(scan.out, "Refused: Error while loading file " + pipe + " : Not a regular file (a named pipe)"));
}

#ifdef REELWRIGHT_APP
// The desktop program opened with a pipe ("Open with", a FIFO at the
// settings' place beside a portable copy): it starts, and never opens the
// pipe (a writer could then connect to it).
TEST(Hangs, TheDesktopProgramStartsWithAPipeAsItsFileAndAsItsSettings) {
  ScratchFolder copy;
  const std::string program = copy.File("reelwright");
  fs::copy_file(REELWRIGHT_APP, program);
  fs::permissions(program, fs::perms::owner_all);
  const std::string settings = copy.File("Reelwright.ini"), pipe = copy.File("tape.tap");
  for (const std::string& fifo : {settings, pipe}) ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  test::RunningProgram run(program, {pipe}, {"QT_QPA_PLATFORM=offscreen"});
  std::this_thread::sleep_for(std::chrono::seconds(3));
  EXPECT_TRUE(run.Running()) << run.err();
  for (const std::string& fifo : {settings, pipe}) {
    // A writer connects only while someone has the pipe open for reading.
    const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    EXPECT_LT(fd, 0) << fifo << " is open in the program";
    if (fd >= 0) ::close(fd);
  }
  // Its main window is up: it answers a terminating signal as a running program.
  run.Signal(SIGTERM);
  EXPECT_EQ(run.Wait(10000), 128 + SIGTERM);
}
#endif

}  // namespace
}  // namespace rw
