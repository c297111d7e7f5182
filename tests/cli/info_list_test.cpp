// reelwright-cli info and list, run as a user would.

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "cli_runner.h"
#include "core/pulse_timing.h"
#include "split/section_parse.h"
#include "support/scratch_folder.h"
#include "support/tape_composer.h"

namespace rw {
namespace {

using test::CliRun;
using test::Q;
using test::RunCli;

// Two programs on a VIC-20 NTSC tape; the second has a bad first checksum.
struct TwoPrograms {
  test::ScratchFolder folder;
  test::TapeComposer composer{1, 1, 1, 4};
  std::string path;
  TapImage image;

  TwoPrograms() {
    composer.SetJitter(1);
    composer.AddProgram({.name = "First", .data = test::ProgramData(100, 1), .leaderPulses = 1500});
    composer.AddProgram({.name = "Caf\xE9 \xA3", .data = test::ProgramData(100, 1), .leaderPulses = 1500,
                         .silenceBefore = 40000, .wrongChecksum = true});
    image = composer.Image();
    path = folder.Write("two programs.tap", composer.FileBytes());
  }
};

TEST(InfoListCli, InfoPrintsTheFileFactsAndListOneRowPerProgramAlsoAsJson) {
  TwoPrograms tape;
  const float usPerCycle = SelectClock(1, 1);
  const auto facts = DescribeImage(tape.image, usPerCycle, ".");
  CliRun run = RunCli({"info", Q(tape.path)});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "File Path: " + tape.path + "\nMachine: VIC-20\nTAP version: TAP V1\nVideo Standard: NTSC\n" +
                         "File Size: " + facts.size + "\nTotal Duration: " + facts.totalDuration + "\nItems: 2\n");
  EXPECT_EQ(run.err, "");

  run = RunCli({"list", Q(tape.path)});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const auto duration = [&](int64_t first, int64_t last) {
    return DurationText(PulseDuration(tape.image, first, last, usPerCycle), ".");
  };
  const int64_t secondStart = tape.composer.layouts()[1].start;
  const int64_t last = tape.image.FileLength() - 1;
  EXPECT_EQ(run.out, "1\tFIRST\t000014\t" + OffsetText(secondStart - 1) + "\t" + duration(20, secondStart - 1) +
                         "\tOK\tOK\n" + "2\tCAF \xC2\xA3\t" + OffsetText(secondStart) + "\t" + OffsetText(last) +
                         "\t" + duration(secondStart, last) + "\tERROR\tOK\n");
  EXPECT_EQ(run.err, "");

  // --json: the same texts, and numbers for the offsets.
  run = RunCli({"list", "--json", Q(tape.path)});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const QJsonObject image = QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).object();
  EXPECT_EQ(QStringList({image["path"].toString(), image["machine"].toString(), image["video"].toString(),
                         image["size"].toString(), image["totalDuration"].toString()}),
            QStringList({Q(tape.path), "VIC-20", "NTSC", Q(facts.size), Q(facts.totalDuration)}));
  EXPECT_TRUE(image["version"].isDouble() && image["version"].toInt() == 1);
  const QJsonArray programs = image["programs"].toArray();
  ASSERT_EQ(programs.size(), 2);
  // The header name as written (Latin-1), beside the cell the window shows.
  const char* const rawNames[] = {"First", "Caf\xC3\xA9 \xC2\xA3"};
  for (qsizetype i = 0; i < 2; ++i) {
    const QJsonObject program = programs[i].toObject();
    const auto& layout = tape.composer.layouts()[static_cast<size_t>(i)];
    EXPECT_TRUE(program["row"].isDouble() && program["row"].toInt() == i + 1);
    EXPECT_EQ(program["rawName"].toString(), QString::fromUtf8(rawNames[i]));
    EXPECT_EQ(program["start"].toString(), Q(OffsetText(layout.start)));
    EXPECT_EQ(program["headerPos"].toInteger(), layout.headerPos);
    EXPECT_EQ(program["repeatPos"].toInteger(), layout.repeatPos);
    EXPECT_EQ(program["check1"].toString(), i == 0 ? "OK" : "ERROR");
  }
  EXPECT_EQ(programs[1].toObject()["program"].toString(), QString::fromUtf8("CAF \xC2\xA3"));
}

// Refused files, usage errors and a tape without programs print nothing on
// standard output.
TEST(InfoListCli, RefusedFilesUsageErrorsAndATapeWithoutPrograms) {
  test::ScratchFolder folder;
  const std::string notTapPath = folder.Write("bad.tap", std::vector<uint8_t>(40, 0));
  test::TapeComposer composer(0, 1);
  composer.AddPulses(48, 900);
  const std::string empty = folder.Write("empty.tap", composer.FileBytes());
  const struct {
    QStringList arguments;
    int exitCode;
    std::string err;  // exact, or empty to skip the check
  } cases[] = {
      {{"info", Q(notTapPath)}, 1, notTapPath + " Is not a valid TAP file\n"},
      {{"list", "--json", Q(notTapPath)}, 1, notTapPath + " Is not a valid TAP file\n"},
      {{"list", Q(empty)}, 0, std::string(kNoSectionsMessage) + "\n"},
      {{"info"}, 2, ""},
      {{"list", Q(notTapPath), Q(notTapPath)}, 2, ""},
      {{"list", "--csv", Q(notTapPath)}, 2, ""},
      {{"help", "nothing"}, 2, ""},
  };
  for (const auto& c : cases) {
    const CliRun run = RunCli(c.arguments);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments.join(' ').toStdString();
    if (!c.err.empty()) { EXPECT_EQ(run.err, c.err); }
    EXPECT_EQ(run.out, "");
  }
  const CliRun json = RunCli({"list", "--json", Q(empty)});
  EXPECT_EQ(json.exitCode, 0);
  EXPECT_TRUE(QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).object()["programs"].toArray().isEmpty());
}

}  // namespace
}  // namespace rw
