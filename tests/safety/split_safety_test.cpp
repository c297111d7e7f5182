// The split and the rename never lose a user's file: the loaded tape stays
// as it is on disk whatever is renamed or written beside it, an output name
// taken at the last moment is not written over, and a full disk leaves the
// files already written whole and no partial or temporary file.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <tuple>

#include "core/tap_image.h"
#include "core/tap_writer.h"
#include "file_size_limit.h"
#include "platform/messages.h"
#include "platform/remembered_paths.h"
#include "split/program_list.h"
#include "support/scratch_folder.h"
#include "support/tape_composer.h"

namespace rw {
namespace {

std::vector<uint8_t> ThreeProgramTape() {
  test::TapeComposer composer(0, 1);
  const std::pair<const char*, size_t> programs[] = {{"GAME", 1000}, {"LEVELS", 3000}, {"MUSIC", 500}};
  for (const auto& [name, dataSize] : programs) {
    test::ComposedProgram program;
    program.name = name;
    program.data = test::ProgramData(dataSize, 3);
    composer.AddProgram(program);
    composer.AddSilence(100000);
  }
  return composer.FileBytes();
}

// The loaded tape as it is on disk: a rewrite in place with the same bytes shows as well.
std::tuple<ino_t, long long, std::vector<uint8_t>> Stamp(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(stat(path.c_str(), &info), 0);
  return {info.st_ino, info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec, test::ReadFileBytes(path)};
}

TEST(SplitSafety, RenamesNeverReachTheLoadedFileEvenWhenSplittingBesideIt) {
  // The tape is named like the first output, in the output folder itself.
  test::ScratchFolder folder;
  const std::string tape = folder.Write("001.GAME.tap", ThreeProgramTape());
  const auto before = Stamp(tape);
  MemoryPaths paths;
  ProgramList list(paths, ".");
  RecordedMessages messages;
  ASSERT_TRUE(list.LoadAndParse(tape, messages));
  ASSERT_EQ(list.RowCount(), 3);
  list.outputDir = folder.path();
  list.SetTapeNameText(1, "RENAMED");
  list.SetTapeNameText(3, "{RED}TUNE");
  list.SelectAll();

  ASSERT_TRUE(list.Split(messages));
  EXPECT_EQ(Stamp(tape), before);
  // The renamed image lives in memory only: loading the tape again shows the old names.
  ProgramList again(paths, ".");
  ASSERT_TRUE(again.LoadAndParse(tape, messages));
  EXPECT_EQ(again.sections()[0].rawName, "GAME");
  EXPECT_EQ(again.sections()[2].rawName, "MUSIC");
  // Written beside it under free names, with no temporary file left.
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"001.GAME(1).tap", "001.GAME.tap", "002.LEVELS.tap", "003.MUSIC.tap"}));
}

TEST(SplitSafety, AnOutputNameTakenAfterItWasChosenIsNotWrittenOver) {
  // Another program may create the file between the free-name check and the
  // write: the write fails and that file stays as it was.
  test::ScratchFolder folder;
  RecordedMessages messages;
  TapImage image;
  ASSERT_TRUE(LoadTapImageFromBytes("t.tap", ThreeProgramTape(), image, messages));
  const std::string path = folder.Write("001.GAME.tap", std::string("someone else's"));
  std::string error;
  EXPECT_FALSE(WriteSectionFile(image, path, 20, 500, false, error));
  EXPECT_EQ(error, "File exists");
  EXPECT_EQ(test::ReadFileText(path), "someone else's");
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"001.GAME.tap"});
}

TEST(SplitSafety, ADanglingLinkTakesItsNameAndIsLeftAlone) {
  test::ScratchFolder folder;
  const std::string tape = folder.Write("tape.tap", ThreeProgramTape());
  test::ScratchFolder out;
  std::filesystem::create_symlink(out.File("nowhere"), out.File("001.GAME.tap"));
  MemoryPaths paths;
  ProgramList list(paths, ".");
  RecordedMessages messages;
  ASSERT_TRUE(list.LoadAndParse(tape, messages));
  list.outputDir = out.path();
  list.SetChecked(1, true);
  ASSERT_TRUE(list.Split(messages));
  EXPECT_EQ(out.Names(), (std::vector<std::string>{"001.GAME(1).tap", "001.GAME.tap"}));
  EXPECT_TRUE(std::filesystem::is_symlink(out.File("001.GAME.tap")));
  EXPECT_FALSE(std::filesystem::exists(out.File("nowhere")));
}

TEST(SplitSafety, AFullDiskKeepsTheFilesWrittenAndLeavesNoPartialOne) {
  test::ScratchFolder folder;
  test::ScratchFolder out;
  const std::vector<uint8_t> bytes = ThreeProgramTape();
  const std::string tape = folder.Write("tape.tap", bytes);
  const auto before = Stamp(tape);
  MemoryPaths paths;
  ProgramList list(paths, ".");
  RecordedMessages messages;
  ASSERT_TRUE(list.LoadAndParse(tape, messages));
  ASSERT_EQ(list.RowCount(), 3);
  list.outputDir = out.path();
  list.SelectAll();
  // Room for the first program's file but not for the second's.
  const size_t firstSize = static_cast<size_t>(list.sections()[1].start - list.sections()[0].start) + 20;
  const size_t secondSize = static_cast<size_t>(list.sections()[2].start - list.sections()[1].start) + 20;
  ASSERT_LT(firstSize, secondSize);

  const test::LimitedRun run =
      test::RunWithFileSizeLimit(firstSize, [&](Messages& shown) { return list.Split(shown); });
  ASSERT_TRUE(run.ran);
  EXPECT_FALSE(run.succeeded);
  ASSERT_EQ(run.messages.size(), 1u);
  EXPECT_EQ(run.messages[0].title, "ERROR!");
  EXPECT_EQ(run.messages[0].text, "Error while creating file " + out.File("002.LEVELS.tap") + " : File too large");
  EXPECT_EQ(out.Names(), std::vector<std::string>{"001.GAME.tap"});
  EXPECT_EQ(test::ReadFileBytes(out.File("001.GAME.tap")).size(), firstSize);
  EXPECT_EQ(Stamp(tape), before);
}

}  // namespace
}  // namespace rw
