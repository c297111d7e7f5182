#include "join/compilation.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/scratch_folder.h"
#include "support/shown_messages.h"
#include "support/tap_bytes.h"

namespace rw {

void PrintTo(const CompilationRow& row, std::ostream* out) {
  *out << "{" << row.path << " | " << row.size << " | " << row.machine << " | " << row.video << " | " << row.type
       << " | " << row.duration << "}";
}

namespace {

using test::ScratchFolder;
using test::TapBytes;

std::vector<std::string> Paths(const Compilation& compilation) {
  std::vector<std::string> paths;
  for (const auto& row : compilation.rows()) paths.push_back(row.path);
  return paths;
}

std::array<int, 3> Settings(const Compilation& compilation) {
  return {compilation.machine(), compilation.video(), compilation.version()};
}

class CompilationTest : public ::testing::Test {
 protected:
  ScratchFolder folder;
  RecordedMessages messages;
  Compilation compilation{".", messages};

  std::string Tap(const std::string& name, uint8_t machine, uint8_t video, uint8_t version, size_t length = 1000) {
    return folder.Write(name, TapBytes(machine, video, version, length));
  }
  void Remove(std::initializer_list<int> rows) {
    for (const int row : rows) compilation.SelectRow(row, true);
    compilation.RemoveSelectedRows();
  }
};

TEST_F(CompilationTest, FirstFileFixesSettingsAndFillsItsRow) {
  EXPECT_EQ(compilation.totalText(), "0m0s");
  const std::string path = Tap("a.tap", 1, 1, 2, 1000);
  ASSERT_TRUE(compilation.AddTapFile(path));
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(Settings(compilation), (std::array<int, 3>{1, 1, 2}));
  // 980 pulse bytes of 48 * 8 cycles at 0.97778 us: 0.368 s.
  EXPECT_EQ(compilation.rows(),
            (std::vector<CompilationRow>{{path, "1000 Bytes", "VIC-20", "NTSC", "TAP V2", "0m:0.37s"}}));
  EXPECT_EQ(compilation.totalText(), "0m:0.37s");
  EXPECT_FALSE(compilation.joinAvailable());
}

TEST_F(CompilationTest, RefusalsNameTheRefusedFilesOwnValue) {
  const struct {
    uint8_t machine, video, version;  // the compilation
    uint8_t refusedMachine, refusedVideo, refusedVersion;
    std::string reason;
  } cases[] = {
      {0, 0, 1, 0, 1, 1, "it has a video standard (NTSC)"},
      {0, 0, 1, 1, 1, 2, "it was created for a machine (VIC-20)"},
      {0, 0, 0, 0, 0, 1, "it has a TAP format ( TAP V1)"},
      {2, 1, 2, 2, 1, 0, "it has a TAP format (TAP V0)"},
      {1, 0, 1, 2, 0, 1, "it was created for a machine (C16-Plus4)"},
  };
  for (const auto& c : cases) {
    RecordedMessages shown;
    Compilation list(".", shown);
    ASSERT_TRUE(list.AddTapFile(Tap("first.tap", c.machine, c.video, c.version)));
    const std::string refused = Tap("second.tap", c.refusedMachine, c.refusedVideo, c.refusedVersion);
    EXPECT_FALSE(list.AddTapFile(refused));
    EXPECT_EQ(test::Shown(shown), test::Lines{"ERROR! | critical | File " + refused + " Cannot be added since " +
                                              c.reason + " conflicting with previously added files"});
    EXPECT_EQ(list.rows().size(), 1u);
    EXPECT_EQ(Settings(list), (std::array<int, 3>{c.machine, c.video, c.version}));
  }
}

TEST_F(CompilationTest, PausesDoNotFixSettingsAndFollowTheClockOfTheFiles) {
  // 16.5 s fits one record at the C64 PAL clock, not at the faster VIC-20 PAL one.
  ASSERT_TRUE(compilation.AddPauseRow("16.5s"));
  EXPECT_EQ(compilation.rows()[0].size, "4");
  ASSERT_TRUE(compilation.AddTapFile(Tap("vic.tap", 1, 0, 1)));
  EXPECT_EQ(compilation.machine(), 1);
  EXPECT_EQ(compilation.rows()[0].size, "8");

  // Once the files are gone, the next file sets the compilation anew.
  Remove({1});
  ASSERT_TRUE(compilation.AddTapFile(Tap("c16.tap", 2, 1, 2)));
  EXPECT_EQ(Settings(compilation), (std::array<int, 3>{2, 1, 2}));
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(CompilationTest, DirectoryAddsTapesInNameOrderPassesOverTheOutputAndStopsAtAConflict) {
  Tap("c.tap", 0, 0, 1);
  Tap("A.TAP", 0, 0, 1);
  Tap("b.Tap", 0, 0, 1);
  Tap("game.tap.bak", 1, 0, 1);
  std::filesystem::create_directory(folder.File("sub.tap"));
  Tap("out.tap", 1, 0, 1);  // the join's own output, conflicting: taken in, it would stop the expansion
  ASSERT_TRUE(compilation.AddTapDirectory(folder.path(), folder.path() + "/./out.tap"));
  EXPECT_EQ(Paths(compilation),
            (std::vector<std::string>{folder.File("A.TAP"), folder.File("b.Tap"), folder.File("c.tap")}));

  ScratchFolder other;
  RecordedMessages shown;
  Compilation list(".", shown);
  const std::string first = other.Write("1.tap", TapBytes(0, 0, 1, 500));
  const std::string second = other.Write("2.tap", TapBytes(1, 0, 1, 500));
  other.Write("3.tap", TapBytes(0, 0, 1, 500));
  EXPECT_FALSE(list.AddTapDirectory(other.path() + "/"));
  EXPECT_EQ(Paths(list), std::vector<std::string>{first});
  ASSERT_EQ(shown.shown.size(), 1u);
  EXPECT_NE(shown.shown[0].text.find("File " + second + " Cannot be added"), std::string::npos);
}

TEST_F(CompilationTest, PauseRows) {
  ASSERT_TRUE(compilation.AddPauseRow("5s"));
  // 90 s is 88.7 million cycles: six records of at most 16,777,215.
  ASSERT_TRUE(compilation.AddPauseRow("1m:30s"));
  EXPECT_EQ(compilation.rows(), (std::vector<CompilationRow>{{"**  [PAUSE]  **", "4", "-", "-", "-", "5s"},
                                                             {"**  [PAUSE]  **", "24", "-", "-", "-", "1m:30s"}}));
  EXPECT_DOUBLE_EQ(compilation.totalSeconds(), 95.0);
  EXPECT_EQ(compilation.totalText(), "1m:35s");
  EXPECT_EQ(compilation.CountFileRows(), 0);

  EXPECT_FALSE(compilation.AddPauseRow("1m30"));
  EXPECT_FALSE(compilation.AddPauseRow("40m"));
  const auto shown = test::Shown(messages);
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0], "ERROR! | critical | Pause duration string 1m30 Syntax is Invalid !");
  EXPECT_EQ(shown[1].rfind("ERROR! | critical | Pause duration string 40m is too long ! The longest pause is 36m:", 0), 0u)
      << shown[1];
  EXPECT_EQ(compilation.rows().size(), 2u);
  EXPECT_TRUE(compilation.joinAvailable());

  RecordedMessages commaMessages;
  Compilation comma(",", commaMessages);
  EXPECT_TRUE(comma.AddPauseRow("2,5s"));
  EXPECT_FALSE(comma.AddPauseRow("2.5s"));
  EXPECT_EQ(comma.totalText(), "0m:2,5s");
}

TEST_F(CompilationTest, VersionZeroAndPausesNeverMeet) {
  // A version-0 image has no record for a pause, either way round.
  ASSERT_TRUE(compilation.AddTapFile(Tap("v0.tap", 0, 0, 0)));
  EXPECT_FALSE(compilation.AddPauseRow("5s"));
  RecordedMessages shown;
  Compilation paused(".", shown);
  ASSERT_TRUE(paused.AddPauseRow("5s"));
  const std::string v0 = Tap("late.tap", 0, 0, 0);
  EXPECT_FALSE(paused.AddTapFile(v0));
  EXPECT_EQ(compilation.rows().size(), 1u);
  EXPECT_EQ(paused.rows().size(), 1u);
  EXPECT_EQ(test::Shown(messages), std::vector<std::string>{"ERROR! | critical | Pause duration string 5s Cannot be added "
                                                            "since the listed files are in TAP format V0, which cannot hold pauses"});
  EXPECT_EQ(test::Shown(shown), std::vector<std::string>{"ERROR! | critical | File " + v0 +
                                                         " Cannot be added since it is in TAP format V0, which cannot "
                                                         "hold the pauses already listed"});
}

TEST_F(CompilationTest, RemovalsSubtractAndAnEmptyListIsExactlyZero) {
  ASSERT_TRUE(compilation.AddTapFile(Tap("a.tap", 0, 0, 1, 1001)));
  EXPECT_FALSE(compilation.joinAvailable());  // a join needs two rows of any kind
  ASSERT_TRUE(compilation.AddPauseRow("2.5s"));
  EXPECT_TRUE(compilation.joinAvailable());
  Remove({1});
  EXPECT_FALSE(compilation.joinAvailable());
  for (const char* name : {"b.tap", "c.tap"}) ASSERT_TRUE(compilation.AddTapFile(Tap(name, 0, 0, 1, 1001)));
  ASSERT_TRUE(compilation.AddPauseRow("2.5s"));
  ASSERT_TRUE(compilation.AddTapFile(Tap("d.tap", 0, 0, 1, 2500)));

  Remove({1, 2, 3});
  EXPECT_EQ(Paths(compilation), (std::vector<std::string>{folder.File("a.tap"), folder.File("d.tap")}));
  EXPECT_NEAR(compilation.totalSeconds(), 0.39 + 0.97, 0.02);

  Remove({0, 1});
  EXPECT_TRUE(compilation.rows().empty());
  EXPECT_EQ(compilation.totalSeconds(), 0.0);
  EXPECT_EQ(compilation.totalText(), "0m:0s");
}

TEST_F(CompilationTest, MovesCarryTheCurrentRowAndStopAtTheEnds) {
  for (const char* name : {"a.tap", "b.tap", "c.tap"}) ASSERT_TRUE(compilation.AddTapFile(Tap(name, 0, 0, 1)));
  const std::string a = folder.File("a.tap"), b = folder.File("b.tap"), c = folder.File("c.tap");
  EXPECT_FALSE(compilation.MoveRowUp());  // no current row
  compilation.SetCurrentRow(0);
  EXPECT_FALSE(compilation.MoveRowUp());
  ASSERT_TRUE(compilation.MoveRowDown());
  ASSERT_TRUE(compilation.MoveRowDown());
  EXPECT_FALSE(compilation.MoveRowDown());
  EXPECT_EQ(Paths(compilation), (std::vector<std::string>{b, c, a}));
  // The selection travels with the moved row and leaves the rows it passed.
  const auto selected = [&] {
    return std::vector<bool>{compilation.IsSelected(0), compilation.IsSelected(1), compilation.IsSelected(2)};
  };
  EXPECT_EQ(compilation.currentRow(), 2);
  EXPECT_EQ(selected(), (std::vector<bool>{false, false, true}));
  ASSERT_TRUE(compilation.MoveRowUp());
  EXPECT_EQ(Paths(compilation), (std::vector<std::string>{b, a, c}));
  EXPECT_EQ(compilation.currentRow(), 1);
  EXPECT_EQ(selected(), (std::vector<bool>{false, true, false}));
}

TEST_F(CompilationTest, SortingPutsPausesFirstAndKeepsNewRowsInPlace) {
  ASSERT_TRUE(compilation.AddTapFile(Tap("c.tap", 0, 0, 1)));
  ASSERT_TRUE(compilation.AddTapFile(Tap("a.tap", 0, 0, 1)));
  ASSERT_TRUE(compilation.AddPauseRow("5s"));
  compilation.SetCurrentRow(0);
  compilation.SelectRow(0, true);

  compilation.SetSorted(true);
  const std::string pause = kPauseRowPath, a = folder.File("a.tap"), b = folder.File("b.tap"),
                    c = folder.File("c.tap");
  EXPECT_EQ(Paths(compilation), (std::vector<std::string>{pause, a, c}));
  EXPECT_EQ(compilation.currentRow(), 2);  // c.tap, wherever it went
  EXPECT_TRUE(compilation.IsSelected(2));
  EXPECT_FALSE(compilation.CanMoveRows());
  EXPECT_FALSE(compilation.MoveRowUp());

  ASSERT_TRUE(compilation.AddTapFile(Tap("b.tap", 0, 0, 1)));
  ASSERT_TRUE(compilation.AddPauseRow("1s"));
  EXPECT_EQ(Paths(compilation), (std::vector<std::string>{pause, pause, a, b, c}));

  compilation.SetSorted(false);
  EXPECT_TRUE(compilation.CanMoveRows());
  ASSERT_TRUE(compilation.AddTapFile(Tap("0.tap", 0, 0, 1)));
  EXPECT_EQ(Paths(compilation).back(), folder.File("0.tap"));
  EXPECT_EQ(Paths(compilation)[2], a);
}

}  // namespace
}  // namespace rw
