// SPDX-License-Identifier: GPL-2.0-or-later
#include "join/compilation.h"
#include "join/join_operation.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/scratch_folder.h"
#include "support/shown_messages.h"
#include "support/tap_bytes.h"

namespace rw {

void PrintTo(const CompilationRow& row, std::ostream* out) {
  *out << "{" << row.path << " | " << row.size << " | " << row.machine << " | " << row.video << " | " << row.type
       << " | " << row.duration << "}";
}

namespace {

using namespace test;

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
  Compilation compilation{"."};

  std::string Tap(const std::string& name, uint8_t machine, uint8_t video, uint8_t version, size_t length = 1000) {
    return folder.Write(name, TapBytes(machine, video, version, length));
  }
  void Remove(std::initializer_list<int> rows) { compilation.RemoveSelectedRows(rows); }
};

TEST_F(CompilationTest, FirstFileFixesSettingsAndFillsItsRow) {
  EXPECT_EQ(compilation.totalText(), "0m0s");
  const std::string path = Tap("a.tap", 1, 1, 2, 1000);
  ASSERT_TRUE(compilation.AddTapFile(path));
  EXPECT_EQ(Settings(compilation), (std::array<int, 3>{1, 1, 2}));
  // 980 pulse bytes of 48 * 8 cycles at 0.97778 us: 0.368 s.
  EXPECT_EQ(compilation.rows(),
            (std::vector<CompilationRow>{{path, "1000 Bytes", "VIC-20", "NTSC", "TAP V2", "0m:0.37s"}}));
  EXPECT_EQ(compilation.totalText(), "0m:0.37s");
  EXPECT_FALSE(compilation.joinAvailable());
}

TEST_F(CompilationTest, RefusalsNameTheRefusedFilesOwnValue) {
  // The compilation's and the refused file's machine, video and version; the reason.
  using Kind = std::array<int, 3>;
  const std::tuple<Kind, Kind, std::string> cases[] = {
      {{0, 0, 1}, {0, 1, 1}, "it has a video standard (NTSC)"},
      {{0, 0, 1}, {1, 1, 2}, "it was created for a machine (VIC-20)"},
      {{0, 0, 0}, {0, 0, 1}, "it has a TAP format ( TAP V1)"},
      {{2, 1, 2}, {2, 1, 0}, "it has a TAP format (TAP V0)"},
      {{1, 0, 1}, {2, 0, 1}, "it was created for a machine (C16-Plus4)"},
  };
  for (const auto& [kind, refusedKind, reason] : cases) {
    Compilation list(".");
    ASSERT_TRUE(list.AddTapFile(Tap("first.tap", kind[0], kind[1], kind[2])));
    const std::string refused = Tap("second.tap", refusedKind[0], refusedKind[1], refusedKind[2]);
    EXPECT_EQ(ShownFailure(list.AddTapFile(refused)), "ERROR! | critical | File " + refused +
                                                          " Cannot be added since " + reason +
                                                          " conflicting with previously added files");
    EXPECT_EQ(std::pair(list.rows().size(), Settings(list)), std::pair(size_t{1}, kind));
  }
}

TEST_F(CompilationTest, PausesDoNotFixSettingsAndFollowTheClockOfTheFiles) {
  // 16.5 s fits one record at the C64 PAL clock, not at the faster VIC-20 PAL one.
  ASSERT_TRUE(compilation.AddPauseRow("16.5s"));
  EXPECT_EQ(compilation.rows()[0].size, "4");
  ASSERT_TRUE(compilation.AddTapFile(Tap("vic.tap", 1, 0, 1)));
  EXPECT_EQ(std::to_string(compilation.machine()) + " " + compilation.rows()[0].size, "1 8");  // machine, pause size

  // Once the files are gone, the next file sets the compilation anew.
  Remove({1});
  ASSERT_TRUE(compilation.AddTapFile(Tap("c16.tap", 2, 1, 2)));
  EXPECT_EQ(Settings(compilation), (std::array<int, 3>{2, 1, 2}));
}

TEST_F(CompilationTest, DirectoryAddsTapesInNameOrderPassesOverTheOutputAndStopsAtAConflict) {
  for (const char* name : {"c.tap", "A.TAP", "b.Tap", "y.tap"}) Tap(name, 0, 0, 1);
  // VIC-20 images: out.tap is the join's own output, conflicting (taken in, it
  // would stop the expansion); x.tap conflicts: the expansion stops there, and
  // y.tap is not taken.
  for (const char* name : {"game.tap.bak", "out.tap", "x.tap"}) Tap(name, 1, 0, 1);
  std::filesystem::create_directory(folder.File("sub.tap"));
  const Outcome added = compilation.AddTapDirectory(folder.path() + "/", folder.path() + "/./out.tap");
  EXPECT_EQ(added.text().rfind("File " + folder.File("x.tap") + " Cannot be added", 0), 0u) << added.text();
  EXPECT_EQ(Paths(compilation), (Lines{folder.File("A.TAP"), folder.File("b.Tap"), folder.File("c.tap")}));
}

TEST_F(CompilationTest, PauseRows) {
  ASSERT_TRUE(compilation.AddPauseRow("5s"));
  // 90 s is 88.7 million cycles: six records of at most 16,777,215.
  ASSERT_TRUE(compilation.AddPauseRow("1m:30s"));
  ASSERT_TRUE(compilation.AddPauseRow("0s"));  // a pause of nothing is no error
  EXPECT_EQ(compilation.rows(), (std::vector<CompilationRow>{{"**  [PAUSE]  **", "4", "-", "-", "-", "5s"},
                                                             {"**  [PAUSE]  **", "24", "-", "-", "-", "1m:30s"},
                                                             {"**  [PAUSE]  **", "4", "-", "-", "-", "0s"}}));
  EXPECT_DOUBLE_EQ(compilation.totalSeconds(), 95.0);
  EXPECT_EQ(compilation.totalText(), "1m:35s");

  EXPECT_EQ(ShownFailure(compilation.AddPauseRow("1m30")),
            "ERROR! | critical | Pause duration string 1m30 Syntax is Invalid !");
  const std::string tooLong = ShownFailure(compilation.AddPauseRow("40m"));
  EXPECT_TRUE(
      tooLong.starts_with("ERROR! | critical | Pause duration string 40m is too long ! The longest pause is 36m:"))
      << tooLong;
  // A version-0 image has no record for a pause, either way round.
  const std::string v0 = Tap("v0.tap", 0, 0, 0);
  EXPECT_EQ(ShownFailure(compilation.AddTapFile(v0)), "ERROR! | critical | File " + v0 +
                                                          " Cannot be added since it is in TAP format V0, "
                                                          "which cannot hold the pauses already listed");
  EXPECT_TRUE(compilation.rows().size() == 3 && compilation.joinAvailable());
  Compilation files(".");
  ASSERT_TRUE(files.AddTapFile(v0));
  EXPECT_EQ(ShownFailure(files.AddPauseRow("5s")),
            "ERROR! | critical | Pause duration string 5s Cannot be added since the listed "
            "files are in TAP format V0, which cannot hold pauses");
  EXPECT_EQ(files.rows().size(), 1u);

  Compilation comma(",");
  EXPECT_TRUE(comma.AddPauseRow("2,5s"));
  EXPECT_EQ(comma.totalText(), "0m:2,5s");
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
  EXPECT_EQ(Paths(compilation), (Lines{folder.File("a.tap"), folder.File("d.tap")}));
  EXPECT_NEAR(compilation.totalSeconds(), 0.39 + 0.97, 0.02);

  Remove({0, 1});
  EXPECT_EQ(std::tuple(compilation.rows().size(), compilation.totalSeconds(), compilation.totalText()),
            std::tuple(size_t{0}, 0.0, "0m:0s"));
}

// Moves stop at the ends; sorting puts pauses first, keeps new rows in place
// and stops the moves; after it the rows stay as sorted.
TEST_F(CompilationTest, MovesStopAtTheEndsAndSortingPutsPausesFirst) {
  for (const char* name : {"a.tap", "b.tap", "c.tap"}) ASSERT_TRUE(compilation.AddTapFile(Tap(name, 0, 0, 1)));
  const std::string a = folder.File("a.tap"), b = folder.File("b.tap"), c = folder.File("c.tap");
  EXPECT_EQ((std::vector{compilation.MoveRowUp(-1), compilation.MoveRowUp(0), compilation.MoveRowDown(2),
                         compilation.MoveRowDown(3)}),
            (std::vector{false, false, false, false}));
  EXPECT_EQ((std::vector{compilation.MoveRowDown(0), compilation.MoveRowDown(1)}), (std::vector{true, true}));
  EXPECT_EQ(Paths(compilation), (Lines{b, c, a}));
  ASSERT_TRUE(compilation.MoveRowUp(2));
  EXPECT_EQ(Paths(compilation), (Lines{b, a, c}));

  ASSERT_TRUE(compilation.AddPauseRow("5s"));
  compilation.SetSorted(true);
  const std::string pause = kPauseRowPath, ab = folder.File("ab.tap");
  EXPECT_EQ(Paths(compilation), (Lines{pause, a, b, c}));
  EXPECT_EQ(std::pair(compilation.CanMoveRows(), compilation.MoveRowUp(2)), std::pair(false, false));
  ASSERT_TRUE(compilation.AddTapFile(Tap("ab.tap", 0, 0, 1)));
  ASSERT_TRUE(compilation.AddPauseRow("1s"));
  EXPECT_EQ(Paths(compilation), (Lines{pause, pause, a, ab, b, c}));

  compilation.SetSorted(false);
  EXPECT_TRUE(compilation.CanMoveRows());
  ASSERT_TRUE(compilation.AddTapFile(Tap("0.tap", 0, 0, 1)));
  EXPECT_EQ(Paths(compilation).back(), folder.File("0.tap"));
  EXPECT_EQ(Paths(compilation)[2], a);
}

// The joins: a compilation as above, written to one image.
class JoinTest : public CompilationTest {
 protected:
  std::string Add(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = folder.Write(name, bytes);
    EXPECT_TRUE(compilation.AddTapFile(path));
    return path;
  }
  // Joins into `output` and expects one refusal, its message going on with `reason` (any, when empty).
  void ExpectRefused(const std::string& output, bool replace, const std::string& reason = "",
                     const JoinProgress& progress = {}) {
    const std::string shown = ShownFailure(JoinToTapFile(compilation, output, replace, noSync, progress));
    EXPECT_EQ(shown.rfind("Error! | critical | Error while saving file " + output + " : " + reason, 0), 0u) << shown;
  }
};

TEST_F(JoinTest, PausesAloneMakeAVersionOneC64PalImageAndWithFilesFollowTheirClock) {
  ASSERT_TRUE(compilation.AddPauseRow("1s"));
  const std::string output = folder.File("joined.tap");
  ASSERT_TRUE(JoinToTapFile(compilation, output, false, noSync));
  // A version-1 C64 PAL header for 4 bytes: 1 s at that clock, 985,251 cycles.
  EXPECT_EQ(ReadFileText(output), std::string("C64-TAPE-RAW\1\0\0\0\4\0\0\0\0\xA3\x08\x0F", 24));

  // A C16 NTSC compilation of pulses "0" and "A".
  Add("one.tap", TapBytes(2, 1, 2, 1000, '0', "C16-TAPE-RAW"));
  Add("two.tap", TapBytes(2, 1, 2, 2000, 'A', "C64-TAPE-RAW"));
  std::vector<uint64_t> progress;
  ASSERT_TRUE(JoinToTapFile(compilation, output, true, noSync, [&](uint64_t written, uint64_t total) {
    EXPECT_EQ(total, 2964u);
    progress.push_back(written);
  }));
  EXPECT_EQ(progress, (std::vector<uint64_t>{4, 984, 2964}));
  // The header carries the compilation's settings and length under the first
  // image's signature; the pause now follows the clock of the compilation: 1 s
  // at C16 NTSC is 894,887 cycles.
  EXPECT_EQ(ReadFileText(output), std::string("C16-TAPE-RAW\2\2\1\0\x94\x0B\0\0\0\xA7\xA7\x0D", 24) +
                                      std::string(980, '0') + std::string(1980, 'A'));
}

TEST_F(JoinTest, FilesShortenedToTheirHeaderOrLessContributeNothing) {
  const std::string shrunk = Add("shrunk.tap", TapBytes(0, 0, 1, 100));
  Add("kept.tap", TapBytes(0, 0, 1, 30, 0x55));
  for (const size_t length : {20, 10, 1, 0}) {
    std::filesystem::resize_file(shrunk, length);
    ASSERT_TRUE(JoinToTapFile(compilation, folder.File("out.tap"), true, noSync)) << length;
    EXPECT_EQ(ReadFileBytes(folder.File("out.tap")), TapBytes(0, 0, 1, 30, 0x55)) << length;
  }
}

TEST_F(JoinTest, FailuresLeaveNoPartialFileAndTheOldOutputIntact) {
  const std::string a = Add("a.tap", TapBytes(0, 0, 1, 500));
  const std::string b = Add("b.tap", TapBytes(0, 0, 1, 500));
  const std::string output = folder.Write("out.tap", std::string("keep me"));
  // Replacing not agreed; an output under a regular file; one in a missing folder.
  for (const std::string& refused : {output, output + "/out.tap", folder.File("missing/out.tap")}) {
    ExpectRefused(refused, refused != output);
  }
  // An input that grows while it is copied would no longer match the header's length.
  const auto append = [&](uint64_t, uint64_t) { std::ofstream(b, std::ios::app) << "more"; };
  ExpectRefused(output, true, b + " changed while it was being joined", append);
  // Inputs grown (sparsely) beyond what a header's 32-bit length can hold: refused before anything is copied.
  for (const std::string& input : {a, b}) std::filesystem::resize_file(input, 2'200'000'000);
  ExpectRefused(output, true, "File too large");
  std::filesystem::remove(b);
  ExpectRefused(folder.File("fresh.tap"), false, "No such file or directory");
  EXPECT_EQ(ReadFileText(output), "keep me");
  EXPECT_EQ(folder.Names(), (Lines{"a.tap", "out.tap"}));

  for (const char* name : {"a.tap", "b.tap"}) folder.Write(name, TapBytes(0, 0, 1, 500));
  ASSERT_TRUE(JoinToTapFile(compilation, output, true, noSync));
  EXPECT_EQ(ReadFileBytes(output), TapBytes(0, 0, 1, 980));
  // An input removed after the join began is refused when its turn comes.
  ExpectRefused(output, true, "No such file or directory", [&](uint64_t, uint64_t) { std::filesystem::remove(b); });
}

}  // namespace
}  // namespace rw
