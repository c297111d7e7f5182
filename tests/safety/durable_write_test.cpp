// SPDX-License-Identifier: GPL-2.0-or-later
// Written files are durable and a user's files are never lost: the data is
// synced before the name, the folder after it, once for a split's many
// files; a failed sync is a failed write. A write that fails half-way (a
// full disk) is told in one message, keeps an earlier file of that name and
// leaves no partial file. The split leaves the loaded tape as it is on disk
// and never writes over a name taken by a file or a dangling link.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <tuple>

#include "core/ports/remembered_paths.h"
#include "core/safe_file.h"
#include "join/compilation.h"
#include "join/join_operation.h"
#include "launcher/launcher_disk.h"
#include "platform/posix_storage_sync.h"
#include "platform/qt_tool_runner.h"
#include "split/program_data.h"
#include "split/program_list.h"
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

TEST(JoinSafety, AFullDiskKeepsThePreviousOutputAndLeavesNoPartialFile) {
  ScratchFolder inputs;
  ScratchFolder out;
  Compilation compilation{"."};
  // Two inputs of 300 KB each: more than one copy buffer, so the failure
  // comes after some of the output was already written.
  ASSERT_TRUE(compilation.AddTapFile(inputs.Write("a.tap", TapBytes(0, 0, 1, 300020))));
  ASSERT_TRUE(compilation.AddTapFile(inputs.Write("b.tap", TapBytes(0, 0, 1, 300020))));
  const std::string output = out.Write("joined.tap", std::string("the previous join"));
  Outcome joined = Outcome::Success();
  EXPECT_FALSE(OnFullDisk(100000, [&] { return (joined = JoinToTapFile(compilation, output, true, noSync)).ok(); }));
  EXPECT_EQ(ShownFailure(joined), "Error! | critical | Error while saving file " + output + " : File too large");
  EXPECT_EQ(ReadFileText(output), "the previous join");
  EXPECT_EQ(out.Names(), Lines{"joined.tap"});
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

}  // namespace
}  // namespace rw
