// reelwright-cli info and list, run as a user would.

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <random>

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
    test::ComposedProgram program;
    program.name = "First";
    program.leaderPulses = 1500;
    program.data = test::ProgramData(100, 1);
    composer.AddProgram(program);
    program.name = "Caf\xE9 \xA3";
    program.wrongChecksum = true;
    program.silenceBefore = 40000;
    composer.AddProgram(program);
    image = composer.Image();
    path = folder.Write("two programs.tap", composer.FileBytes());
  }
};

TEST(InfoListCli, InfoPrintsTheCurrentFileFacts) {
  TwoPrograms tape;
  const CliRun run = RunCli({"info", Q(tape.path)});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const auto facts = DescribeImage(tape.image, SelectClock(1, 1), ".");
  EXPECT_EQ(run.out, "File Path: " + tape.path + "\nMachine: VIC-20\nTAP version: TAP V1\nVideo Standard: NTSC\n" +
                         "File Size: " + facts.size + "\nTotal Duration: " + facts.totalDuration + "\nItems: 2\n");
  EXPECT_EQ(run.err, "");
}

TEST(InfoListCli, ListPrintsOneRowPerProgram) {
  TwoPrograms tape;
  const CliRun run = RunCli({"list", Q(tape.path)});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const auto& layouts = tape.composer.layouts();
  const float usPerCycle = SelectClock(1, 1);
  const auto duration = [&](int64_t first, int64_t last) {
    return DurationText(PulseDuration(tape.image, first, last, usPerCycle), ".");
  };
  const int64_t secondStart = layouts[1].start;
  const int64_t last = tape.image.FileLength() - 1;
  EXPECT_EQ(run.out, "1\tFIRST\t000014\t" + OffsetText(secondStart - 1) + "\t" + duration(20, secondStart - 1) +
                         "\tOK\tOK\n" + "2\tCAF \xC2\xA3\t" + OffsetText(secondStart) + "\t" + OffsetText(last) +
                         "\t" + duration(secondStart, last) + "\tERROR\tOK\n");
  EXPECT_EQ(run.err, "");
}

TEST(InfoListCli, JsonHoldsFactsAndProgramsWithTheirTypes) {
  TwoPrograms tape;
  const CliRun run = RunCli({"list", "--json", Q(tape.path)});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  QJsonParseError error;
  const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(run.out), &error);
  ASSERT_EQ(error.error, QJsonParseError::NoError) << run.out;
  const QJsonObject image = document.object();
  EXPECT_EQ(image["path"].toString(), Q(tape.path));
  EXPECT_EQ(image["machine"].toString(), "VIC-20");
  ASSERT_TRUE(image["version"].isDouble());
  EXPECT_EQ(image["version"].toInt(), 1);
  EXPECT_EQ(image["video"].toString(), "NTSC");
  EXPECT_TRUE(image["size"].toString().endsWith(" KB"));
  EXPECT_TRUE(image["totalDuration"].toString().startsWith("0m:"));
  const QJsonArray programs = image["programs"].toArray();
  ASSERT_EQ(programs.size(), 2);
  const auto& layouts = tape.composer.layouts();
  const char* const rawNames[] = {"First", "Caf\xC3\xA9 \xC2\xA3"};
  const char* const names[] = {"FIRST", "CAF \xC2\xA3"};
  for (qsizetype i = 0; i < 2; ++i) {
    const QJsonObject program = programs[i].toObject();
    ASSERT_TRUE(program["row"].isDouble());
    EXPECT_EQ(program["row"].toInt(), i + 1);
    EXPECT_EQ(program["program"].toString(), QString::fromUtf8(names[i]));
    EXPECT_EQ(program["rawName"].toString(), QString::fromUtf8(rawNames[i]));
    EXPECT_EQ(program["start"].toString(), Q(OffsetText(layouts[static_cast<size_t>(i)].start)));
    EXPECT_EQ(program["headerPos"].toInteger(), layouts[static_cast<size_t>(i)].headerPos);
    EXPECT_EQ(program["repeatPos"].toInteger(), layouts[static_cast<size_t>(i)].repeatPos);
    EXPECT_EQ(program["check1"].toString(), i == 0 ? "OK" : "ERROR");
    EXPECT_EQ(program["check2"].toString(), "OK");
    EXPECT_TRUE(program["end"].isString());
    EXPECT_TRUE(program["duration"].toString().endsWith("s"));
  }
}

TEST(InfoListCli, RefusedFilesAndUsageErrors) {
  test::ScratchFolder folder;
  std::vector<uint8_t> notTap(40, 0);
  const std::string notTapPath = folder.Write("bad.tap", notTap);
  auto version3 = test::TapeComposer(0, 1).FileBytes();
  version3[12] = 3;
  const std::string version3Path = folder.Write("v3.tap", version3);
  const std::string missing = folder.File("missing.tap");
  const struct {
    QStringList arguments;
    int exitCode;
    std::string err;  // exact, or empty to skip the check
  } cases[] = {
      {{"info", Q(notTapPath)}, 1, notTapPath + " Is not a valid TAP file\n"},
      {{"list", Q(notTapPath)}, 1, notTapPath + " Is not a valid TAP file\n"},
      {{"list", "--json", Q(version3Path)}, 1, version3Path + " Is in a TAP format (V3) that is not supported\n"},
      {{"info", Q(missing)}, 1, "Error while loading file " + missing + " : No such file or directory\n"},
      {{"info"}, 2, ""},
      {{"list", Q(notTapPath), Q(notTapPath)}, 2, ""},
      {{"list", "--csv", Q(notTapPath)}, 2, ""},
  };
  for (const auto& c : cases) {
    const CliRun run = RunCli(c.arguments);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments.join(' ').toStdString();
    if (!c.err.empty()) {
      EXPECT_EQ(run.err, c.err);
    }
    EXPECT_EQ(run.out, "");
  }
  for (const char* command : {"info", "list"}) {
    const CliRun help = RunCli({command, "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("FILE"), std::string::npos);
    const CliRun version = RunCli({command, "--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, std::string("reelwright-cli ") + REELWRIGHT_VERSION + "\n");
  }
}

TEST(InfoListCli, TapeWithoutProgramsWarnsAndSucceeds) {
  test::ScratchFolder folder;
  test::TapeComposer composer(0, 1);
  composer.AddPulses(48, 900);
  const std::string path = folder.Write("empty.tap", composer.FileBytes());
  const std::string warning = std::string(kNoSectionsMessage) + "\n";

  const CliRun list = RunCli({"list", Q(path)});
  EXPECT_EQ(list.exitCode, 0);
  EXPECT_EQ(list.out, "");
  EXPECT_EQ(list.err, warning);

  const CliRun json = RunCli({"list", "--json", Q(path)});
  EXPECT_EQ(json.exitCode, 0);
  EXPECT_EQ(json.err, warning);
  EXPECT_TRUE(QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).object()["programs"].toArray().isEmpty());

  const CliRun info = RunCli({"info", Q(path)});
  EXPECT_EQ(info.exitCode, 0);
  EXPECT_NE(info.out.find("\nItems: 0\n"), std::string::npos);
}

TEST(InfoListCli, TruncatedAndRandomFilesAreListed) {
  TwoPrograms tape;
  auto bytes = tape.composer.FileBytes();
  std::vector<std::string> paths;
  for (const size_t cut : {size_t{21}, static_cast<size_t>(tape.composer.layouts()[0].headerPos + 700),
                           static_cast<size_t>(tape.composer.layouts()[1].repeatPos + 5)}) {
    paths.push_back(tape.folder.Write("cut" + std::to_string(cut) + ".tap",
                                      std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(cut))));
  }
  std::mt19937 random(8);
  for (auto it = bytes.begin() + 20; it != bytes.end(); ++it) *it = static_cast<uint8_t>(random());
  paths.push_back(tape.folder.Write("random.tap", bytes));
  for (const auto& path : paths) {
    for (const char* command : {"info", "list"}) {
      EXPECT_EQ(RunCli({command, Q(path)}).exitCode, 0) << path;
    }
  }
}

}  // namespace
}  // namespace rw
