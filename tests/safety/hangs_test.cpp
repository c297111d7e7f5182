// SPDX-License-Identifier: GPL-2.0-or-later
// Hangs: a named pipe is never opened in a way that blocks, not even when it
// takes a tape's place between the look at a path and its open, nor when a
// scan is given one, nor when the desktop program is opened with one or finds
// one at its settings' place.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "core/tap_image.h"
#include "support/program_run.h"
#include "support/scratch_folder.h"
#include "support/tape_composer.h"

namespace rw {
namespace {

namespace fs = std::filesystem;
using test::PartsTape;
using test::ScratchFolder;

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
  EXPECT_NE(scan.out.find("Refused: Error while loading file " + pipe + " : Not a regular file (a named pipe)"),
            std::string::npos)
      << scan.out;
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
  const std::string settings = copy.File("Reelwright.ini");
  const std::string pipe = copy.File("tape.tap");
  ASSERT_EQ(::mkfifo(settings.c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
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
