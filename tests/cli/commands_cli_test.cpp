// SPDX-License-Identifier: GPL-2.0-or-later
// reelwright-cli's commands run as a user would: info, list, extract, todisk,
// split, index, join and launcher on single tapes (the launcher with stand-ins
// for VICE's c1541 and petcat found on PATH), turbo files, and scan over a
// small collection and over names made awkward by control characters, bytes
// that are not UTF-8 (shown escaped, never raw) or a depth beyond the path
// limit (a folder not read). The rules behind the commands are the model's
// tests'; these check the options, the exit codes, the printed forms and the
// files written, and that the manual page describes exactly the options each
// command's --help lists, once for the options all commands share.
//
// What the commands write: a named pipe, a device or a folder at join's
// OUTFILE (or at the end of a link there) is refused, even with --force, and
// stays as it is; only --stream writes into a pipe or a device, as the image
// is made. The map and pulse pictures are SVG that parses with one rectangle
// per drawn band, or PNG. Paths are bytes: file and folder names that are not
// UTF-8 (Latin-1 names, common on old collections) reach the file system
// exactly as given, through split, extract, join and todisk; beside each lies
// the name a lossy conversion would make of it (\xE9 as U+FFFD), which must
// never be read, written or replaced.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include "core/pulse_timing.h"
#include "core/utilities.h"
#include "launcher/launcher_text.h"
#include "launcher/program_disk.h"
#include "split/section_parse.h"
#include "support/program_run.h"
#include "support/scratch_folder.h"
#include "support/stand_in_tools.h"
#include "support/tap_bytes.h"
#include "support/tape_composer.h"
#include "support/turbo_tapes.h"
#include "support/vice_tools.h"

namespace rw {
namespace {

// How a run ended: the exit status (128 + N after signal N, -1 when it hung) and what it printed.
using CliRun = test::ProgramOutcome;
using test::Holds;
using test::RunCliBytes;
// A command's arguments, or "NAME=VALUE" entries of its environment.
using Args = std::vector<std::string>;

Args operator+(Args first, const Args& more) {
  first.insert(first.end(), more.begin(), more.end());
  return first;
}

QString Q(const std::string& text) { return QString::fromStdString(text); }

// Runs the command and checks its exit code and that standard error holds
// `message`. `environment` ("NAME=VALUE") adds to or replaces variables of the
// test's own environment.
CliRun ExpectRun(const Args& arguments, int exitCode, const std::string& message = "", const Args& environment = {}) {
  const CliRun run = RunCliBytes(arguments, environment);
  EXPECT_EQ(run.exitCode, exitCode) << testing::PrintToString(arguments) << "\n" << run.err;
  EXPECT_TRUE(Holds(run.err, message));
  return run;
}

QJsonObject Json(const std::string& text) { return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object(); }

// What "list --json" printed, which is laid out byte for byte as Qt lays out
// the same document.
QJsonObject ListJson(const std::string& text) {
  const QJsonObject json = Json(text);
  EXPECT_EQ(QJsonDocument(json).toJson(QJsonDocument::Indented).toStdString(), text);
  return json;
}

// The named fields of a JSON object as one line of JSON, so that a number and
// a text of the same digits differ: ["VIC-20",1].
std::string Fields(const QJsonObject& object, const QStringList& names) {
  QJsonArray values;
  for (const QString& name : names) values.append(object[name]);
  return QJsonDocument(values).toJson(QJsonDocument::Compact).toStdString();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

// A program's .prg file: its load address (the start of BASIC unless given), low byte first, then its bytes.
std::vector<uint8_t> Prg(std::vector<uint8_t> bytes, uint16_t address = 0x0801) {
  bytes.insert(bytes.begin(), {static_cast<uint8_t>(address), static_cast<uint8_t>(address >> 8)});
  return bytes;
}

TEST(InfoListCli, InfoPrintsTheFileFactsAndListOneRowPerProgram) {
  // Two programs on a VIC-20 NTSC tape; the second has a bad first checksum.
  test::ScratchFolder folder;
  test::TapeComposer composer{1, 1, 1, 4};
  composer.SetJitter(1);
  composer.AddProgram({.name = "First", .data = test::ProgramData(100, 1), .leaderPulses = 1500});
  composer.AddProgram({.name = "Caf\xE9 \xA3",
                       .data = test::ProgramData(100, 1),
                       .leaderPulses = 1500,
                       .silenceBefore = 40000,
                       .wrongChecksum = true});
  const TapImage image = composer.Image();
  const std::string path = folder.Write("two programs.tap", composer.FileBytes());
  const float usPerCycle = SelectClock(1, 1);
  const auto facts = DescribeImage(image, usPerCycle, ".");
  const CliRun info = ExpectRun({"info", path}, 0);
  EXPECT_EQ(info.out, "File Path: " + path + "\nMachine: VIC-20\nTAP version: TAP V1\nVideo Standard: NTSC\n" +
                          "File Size: " + facts.size + "\nTotal Duration: " + facts.totalDuration + "\nItems: 2\n");
  const CliRun run = ExpectRun({"list", path}, 0);
  const auto duration = [&](int64_t first, int64_t last) {
    return DurationText(PulseDuration(image, first, last, usPerCycle), ".");
  };
  const auto& second = composer.layouts()[1];
  const int64_t last = image.FileLength() - 1;
  EXPECT_EQ(run.out, "1\tFIRST\t000014\t" + OffsetText(second.start - 1) + "\t" + duration(20, second.start - 1) +
                         "\tOK\tOK\n" + "2\tCAF \xC2\xA3\t" + OffsetText(second.start) + "\t" + OffsetText(last) +
                         "\t" + duration(second.start, last) + "\tERROR\tOK\n");
  EXPECT_EQ(info.err + run.err, "");
}

// Usage errors exit with 2, refused files with 1; neither prints on standard
// output, and nothing is written.
TEST(CommandsCli, UsageErrorsExitWithTwoRefusalsWithOneAndNothingIsWritten) {
  test::ScratchFolder folder;
  // A name byte beyond ASCII: Latin-1 in the JSON, written as Qt writes it.
  const std::string tape = folder.Write("Three.tap", test::TapeWith({"ALPHA", "BETA\x80", "GAMMA ONE"}));
  EXPECT_EQ(ListJson(ExpectRun({"list", "--json", tape}, 0).out)["programs"][1]["rawName"], "BETA\u0080");
  const std::string notTap = folder.Write("x.tap", std::vector<uint8_t>(40, 0));
  const std::string empty = folder.Write("empty.tap", test::TapBytes(0, 0, 1, 68, 900 / 8));  // 48 pulses, no program
  const std::string one = folder.Write("one.tap", test::TapBytes(0, 0, 1, 1000, 0x31));
  const std::string two = folder.Write("two.tap", test::TapBytes(0, 0, 1, 2000, 0x32));
  const std::string vic = folder.Write("vic.tap", test::TapBytes(1, 0, 1, 100, 0x30));
  const std::string existing = folder.Write("existing.tap", std::string("keep"));
  const std::string output = folder.File("joined.tap");
  const Args split = {"split", tape, folder.path(), "--select"};
  const Args launcher = {"launcher", tape, folder.path(), "--select", "1"};
  const std::tuple<Args, int, std::string> cases[] = {
      // arguments, exit code, message
      {{"info", notTap}, 1, notTap + " Is not a valid TAP file\n"},
      {{"list", empty}, 0, std::string(kNoSectionsMessage) + "\n"},
      {{"info"}, 2, ""},
      {{"list", "--csv", notTap}, 2, ""},
      {{"help", "nothing"}, 2, ""},
      {{"split", tape, folder.File("missing"), "--select", "1"}, 2, "is not an existing folder"},
      {{"split", tape, folder.path()}, 2, "--select"},
      {split + Args{"1,4"}, 2, "--select 1,4: no row 4"},
      {split + Args{"0"}, 2, "--select 0: no row 0"},
      {split + Args{","}, 2, "--select ,: no row is selected"},
      {split + Args{"1", "--name", "1=A\nB"}, 2, "--name for row 1"},
      {split + Args{"1", "--tape-name", "1=A\x01"}, 2, "--tape-name for row 1"},
      {split + Args{"1", "--help-all"}, 2, "help-all"},
      {split + Args{"1", "--name", "9=X"}, 2, "--name 9=X"},
      {split + Args{"1", "--name", "1=12345678901234567"}, 2, "16 characters"},
      {{"index", tape, folder.path(), "--select", "1", "--format", "other"}, 2, "--format"},
      {{"split", notTap, folder.path(), "--select", "1"}, 1, notTap + " Is not a valid TAP file"},
      {{"join", output, one, "--pause", "abc", two}, 2, "--pause abc: "},
      {{"join", output, one, "--pause"}, 2, "--pause needs a duration"},
      {{"join", output}, 2, "An output file and at least one item are needed"},
      {{"join", "--pause", "5s", output, one, two}, 2, "The output file comes before the first pause"},
      {{"join", output, one, vic}, 1, "File " + vic + " Cannot be added since it was created for a machine"},
      {{"join", existing, one, two}, 1, "File " + existing + " Already exists !"},
      {launcher + Args{"--device", "7"}, 2, "--device 7: expected a device number from 8 to 11.\n"},
      {launcher + Args{"--device", "12"}, 2, "--device 12: expected a device number from 8 to 11.\n"},
      {launcher + Args{"--device", "9x"}, 2, "--device 9x: expected a device number from 8 to 11.\n"},
      {launcher + Args{"--sd-dir", "/a\":rem"}, 2, "--sd-dir /a\":rem: refused, see above.\n"},
      {launcher + Args{"--target", "pet"}, 2, "--target pet"},
      {launcher + Args{"--name", "1"}, 2, "--name 1: expected ROW=TEXT with an existing row.\n"},
      {{"scan"}, 2, ""},
      {{"scan", "--json", "--csv", "x"}, 2, ""},
      {{"scan", "--jobs", "0", "x"}, 2, ""},
      {{"scan", "--jobs", "two", "x"}, 2, ""},
      {{"scan", "--tree", "x"}, 2, ""},
  };
  for (const auto& [arguments, exitCode, message] : cases) EXPECT_EQ(ExpectRun(arguments, exitCode, message).out, "");
  // A join of one row prints the row before it refuses.
  ExpectRun({"join", output, one}, 1, "at least two rows");
  EXPECT_TRUE(ListJson(ExpectRun({"list", "--json", empty}, 0).out)["programs"].toArray().isEmpty());
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"Three.tap", "empty.tap", "existing.tap", "one.tap", "two.tap",
                                                      "vic.tap", "x.tap"}));
  EXPECT_EQ(test::ReadFileText(existing), "keep");
}

const std::string kReplacement = "\xEF\xBF\xBD";  // what U+FFFD is in UTF-8
const std::string kLatin1Folder = std::string("bad\xFF") + "dir";

// A tape named "caf\xE9.tap" in a folder "bad\xFFdir", and the folder a
// lossy conversion would name ("bad" U+FFFD "dir") beside it.
struct Latin1Names {
  test::ScratchFolder root;
  std::string folder = root.File(kLatin1Folder);
  std::string sibling = root.File("bad" + kReplacement + "dir");
  std::string tape;
  Latin1Names() {
    fs::create_directory(folder);
    fs::create_directory(sibling);
    tape = root.Write(kLatin1Folder + "/caf\xE9.tap", test::PartsTape(2));
  }
};

TEST(ExtractCli, ListJsonReportsTheDataAndExtractWritesOnlyWholePrograms) {
  // Six programs: whole; first copy mended by the repeat; damaged in both
  // copies at the same byte; the first name again; a name of full stops; a
  // boot program whose block ends before its header's end address.
  std::vector<test::ComposedProgram> composed = {
      {.name = "GOOD ONE"},
      {.name = "MENDED", .dataParityErrors = {12, 40}},
      {.name = "BROKEN", .dataParityErrors = {15}, .dataRepeatParityErrors = {15}},
      {.name = "GOOD ONE"},
      {.name = ".."},
      {.name = "BOOT", .headerLength = 300},
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
  const QJsonArray programs = ListJson(ExpectRun({"list", "--json", tape}, 0).out)["programs"].toArray();
  const QJsonObject mended = programs.at(1).toObject();
  const auto copy = [&](const char* name) { return Fields(mended["data"][name].toObject(), {"state", "errors"}); };
  EXPECT_EQ(Fields(mended, {"row", "program", "headerType", "startAddress", "endAddress"}) + copy("first") +
                copy("repeat") + copy("combined"),
            R"([2,"MENDED",1,"0801","0867"]["damaged",2]["good",0]["good",0])");
  const QJsonObject boot = programs.at(5).toObject()["data"].toObject();
  EXPECT_EQ(Fields(boot["combined"].toObject(), {"state", "length", "headerLength"}) +
                boot["summary"].toString().toStdString(),
            R"(["short",106,300])"
            "Data good: 0801-092D, 106 of 300 bytes (ends before the header's end address)");

  // extract writes whole programs under free names and reports the rest.
  ExpectRun({"extract", tape, out}, 1, "Row 3 \"BROKEN\" could not be extracted whole; not written");
  EXPECT_EQ((std::vector{written("GOOD_ONE.prg"), written("MENDED.prg"), written("GOOD_ONE(1).prg"), written("...prg"),
                         written("BOOT.prg")}),
            (std::vector{prg(1), prg(2), prg(4), prg(5), prg(6)}));
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"data.tap", "out"}));  // nothing outside OUTDIR
  EXPECT_EQ(std::distance(fs::directory_iterator(out), {}), 5);

  // Again, only the damaged one, kept: a numbered name never replaces a file.
  const CliRun kept = ExpectRun({"extract", "--select", "3,1", "--keep-damaged", tape, out}, 1);
  EXPECT_EQ(kept.out, out +
                          "/BROKEN.damaged.prg\tData damaged: 1 byte unread, checksum ERROR (first copy 1 read "
                          "error, repeat 1 read error; 0801-0868)\n" +
                          out + "/GOOD_ONE(2).prg\tData good: 0801-0866, 101 bytes\n");
  ExpectRun({"extract", "--select", "2", tape, out}, 0);

  // A disk is never made with a damaged program on it.
  const std::string disk = out + "/d.d64";
  ExpectRun({"todisk", "--select", "1,3", tape, disk}, 1, "Row 3 \"BROKEN\": Data damaged",
            {"PATH=" + test::RealViceToolsFolder()});
  EXPECT_FALSE(fs::exists(disk));
  // c1541 stand-ins: one that fails printing the label it was given (a file
  // name that is all extension is kept whole, a long one cut to 16), one that
  // leaves no disk behind.
  const std::string c1541 = folder.File("c1541"), bare = out + "/.d64", long17 = out + "/Seventeen Letters.d64";
  const std::string fail = "echo \"$2\"; exit 1";
  const std::tuple<std::string, std::string, std::string> stands[] = {
      {fail, bare, ".d64,rw"},
      {fail, long17, "seventeen letter,rw"},
      {"rm -f \"$4\"", bare, "the disk made by c1541 cannot be read"}};
  for (const auto& [script, target, failure] : stands) {
    std::ofstream(c1541) << "#!/bin/sh\n" << script << "\n";
    fs::permissions(c1541, fs::perms::owner_all);
    ExpectRun({"todisk", "--select", "1", tape, target}, 1, "Error while creating file " + target + " : " + failure,
              {"PATH=" + folder.path() + ":/usr/bin:/bin"});
  }
  // Only an image of 683 blocks, with or without its error bytes, has a directory to read,
  // and only a chain that stays inside the directory's 19 sectors.
  std::vector<std::string> names;
  std::vector<uint8_t> broken(174848);
  broken[357 * 256 + 256] = 18, broken[357 * 256 + 257] = 19;  // sector 1 links to track 18 sector 19
  EXPECT_EQ((std::vector{ReadD64Directory(std::vector<uint8_t>(174848), names),
                         ReadD64Directory(std::vector<uint8_t>(174848 + 683), names),
                         ReadD64Directory(std::vector<uint8_t>(174848 - 1), names), ReadD64Directory(broken, names)}),
            (std::vector{true, true, false, false}));
}

TEST(ExtractCli, ToDiskKeepsTapeNamesByteForByteAndTheOldDiskOnFailure) {
  std::string whyNot;
  const std::string vice = test::RealViceToolsFolder(&whyNot);
  if (vice.empty()) GTEST_SKIP() << whyNot;
  const Args path = {"PATH=" + vice + ":/usr/bin:/bin"};
  test::ScratchFolder folder;
  test::TapeComposer composer(0, 1, 0, 2);
  // A comma, a shifted letter and a colour code: none of them pass c1541's own name conversion.
  composer.AddProgram({.name = "A,B\xC1\x1C", .data = test::ProgramData(40, 1), .leaderPulses = 1500});
  composer.AddProgram({.name = " LEAD", .data = test::ProgramData(30, 2), .leaderPulses = 1500});
  composer.AddProgram({.name = "PLAIN", .data = test::ProgramData(300, 3), .leaderPulses = 1500});
  const std::string tape = folder.Write("names.tap", composer.FileBytes());
  const std::string disk = folder.File("My Names-9.d64");
  const CliRun made = ExpectRun({"todisk", tape, disk}, 0, "", path);
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
  ExpectRun({"todisk", tape, disk}, 1, "Use --force", path);
  test::TapeComposer big(0, 1, 0, 3);
  for (uint32_t i = 1; i <= 7; ++i) {
    big.AddProgram({.name = "BIG", .data = test::ProgramData(30000, i), .leaderPulses = 1500});
  }
  const std::string bigTape = folder.Write("big.tap", big.TakeFileBytes());
  const auto before = test::ReadFileBytes(disk);
  // What c1541 said went wrong, not its line about detaching the image, and what that means.
  const CliRun full =
      ExpectRun({"todisk", "--force", bigTape, disk}, 1, "Error while creating file " + disk + " : ERR = ", path);
  EXPECT_TRUE(Holds(full.err, "(the disk is full)"));
  EXPECT_EQ(test::ReadFileBytes(disk), before);
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"My Names-9.d64", "big.tap", "names.tap", "plain.prg"}));

  // --force replaces only the disk named, by its Latin-1 bytes.
  Latin1Names latin1;
  const std::string latin1Disk = latin1.root.Write(kLatin1Folder + "/caf\xE9.d64", std::string("old disk"));
  const std::string similar =
      latin1.root.Write(kLatin1Folder + "/caf" + kReplacement + ".d64", std::string("unrelated"));
  ExpectRun({"todisk", "--force", latin1.tape, latin1Disk}, 0, "", path);
  EXPECT_EQ(test::ReadFileText(similar), "unrelated");
  ASSERT_TRUE(ReadD64Directory(test::ReadFileBytes(latin1Disk), names));
  EXPECT_EQ(names, (Names{"PART1", "PART2"}));
  EXPECT_EQ(test::NamesIn(latin1.sibling), Names{});
}

TEST(SplitCli, WritesGroupsWithEditedNamesAndIndexFilesInBothFormats) {
  test::ScratchFolder folder, out;
  // A name byte beyond ASCII: Latin-1 in the JSON, written as Qt writes it.
  const std::string tape = folder.Write("Three.tap", test::TapeWith({"ALPHA", "BETA\x80", "GAMMA ONE"}));
  EXPECT_EQ(ListJson(ExpectRun({"list", "--json", tape}, 0).out)["programs"][1]["rawName"], "BETA\u0080");
  auto run =
      ExpectRun({"split", tape, out.path(), "--select", "1,3", "--name", "2=Second one", "--tape-name", "3={RED}G"}, 0);
  EXPECT_EQ(run.out,
            out.File("001.ALPHA.tap") + "\n" + out.File("002.Second_one.tap") + "\n" + "Split Operation Completed !\n");
  // The tape name went into the copy: listing the second file shows it.
  run = ExpectRun({"list", "--json", out.File("002.Second_one.tap")}, 0);
  EXPECT_TRUE(Holds(run.out, "\"rawName\": \"\\u001cG\""));

  // The index of the same tape, in both formats (whose lines the index file's own tests pin).
  const Args index = {"index", tape, out.path(), "--select", "2,3", "--name", "3=g;m"};
  run = ExpectRun(index, 0);
  EXPECT_EQ(run.out, "Index File " + out.File("three.idx") + " successfully created !\n");
  EXPECT_TRUE(Holds(test::ReadFileText(out.File("three.idx")), "\r\n02-G;M,"));
  ExpectRun(index + Args{"--format", "ultimate64"}, 0);
  EXPECT_TRUE(Holds(test::ReadFileText(out.File("three.idx")), " gm\r\n"));
}

TEST(JoinCli, PrintsTheRowsKeepsTheOrderOfItemsAndSortsOnRequest) {
  test::ScratchFolder folder;
  const std::string one = folder.Write("one.tap", test::TapBytes(0, 0, 1, 1000, 0x31));
  const std::string two = folder.Write("two.tap", test::TapBytes(0, 0, 1, 2000, 0x32));
  const std::string output = folder.File("joined.tap");
  const CliRun run = ExpectRun({"join", output, one, "--pause", "5s", two}, 0);
  for (const std::string cell : {"Size", "Machine", "Video", "Type", "Duration", "1000 Bytes", "1.95 KB", "C64", "PAL",
                                 " TAP V1", "**  [PAUSE]  **", "0m:0.39s", "0m:0.8s", "5s", "Total Duration: 0m:6.19s",
                                 "Join operation Executed Correctly !"}) {
    EXPECT_TRUE(Holds(run.out, cell));
  }

  // A folder adds its tapes by name, in number order as a split into more
  // than 999 files names them (text order would put 1000 before 999). Joined
  // into that folder, the output is never one of its own inputs, not even
  // when it is replaced (--force).
  fs::create_directory(folder.File("dir"));
  folder.Write("dir/1000.b.TAP", test::TapBytes(0, 0, 1, 22, 'B'));
  folder.Write("dir/999.a.tap", test::TapBytes(0, 0, 1, 22, 'A'));
  folder.Write("dir/skip.txt", std::string("not a tape"));
  const std::string inside = folder.File("dir/all.tap");
  // The pulses after the header: a pause of one second is one long pulse.
  const auto pulses = [&] { return test::ReadFileText(inside).substr(20); };
  const std::string pause("\0\xA3\x08\x0F", 4), ones(980, '1');
  ExpectRun({"join", inside, folder.File("dir"), "--pause=1s", one}, 0);
  EXPECT_EQ(pulses(), "AABB" + pause + ones);
  // Pause first, then by path: dir/999.a.tap, dir/1000.b.TAP, one.tap. The files after
  // the pause make up the two rows that a join needs.
  ExpectRun({"join", "--sort", "--force", inside, "--pause", "1s", one, folder.File("dir")}, 0);
  EXPECT_EQ(pulses(), pause + "AABB" + ones);
}

// The tape's name is Latin-1, as on old collections: it is sent to the device
// by those very bytes, and the launcher disk is named after them.
TEST(LauncherCli, OptionsAndTheTapesNameByteForByteReachTheLaunchersAndAnExistingDiskNeedsForce) {
  test::ScratchFolder folder;
  const std::string bin = folder.File("bin"), out = folder.File("out"), tmp = folder.File("tmp");
  for (const std::string& sub : {bin, out, tmp}) fs::create_directory(sub);
  test::WriteStandInTools(bin, test::FormatMode::Ok, test::PetcatMode::Ok, test::WriteMode::Ok);
  std::vector<int64_t> starts;
  const std::string tape = folder.Write("Arcad\xE9.TAP", test::TapeWith({"LOADER", "GAME", "HISCORE"}, &starts));
  const std::string disk = out + "/arcad\xE9.tap.d64";
  // "launcher TAPE OUTDIR" and `arguments`, with the stand-ins first on PATH.
  const auto run = [&](const Args& arguments, int exitCode) {
    return ExpectRun(Args{"launcher", tape, out} + arguments, exitCode, "",
                     {"PATH=" + bin + ":/usr/bin:/bin", "TMPDIR=" + tmp});
  };

  const CliRun made = run(
      {"--select", "2,3", "--device", "11", "--sd-dir", "GAMES\\C64", "--target", "c16", "--name", "3=Top Scores"}, 0);
  EXPECT_EQ(made.out, "Index Disk " + disk + " successfully created !\n");
  EXPECT_TRUE(fs::is_empty(tmp));
  // The tool calls themselves are the launcher's tests'; here the options reach them.
  const auto calls = test::RecordedCalls(bin);
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_EQ(calls[2].arguments[4] + "|" + calls[4].arguments[4], "01-loader       |02-top scores   ");
  const auto text = [&](int row) {
    return "5 open 1,11,15,\"cd:_\":close1\r\n10 open 1,11,15,\"cdgames/c64\":close1\r\n"
           "20 open 1,11,15,\"xt:arcad\xE9.tap," +
           LowerText(HexPad(static_cast<uint64_t>(starts[row]), 6)) +
           "\":close1\r\n25 poke1319,76:poke1320,207:poke1321,13:poke239,3\r\n30 new\r\n";
  };
  EXPECT_EQ((std::vector{test::TokenisedText(bin, 1), test::TokenisedText(bin, 2)}), (std::vector{text(0), text(2)}));

  // An existing disk needs --force.
  folder.Write("out/arcad\xE9.tap.d64", std::string("old"));
  run({"--select", "all"}, 1);
  EXPECT_EQ(test::ReadFileText(disk), "old");
  EXPECT_EQ(run({"--select", "all", "--force"}, 0).err, "");  // the question that --force answers is not printed
  EXPECT_EQ(test::ReadFileText(disk).find("d64 image\n"), 0u);
}

// scan over a small collection: good, damaged, refused and unreadable tapes, a
// file that is no tape, a nested folder, a link loop and links out of the
// collection.

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

struct Collection {
  test::ScratchFolder root, outside;

  Collection() {
    fs::create_directories(root.File("nested/deeper"));
    root.Write("good.tap", Tape(0, 1, {{.name = "ONE"}, {.name = "TWO"}}));
    root.Write("Upper.TAP", Tape(1, 2, {{.name = "VIC"}}));
    // The first program's data is unreadable at the same byte in both copies.
    root.Write("damaged.tap", Tape(0, 0,
                                   {{.name = "LOST", .dataParityErrors = {12}, .dataRepeatParityErrors = {12}},
                                    {.name = "WORN", .wrongRepeatChecksum = true}}));
    root.Write("refused.tap", std::vector<uint8_t>(40, 0));
    root.Write("notes.txt", std::string("not a tape"));
    // Quotes, a comma and U+0800, the lowest character of three UTF-8 bytes: JSON copies it as it is. Two
    // continuation bytes with no lead byte are no character: JSON writes U+FFFD for each.
    root.Write("nested/deeper/say \"hi\", you\xE0\xA0\x80\x9F\x80.tap", Tape(2, 1, {{.name = "PLUS"}}));
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
  const CliRun run = ExpectRun({"scan", "--json", "--jobs", "3", c.root.path()}, 1);
  EXPECT_TRUE(run.err.starts_with("6 tapes scanned, 2 refused, 0 without programs, 6 programs, 2 damaged on 1 tapes, "))
      << run.err;
  EXPECT_EQ(run.out, RunCliBytes({"scan", "--json", "--jobs", "1", c.root.path()}).out);
  std::vector<std::string> tapes;
  QJsonArray damaged;
  for (const std::string& line : Lines(run.out)) {
    const QJsonObject tape = Json(line);
    tapes.push_back(
        Fields(tape, {"path", "refused", "machine", "version", "programCount", "headerErrors", "dataDamaged"}) +
        std::to_string(tape["programs"].toArray().size()));
    if (tape["path"].toString().endsWith("damaged.tap")) damaged = tape["programs"].toArray();
  }
  // A name as JSON writes it.
  const auto good = [&](const std::string& name, const std::string& facts, int programs) {
    return R"([")" + c.root.File(name) + R"(",null,)" + facts + "]" + std::to_string(programs);
  };
  const auto refused = [&](const std::string& name, const std::string& why) {
    return R"([")" + c.root.File(name) + R"(",")" + why + R"(",null,null,null,null,null])" + "0";
  };
  EXPECT_EQ(
      tapes,
      (std::vector<std::string>{
          good("Upper.TAP", R"("VIC-20",2,1,0,0)", 1), good("damaged.tap", R"("Commodore 64",0,2,1,1)", 2),
          refused("gone.tap", "Error while loading file " + c.root.File("gone.tap") + " : No such file or directory"),
          good("good.tap", R"("Commodore 64",1,2,0,0)", 2),
          good(R"(nested/deeper/say \"hi\", you)"
               "\xE0\xA0\x80\uFFFD\uFFFD.tap",
               R"("C16 and Plus/4",1,1,0,0)", 1),
          refused("refused.tap", c.root.File("refused.tap") + " Is not a valid TAP file")}));
  const QStringList programFields = {"row", "program", "check1", "check2", "dataDamaged"};
  EXPECT_EQ(Fields(damaged.at(0).toObject(), programFields) + Fields(damaged.at(1).toObject(), programFields),
            R"([1,"LOST","OK","OK",true][2,"WORN","OK","ERROR",false])");
}

TEST(ScanCli, CsvHasOneRowPerProgramTheTableNamesDamagedProgramsAndRefusalsAndOnlyCleanScansExitWithZero) {
  const Collection& c = TheCollection();
  CliRun run = ExpectRun({"scan", "--csv", c.root.path()}, 1);
  const auto rows = Lines(run.out);
  ASSERT_EQ(rows.size(), 9u) << run.out;  // header, 6 programs, 2 refused
  EXPECT_EQ(rows[0],
            "path,machine,version,video,size,totalDuration,programCount,headerErrors,dataDamaged,row,"
            "program,rawName,start,end,duration,check1,check2,data,refused\r");
  // Nineteen columns to a row (the quoted path holds one comma more), each row ended by CR LF.
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), ','), 9 * 18 + 1);
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\r'), 9);
  // A program's row with its tape's cells, the quoted path; a refusal.
  EXPECT_TRUE(
      rows[7].starts_with("\"" + c.root.path() + "/nested/deeper/say \"\"hi\"\", you\xE0\xA0\x80\x9F\x80.tap\","))
      << rows[7];
  EXPECT_TRUE(Holds(rows[7], ",1,0,0,1,PLUS,PLUS,"));
  EXPECT_EQ(rows[8], c.root.File("refused.tap") + std::string(17, ',') + "," + c.root.File("refused.tap") +
                         " Is not a valid TAP file\r");

  // The table: a row per tape, a line per damaged program, the tape's
  // coverage, and a line per refusal; the totals with the coverage of all.
  run = ExpectRun({"scan", c.root.path()}, 1);
  EXPECT_EQ(run.err, "");
  const auto lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 14u) << run.out;
  EXPECT_TRUE(lines[0].ends_with("Header errors  Damaged data  Path"));
  EXPECT_EQ(lines[3],
            "Commodore 64    TAP V0   PAL     35.70 KB    0m:19.38s         2              1             1  " +
                c.root.File("damaged.tap"));
  EXPECT_EQ(lines[4], "    program 1 \"LOST\": header OK, repeat OK, data ERROR");
  EXPECT_EQ(lines[5], "    program 2 \"WORN\": header OK, repeat ERROR, data OK");
  EXPECT_EQ(lines[6], "    coverage: ROM 99.84%, turbo 0.00%, pauses 0.16%, unrecognised 0.00%");
  EXPECT_EQ(lines[7], "Refused: Error while loading file " + c.root.File("gone.tap") + " : No such file or directory");
  EXPECT_TRUE(lines[13].starts_with("6 tapes scanned, 2 refused,")) << lines[13];  // the counts as --json gives them
  EXPECT_TRUE(Holds(lines[13], ", coverage: ROM "));

  // Good tapes alone (a file and a folder whose link back to the collection is
  // not followed) are clean; a folder without tapes too.
  run = ExpectRun({"scan", "--summary-only", "--json", c.root.File("good.tap"), c.root.File("nested")}, 0);
  EXPECT_EQ(Fields(Json(run.out), {"tapes", "refused", "programs", "damagedPrograms"}), "[2,0,3,0]");
  EXPECT_TRUE(Json(run.out)["seconds"].isDouble());
  test::ScratchFolder empty;
  run = ExpectRun({"scan", empty.path()}, 0);
  EXPECT_EQ(Lines(run.out).size(), 2u);  // the columns' names and the totals
  EXPECT_TRUE(Lines(run.out).back().starts_with("0 tapes scanned, 0 refused,")) << run.out;
  for (const char* name : {"damaged.tap", "refused.tap"}) ExpectRun({"scan", "--summary-only", c.root.File(name)}, 1);
}

// On a terminal a progress line goes to standard error; it is taken away
// before each record and at the end, so no output lands behind it.
TEST(ScanCli, ProgressLineOnATerminalIsErasedBeforeEachRecordAndAtTheEnd) {
  const Collection& c = TheCollection();
  QProcess terminal;
  terminal.start(
      "script",
      {"-qec", Q(REELWRIGHT_CLI " scan " + c.root.File("good.tap") + " " + c.root.File("Upper.TAP")), "/dev/null"});
  ASSERT_TRUE(terminal.waitForFinished(60000));
  const QStringList parts = QString(terminal.readAllStandardOutput()).split("\r\033[K");
  ASSERT_EQ(parts.size(), 5) << parts.join('|').toStdString();  // records and progress lines by turns, then the totals
  const QRegularExpression progress("^[12] of 2 tapes, \\d+ tapes/s$");
  for (int i : {1, 3}) EXPECT_TRUE(progress.match(parts[i]).hasMatch()) << parts[i].toStdString();
  EXPECT_TRUE(parts[4].startsWith("2 tapes scanned")) << parts[4].toStdString();
}

TEST(ScanNames, ControlCharactersAreEscapedInTheTableAndInJson) {
  test::ScratchFolder folder;
  // Each name, as the table shows it and as JSON writes it.
  const std::tuple<std::string, std::string, std::string> names[] = {
      {"esc\x1B[2Jred\x07.tap", "esc\\x1B[2Jred\\x07.tap", "esc\\u001b[2Jred\\u0007.tap"},
      {"caf\xE9.tap", "caf\\xE9.tap", "caf\xEF\xBF\xBD.tap"},
      {"del\x7F"
       "c1\xC2\x9B.tap",
       "del\\x7Fc1\\u009B.tap", "del\\u007fc1\\u009b.tap"}};
  for (const auto& [name, shown, written] : names) folder.Write(name, test::PartsTape(1));
  const CliRun table = ExpectRun({"scan", folder.path()}, 0);
  const CliRun json = ExpectRun({"scan", "--json", folder.path()}, 0);
  for (const auto& [name, shown, written] : names) {
    EXPECT_TRUE(Holds(table.out, folder.File(shown) + "\n"));
    EXPECT_TRUE(Holds(json.out, "\"path\":\"" + folder.File(written) + "\""));
  }
  for (const char raw : {'\x1B', '\x07', '\x7F'}) EXPECT_EQ(table.out.find(raw), std::string::npos) << int(raw);
  // Every line is JSON, and the escapes read back as the characters (a line that does not parse has no path).
  Names paths;
  for (const std::string& line : Lines(json.out)) paths.push_back(Json(line)["path"].toString().toStdString());
  EXPECT_EQ(paths, (Names{folder.File("caf" + kReplacement + ".tap"),
                          folder.File("del\x7F"
                                      "c1\xC2\x9B.tap"),
                          folder.File("esc\x1B[2Jred\x07.tap")}));
}

// Makes `depth` nested folders of `name` below `root` (relative to an open
// folder, since the whole path soon exceeds what the system takes), with a
// tape in each. The scratch folder's removal goes by open folders too.
void MakeDeepTree(const std::string& root, const std::string& name, int depth) {
  int folder = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
  const auto tape = test::PartsTape(1);
  for (int level = 0; level < depth && folder >= 0; ++level) {
    ASSERT_EQ(::mkdirat(folder, name.c_str(), 0755), 0);
    const int next = ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY);
    ::close(folder);
    folder = next;
    const int file = ::openat(folder, "t.tap", O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(::write(file, tape.data(), tape.size()), static_cast<ssize_t>(tape.size()));
    ::close(file);
  }
  ::close(folder);
}

TEST(ScanNames, AFolderBeyondThePathLimitIsReportedAndNotCountedAsATape) {
  test::ScratchFolder folder;
  const std::string name(200, 'd');
  MakeDeepTree(folder.path(), name, 24);  // about 4,800 bytes deep
  const CliRun table = ExpectRun({"scan", folder.path()}, 1);
  const CliRun json = ExpectRun({"scan", "--json", "--jobs", "3", folder.path()}, 1, " 0 refused, 1 folders not read,");
  const CliRun summary = ExpectRun({"scan", "--json", "--summary-only", folder.path()}, 1);

  EXPECT_TRUE(Holds(table.out, "Refused: Error while reading folder "));
  EXPECT_TRUE(Holds(table.out, " : File name too long\n"));
  // Every tape that can be reached is scanned; the folder is no tape.
  const std::string totals = table.out.substr(table.out.rfind('\n', table.out.size() - 2) + 1);
  const size_t counts = totals.find(" tapes scanned, 0 refused, 1 folders not read,");
  EXPECT_NE(counts, std::string::npos) << totals;
  EXPECT_GE(std::stoi(totals.substr(0, counts)), 15) << totals;
  EXPECT_TRUE(Holds(json.out, ",\"folder\":true}"));
  EXPECT_TRUE(Holds(summary.out, "\"refused\":0,\"foldersNotRead\":1,"));
}

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

TEST(TurboCli, ListShowsTurboFilesUnderTheirProgramsAndExtractWritesThem) {
  test::ScratchFolder folder, outFolder;
  const std::string tape = TurboTape(folder);
  const auto plain = Lines(ExpectRun({"list", tape}, 0).out);
  ASSERT_EQ(plain.size(), 2u);  // the programs alone, as before
  const auto lines = Lines(ExpectRun({"list", "--turbo", tape}, 0).out);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], plain[0]);
  EXPECT_EQ(lines[1].substr(0, 22), "\t  Freeload 0800-092C\t");
  EXPECT_TRUE(Holds(lines[2], "\t  Freeload 4000-412C\t"));
  EXPECT_TRUE(Holds(lines[2], "\tERROR\t"));
  EXPECT_EQ(lines[3], plain[1]);
  EXPECT_TRUE(Holds(lines[4], "\t  US Gold \"LEVEL TWO\"\t"));
  EXPECT_TRUE(Holds(lines[5], "\t  Burner 6000-60C8\t"));

  const QJsonObject json = ListJson(ExpectRun({"list", "--json", tape}, 0).out);
  const QJsonArray files = json["turboFiles"].toArray();
  ASSERT_EQ(files.size(), 4);
  const QStringList fields{"loader", "loadAddress", "endAddress", "name", "checksum", "errors", "program"};
  EXPECT_EQ(Fields(files[0].toObject(), fields), R"(["Freeload","0800","092C",null,"OK",0,1])");
  EXPECT_EQ(Fields(files[1].toObject(), fields), R"(["Freeload","4000","412C",null,"ERROR",0,1])");
  EXPECT_EQ(Fields(files[2].toObject(), fields), R"(["US Gold","C000","C064","LEVEL TWO","OK",0,2])");
  EXPECT_EQ(Fields(files[3].toObject(), fields), R"(["Burner","6000","60C8",null,"none",0,2])");
  EXPECT_EQ(files[0].toObject()["start"].toString().size(), 6);
  EXPECT_EQ(Fields(json["coverage"].toObject(), {"romPercent", "turboPercent", "pausePercent", "unrecognisedPercent"}),
            "[88.33,11.25,0.02,0.4]");
  // What no reader accounts for: the noise at the end (the file is $018427 bytes long), with its pulses.
  EXPECT_EQ(Fields(json, {"unrecognised"}), R"([[{"commonPulses":[{"count":300,"value":80},{"count":100,"value":48}],)"
                                            R"("duration":"0m:0.23s","end":"018427","start":"018297"}]])");
  EXPECT_EQ(fs::file_size(tape), 0x018427u);

  // extract writes the good turbo files of the selected rows, and damaged ones on request.
  const std::string& out = outFolder.path();
  // Row 2's stretch: its program, its US Gold and Burner files.
  ExpectRun({"extract", "--select", "2", tape, out}, 0);
  EXPECT_EQ(test::ReadFileBytes(out + "/T003_US_Gold_C000-C064.prg"), Prg(test::ProgramData(100, 5), 0xC000));
  EXPECT_EQ(test::ReadFileBytes(out + "/T004_Burner_6000-60C8.prg"), Prg(test::ProgramData(200, 6), 0x6000));
  // Row 1: the bad file is named and not written; asked for, it is, and
  // nothing is written over.
  ExpectRun({"extract", "--select", "1", tape, out}, 1,
            "Turbo file 2 \"Freeload 4000-412C\" is damaged (checksum ERROR); not written");
  ExpectRun({"extract", "--select", "1", "--keep-damaged", tape, out}, 1);
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
  const auto lines = Lines(ExpectRun({"list", "--turbo", tape}, 0).out);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(Holds(lines[0], "Turbotape 250 \"ROMEO & JULIET\""));
  test::ScratchFolder folder;
  ExpectRun({"extract", tape, folder.path()}, 0);
  // Its bytes are the reader's (compared with the peer's where the real turbo tapes are read).
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"T001_Turbotape_250_0801-0ABF.prg"});
  const auto scan = ExpectRun({"scan", tape}, 0).out;
  EXPECT_TRUE(Holds(scan, "turbo files: 1, bad checksums: 0; coverage: ROM 0.00%, turbo 99.97%"));
  // Its JSON, and that of a tape whose turbo files are written out in several stretches.
  EXPECT_TRUE(ListJson(ExpectRun({"list", "--json", tape}, 0).out)["programs"].toArray().isEmpty());
  EXPECT_EQ(ListJson(ExpectRun({"list", "--json", turbo + "/rambo_ocean.tap"}, 0).out)["turboFiles"].toArray().size(),
            308);
}

// The manual page: every command "--help" lists has a ".SS NAME" under
// COMMANDS whose ".TP" entries describe each option of "NAME --help" and no
// other, apart from the shared ones under OPTIONS; "help NAME" prints the same
// as "NAME --help", and every command answers --version.
using Options = std::set<std::string>;

// The first group of every match of `pattern` in `text`.
Options Matches(const QRegularExpression& pattern, const QString& text) {
  Options found;
  for (auto match = pattern.globalMatch(text); match.hasNext();) found.insert(match.next().captured(1).toStdString());
  return found;
}

// "-v", "--tape-name", "[--json]", "(--pause": a dash and a letter after a
// blank or an opening bracket; not the inner dashes of "VIC-20" or "tab-separated".
Options OptionsIn(const QString& text) {
  return Matches(QRegularExpression(R"((?:^|[\s\[(|])(--?[A-Za-z][A-Za-z0-9-]*))"), text);
}

struct Section {
  QString text;
  QString tags;  // the lines that head ".TP" entries
};

// ".SS NAME" under COMMANDS by NAME, and OPTIONS as "".
using ManPage = std::map<std::string, Section>;

// Roff as text: "\-" is a dash, "\fB" and its kin switch fonts, "\&" is nothing.
ManPage ReadManPage(const QString& path) {
  QFile file(path);
  file.open(QIODevice::ReadOnly);  // a page not found has no sections, which the test reports
  static const QRegularExpression fonts(R"(\\f[BIRP])");
  ManPage page;
  QString heading;
  Section* into = nullptr;
  bool tag = false;
  for (QString line : QString::fromUtf8(file.readAll()).split('\n')) {
    if (line.startsWith(".\\\"")) continue;
    line.replace("\\-", "-").remove(fonts).remove("\\&");
    if (line.startsWith(".SH ")) {
      heading = line.mid(4).remove('"').trimmed();
      into = heading == "OPTIONS" ? &page[""] : nullptr;
    } else if (line.startsWith(".SS ") && heading == "COMMANDS") {
      into = &page[line.mid(4).remove('"').trimmed().split(' ').first().toStdString()];
    } else if (into) {
      into->text.append(line).append('\n');
      if (tag) into->tags.append(line).append('\n');
    }
    tag = line == ".TP";
  }
  return page;
}

TEST(ManPage, DescribesEveryCommandWithExactlyTheOptionsOfItsHelp) {
  const CliRun usage = ExpectRun({"--help"}, 0);
  // The commands are the first words of the usage's indented lines.
  const Options commands =
      Matches(QRegularExpression(R"(^  ([a-z]+)\b)", QRegularExpression::MultilineOption), Q(usage.out));
  ASSERT_FALSE(commands.empty()) << usage.out;
  ManPage page = ReadManPage(REELWRIGHT_CLI_MAN_PAGE);
  const Options shared = OptionsIn(page[""].tags);
  ASSERT_FALSE(shared.empty()) << "no options under .SH OPTIONS in " << REELWRIGHT_CLI_MAN_PAGE;

  std::vector<std::string> problems;
  for (const std::string& command : commands) {
    const CliRun help = RunCliBytes({command, "--help"});
    const Options helpOptions = OptionsIn(Q(help.out));
    if (help.exitCode != 0 || helpOptions.empty()) {
      problems.push_back(command + " --help failed or lists no option: " + help.err);
      continue;
    }
    if (RunCliBytes({"help", command}).out != help.out) problems.push_back(command + ": \"help\" differs from --help");
    if (RunCliBytes({command, "--version"}).out != std::string("reelwright-cli ") + REELWRIGHT_VERSION + "\n") {
      problems.push_back(command + ": --version");
    }
    // A command without its ".SS NAME" under COMMANDS describes none of its options.
    const Section& section = page[command];
    const Options described = OptionsIn(section.tags);
    for (const std::string& option : helpOptions) {
      if (!described.count(option) && !shared.count(option)) problems.push_back(command + ": undescribed " + option);
    }
    for (const std::string& option : OptionsIn(section.text)) {
      if (!helpOptions.count(option)) problems.push_back(command + ": the page describes what --help lacks: " + option);
    }
  }
  EXPECT_EQ(problems, std::vector<std::string>{}) << "in " << REELWRIGHT_CLI_MAN_PAGE;
}

// A join's output, and whatever else writes with leave to replace (an index
// file, a disk image with --force), replaces files and links, never a pipe or
// a device node.
TEST(PipeOutputs, APipeOrADeviceIsRefusedEvenWithForceAndAStreamIsWrittenIntoOnlyWhenAskedFor) {
  test::ScratchFolder folder;
  const std::string a = folder.Write("a.tap", test::PartsTape(1));
  const std::string pipe = folder.File("pipe.tap"), index = folder.File("a.idx");
  for (const std::string& fifo : {pipe, index}) ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string link = folder.File("link.tap");
  fs::create_symlink(pipe, link);
  for (const std::string& output : {pipe, link, std::string("/dev/null")}) {
    const std::string reason = output == "/dev/null" ? "(a device)" : "(a named pipe)";
    ExpectRun({"join", "--force", output, a, a}, 1,
              "Error while saving file " + output + " : Not a regular file " + reason);
  }
  ExpectRun({"index", a, folder.path(), "--select", "all"}, 1,
            "Error while creating file " + index + " : Not a regular file (a named pipe)");
  EXPECT_TRUE(fs::is_symlink(link) && fs::is_fifo(pipe) && fs::is_fifo(index));
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"a.idx", "a.tap", "link.tap", "pipe.tap"}));

  // Asked for: the image goes into the pipe as it is made.
  std::string received;
  std::thread reader([&] {
    const int fd = ::open(pipe.c_str(), O_RDONLY);
    char buffer[4096];
    for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;) received.append(buffer, static_cast<size_t>(got));
    ::close(fd);
  });
  const CliRun streamed = ExpectRun({"join", "--stream", link, a, a}, 0, "Join operation Executed Correctly !");
  reader.join();
  EXPECT_EQ(received.size(), 20 + 2 * (fs::file_size(a) - 20));
  EXPECT_EQ(received.substr(0, 12), "C64-TAPE-RAW");
  EXPECT_EQ(streamed.out, "");  // the list went to standard error
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"a.idx", "a.tap", "link.tap", "pipe.tap"}));
}

// The rectangles of each class in an SVG file; an empty map when it does not parse.
std::map<std::string, int> SvgShapes(const std::string& path) {
  QFile file(Q(path));
  if (!file.open(QIODevice::ReadOnly)) return {};
  std::map<std::string, int> shapes;
  QXmlStreamReader xml(&file);
  while (!xml.atEnd()) {
    if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("rect")) {
      ++shapes[xml.attributes().value("class").toString().toStdString()];
    }
  }
  return xml.hasError() ? std::map<std::string, int>{} : shapes;
}

TEST(PictureCli, MapAndPulsesAsSvgAndPng) {
  test::ScratchFolder folder;
  test::TapeComposer composer(0, 1);
  composer.AddProgram({.name = "BOOT", .data = test::ProgramData(64, 1)});
  composer.AddTurboFile({.family = "Freeload", .loadAddress = 0x0800, .data = test::ProgramData(2000, 2)});
  composer.AddSilence(985248);
  composer.AddProgram({.name = "A<&>\"NAME", .data = test::ProgramData(64, 3)});
  const std::string tape = folder.Write("Map.tap", composer.FileBytes());
  const std::string svg = folder.File("map.svg");

  ExpectRun({"map", tape, "-o", svg}, 0);
  // ROM, turbo, pause, ROM: each plays long enough for a band of its own, on a background.
  using Shapes = std::map<std::string, int>;
  EXPECT_EQ(SvgShapes(svg), (Shapes{{"", 1}, {"band", 4}, {"legend", 4}}));

  ExpectRun({"map", tape, "-o", svg}, 1, "Already exists");
  ExpectRun({"map", tape, "-o", svg, "--force", "--width", "300"}, 0);
  EXPECT_EQ(SvgShapes(svg)["band"], 4);
  ExpectRun({"map", tape, "-o", folder.File("map.jpg")}, 2, ".svg or .png");

  const std::string pulses = folder.File("pulses.svg");
  ExpectRun({"pulses", tape, "--select", "3", "-o", pulses}, 2, "the tape has 2 programs");
  ExpectRun({"pulses", tape, "--select", "1", "-o", pulses}, 0);
  // Three classes (short, medium, long); four bins: the ROM's three widths and
  // Freeload's two, one of which is the ROM's medium.
  EXPECT_EQ(SvgShapes(pulses), (Shapes{{"", 1}, {"class", 3}, {"bin", 4}}));

  const std::string png = folder.File("map.png");
  ExpectRun({"map", tape, "-o", png}, 0);
  EXPECT_EQ(test::ReadFileText(png).substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
}

// A join first, while the folder holds the tape alone; then a split and an
// extraction into that folder. (The launcher's Latin-1 tape name: its own test.)
TEST(NativePathsCli, JoinSplitAndExtractReadAndWriteLatin1NamesExactly) {
  Latin1Names names;
  // join --force replaces only the file named: a file and a folder item, both with Latin-1 names.
  const std::string output = names.root.Write("caf\xE9.tap", std::string("the old join"));
  const std::string similar = names.root.Write("caf" + kReplacement + ".tap", std::string("unrelated"));
  const CliRun join = ExpectRun({"join", "--force", output, names.tape, names.folder}, 0);
  EXPECT_EQ(test::ReadFileText(similar), "unrelated");
  EXPECT_EQ(fs::file_size(output), 20 + 2 * (fs::file_size(names.tape) - 20));
  EXPECT_TRUE(Holds(join.out, names.tape));

  const CliRun split = ExpectRun({"split", names.tape, names.folder, "--select", "all"}, 0);
  // The written paths are printed byte for byte.
  EXPECT_EQ(split.out,
            names.folder + "/001.PART1.tap\n" + names.folder + "/002.PART2.tap\nSplit Operation Completed !\n");
  const CliRun extract = ExpectRun({"extract", names.tape, names.folder}, 0);
  EXPECT_EQ(extract.out.substr(0, names.folder.size() + 11), names.folder + "/PART1.prg\t");
  EXPECT_EQ(test::NamesIn(names.folder),
            (Names{"001.PART1.tap", "002.PART2.tap", "PART1.prg", "PART2.prg", "caf\xE9.tap"}));
  // An argument that names nothing is reported as missing, not as another name.
  ExpectRun({"info", names.folder + "/gone\xE9.tap"}, 1, "No such file or directory");

  EXPECT_EQ(test::NamesIn(names.sibling), Names{});
}

}  // namespace
}  // namespace rw
