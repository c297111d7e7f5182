// SPDX-License-Identifier: GPL-2.0-or-later
// Turbo files on the command line: listed in JSON and under their program,
// extracted (damaged ones only when asked), and counted by the scan.

#include <QFileInfo>

#include "cli_runner.h"
#include "support/scratch_folder.h"
#include "support/tape_composer.h"
#include "support/turbo_tapes.h"

namespace rw {
namespace {

// A boot program, a good Freeload file and one with a corrupt byte, then a
// second program carrying a US Gold file and a Burner file, read as the
// second program's header sets up the Burner loader.
std::string TurboTape(const test::ScratchFolder& folder) {
  test::TapeComposer composer(0, 1);
  composer.AddProgram({.name = "BOOT", .data = test::ProgramData(64, 1)});
  composer.AddSilence(50000);
  composer.AddTurboFile({.family = "Freeload", .loadAddress = 0x0800, .data = test::ProgramData(300, 2)});
  composer.AddSilence(50000);
  composer.AddTurboFile(
      {.family = "Freeload", .loadAddress = 0x4000, .data = test::ProgramData(300, 3), .corruptByte = 5});
  composer.AddSilence(50000);
  const BurnerSettings burner{false, 0x95, 0x6A};
  composer.AddProgram(
      {.name = "LEVEL", .data = test::ProgramData(64, 4), .headerTail = test::BurnerHeaderTail(burner)});
  composer.AddSilence(50000);
  composer.AddTurboFile(
      {.family = "US Gold", .loadAddress = 0xC000, .data = test::ProgramData(100, 5), .name = "LEVEL TWO"});
  composer.AddSilence(50000);
  composer.AddTurboFile(
      {.family = "Burner", .loadAddress = 0x6000, .data = test::ProgramData(200, 6), .burner = burner});
  composer.AddSilence(50000);
  // Pulses of no format: mostly $50, some $30.
  for (int i = 0; i < 100; ++i) {
    composer.AddPulses(0x50, 3);
    composer.AddPulses(0x30, 1);
  }
  return folder.Write("Turbo.tap", composer.FileBytes());
}

TEST(TurboCli, ListShowsTurboFilesUnderTheirProgramsAndInJson) {
  test::ScratchFolder folder;
  const std::string tape = TurboTape(folder);
  const auto plain = Lines(ExpectRun({"list", Q(tape)}, 0).out);
  ASSERT_EQ(plain.size(), 2u);  // the programs alone, as before
  const auto lines = Lines(ExpectRun({"list", "--turbo", Q(tape)}, 0).out);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], plain[0]);
  EXPECT_EQ(lines[1].substr(0, 22), "\t  Freeload 0800-092C\t");
  EXPECT_NE(lines[2].find("\t  Freeload 4000-412C\t"), std::string::npos);
  EXPECT_NE(lines[2].find("\tERROR\t"), std::string::npos);
  EXPECT_EQ(lines[3], plain[1]);
  EXPECT_NE(lines[4].find("\t  US Gold \"LEVEL TWO\"\t"), std::string::npos);
  EXPECT_NE(lines[5].find("\t  Burner 6000-60C8\t"), std::string::npos);

  const QJsonObject json = Json(ExpectRun({"list", "--json", Q(tape)}, 0).out);
  const QJsonArray files = json["turboFiles"].toArray();
  ASSERT_EQ(files.size(), 4);
  const QStringList fields{"loader", "loadAddress", "endAddress", "name", "checksum", "errors", "program"};
  EXPECT_EQ(Fields(files[0].toObject(), fields), R"(["Freeload","0800","092C",null,"OK",0,1])");
  EXPECT_EQ(Fields(files[1].toObject(), fields), R"(["Freeload","4000","412C",null,"ERROR",0,1])");
  EXPECT_EQ(Fields(files[2].toObject(), fields), R"(["US Gold","C000","C064","LEVEL TWO","OK",0,2])");
  EXPECT_EQ(Fields(files[3].toObject(), fields), R"(["Burner","6000","60C8",null,"none",0,2])");
  EXPECT_EQ(files[0].toObject()["start"].toString().size(), 6);
  const QJsonObject coverage = json["coverage"].toObject();
  const double total = coverage["romPercent"].toDouble() + coverage["turboPercent"].toDouble() +
                       coverage["pausePercent"].toDouble() + coverage["unrecognisedPercent"].toDouble();
  EXPECT_DOUBLE_EQ(total, 100.0);
  EXPECT_GT(coverage["turboPercent"].toDouble(), 5.0);
  // What no reader accounts for: the noise at the end, with its pulses.
  const QJsonArray unrecognised = json["unrecognised"].toArray();
  ASSERT_FALSE(unrecognised.isEmpty());
  const QJsonObject noise = unrecognised.last().toObject();
  EXPECT_EQ(noise["end"].toString().toInt(nullptr, 16), QFileInfo(QString::fromStdString(tape)).size());
  EXPECT_EQ(Fields(noise, {"commonPulses"}), R"([[{"count":300,"value":80},{"count":100,"value":48}]])");
  EXPECT_FALSE(noise["duration"].toString().isEmpty());
}

TEST(TurboCli, ExtractWritesGoodTurboFilesOfTheSelectedRowsAndDamagedOnesOnRequest) {
  test::ScratchFolder folder;
  const std::string tape = TurboTape(folder);
  test::ScratchFolder outFolder;
  const std::string& out = outFolder.path();
  // Row 2's stretch: its program, its US Gold and Burner files.
  ExpectRun({"extract", "--select", "2", Q(tape), Q(out)}, 0);
  const auto gold = test::ReadFileBytes(out + "/T003_US_Gold_C000-C064.prg");
  auto expected = test::ProgramData(100, 5);
  expected.insert(expected.begin(), {0x00, 0xC0});
  EXPECT_EQ(gold, expected);
  expected = test::ProgramData(200, 6);
  expected.insert(expected.begin(), {0x00, 0x60});
  EXPECT_EQ(test::ReadFileBytes(out + "/T004_Burner_6000-60C8.prg"), expected);
  // Row 1: the bad file is named and not written; asked for, it is, and
  // nothing is written over.
  ExpectRun({"extract", "--select", "1", Q(tape), Q(out)}, 1,
            "Turbo file 2 \"Freeload 4000-412C\" is damaged (checksum ERROR); not written");
  ExpectRun({"extract", "--select", "1", "--keep-damaged", Q(tape), Q(out)}, 1);
  EXPECT_EQ(outFolder.Names(),
            (std::vector<std::string>{"BOOT(1).prg", "BOOT.prg", "LEVEL.prg", "T001_Freeload_0800-092C(1).prg",
                                      "T001_Freeload_0800-092C.prg", "T002_Freeload_4000-412C.damaged.prg",
                                      "T003_US_Gold_C000-C064.prg", "T004_Burner_6000-60C8.prg"}));
}

// A tape of turbo files without its boot program: listed, extracted and
// scanned all the same.
TEST(TurboCli, ATapeWithoutROMProgramsStillGivesItsTurboFiles) {
  const std::string turbo = test::TurboTapesFolder();
  if (turbo.empty()) GTEST_SKIP() << "the real turbo tapes are not beside the project (../shared/testdata/turbo)";
  const std::string tape = turbo + "/openroms_turbotape250.tap";
  const auto lines = Lines(ExpectRun({"list", "--turbo", Q(tape)}, 0).out);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("Turbotape 250 \"ROMEO & JULIET\""), std::string::npos);
  test::ScratchFolder folder;
  ExpectRun({"extract", Q(tape), Q(folder.path())}, 0);
  const auto peer = test::ReadPeerListing(turbo + "/expected/openroms_turbotape250.tap.tsv");
  EXPECT_EQ(test::Sha256Hexes({test::ReadFileBytes(folder.File("T001_Turbotape_250_0801-0ABF.prg"))}),
            std::vector{peer[1].sha256});
  const auto scan = ExpectRun({"scan", Q(tape)}, 0).out;
  EXPECT_NE(scan.find("turbo files: 1, bad checksums: 0; coverage: ROM 0.00%, turbo 99.97%"), std::string::npos)
      << scan;
}

}  // namespace
}  // namespace rw
