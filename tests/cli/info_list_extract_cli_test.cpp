// reelwright-cli info, list, extract and todisk, run as a user would.

#include <filesystem>

#include "cli_runner.h"
#include "core/pulse_timing.h"
#include "launcher/program_disk.h"
#include "split/section_parse.h"
#include "support/scratch_folder.h"
#include "support/tape_composer.h"
#include "support/vice_tools.h"

namespace rw {
namespace {

namespace fs = std::filesystem;

TEST(InfoListCli, InfoPrintsTheFileFactsAndListOneRowPerProgram) {
  // Two programs on a VIC-20 NTSC tape; the second has a bad first checksum.
  test::ScratchFolder folder;
  test::TapeComposer composer{1, 1, 1, 4};
  composer.SetJitter(1);
  composer.AddProgram({.name = "First", .data = test::ProgramData(100, 1), .leaderPulses = 1500});
  composer.AddProgram({.name = "Caf\xE9 \xA3", .data = test::ProgramData(100, 1), .leaderPulses = 1500,
                       .silenceBefore = 40000, .wrongChecksum = true});
  const TapImage image = composer.Image();
  const std::string path = folder.Write("two programs.tap", composer.FileBytes());
  const float usPerCycle = SelectClock(1, 1);
  const auto facts = DescribeImage(image, usPerCycle, ".");
  CliRun run = ExpectRun({"info", Q(path)}, 0);
  EXPECT_EQ(run.out, "File Path: " + path + "\nMachine: VIC-20\nTAP version: TAP V1\nVideo Standard: NTSC\n" +
                         "File Size: " + facts.size + "\nTotal Duration: " + facts.totalDuration + "\nItems: 2\n");
  EXPECT_EQ(run.err, "");

  run = ExpectRun({"list", Q(path)}, 0);
  const auto duration = [&](int64_t first, int64_t last) {
    return DurationText(PulseDuration(image, first, last, usPerCycle), ".");
  };
  const auto& second = composer.layouts()[1];
  const int64_t last = image.FileLength() - 1;
  EXPECT_EQ(run.out, "1\tFIRST\t000014\t" + OffsetText(second.start - 1) + "\t" + duration(20, second.start - 1) +
                         "\tOK\tOK\n" + "2\tCAF \xC2\xA3\t" + OffsetText(second.start) + "\t" + OffsetText(last) +
                         "\t" + duration(second.start, last) + "\tERROR\tOK\n");
  EXPECT_EQ(run.err, "");
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
      {{"list", Q(empty)}, 0, std::string(kNoSectionsMessage) + "\n"},
      {{"info"}, 2, ""},
      {{"list", Q(notTapPath), Q(notTapPath)}, 2, ""},
      {{"list", "--csv", Q(notTapPath)}, 2, ""},
      {{"help", "nothing"}, 2, ""},
  };
  for (const auto& c : cases) {
    const CliRun run = ExpectRun(c.arguments, c.exitCode);
    if (!c.err.empty()) { EXPECT_EQ(run.err, c.err); }
    EXPECT_EQ(run.out, "");
  }
  const CliRun json = ExpectRun({"list", "--json", Q(empty)}, 0);
  EXPECT_TRUE(Json(json.out)["programs"].toArray().isEmpty());
}

// A program's .prg file: the BASIC start address, low byte first, then its bytes.
std::vector<uint8_t> Prg(std::vector<uint8_t> bytes) {
  bytes.insert(bytes.begin(), {0x01, 0x08});
  return bytes;
}

TEST(ExtractCli, ListJsonReportsEachProgramsDataAndExtractWritesOnlyWholePrograms) {
  // Five programs: whole; first copy mended by the repeat; damaged in both
  // copies at the same byte; the first name again; a name of full stops.
  std::vector<test::ComposedProgram> composed = {
      {.name = "GOOD ONE"},
      {.name = "MENDED", .dataParityErrors = {12, 40}},
      {.name = "BROKEN", .dataParityErrors = {15}, .dataRepeatParityErrors = {15}},
      {.name = "GOOD ONE"},
      {.name = ".."},
  };
  test::TapeComposer composer(0, 1, 0, 8);
  composer.SetJitter(2);
  for (uint32_t seed = 1; auto& program : composed) {
    program.leaderPulses = 1500;
    program.data = test::ProgramData(100 + seed, seed);
    composer.AddProgram(program);
    ++seed;
  }
  test::ScratchFolder folder;
  const std::string tape = folder.Write("data.tap", composer.FileBytes());
  const std::string out = folder.File("out");
  fs::create_directory(out);
  const auto written = [&](const std::string& name) { return test::ReadFileBytes(out + "/" + name); };
  const auto prg = [&](size_t row) { return Prg(composed[row - 1].data); };
  const QJsonArray programs = Json(ExpectRun({"list", "--json", Q(tape)}, 0).out)["programs"].toArray();
  ASSERT_EQ(programs.size(), 5);
  const QJsonObject mended = programs[1].toObject();
  const auto copy = [&](const char* name) { return mended["data"].toObject()[name].toObject(); };
  EXPECT_EQ(Fields(mended, {"row", "program", "headerType", "startAddress", "endAddress"}),
            R"([2,"MENDED",1,"0801","0867"])");
  EXPECT_EQ(Fields(copy("first"), {"state", "errors"}) + Fields(copy("repeat"), {"state"}) +
                Fields(copy("combined"), {"state"}),
            R"(["damaged",2]["good"]["good"])");
  const QJsonObject broken = programs[2].toObject()["data"].toObject()["combined"].toObject();
  EXPECT_EQ(Fields(broken, {"state", "checksum", "errors"}), R"(["damaged","ERROR",1])");

  // extract writes whole programs under free names and reports the rest.
  ExpectRun({"extract", Q(tape), Q(out)}, 1, "Row 3 \"BROKEN\" could not be extracted whole; not written");
  EXPECT_EQ((std::vector{written("GOOD_ONE.prg"), written("MENDED.prg"), written("GOOD_ONE(1).prg"),
                         written("...prg")}),
            (std::vector{prg(1), prg(2), prg(4), prg(5)}));
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"data.tap", "out"}));  // nothing outside OUTDIR
  EXPECT_EQ(std::distance(fs::directory_iterator(out), {}), 4);

  // Again, only the damaged one, kept: a numbered name never replaces a file.
  const CliRun kept = ExpectRun({"extract", "--select", "3,1", "--keep-damaged", Q(tape), Q(out)}, 1);
  EXPECT_EQ(kept.out, out + "/BROKEN.damaged.prg\tData damaged: 1 byte unread, checksum ERROR (first copy 1 read "
                            "error, repeat 1 read error; 0801-0868)\n" +
                          out + "/GOOD_ONE(2).prg\tData good: 0801-0866, 101 bytes\n");
  EXPECT_EQ(written("GOOD_ONE.prg"), prg(1));
  ExpectRun({"extract", "--select", "2", Q(tape), Q(out)}, 0);

  // A disk is never made with a damaged program on it.
  const std::string disk = out + "/d.d64";
  ExpectRun({"todisk", "--select", "1,3", Q(tape), Q(disk)}, 1, "Row 3 \"BROKEN\": Data damaged",
            {{"PATH", Q(test::RealViceToolsFolder())}});
  EXPECT_FALSE(fs::exists(disk));

  // Into one pipe, as `2>&1` gives, each report stands where it happened.
  QProcess both;
  both.setProcessChannelMode(QProcess::MergedChannels);
  fs::create_directory(folder.File("both"));
  both.start(REELWRIGHT_CLI, {"extract", "--select", "2,3", Q(tape), Q(folder.File("both"))});
  ASSERT_TRUE(both.waitForFinished(60000));
  const std::string text = both.readAll().toStdString();
  EXPECT_LT(text.find("MENDED.prg"), text.find("Row 3")) << text;
}

TEST(ExtractCli, ToDiskKeepsTapeNamesByteForByteAndTheOldDiskOnFailure) {
  std::string whyNot;
  const std::string vice = test::RealViceToolsFolder(&whyNot);
  if (vice.empty()) GTEST_SKIP() << whyNot;
  const QList<QPair<QString, QString>> path = {{"PATH", Q(vice + ":/usr/bin:/bin")}};
  test::ScratchFolder folder;
  test::TapeComposer composer(0, 1, 0, 2);
  // A comma, a shifted letter and a colour code: none of them pass c1541's own name conversion.
  composer.AddProgram({.name = "A,B\xC1\x1C", .data = test::ProgramData(40, 1), .leaderPulses = 1500});
  composer.AddProgram({.name = " LEAD", .data = test::ProgramData(30, 2), .leaderPulses = 1500});
  composer.AddProgram({.name = "PLAIN", .data = test::ProgramData(300, 3), .leaderPulses = 1500});
  const std::string tape = folder.Write("names.tap", composer.FileBytes());
  const std::string disk = folder.File("My Names-9.d64");
  const CliRun made = ExpectRun({"todisk", Q(tape), Q(disk)}, 0, "", path);
  EXPECT_TRUE(made.out.starts_with("Disk " + disk + " successfully created with 3 ")) << made.out;
  // The disk is labelled after its file, and c1541 reads a program back whole
  // (it takes lower-case names for the PETSCII capitals on the disk).
  QProcess c1541;
  c1541.start(Q(vice + "/c1541"), {"-attach", Q(disk), "-list", "-read", "plain", Q(folder.File("plain.prg"))});
  ASSERT_TRUE(c1541.waitForFinished(30000));
  EXPECT_NE(c1541.readAll().toLower().indexOf("0 \"my names-9"), -1);
  EXPECT_EQ(test::ReadFileBytes(folder.File("plain.prg")), Prg(test::ProgramData(300, 3)));
  std::vector<std::string> names;
  ASSERT_TRUE(ReadD64Directory(test::ReadFileBytes(disk), names));
  EXPECT_EQ(names, (std::vector<std::string>{"A,B\xC1\x1C", " LEAD", "PLAIN"}));

  // An existing disk is kept without --force, and kept too when the new one
  // cannot be completed: seven programs of 30,000 bytes overfill a D64.
  ExpectRun({"todisk", Q(tape), Q(disk)}, 1, "Use --force", path);
  test::TapeComposer big(0, 1, 0, 3);
  for (uint32_t i = 1; i <= 7; ++i) {
    big.AddProgram({.name = "BIG", .data = test::ProgramData(30000, i), .leaderPulses = 1500});
  }
  const std::string bigTape = folder.Write("big.tap", big.TakeFileBytes());
  const auto before = test::ReadFileBytes(disk);
  // What c1541 said went wrong, not its line about detaching the image.
  ExpectRun({"todisk", "--force", Q(bigTape), Q(disk)}, 1, "Error while creating file " + disk + " : ERR = ", path);
  EXPECT_EQ(test::ReadFileBytes(disk), before);
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"My Names-9.d64", "big.tap", "names.tap", "plain.prg"}));
}

}  // namespace
}  // namespace rw
