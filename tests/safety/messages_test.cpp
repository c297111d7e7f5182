// SPDX-License-Identifier: GPL-2.0-or-later
// Messages say the cause: no permission (the tests run as root, so the step
// runs as "nobody"), a tool stopped at its time limit with its last lines.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "core/ports/remembered_paths.h"
#include "launcher/program_disk.h"
#include "platform/qt_tool_runner.h"
#include "split/program_data.h"
#include "split/program_list.h"
#include "support/scratch_folder.h"
#include "support/shown_messages.h"
#include "support/tape_composer.h"

namespace rw {
namespace {

namespace fs = std::filesystem;
using test::ScratchFolder;
using Lines = std::vector<std::string>;
using test::PartsTape;

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

}  // namespace
}  // namespace rw
