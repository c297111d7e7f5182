#include "split/program_list.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/utilities.h"
#include "platform/messages.h"
#include "platform/remembered_paths.h"
#include "support/scratch_folder.h"
#include "support/tape_composer.h"

namespace rw {
namespace {

const std::vector<std::string> kNames = {"GAME LOADER", "GAME", "DEMO PART1", "DEMO PART2", "DEMO/PART3"};

// A C64 tape with the five programs above, each with a small data block.
struct FiveProgramTape {
  explicit FiveProgramTape(const test::ScratchFolder& folder, const std::string& fileName = "Five.tap") {
    test::TapeComposer composer(0, 1);
    composer.AddSilence(50000);
    for (size_t i = 0; i < kNames.size(); ++i) {
      test::ComposedProgram program;
      program.name = kNames[i];
      program.data = test::ProgramData(64, static_cast<uint32_t>(i + 1));
      layouts.push_back(composer.AddProgram(program));
      composer.AddSilence(100000);
    }
    bytes = composer.FileBytes();
    path = folder.Write(fileName, bytes);
  }
  std::vector<test::ComposedLayout> layouts;
  std::vector<uint8_t> bytes;
  std::string path;
};

std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, int64_t first, int64_t last) {
  return std::vector<uint8_t>(bytes.begin() + first, bytes.begin() + last + 1);
}

TEST(ProgramList, LoadFillsRowsFactsAndRemembersFolders) {
  test::ScratchFolder folder;
  FiveProgramTape tape(folder);
  MemoryPaths paths("/program");
  paths.WritePersistentPath("", PersistentPath::DefSplitPath);
  ProgramList list(paths, ".");
  EXPECT_EQ(list.outputDir, "");  // an empty default leaves the box empty
  RecordedMessages messages;
  ASSERT_TRUE(list.LoadAndParse(tape.path, messages));
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(paths.ReadPersistentPath(PersistentPath::LoadPath), folder.path());
  EXPECT_EQ(list.outputDir, folder.path());
  ASSERT_EQ(list.RowCount(), 5);
  EXPECT_EQ(list.rows()[0].program, "GAME LOADER");
  EXPECT_EQ(list.rows()[4].program, "DEMOPART3");  // "/" is not a name character
  EXPECT_EQ(list.rows()[0].start, HexPad(static_cast<uint64_t>(tape.layouts[0].start), 6));
  EXPECT_EQ(list.rows()[0].end, HexPad(static_cast<uint64_t>(tape.layouts[1].start - 1), 6));
  EXPECT_EQ(list.rows()[4].end, HexPad(tape.bytes.size() - 1, 6));
  EXPECT_EQ(list.rows()[2].check1, "OK");
  EXPECT_EQ(list.facts().machine, "Commodore 64");
  EXPECT_FALSE(list.CommandsAllowed());  // nothing ticked yet
  list.SetChecked(2, true);
  EXPECT_TRUE(list.CommandsAllowed());
  list.outputDir = folder.File("missing");
  EXPECT_FALSE(list.CommandsAllowed());
}

TEST(ProgramList, RefusedFileChangesNothingAndEmptyTapeWarns) {
  test::ScratchFolder folder;
  FiveProgramTape tape(folder);
  MemoryPaths paths("/program");
  ProgramList list(paths, ".");
  EXPECT_EQ(list.outputDir, "/program");  // a missing default reads as the program's folder
  RecordedMessages messages;
  ASSERT_TRUE(list.LoadAndParse(tape.path, messages));
  list.SetChecked(1, true);
  auto bad = tape.bytes;
  bad[12] = 7;
  EXPECT_FALSE(list.LoadAndParse(folder.Write("bad.tap", bad), messages));
  EXPECT_EQ(list.loadedPath(), tape.path);
  EXPECT_EQ(list.RowCount(), 5);
  EXPECT_TRUE(list.rows()[0].checked);
  EXPECT_EQ(list.image().version, 1);

  std::vector<uint8_t> empty(tape.bytes.begin(), tape.bytes.begin() + 20);
  empty.insert(empty.end(), 3000, 48);
  messages.shown.clear();
  ASSERT_TRUE(list.LoadAndParse(folder.Write("empty.tap", empty), messages));
  EXPECT_EQ(list.RowCount(), 0);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].title, "WARNING!");
  EXPECT_EQ(messages.shown[0].icon, MessageIcon::Exclamation);
  EXPECT_EQ(messages.shown[0].text, "No ROM Loader sections identified inside this TAP file !");
}

TEST(Split, GroupsBecomeNumberedFilesAndSecondRunWritesBeside) {
  test::ScratchFolder folder;
  test::ScratchFolder out;
  FiveProgramTape tape(folder);
  MemoryPaths paths("/program");
  ProgramList list(paths, ".");
  RecordedMessages messages;
  ASSERT_TRUE(list.LoadAndParse(tape.path, messages));
  list.outputDir = out.path();
  list.SetChecked(2, true);
  list.SetChecked(5, true);
  std::vector<std::string> written;
  ASSERT_TRUE(list.Split(messages, &written));
  EXPECT_EQ(written, (std::vector<std::string>{out.File("001.GAME_LOADER.tap"), out.File("002.DEMO_PART1.tap")}));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].title, "INFO");
  EXPECT_EQ(messages.shown[0].text, "Split Operation Completed !");
  EXPECT_EQ(paths.ReadPersistentPath(PersistentPath::SplitPath), out.path());

  // Rows A..B and C..E, each with the image's header and true length.
  const auto first = test::ReadFileBytes(written[0]);
  const auto expected = Slice(tape.bytes, tape.layouts[0].start, tape.layouts[2].start - 1);
  ASSERT_EQ(first.size(), expected.size() + 20);
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), first.begin() + 20));
  EXPECT_EQ(first[16] | first[17] << 8 | first[18] << 16, static_cast<int>(expected.size()));
  const auto second = test::ReadFileBytes(written[1]);
  EXPECT_EQ(second.size(), tape.bytes.size() - static_cast<size_t>(tape.layouts[2].start) + 20);

  written.clear();
  ASSERT_TRUE(list.Split(messages, &written));
  EXPECT_EQ(written,
            (std::vector<std::string>{out.File("001.GAME_LOADER(1).tap"), out.File("002.DEMO_PART1(1).tap")}));
  EXPECT_EQ(test::ReadFileBytes(written[0]), first);  // the loaded file and the cut bytes did not change
  EXPECT_EQ(test::ReadFileBytes(tape.path), tape.bytes);
}

TEST(Split, EditedNamesReachBothHeaderCopiesAndFileNames) {
  test::ScratchFolder folder;
  test::ScratchFolder out;
  FiveProgramTape tape(folder);
  MemoryPaths paths("/program");
  ProgramList list(paths, ".");
  RecordedMessages messages;
  ASSERT_TRUE(list.LoadAndParse(tape.path, messages));
  list.outputDir = out.path();

  // The editor opens with the header name and the cell; "Save" trims both.
  const NameEditorFields fields = list.OpenNameEditor(3);
  EXPECT_EQ(fields.tapeName, "DEMO PART1");
  EXPECT_EQ(fields.fileName, "DEMO PART1");
  list.SaveNameEditor(3, " {RED}HI ", " NEW/NAME ");
  EXPECT_EQ(list.rows()[2].program, "NEW/NAME");
  EXPECT_EQ(list.OpenNameEditor(3).tapeName, "{RED}HI");
  list.SetChecked(2, true);
  list.SetChecked(4, true);
  std::vector<std::string> written;
  ASSERT_TRUE(list.Split(messages, &written));
  ASSERT_EQ(written.size(), 2u);
  EXPECT_EQ(written[1], out.File("002.NEW_NAME.tap"));  // the "/" cannot leave the folder

  ProgramList reread(paths, ".");
  ASSERT_TRUE(reread.LoadAndParse(written[1], messages));
  // Rows 3..4 went into the file; the first carries the new tape name.
  ASSERT_EQ(reread.RowCount(), 2);
  const TapeSection& renamed = reread.sections()[0];
  EXPECT_EQ(renamed.rawName, std::string("\x1CHI"));
  EXPECT_TRUE(renamed.headerChecksumOk);
  EXPECT_TRUE(renamed.repeatChecksumOk);
  EXPECT_NE(renamed.repeatPos, 0);
  EXPECT_EQ(reread.sections()[1].rawName, "DEMO PART2");
}

TEST(Split, FailuresStopWithoutClaimingCompletionAndOverwriteNothing) {
  test::ScratchFolder folder;
  test::ScratchFolder out;
  FiveProgramTape tape(folder);
  MemoryPaths paths("/program");
  ProgramList list(paths, ".");
  RecordedMessages messages;
  ASSERT_TRUE(list.LoadAndParse(tape.path, messages));
  list.outputDir = out.path();
  list.SetChecked(1, true);
  list.SetChecked(2, true);
  list.SetChecked(3, true);

  // The second file's name is taken by a folder: the first file stays, the
  // error names the path, nothing claims completion.
  std::filesystem::create_directory(out.File("002.GAME.tap"));
  std::vector<std::string> written;
  EXPECT_FALSE(list.Split(messages, &written));
  EXPECT_EQ(written, std::vector<std::string>{out.File("001.GAME_LOADER.tap")});
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].title, "ERROR!");
  EXPECT_EQ(messages.shown[0].icon, MessageIcon::Critical);
  EXPECT_EQ(messages.shown[0].text, "Error while creating file " + out.File("002.GAME.tap") + " : File exists");
  EXPECT_EQ(paths.ReadPersistentPath(PersistentPath::SplitPath), "/program");

  // Every numbered name taken: reported, nothing written over.
  test::ScratchFolder full;
  full.Write("001.GAME_LOADER.tap", std::string("keep"));
  for (int n = 1; n <= 1000; ++n) full.Write("001.GAME_LOADER(" + std::to_string(n) + ").tap", std::string("keep"));
  list.outputDir = full.path();
  messages.shown.clear();
  EXPECT_FALSE(list.Split(messages));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].title, "ERROR!");
  EXPECT_EQ(test::ReadFileText(full.File("001.GAME_LOADER.tap")), "keep");
  EXPECT_EQ(full.Names().size(), 1001u);

  // An output folder under a regular file.
  list.outputDir = folder.File("Five.tap/sub");
  messages.shown.clear();
  EXPECT_FALSE(list.Split(messages));
  EXPECT_EQ(messages.shown[0].text,
            "Error while creating file " + folder.File("Five.tap/sub/001.GAME_LOADER.tap") + " : Not a directory");
}

TEST(ProgramList, DefaultFolderCommandsAndIndexFile) {
  test::ScratchFolder folder;
  test::ScratchFolder out;
  FiveProgramTape tape(folder, "Game.TAP");
  MemoryPaths paths("/program");
  ProgramList list(paths, ".");
  RecordedMessages messages;
  list.outputDir = "";
  list.SetDefaultOutputDir(messages);
  EXPECT_EQ(messages.shown.back().text, "Directory \"\" successfully set as Default Split Directory !");
  list.outputDir = out.path();
  list.SetDefaultOutputDir(messages);
  EXPECT_EQ(paths.ReadPersistentPath(PersistentPath::DefSplitPath), out.path());
  // With a default, loading keeps the output folder.
  ASSERT_TRUE(list.LoadAndParse(tape.path, messages));
  EXPECT_EQ(list.outputDir, out.path());
  list.RemoveDefaultOutputDir(messages);
  EXPECT_EQ(messages.shown.back().text, "Default Split Directory Removed !");
  EXPECT_EQ(paths.ReadPersistentPath(PersistentPath::DefSplitPath), "");
  EXPECT_EQ(list.outputDir, out.path());

  list.SetChecked(2, true);
  list.SetChecked(5, true);
  list.SetFileName(3, "demo; one");
  ASSERT_TRUE(list.WriteIndex(IndexFormat::Marquise, messages));
  const std::string text = test::ReadFileText(out.File("game.idx"));
  EXPECT_EQ(text, "01-GAME LOADER," + list.rows()[0].start + "," + list.rows()[1].end + "\r\n02-DEMO; ONE," +
                      list.rows()[2].start + "," + list.rows()[4].end + "\r\n");
}

TEST(SplitFileStem, CounterAndSafeName) {
  EXPECT_EQ(SplitFileStem(1, "GAME LOADER"), "001.GAME_LOADER");
  EXPECT_EQ(SplitFileStem(1000, ""), "1000.");
  EXPECT_EQ(SplitFileStem(12, std::string("A/B\0C", 5)), "012.A_B_C");
  EXPECT_EQ(SplitFileStem(3, ".."), "003...");
}

}  // namespace
}  // namespace rw
