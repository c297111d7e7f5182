// An interrupted run removes the files it was writing, and only those, and
// ends with 128 + the signal number.

#include <gtest/gtest.h>

#include <csignal>

#include "core/safe_file.h"
#include "platform/interrupt_cleanup.h"
#include "support/scratch_folder.h"

namespace rw {
namespace {

TEST(InterruptedRun, RemovesThePartialFilesAndExitsWith128PlusTheSignal) {
  for (const int signalNumber : {SIGINT, SIGTERM}) {
    test::ScratchFolder folder;
    const std::string done = folder.Write("done.tap", std::string("complete"));
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
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"done.tap", "finished.tap", "replaced.tap"}));
    EXPECT_EQ(test::ReadFileText(replaced), "old");
    EXPECT_EQ(test::ReadFileText(done), "complete");
  }
}

}  // namespace
}  // namespace rw
