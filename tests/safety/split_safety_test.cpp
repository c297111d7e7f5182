// The split and the rename never lose a user's file: the loaded tape stays
// as it is on disk whatever is renamed or written beside it, an output name
// taken (by a file, a dangling link, or another program at the last moment)
// is not written over, and a full disk leaves the files already written whole
// and no partial or temporary file.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <tuple>

#include "core/tap_writer.h"
#include "full_disk.h"
#include "platform/remembered_paths.h"
#include "split/program_list.h"
#include "support/scratch_folder.h"
#include "support/tape_composer.h"

namespace rw {
namespace {

namespace fs = std::filesystem;

// The loaded tape as it is on disk: a rewrite in place with the same bytes shows as well.
std::tuple<ino_t, long long, std::vector<uint8_t>> Stamp(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(stat(path.c_str(), &info), 0);
  return {info.st_ino, info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec, test::ReadFileBytes(path)};
}

class SplitSafety : public testing::Test {
 protected:
  void Load(const std::string& name) {
    test::TapeComposer composer(0, 1);
    const std::pair<const char*, size_t> programs[] = {{"GAME", 1000}, {"LEVELS", 3000}, {"MUSIC", 500}};
    for (const auto& [programName, dataSize] : programs) {
      composer.AddProgram({.name = programName, .data = test::ProgramData(dataSize, 3)});
      composer.AddSilence(100000);
    }
    tape = folder.Write(name, composer.FileBytes());
    before = Stamp(tape);
    ASSERT_TRUE(list.LoadAndParse(tape, messages));
    ASSERT_EQ(list.RowCount(), 3);
    list.SelectAll();
  }
  test::ScratchFolder folder;
  MemoryPaths paths;
  ProgramList list{paths, "."};
  RecordedMessages messages;
  std::string tape;
  std::tuple<ino_t, long long, std::vector<uint8_t>> before;
};

TEST_F(SplitSafety, RenamesAndOutputsNeverReachTheLoadedFileOrATakenName) {
  // The tape is named like the first output, in the output folder itself; a
  // dangling link takes the third output's name.
  Load("001.GAME.tap");
  fs::create_symlink(folder.File("nowhere"), folder.File("003.MUSIC.tap"));
  list.outputDir = folder.path();
  list.SetTapeNameText(1, "RENAMED");
  list.SetTapeNameText(3, "{RED}TUNE");
  ASSERT_TRUE(list.Split(messages));
  EXPECT_EQ(Stamp(tape), before);
  // The renamed image lives in memory only: loading the tape again shows the old names.
  ProgramList again(paths, ".");
  ASSERT_TRUE(again.LoadAndParse(tape, messages));
  EXPECT_EQ(again.sections()[0].rawName, "GAME");
  EXPECT_EQ(again.sections()[2].rawName, "MUSIC");
  // Written beside them under free names, with no temporary file left.
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"001.GAME(1).tap", "001.GAME.tap", "002.LEVELS.tap",
                                                      "003.MUSIC(1).tap", "003.MUSIC.tap"}));
  EXPECT_TRUE(fs::is_symlink(folder.File("003.MUSIC.tap")));
  EXPECT_FALSE(fs::exists(fs::symlink_status(folder.File("nowhere"))));

  // Another program may create the file between the free-name check and the
  // write: the write fails and that file stays as it was.
  const std::string taken = folder.Write("004.TAKEN.tap", std::string("someone else's"));
  std::string error;
  EXPECT_FALSE(WriteSectionFile(list.image(), taken, 20, 500, false, error));
  EXPECT_EQ(error, "File exists");
  EXPECT_EQ(test::ReadFileText(taken), "someone else's");
  EXPECT_EQ(folder.Names().size(), 6u);  // no temporary file left
}

TEST_F(SplitSafety, AFullDiskKeepsTheFilesWrittenAndLeavesNoPartialOne) {
  Load("tape.tap");
  test::ScratchFolder out;
  list.outputDir = out.path();
  // Room for the first program's file but not for the second's.
  const size_t firstSize = static_cast<size_t>(list.sections()[1].start - list.sections()[0].start) + 20;
  const size_t secondSize = static_cast<size_t>(list.sections()[2].start - list.sections()[1].start) + 20;
  ASSERT_LT(firstSize, secondSize);
  const std::string second = out.File("002.LEVELS.tap");
  EXPECT_EXIT(test::RunOnFullDisk(firstSize, [&](Messages& shown) { return list.Split(shown); }),
              testing::ExitedWithCode(1),
              test::Exactly("ERROR!|0|Error while creating file " + second + " : File too large\n"));
  EXPECT_EQ(out.Names(), std::vector<std::string>{"001.GAME.tap"});
  EXPECT_EQ(test::ReadFileBytes(out.File("001.GAME.tap")).size(), firstSize);
  EXPECT_EQ(Stamp(tape), before);
}

}  // namespace
}  // namespace rw
