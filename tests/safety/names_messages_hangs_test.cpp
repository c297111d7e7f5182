// SPDX-License-Identifier: GPL-2.0-or-later
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
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "core/ports/remembered_paths.h"
#include "core/safe_file.h"
#include "core/tap_image.h"
#include "launcher/program_disk.h"
#include "platform/qt_tool_runner.h"
#include "split/program_data.h"
#include "split/program_list.h"
#include "support/program_run.h"
#include "support/scratch_folder.h"
#include "support/shown_messages.h"
#include "support/tap_bytes.h"
#include "support/tape_composer.h"

namespace rw {
namespace {

namespace fs = std::filesystem;
using test::ScratchFolder;
using Lines = std::vector<std::string>;
using test::PartsTape;

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
  const Lines names = out.Names();
  EXPECT_EQ(names.size(), 18u);
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
  RecordedMessages messages;
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
  EXPECT_NE(refused.err.find("Error while saving file " + tooLong + " : File name too long"), std::string::npos)
      << refused.err;
  EXPECT_EQ(folder.Names().size(), 2u);  // a.tap and the join: nothing else
}

// Runs `step` as the unprivileged user "nobody" in a child process: the
// tests run as root, who may write anywhere.
template <typename Step>
void AsNobody(const Step& step) {
  EXPECT_EXIT(
      {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) std::_Exit(3);
        std::_Exit(step() ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(CausedMessages, NoPermissionIsSaidAsSuch) {
  ScratchFolder in, out;
  const std::string tape = in.Write("one.tap", PartsTape(2));
  ASSERT_EQ(::chmod(in.path().c_str(), 0755), 0);
  ASSERT_EQ(::chmod(in.File("one.tap").c_str(), 0644), 0);
  ASSERT_EQ(::chmod(out.path().c_str(), 0755), 0);  // not writable for nobody
  AsNobody([&] {
    MemoryPaths paths;
    RecordedMessages messages;
    ProgramList list(paths, test::noSync, ".");
    if (!list.LoadAndParse(tape)) return false;
    const auto extracted = test::ShownFailure(ExtractPrograms(list, {1}, out.path(), false, test::noSync).failure);
    list.SelectAll();
    list.outputDir = out.path();
    return extracted ==
               "ERROR! | critical | Error while creating file " + out.File("PART1.prg") + " : Permission denied" &&
           test::ShownFailure(list.Split(messages)) ==
               "ERROR! | critical | Error while creating file " + out.File("001.PART1.tap") + " : Permission denied";
  });
  EXPECT_EQ(out.Names(), Lines{});
}

TEST(CausedMessages, AToolStoppedAtItsTimeLimitIsSaidWithItsLastLines) {
  ScratchFolder tools, out;
  const std::string c1541 = tools.File("c1541");
  std::ofstream(c1541) << "#!/bin/sh\necho 'first line'\necho 'writing p001'\nexec sleep 30\n";
  fs::permissions(c1541, fs::perms::owner_all);
  QtToolRunner runner(tools.path(), std::vector<std::string>{}, 500);
  RecordedMessages messages;
  const std::string disk = out.File("d.d64");
  const Outcome built = BuildProgramDisk(disk, {}, false, runner, test::noSync, messages);
  EXPECT_EQ(built.kind(), FailureKind::SystemError);
  EXPECT_EQ(test::ShownFailure(built),
            "ERROR! | critical | Error while creating file " + disk +
                " : c1541 was stopped after 1 seconds without finishing:\nfirst line\nwriting p001");
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
