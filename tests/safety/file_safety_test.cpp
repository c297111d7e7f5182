// A user's files are never lost. The split and the rename leave the loaded
// tape as it is on disk whatever is renamed or written beside it, and an
// output name taken by a file or a dangling link is not written over (a name
// taken at the last moment is the safe file writer's own test). A write that
// fails half-way because the disk is full is told in one message, an earlier
// file of that name stays as it was, and no partial or temporary file is left
// behind. (A vanished input and an output folder that cannot be written are
// covered beside the join's own tests; a failed write of an index file or a
// split's files beside theirs.)

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <tuple>

#include "join/compilation.h"
#include "join/join_operation.h"
#include "launcher/launcher_disk.h"
#include "platform/messages.h"
#include "platform/qt_tool_runner.h"
#include "platform/remembered_paths.h"
#include "split/program_list.h"
#include "support/scratch_folder.h"
#include "support/shown_messages.h"
#include "support/stand_in_tools.h"
#include "support/tap_bytes.h"
#include "support/tape_composer.h"

namespace rw {
namespace {

namespace fs = std::filesystem;

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
  test::ScratchFolder inputs;
  test::ScratchFolder out;
  RecordedMessages messages;
  Compilation compilation{".", messages};
  // Two inputs of 300 KB each: more than one copy buffer, so the failure
  // comes after some of the output was already written.
  ASSERT_TRUE(compilation.AddTapFile(inputs.Write("a.tap", test::TapBytes(0, 0, 1, 300020))));
  ASSERT_TRUE(compilation.AddTapFile(inputs.Write("b.tap", test::TapBytes(0, 0, 1, 300020))));
  const std::string output = out.Write("joined.tap", std::string("the previous join"));
  // Replacing the earlier output, then a new name: without an earlier output nothing at all is left.
  for (const std::pair<std::string, bool>& run : {std::pair{output, true}, std::pair{out.File("fresh.tap"), false}}) {
    RecordedMessages shown;
    EXPECT_FALSE(OnFullDisk(100000, [&] { return JoinToTapFile(compilation, run.first, run.second, shown); }));
    EXPECT_EQ(test::Shown(shown), test::Lines{"Error! | critical | Error while saving file " + run.first +
                                              " : File too large"});
    EXPECT_EQ(test::ReadFileText(output), "the previous join");
    EXPECT_EQ(out.Names(), std::vector<std::string>{"joined.tap"});
  }
}

class AnswerEveryTarget : public LauncherDialogs {
 public:
  DeviceAnswer AskDevice() override { return {false, 8, ""}; }
  TargetAnswer AskTarget(const std::string&, const std::string& name) override {
    return {TargetAction::Next, 0, name};
  }
};

TEST(LauncherSafety, AFullDiskKeepsThePreviousDiskAndLeavesNoTemporaryFile) {
  test::ScratchFolder root;
  const std::string tools = root.File("tools"), out = root.File("out"), tmp = root.File("tmp");
  for (const std::string& folder : {tools, out, tmp}) fs::create_directory(folder);
  test::WriteStandInTools(tools, test::FormatMode::Ok, test::PetcatMode::Ok, test::WriteMode::Ok);
  const test::TemporaryFolderOverride temporaryFolder(tmp);
  const std::string disk = root.Write("out/games.tap.d64", std::string("previous disk"));
  LauncherDiskInput input;
  input.imagePath = root.File("Games.tap");
  input.outputFolder = out;
  input.programs = {{"GAME", "000014"}, {"LEVELS", "00A3FF"}};
  // The stand-in c1541 makes a disk of ten bytes; the launcher text is longer.
  // The first message is the question to replace the disk, answered yes.
  RecordedMessages shown;
  AnswerEveryTarget dialogs;
  LauncherSettings settings;
  QtToolRunner runner(tools, std::vector<std::string>{});
  EXPECT_FALSE(OnFullDisk(32, [&] {
    return BuildLauncherDiskFor(input, {8, ""}, {dialogs, settings, runner, shown}) == LauncherOutcome::Created;
  }));
  ASSERT_EQ(shown.shown.size(), 2u);
  EXPECT_EQ(test::Shown(shown)[1], "ERROR! | critical | Error while creating file " + disk + " : File too large");
  EXPECT_TRUE(fs::is_empty(tmp));
  EXPECT_EQ(test::ReadFileText(disk), "previous disk");
  EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 1);
}

// The loaded tape as it is on disk: a rewrite in place with the same bytes shows as well.
std::tuple<ino_t, long long, std::vector<uint8_t>> Stamp(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(stat(path.c_str(), &info), 0);
  return {info.st_ino, info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec, test::ReadFileBytes(path)};
}

TEST(SplitSafety, RenamesAndOutputsNeverReachTheLoadedFileOrATakenName) {
  // The tape is named like the first output, in the output folder itself; a
  // dangling link takes the third output's name.
  test::ScratchFolder folder;
  test::TapeComposer composer(0, 1);
  for (const char* name : {"GAME", "LEVELS", "MUSIC"}) {
    composer.AddProgram({.name = name, .data = test::ProgramData(1000, 3)});
    composer.AddSilence(100000);
  }
  const std::string tape = folder.Write("001.GAME.tap", composer.FileBytes());
  const auto before = Stamp(tape);
  fs::create_symlink(folder.File("nowhere"), folder.File("003.MUSIC.tap"));
  MemoryPaths paths;
  ProgramList list{paths, "."};
  RecordedMessages messages;
  ASSERT_TRUE(list.LoadAndParse(tape, messages));
  list.SelectAll();
  list.outputDir = folder.path();
  list.SetTapeNameText(1, "RENAMED");
  list.SetTapeNameText(3, "{RED}TUNE");
  ASSERT_TRUE(list.Split(messages));
  EXPECT_EQ(Stamp(tape), before);
  // Written beside them under free names, with no temporary file left.
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"001.GAME(1).tap", "001.GAME.tap", "002.LEVELS.tap",
                                                      "003.MUSIC(1).tap", "003.MUSIC.tap"}));
  EXPECT_TRUE(fs::is_symlink(folder.File("003.MUSIC.tap")));
  EXPECT_FALSE(fs::exists(fs::symlink_status(folder.File("nowhere"))));
}

}  // namespace
}  // namespace rw
