// reelwright-cli scan over a small collection: good, damaged, refused and
// unreadable tapes, a file that is no tape, a nested folder, a link loop and
// links out of the collection.

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>

#include "cli/cli_runner.h"
#include "support/scratch_folder.h"
#include "support/tape_composer.h"

namespace rw {
namespace {

namespace fs = std::filesystem;
using test::CliRun;
using test::Q;
using test::RunCli;

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

// The collection, and what a scan should find in it, in path order.
struct Collection {
  test::ScratchFolder root;
  test::ScratchFolder outside;
  const std::string quoted = "nested/deeper/say \"hi\", you.tap";
  std::vector<std::string> paths;  // expected order

  Collection() {
    fs::create_directories(root.File("nested/deeper"));
    root.Write("good.tap", Tape(0, 1, {{.name = "ONE"}, {.name = "TWO"}}));
    root.Write("Upper.TAP", Tape(1, 2, {{.name = "VIC"}}));
    // The first program's data is unreadable at the same byte in both copies.
    root.Write("damaged.tap", Tape(0, 0, {{.name = "LOST", .dataParityErrors = {12}, .dataRepeatParityErrors = {12}},
                                          {.name = "WORN", .wrongRepeatChecksum = true}}));
    root.Write("refused.tap", std::vector<uint8_t>(40, 0));
    root.Write("notes.txt", std::string("not a tape"));
    root.Write(quoted, Tape(2, 1, {{.name = "PLUS"}}));
    fs::create_directory_symlink("..", root.File("nested/loop"));
    fs::create_symlink("missing.tap", root.File("gone.tap"));
    outside.Write("stranger.tap", Tape(0, 1, {{.name = "STRANGER"}}));
    fs::create_symlink(outside.File("stranger.tap"), root.File("stranger.tap"));
    fs::create_directory_symlink(outside.path(), root.File("elsewhere"));
    // A folder beside the collection whose name merely begins with the collection's is outside too.
    fs::create_directory(root.path() + "-beside");
    root.Write("../" + fs::path(root.path()).filename().string() + "-beside/near.tap", Tape(0, 1, {{.name = "NEAR"}}));
    fs::create_symlink(root.path() + "-beside/near.tap", root.File("near.tap"));
    for (const char* name : {"Upper.TAP", "damaged.tap", "gone.tap", "good.tap"}) paths.push_back(root.File(name));
    paths.push_back(root.File(quoted));
    paths.push_back(root.File("refused.tap"));
  }
  ~Collection() { fs::remove_all(root.path() + "-beside"); }
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// One collection for all the tests: none of them writes into it.
const Collection& TheCollection() {
  static const Collection collection;
  return collection;
}

TEST(ScanCli, JsonLinesNameEveryTapeAndDamagedProgramInPathOrderForAnyNumberOfJobs) {
  const Collection& c = TheCollection();
  const CliRun run = RunCli({"scan", "--json", "--jobs", "3", Q(c.root.path())});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(run.err.starts_with("6 tapes scanned, 2 refused, 0 without programs, 6 programs, 2 damaged on 1 tapes, "))
      << run.err;
  EXPECT_EQ(run.out, RunCli({"scan", "--json", "--jobs", "1", Q(c.root.path())}).out);
  const auto lines = Lines(run.out);
  ASSERT_EQ(lines.size(), c.paths.size()) << run.out;
  std::map<std::string, QJsonObject> tapes;
  for (size_t i = 0; i < lines.size(); ++i) {
    const QJsonObject tape = QJsonDocument::fromJson(QByteArray::fromStdString(lines[i])).object();
    EXPECT_EQ(tape["path"].toString(), Q(c.paths[i]));
    tapes[fs::path(c.paths[i]).filename().string()] = tape;
  }
  EXPECT_EQ(tapes["refused.tap"]["refused"].toString(), Q(c.root.File("refused.tap") + " Is not a valid TAP file"));
  EXPECT_EQ(tapes["gone.tap"]["refused"].toString(),
            Q("Error while loading file " + c.root.File("gone.tap") + " : No such file or directory"));
  const struct {
    const char* file;
    const char* machine;
    int version;
    int programs;
    int headerErrors;
    int dataDamaged;
  } good[] = {{"good.tap", "Commodore 64", 1, 2, 0, 0},
              {"Upper.TAP", "VIC-20", 2, 1, 0, 0},
              {"damaged.tap", "Commodore 64", 0, 2, 1, 1},
              {"say \"hi\", you.tap", "C16 and Plus/4", 1, 1, 0, 0}};
  for (const auto& g : good) {
    const QJsonObject& tape = tapes[g.file];
    EXPECT_TRUE(tape["refused"].isNull()) << g.file;
    EXPECT_EQ(tape["machine"].toString(), g.machine) << g.file;
    EXPECT_EQ(tape["version"].toInt(), g.version) << g.file;
    EXPECT_EQ(tape["programCount"].toInt(), g.programs) << g.file;
    EXPECT_EQ(tape["programs"].toArray().size(), g.programs) << g.file;
    EXPECT_EQ(tape["headerErrors"].toInt(), g.headerErrors) << g.file;
    EXPECT_EQ(tape["dataDamaged"].toInt(-1), g.dataDamaged) << g.file;
  }
  const QJsonObject worn = tapes["damaged.tap"]["programs"].toArray()[1].toObject();
  EXPECT_EQ(QStringList({worn["program"].toString(), worn["check1"].toString(), worn["check2"].toString()}),
            QStringList({"WORN", "OK", "ERROR"}));
  EXPECT_EQ(worn["row"].toInt(), 2);
  EXPECT_FALSE(worn["dataDamaged"].toBool(true));
  EXPECT_TRUE(tapes["damaged.tap"]["programs"].toArray()[0].toObject()["dataDamaged"].toBool());
}

TEST(ScanCli, CsvHasOneRowPerProgramAndTheTableNamesDamagedProgramsAndRefusals) {
  const Collection& c = TheCollection();
  CliRun run = RunCli({"scan", "--csv", Q(c.root.path())});
  EXPECT_EQ(run.exitCode, 1);
  const auto rows = Lines(run.out);
  ASSERT_EQ(rows.size(), 9u) << run.out;  // header, 6 programs, 2 refused
  EXPECT_EQ(rows[0], "path,machine,version,video,size,totalDuration,programCount,headerErrors,dataDamaged,row,"
                     "program,rawName,start,end,duration,check1,check2,data,refused\r");
  for (const std::string& row : rows) {
    EXPECT_TRUE(row.ends_with('\r')) << row;
    if (row.find('"') == std::string::npos) { EXPECT_EQ(std::count(row.begin(), row.end(), ','), 18) << row; }
  }
  // damaged.tap's second program, the tape's cells repeated; the quoted name; a refusal.
  EXPECT_TRUE(rows[3].starts_with(c.root.File("damaged.tap") + ",Commodore 64,0,PAL,")) << rows[3];
  EXPECT_NE(rows[3].find(",2,1,1,2,WORN,WORN,"), std::string::npos) << rows[3];
  EXPECT_NE(rows[3].find(",OK,ERROR,"), std::string::npos) << rows[3];
  EXPECT_TRUE(rows[7].starts_with("\"" + c.root.path() + "/nested/deeper/say \"\"hi\"\", you.tap\",")) << rows[7];
  EXPECT_NE(rows[7].find(",PLUS,PLUS,"), std::string::npos) << rows[7];
  EXPECT_EQ(rows[8], c.root.File("refused.tap") + std::string(17, ',') + "," + c.root.File("refused.tap") +
                         " Is not a valid TAP file\r");

  // The table: a row per tape, a line per damaged program and per refusal.
  run = RunCli({"scan", Q(c.root.path())});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "");
  const auto lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 10u) << run.out;
  EXPECT_EQ(lines[0].substr(0, 16), "Machine         ");
  EXPECT_TRUE(lines[0].ends_with("Header errors  Damaged data  Path"));
  EXPECT_TRUE(lines[2].ends_with("  2              1             1  " + c.root.File("damaged.tap"))) << lines[2];
  EXPECT_EQ(lines[3], "    program 1 \"LOST\": header OK, repeat OK, data ERROR");
  EXPECT_EQ(lines[4], "    program 2 \"WORN\": header OK, repeat ERROR, data OK");
  EXPECT_EQ(lines[5], "Refused: Error while loading file " + c.root.File("gone.tap") + " : No such file or directory");
  EXPECT_TRUE(lines[9].starts_with("6 tapes scanned, 2 refused, 0 without programs, 6 programs, 2 damaged on 1 "
                                   "tapes, ")) << lines[9];
}

TEST(ScanCli, ExitStatusesAndSummary) {
  const Collection& c = TheCollection();

  // Good tapes alone (a file and a folder whose link back to the collection is
  // not followed) are clean; a folder without tapes too.
  CliRun run = RunCli({"scan", "--summary-only", "--json", Q(c.root.File("good.tap")), Q(c.root.File("nested"))});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  const QJsonObject totals = QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).object();
  EXPECT_EQ(QList<int>({totals["tapes"].toInt(), totals["refused"].toInt(), totals["programs"].toInt(),
                        totals["damagedPrograms"].toInt()}),
            QList<int>({2, 0, 3, 0}));
  EXPECT_TRUE(totals["seconds"].isDouble());
  test::ScratchFolder empty;
  run = RunCli({"scan", Q(empty.path())});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(Lines(run.out).size(), 2u);  // the columns' names and the totals
  EXPECT_TRUE(Lines(run.out).back().starts_with("0 tapes scanned, 0 refused,")) << run.out;
  EXPECT_EQ(RunCli({"scan", "--summary-only", Q(c.root.File("damaged.tap"))}).exitCode, 1);
  EXPECT_EQ(RunCli({"scan", "--summary-only", Q(c.root.File("refused.tap"))}).exitCode, 1);

  for (const QStringList& wrong : {QStringList{"scan"}, QStringList{"scan", "--json", "--csv", "x"},
                                   QStringList{"scan", "--jobs", "0", "x"}, QStringList{"scan", "--jobs", "two", "x"},
                                   QStringList{"scan", "--tree", "x"}}) {
    run = RunCli(wrong);
    EXPECT_EQ(run.exitCode, 2) << wrong.join(' ').toStdString();
    EXPECT_EQ(run.out, "");
  }
}

}  // namespace
}  // namespace rw
