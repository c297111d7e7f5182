// SPDX-License-Identifier: GPL-2.0-or-later
#include "split/program_list.h"
#include "split/turbo_listing.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "core/ports/remembered_paths.h"
#include "core/pulse_timing.h"
#include "support/scratch_folder.h"
#include "support/shown_messages.h"
#include "support/tape_composer.h"

namespace rw {
namespace {

using namespace test;

// A C64 tape with five programs, each with a small data block, written as
// Game.TAP; rows 1..5 are GAME LOADER, GAME, DEMO PART1, DEMO PART2, DEMO/PART3.
class SplitTest : public ::testing::Test {
 protected:
  SplitTest() {
    bytes = TapeWith({"GAME LOADER", "GAME", "DEMO PART1", "DEMO PART2", "DEMO/PART3"}, &starts);
    tape = folder.Write("Game.TAP", bytes);
  }
  // Loads the tape, ticks `rows` and writes into `out`.
  void Load(std::initializer_list<int> rows) {
    ASSERT_TRUE(list.LoadAndParse(tape));
    list.outputDir = out.path();
    for (const int row : rows) list.SetChecked(row, true);
  }

  ScratchFolder folder, out;
  std::vector<int64_t> starts;
  std::vector<uint8_t> bytes;
  std::string tape;
  MemoryPaths paths{"/program"};
  RecordedMessages messages;
  ProgramList list{paths, noSync, "."};
};

// The rows' cells are the command line's list; here the folders a load remembers.
TEST_F(SplitTest, LoadRemembersItsFolderGivesItAsTheOutputWithoutADefaultAndARefusedFileChangesNothing) {
  paths.WritePersistentPath("", PersistentPath::DefSplitPath);
  ProgramList fresh(paths, noSync, ".");
  EXPECT_EQ(fresh.outputDir, "");  // an empty default leaves the box empty
  ASSERT_TRUE(fresh.LoadAndParse(tape));
  EXPECT_EQ(paths.ReadPersistentPath(PersistentPath::LoadPath), folder.path());
  EXPECT_EQ(fresh.outputDir, folder.path());

  // (A tape without programs: the window's test.)
  fresh.SetChecked(1, true);
  auto bad = bytes;
  bad[12] = 7;
  EXPECT_FALSE(fresh.LoadAndParse(folder.Write("bad.tap", bad)));
  EXPECT_EQ(std::tuple(fresh.loadedPath(), fresh.RowCount(), fresh.rows()[0].checked, fresh.image().version),
            std::tuple(tape, 5, true, 1));
}

TEST_F(SplitTest, GroupsBecomeNumberedFilesWithTheImagesHeader) {
  ASSERT_TRUE(list.LoadAndParse(folder.Write("before.tap", TapeWith({"BEFORE"}))));  // leaves nothing behind
  Load({2, 5});
  std::vector<std::string> written;
  ASSERT_TRUE(list.Split(messages, &written));
  EXPECT_EQ(written, (Lines{out.File("001.GAME_LOADER.tap"), out.File("002.DEMO_PART1.tap")}));
  EXPECT_EQ(Shown(messages), Lines{"INFO | information | Split Operation Completed !"});
  EXPECT_EQ(paths.ReadPersistentPath(PersistentPath::SplitPath), out.path());

  // Rows A..B and C..E, each with the image's header and true length.
  const auto expectedFile = [&](int64_t first, int64_t end) {
    const auto header = MakeTapHeader("C64-TAPE-RAW", 1, 0, 0, static_cast<uint32_t>(end - first));
    std::vector<uint8_t> file(header.begin(), header.end());
    file.insert(file.end(), bytes.begin() + first, bytes.begin() + end);
    return file;
  };
  EXPECT_EQ(ReadFileBytes(written[0]), expectedFile(starts[0], starts[2]));
  EXPECT_EQ(ReadFileBytes(written[1]), expectedFile(starts[2], static_cast<int64_t>(bytes.size())));
}

TEST_F(SplitTest, EditedNamesReachBothHeaderCopiesAndFileNames) {
  Load({2, 4});
  // The editor opens with the header name and the cell; "Save" trims both.
  const NameEditorFields fields = list.OpenNameEditor(3);
  EXPECT_EQ(fields.tapeName + "|" + fields.fileName, "DEMO PART1|DEMO PART1");
  list.SaveNameEditor(3, " {RED}HI ", " NEW/NAME ");
  EXPECT_EQ(list.rows()[2].program, "NEW/NAME");
  EXPECT_EQ(list.OpenNameEditor(3).tapeName, "{RED}HI");
  std::vector<std::string> written;
  ASSERT_TRUE(list.Split(messages, &written));
  EXPECT_EQ(written, (Lines{out.File("001.GAME_LOADER.tap"), out.File("002.NEW_NAME.tap")}));  // "/" stays in

  // Rows 3..4 went into the file; the first carries the new tape name.
  ProgramList reread(paths, noSync, ".");
  ASSERT_TRUE(reread.LoadAndParse(written[1]));
  ASSERT_EQ(reread.RowCount(), 2);
  const TapeSection& renamed = reread.sections()[0];
  EXPECT_EQ(std::tuple(renamed.rawName, renamed.headerChecksumOk, renamed.repeatChecksumOk, renamed.repeatPos != 0,
                       reread.sections()[1].rawName),
            std::tuple("\x1CHI", true, true, true, "DEMO PART2"));
}

TEST_F(SplitTest, FailuresStopWithoutClaimingCompletionAndOverwriteNothing) {
  Load({1, 2, 3});
  // A folder takes a name as a file does: the split numbers around it. (A
  // write failing half-way is the safety tests' full disk.)
  std::filesystem::create_directory(out.File("002.GAME.tap"));
  std::vector<std::string> written;
  EXPECT_TRUE(list.Split(messages, &written));
  EXPECT_EQ(written,
            (Lines{out.File("001.GAME_LOADER.tap"), out.File("002.GAME(1).tap"), out.File("003.DEMO_PART1.tap")}));
  paths.WritePersistentPath("/program", PersistentPath::SplitPath);

  // Every numbered name taken: reported, nothing written over.
  ScratchFolder full;
  full.Write("001.GAME_LOADER.tap", std::string("keep"));
  for (int n = 1; n <= 1000; ++n) full.Write("001.GAME_LOADER(" + std::to_string(n) + ").tap", std::string("keep"));
  list.outputDir = full.path();
  messages.shown.clear();
  EXPECT_EQ(list.Split(messages).caption(), "ERROR!");
  EXPECT_TRUE(messages.shown.empty());  // no completion claimed
  EXPECT_EQ(std::tuple(ReadFileText(full.File("001.GAME_LOADER.tap")), full.Names().size(),
                       paths.ReadPersistentPath(PersistentPath::SplitPath)),
            std::tuple("keep", 1001u, "/program"));

  // An output folder under a regular file.
  list.outputDir = folder.File("Game.TAP/sub");
  EXPECT_EQ(list.Split(messages).text(),
            "Error while creating file " + folder.File("Game.TAP/sub/001.GAME_LOADER.tap") + " : Not a directory");
}

TEST_F(SplitTest, DefaultFolderCommandsAndIndexFile) {
  list.outputDir = "";
  list.SetDefaultOutputDir(messages);
  EXPECT_EQ(messages.shown.back().text, "Directory \"\" successfully set as Default Split Directory !");
  list.outputDir = out.path();
  list.SetDefaultOutputDir(messages);
  EXPECT_EQ(paths.ReadPersistentPath(PersistentPath::DefSplitPath), out.path());
  // With a default, loading keeps the output folder.
  ASSERT_TRUE(list.LoadAndParse(tape));
  EXPECT_EQ(list.outputDir, out.path());
  list.RemoveDefaultOutputDir(messages);
  EXPECT_EQ(messages.shown.back().text, "Default Split Directory Removed !");
  EXPECT_EQ(paths.ReadPersistentPath(PersistentPath::DefSplitPath), "");
  EXPECT_EQ(list.outputDir, out.path());

  Load({2, 5});
  list.SetFileName(3, "demo; one");
  ASSERT_TRUE(list.WriteIndex(IndexFormat::Marquise, messages));
  EXPECT_EQ(ReadFileText(out.File("game.idx")), "01-GAME LOADER," + list.rows()[0].start + "," + list.rows()[1].end +
                                                    "\r\n02-DEMO; ONE," + list.rows()[2].start + "," +
                                                    list.rows()[4].end + "\r\n");
}

// A long list of turbo files is written in two halves at once. Whatever the
// order they finish in, the report names every file on disk and no other,
// in index order, and a failure in either half is the report's failure.
TEST(TurboExtract, BothHalvesReportExactlyTheFilesWritten) {
  const std::string tooLong(300, 'x');  // a loader name no file system takes
  TurboListing listing;
  for (int i = 0; i < 300; ++i) {
    TurboFile file;
    file.loader = "Freeload";
    file.loadAddress = static_cast<uint16_t>(0x0800 + i);
    file.endAddress = file.loadAddress + 2u;
    file.bytes = {static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 8)};
    file.checksum = i == 7 ? TurboChecksum::Error : TurboChecksum::Ok;
    listing.files.push_back(file);
  }
  std::vector<size_t> all(listing.files.size());
  for (size_t i = 0; i < all.size(); ++i) all[i] = i;

  ScratchFolder whole;
  TurboExtractReport report = ExtractTurboFiles(listing, all, whole.path(), false);
  EXPECT_TRUE(report.failure.ok());
  ASSERT_EQ(report.files.size(), 300u);
  for (size_t i = 0; i < 300; ++i) {
    EXPECT_EQ(report.files[i].index, i);
    if (i == 7) continue;  // damaged, and not asked for
    EXPECT_EQ(ReadFileBytes(report.files[i].path),
              (std::vector<uint8_t>{static_cast<uint8_t>(i), static_cast<uint8_t>((0x800 + i) >> 8),
                                    static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 8)}));
  }
  EXPECT_EQ(report.files[7].status, TurboExtractStatus::NotWritten);
  EXPECT_EQ(whole.Names().size(), 299u);

  for (const size_t failing : {size_t{20}, size_t{280}}) {
    SCOPED_TRACE(failing);
    listing.files[failing].loader = tooLong;
    ScratchFolder out;
    report = ExtractTurboFiles(listing, all, out.path(), false);
    listing.files[failing].loader = "Freeload";
    EXPECT_TRUE(report.failure.text().ends_with(": File name too long")) << report.failure.text();
    std::set<std::string> reported;
    size_t failed = 0;
    for (size_t k = 0; k < report.files.size(); ++k) {
      const ExtractedTurboFile& entry = report.files[k];
      if (k > 0) {
        EXPECT_LT(report.files[k - 1].index, entry.index);
      }
      failed += entry.status == TurboExtractStatus::Failed ? 1 : 0;
      if (entry.status == TurboExtractStatus::Written) reported.insert(std::filesystem::path(entry.path).filename().string());
    }
    EXPECT_EQ(failed, 1u);
    const std::vector<std::string> names = out.Names();
    EXPECT_EQ(reported, std::set<std::string>(names.begin(), names.end()));
    // The half without the failure stops once it sees it; the failing one
    // at the failure.
    EXPECT_LT(report.files.size(), 300u);
  }
}

TEST(OutputNames, SplitStemsAndIndexPaths) {
  // The index is named after the tape in lower case, with its extension replaced.
  const std::pair<std::string, std::string> cases[] = {
      {SplitFileStem(1, "GAME LOADER"), "001.GAME_LOADER"},
      {SplitFileStem(1000, ""), "1000."},
      {SplitFileStem(12, std::string("A/B\0C", 5)), "012.A_B_C"},
      {SplitFileStem(3, ".."), "003..."},
      {IndexFilePath("/out", "/tapes/Game.TAP"), "/out/game.idx"},
      {IndexFilePath("/out", "/tapes/.tap"), "/out/.idx"},
      {IndexFilePath("/out/", "/tapes/game.raw"), "/out/game.raw.idx"}};
  for (const auto& [got, expected] : cases) EXPECT_EQ(got, expected);
}

TEST(IndexFile, BothLineFormatsAndTheFileWrittenOrItsFailureReported) {
  const std::vector<IndexEntry> entries = {{"Game loader", "000014", "00a3ff"}, {"demo; part1", "00A400", "02FFFF"}};
  EXPECT_EQ(IndexFileText(entries, IndexFormat::Marquise),
            "01-GAME LOADER,000014,00A3FF\r\n02-DEMO; PART1,00A400,02FFFF\r\n");
  EXPECT_EQ(IndexFileText(entries, IndexFormat::Ultimate64), "0x14 Game loader\r\n0xA400 demo part1\r\n");
  EXPECT_EQ(IndexFileText({{"zero", "000000", "000001"}}, IndexFormat::Ultimate64), "0x0 zero\r\n");
  // Past 99 groups the numbering takes three digits; names stay Latin-1 on disk.
  std::vector<IndexEntry> many(101, {"x", "000014", "000020"});
  many[100].program = "\xC3\xA9t\xC3\xA9 \xC2\xA3";  // "été £"
  const std::string text = IndexFileText(many, IndexFormat::Marquise);
  EXPECT_NE(text.find("\r\n99-X,000014,000020\r\n100-X,"), std::string::npos);
  EXPECT_NE(text.find("101-\xC9T\xC9 \xA3,000014,000020\r\n"), std::string::npos);

  ScratchFolder folder;
  RecordedMessages messages;
  // (Written over an older index: the command line's test.)
  ASSERT_TRUE(WriteIndexFile(folder.path(), "/t/Game.tap", entries, IndexFormat::Ultimate64, noSync, messages));
  EXPECT_EQ(Shown(messages),
            Lines{"INFO | information | Index File " + folder.File("game.idx") + " successfully created !"});

  // A folder that is a regular file: the error names the path, the old file stays.
  const std::string notFolder = folder.Write("plain", std::string("x"));
  EXPECT_EQ(ShownFailure(WriteIndexFile(notFolder, "/t/Game.tap", entries, IndexFormat::Marquise, noSync, messages)),
            "ERROR! | critical | Error while creating file " + notFolder + "/game.idx : Not a directory");
  EXPECT_EQ(folder.Names(), (Lines{"game.idx", "plain"}));
}

// Programs starting at 0x14, 0xA000 and 0x1F000 of an image whose last byte
// is at 0x2FFFF; the gaps are filled with pulses that are in no class. The
// first and the last have no name.
TapImage ThreeProgramImage(uint8_t version) {
  TapeComposer composer(0, version);
  for (const auto& [name, next] : {std::pair{"", 0xA000}, {"TWO", 0x1F000}, {"", 0x30000}}) {
    composer.AddProgram({.name = name, .leaderPulses = 1200});
    composer.AddRaw(std::vector<uint8_t>(static_cast<size_t>(next - composer.size()), 200));
  }
  return composer.Image();
}

// Untitled programs are numbered from zero in every parse.
TEST(SectionParse, RowsTileTheImageFromTheFirstStart) {
  // The version and each row's name, start and end.
  const std::pair<uint8_t, std::vector<std::string>> cases[] = {
      {1, {"NO-TITLE-0 000014 009FFF", "TWO 00A000 01EFFF", "NO-TITLE-1 01F000 02FFFF"}},
      {2, {"NO-TITLE-0 000014 009FFE", "TWO 00A000 01EFFE", "NO-TITLE-1 01F000 02FFFF"}}};
  for (const auto& [version, expected] : cases) {
    const TapImage image = ThreeProgramImage(version);
    const float usPerCycle = SelectClock(image.machine, image.video);
    std::vector<std::string> rows;
    for (const ProgramRow& row : ParsePrograms(image, usPerCycle)) {
      rows.push_back(row.section.name + " " + OffsetText(row.section.start) + " " + OffsetText(row.end));
      EXPECT_EQ(row.durationUs, PulseDuration(image, row.section.start, row.end, usPerCycle));
      EXPECT_GT(row.durationUs, 0);
    }
    EXPECT_EQ(rows, expected);
  }
}

TEST(SectionParse, ImageFactsAreTheWindowsTexts) {
  // Five long-pulse records of 16,777,215 cycles, then silence to 1,537 bytes.
  TapImage image;
  image.bytes.assign(1537, 0);
  for (size_t i = 0; i < 5; ++i) {
    for (size_t k = 1; k < 4; ++k) image.bytes[kTapHeaderSize + 4 * i + k] = 0xFF;
  }
  image.bytes.push_back(0);
  // Machine, version, video, the decimal separator; the facts: machine, version, video, size, duration.
  const std::tuple<uint8_t, uint8_t, uint8_t, const char*, const char*> cases[] = {
      {0, 1, 0, ",", "Commodore 64|TAP V1|PAL|1,50 KB|1m:25,14s"},
      {1, 0, 1, ".", "VIC-20|TAP V0|NTSC|1.50 KB|1m:22.02s"},
      {2, 2, 0, ".", "C16 and Plus/4|TAP V2|PAL|1.50 KB|1m:34.6s"}};
  for (const auto& [machine, version, video, separator, facts] : cases) {
    std::tie(image.machine, image.version, image.video) = std::tie(machine, version, video);
    const auto f = DescribeImage(image, SelectClock(machine, video), separator);
    EXPECT_EQ(f.machine + "|" + f.version + "|" + f.video + "|" + f.size + "|" + f.totalDuration, facts);
  }

  // The size is the file's length, to the byte.
  TapImage small;
  small.bytes.assign(29, 0);
  EXPECT_EQ(DescribeImage(small, 1.0f, ".").size, "28 Bytes");
}

TEST(SectionParse, HexToLongReadsLeadingDigitsAs32Bits) {
  const std::pair<const char*, int32_t> cases[] = {{"", 0},         {"000014", 20},   {"01f000", 0x1F000},
                                                   {"FFFF", 65535}, {"FFFFFFFF", -1}, {"7FFFFFFF", INT32_MAX},
                                                   {"12G4", 0x12},  {"G", 0},         {"abcDEF", 0xABCDEF}};
  for (const auto& [text, value] : cases) EXPECT_EQ(HexToLong(text), value) << text;
}

TEST(SectionParse, TruncatedImagesNeverFail) {
  // Every prefix of a small tape, and prefixes at a stride of larger ones;
  // from the longest down, so each prefix is the previous one cut shorter.
  for (const uint8_t version : {0, 1, 2}) {
    TapeComposer composer(0, version, 0, 3);
    composer.SetJitter(1);
    ComposedProgram program{.name = "CUT", .leaderPulses = 1050};
    if (version != 1) program.data = ProgramData(20, 2);
    composer.AddProgram(program);
    program.silenceBefore = 3000;
    if (version != 1) composer.AddProgram(program);
    TapImage image = composer.Image();
    ASSERT_EQ(ParsePrograms(image, 1.0f).size(), version == 1 ? 1u : 2u);
    const size_t stride = version == 1 ? 1 : 53;
    for (size_t length = image.bytes.size() - 1;; length = length >= stride ? length - stride : 0) {
      image.bytes.resize(length + 1);
      image.bytes[length] = 0;
      for (const ProgramRow& row : ParsePrograms(image, 1.0f)) {
        ASSERT_LE(row.section.start, row.section.headerPos);
        ASSERT_LE(row.section.start, row.end);
        ASSERT_LT(row.end, image.FileLength());
      }
      DescribeImage(image, 1.0f, ".");
      if (length == 0) break;
    }
  }
}

}  // namespace
}  // namespace rw
