// The split and the rename never lose a user's file: the loaded tape stays
// as it is on disk whatever is renamed or written beside it, and an output
// name taken by a file or a dangling link is not written over. (A name
// taken at the last moment is the safe file writer's own test.)

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <tuple>

#include "platform/messages.h"
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
