// reelwright-cli scan over a small collection: good, damaged, refused and
// unreadable tapes, a file that is no tape, a nested folder, a link loop and
// links out of the collection.

#include <algorithm>
#include <filesystem>

#include "cli_runner.h"
#include "support/scratch_folder.h"
#include "support/tape_composer.h"

namespace rw {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Tape(uint8_t machine, uint8_t version, std::initializer_list<test::ComposedProgram> programs) {
  test::TapeComposer composer(machine, version, 0, 3);
  for (auto program : programs) {
    program.leaderPulses = 1500;
    program.data = test::ProgramData(64, 5);
    composer.AddProgram(program);
    composer.AddSilence(60000);
  }
  return composer.FileBytes();
}

// The collection.
struct Collection {
  test::ScratchFolder root;
  test::ScratchFolder outside;

  Collection() {
    fs::create_directories(root.File("nested/deeper"));
    root.Write("good.tap", Tape(0, 1, {{.name = "ONE"}, {.name = "TWO"}}));
    root.Write("Upper.TAP", Tape(1, 2, {{.name = "VIC"}}));
    // The first program's data is unreadable at the same byte in both copies.
    root.Write("damaged.tap", Tape(0, 0, {{.name = "LOST", .dataParityErrors = {12}, .dataRepeatParityErrors = {12}},
                                          {.name = "WORN", .wrongRepeatChecksum = true}}));
    root.Write("refused.tap", std::vector<uint8_t>(40, 0));
    root.Write("notes.txt", std::string("not a tape"));
    root.Write("nested/deeper/say \"hi\", you.tap", Tape(2, 1, {{.name = "PLUS"}}));
    fs::create_directory_symlink("..", root.File("nested/loop"));
    fs::create_symlink("missing.tap", root.File("gone.tap"));
    outside.Write("stranger.tap", Tape(0, 1, {{.name = "STRANGER"}}));
    fs::create_symlink(outside.File("stranger.tap"), root.File("stranger.tap"));
    fs::create_directory_symlink(outside.path(), root.File("elsewhere"));
    // A folder beside the collection whose name merely begins with the collection's is outside too.
    fs::create_directory(root.path() + "-beside");
    root.Write("../" + fs::path(root.path()).filename().string() + "-beside/near.tap", Tape(0, 1, {{.name = "NEAR"}}));
    fs::create_symlink(root.path() + "-beside/near.tap", root.File("near.tap"));
  }
  ~Collection() { fs::remove_all(root.path() + "-beside"); }
};

// One collection for all the tests: none of them writes into it.
const Collection& TheCollection() {
  static const Collection collection;
  return collection;
}

TEST(ScanCli, JsonLinesNameEveryTapeAndDamagedProgramInPathOrderForAnyNumberOfJobs) {
  const Collection& c = TheCollection();
  const CliRun run = ExpectRun({"scan", "--json", "--jobs", "3", Q(c.root.path())}, 1);
  EXPECT_TRUE(run.err.starts_with("6 tapes scanned, 2 refused, 0 without programs, 6 programs, 2 damaged on 1 tapes, "))
      << run.err;
  EXPECT_EQ(run.out, RunCli({"scan", "--json", "--jobs", "1", Q(c.root.path())}).out);
  std::vector<std::string> tapes;
  QJsonArray damaged;
  for (const std::string& line : Lines(run.out)) {
    const QJsonObject tape = Json(line);
    tapes.push_back(Fields(tape, {"path", "refused", "machine", "version", "programCount", "headerErrors",
                                  "dataDamaged"}) + std::to_string(tape["programs"].toArray().size()));
    if (tape["path"].toString().endsWith("damaged.tap")) damaged = tape["programs"].toArray();
  }
  // A name as JSON writes it.
  const auto good = [&](const std::string& name, const std::string& facts, int programs) {
    return R"([")" + c.root.File(name) + R"(",null,)" + facts + "]" + std::to_string(programs);
  };
  const auto refused = [&](const std::string& name, const std::string& why) {
    return R"([")" + c.root.File(name) + R"(",")" + why + R"(",null,null,null,null,null])" + "0";
  };
  EXPECT_EQ(tapes, (std::vector<std::string>{
                       good("Upper.TAP", R"("VIC-20",2,1,0,0)", 1),
                       good("damaged.tap", R"("Commodore 64",0,2,1,1)", 2),
                       refused("gone.tap", "Error while loading file " + c.root.File("gone.tap") +
                                               " : No such file or directory"),
                       good("good.tap", R"("Commodore 64",1,2,0,0)", 2),
                       good(R"(nested/deeper/say \"hi\", you.tap)", R"("C16 and Plus/4",1,1,0,0)", 1),
                       refused("refused.tap", c.root.File("refused.tap") + " Is not a valid TAP file")}));
  const QStringList programFields = {"row", "program", "check1", "check2", "dataDamaged"};
  EXPECT_EQ(Fields(damaged[0].toObject(), programFields) + Fields(damaged[1].toObject(), programFields),
            R"([1,"LOST","OK","OK",true][2,"WORN","OK","ERROR",false])");
}

TEST(ScanCli, CsvHasOneRowPerProgramAndTheTableNamesDamagedProgramsAndRefusals) {
  const Collection& c = TheCollection();
  CliRun run = ExpectRun({"scan", "--csv", Q(c.root.path())}, 1);
  const auto rows = Lines(run.out);
  ASSERT_EQ(rows.size(), 9u) << run.out;  // header, 6 programs, 2 refused
  EXPECT_EQ(rows[0], "path,machine,version,video,size,totalDuration,programCount,headerErrors,dataDamaged,row,"
                     "program,rawName,start,end,duration,check1,check2,data,refused\r");
  // Nineteen columns to a row (the quoted path holds one comma more), each row ended by CR LF.
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), ','), 9 * 18 + 1);
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\r'), 9);
  // A program's row with its tape's cells, the quoted path; a refusal.
  EXPECT_TRUE(rows[7].starts_with("\"" + c.root.path() + "/nested/deeper/say \"\"hi\"\", you.tap\",")) << rows[7];
  EXPECT_NE(rows[7].find(",1,0,0,1,PLUS,PLUS,"), std::string::npos) << rows[7];
  EXPECT_EQ(rows[8], c.root.File("refused.tap") + std::string(17, ',') + "," + c.root.File("refused.tap") +
                         " Is not a valid TAP file\r");

  // The table: a row per tape, a line per damaged program and per refusal.
  run = ExpectRun({"scan", Q(c.root.path())}, 1);
  EXPECT_EQ(run.err, "");
  const auto lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 10u) << run.out;
  EXPECT_TRUE(lines[0].ends_with("Header errors  Damaged data  Path"));
  EXPECT_TRUE(lines[2].ends_with("  2              1             1  " + c.root.File("damaged.tap"))) << lines[2];
  EXPECT_EQ(lines[3], "    program 1 \"LOST\": header OK, repeat OK, data ERROR");
  EXPECT_EQ(lines[4], "    program 2 \"WORN\": header OK, repeat ERROR, data OK");
  EXPECT_EQ(lines[5], "Refused: Error while loading file " + c.root.File("gone.tap") + " : No such file or directory");
  EXPECT_TRUE(lines[9].starts_with("6 tapes scanned, 2 refused,")) << lines[9];  // the counts as --json gives them
}

TEST(ScanCli, ExitStatusesAndSummary) {
  const Collection& c = TheCollection();

  // Good tapes alone (a file and a folder whose link back to the collection is
  // not followed) are clean; a folder without tapes too.
  CliRun run =
      ExpectRun({"scan", "--summary-only", "--json", Q(c.root.File("good.tap")), Q(c.root.File("nested"))}, 0);
  EXPECT_EQ(Fields(Json(run.out), {"tapes", "refused", "programs", "damagedPrograms"}), "[2,0,3,0]");
  EXPECT_TRUE(Json(run.out)["seconds"].isDouble());
  test::ScratchFolder empty;
  run = ExpectRun({"scan", Q(empty.path())}, 0);
  EXPECT_EQ(Lines(run.out).size(), 2u);  // the columns' names and the totals
  EXPECT_TRUE(Lines(run.out).back().starts_with("0 tapes scanned, 0 refused,")) << run.out;
  ExpectRun({"scan", "--summary-only", Q(c.root.File("damaged.tap"))}, 1);
  ExpectRun({"scan", "--summary-only", Q(c.root.File("refused.tap"))}, 1);

  for (const QStringList& wrong : {QStringList{"scan"}, QStringList{"scan", "--json", "--csv", "x"},
                                   QStringList{"scan", "--jobs", "0", "x"}, QStringList{"scan", "--jobs", "two", "x"},
                                   QStringList{"scan", "--tree", "x"}}) {
    EXPECT_EQ(ExpectRun(wrong, 2).out, "");
  }
}

}  // namespace
}  // namespace rw
