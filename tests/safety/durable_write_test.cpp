// Written files reach the storage device before the success message: the
// data before the name, the folder's entry after it, and one sync for the
// many files of a split. A failed sync is a failed write.
//
// An interrupted run removes the files it was writing, and only those, and
// ends with 128 + the signal number.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "core/safe_file.h"
#include "join/compilation.h"
#include "join/join_operation.h"
#include "platform/interrupt_cleanup.h"
#include "platform/messages.h"
#include "platform/posix_storage_sync.h"
#include "platform/remembered_paths.h"
#include "split/program_list.h"
#include "support/scratch_folder.h"
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

// Records each sync; fails file syncs when told to.
class RecordingSync : public StorageSync {
 public:
  bool SyncFile(std::FILE*, std::string& error) override {
    calls.push_back("file");
    if (failFiles) error = "Input/output error";
    return !failFiles;
  }
  bool SyncFolder(const std::string& folder, std::string&) override {
    calls.push_back("folder " + folder);
    return true;
  }
  bool SyncAllIn(const std::string& folder, std::string&) override {
    calls.push_back("all " + folder);
    return true;
  }
  std::vector<std::string> calls;
  bool failFiles = false;
};

class DurableWrites : public ::testing::Test {
 protected:
  void SetUp() override { SetStorageSync(&sync); }
  void TearDown() override { SetStorageSync(nullptr); }
  RecordingSync sync;
  test::ScratchFolder folder;
  RecordedMessages messages;
};

TEST_F(DurableWrites, JoinSyncsTheFileBeforeItsNameAndTheFolderAfter) {
  Compilation compilation(".", messages);
  for (const char* name : {"a.tap", "b.tap"}) {
    ASSERT_TRUE(compilation.AddTapFile(folder.Write(name, test::TapBytes(0, 0, 1, 120))));
  }
  ASSERT_TRUE(JoinToTapFile(compilation, folder.File("out.tap"), false, messages));
  EXPECT_EQ(sync.calls, (std::vector<std::string>{"file", "folder " + folder.path()}));

  // A sync that fails is a write that failed: the old output stays, nothing else is left.
  sync.failFiles = true;
  const std::string old = folder.Write("old.tap", std::string("keep"));
  EXPECT_FALSE(JoinToTapFile(compilation, old, true, messages));
  EXPECT_EQ(test::ReadFileText(old), "keep");
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"a.tap", "b.tap", "old.tap", "out.tap"}));
  ASSERT_FALSE(messages.shown.empty());
  EXPECT_EQ(messages.shown.back().text, "Error while saving file " + old + " : Input/output error");
}

TEST_F(DurableWrites, SplitSyncsOnceForAllItsFilesBeforeItsMessage) {
  test::TapeComposer composer(0, 1);
  for (const char* name : {"ONE", "TWO", "THREE"}) composer.AddProgram({.name = name, .leaderPulses = 1500});
  const std::string tape = folder.Write("three.tap", composer.FileBytes());
  MemoryPaths paths;
  ProgramList list(paths, ".");
  ASSERT_TRUE(list.LoadAndParse(tape, messages));
  test::ScratchFolder out;
  list.outputDir = out.path();
  list.SelectAll();
  ASSERT_TRUE(list.Split(messages));
  EXPECT_EQ(sync.calls, std::vector<std::string>{"all " + out.path()});
}

TEST(PosixStorageSync, SyncsRealFilesAndFoldersAndReportsAMissingFolder) {
  test::ScratchFolder folder;
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

TEST(InterruptedRun, RemovesThePartialFilesAndExitsWith128PlusTheSignal) {
  for (const int signalNumber : {SIGINT, SIGTERM}) {
    test::ScratchFolder folder;
    const std::string replaced = folder.Write("replaced.tap", std::string("old"));
    EXPECT_EXIT(
        {
          InstallInterruptCleanup();
          std::string error;
          SafeFileWriter finished;  // committed: stays
          SafeFileWriter temporary;  // over an existing file: only its temporary file goes
          SafeFileWriter direct;     // a new file under its final name: goes
          if (finished.Open(folder.File("finished.tap"), error) && finished.Write("whole", 5, error) &&
              finished.Commit(false, error) && temporary.Open(replaced, error) &&
              temporary.Write("new", 3, error) && direct.OpenNew(folder.File("001.GAME.tap"), error) &&
              direct.Write("part", 4, error)) {
            std::raise(signalNumber);
          }
          std::_Exit(0);
        },
        ::testing::ExitedWithCode(128 + signalNumber), "");
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"finished.tap", "replaced.tap"}));
    EXPECT_EQ(test::ReadFileText(replaced), "old");
  }
}

}  // namespace
}  // namespace rw
