// SPDX-License-Identifier: GPL-2.0-or-later
// The files the commands write. join: a named pipe, a device or a folder at
// OUTFILE (or at the end of a link there) is refused, even with --force, and
// stays as it is; only --stream writes into a pipe or a device, as the image
// is made. The map and pulse pictures: SVG that parses with one rectangle per
// drawn band, PNG, and no existing file replaced unasked.
//
// Paths are bytes: file and folder names that are not UTF-8 (Latin-1 names,
// common on old collections) reach the file system exactly as given on the
// command line, through split, extract, join and todisk. Beside each Latin-1
// name lies the name a lossy conversion would make of it (\xE9 as U+FFFD),
// which must never be read, written or replaced.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QXmlStreamReader>

#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "cli_runner.h"
#include "launcher/program_disk.h"
#include "support/program_run.h"
#include "support/scratch_folder.h"
#include "support/stand_in_tools.h"
#include "support/tap_bytes.h"
#include "support/tape_composer.h"
#include "support/vice_tools.h"

namespace rw {
namespace {

namespace fs = std::filesystem;
using test::RunCliBytes;
using Names = std::vector<std::string>;

TEST(JoinOutput, APipeOrADeviceIsRefusedEvenWithForceAndAStreamIsWrittenIntoOnlyWhenAskedFor) {
  test::ScratchFolder folder;
  const std::string a = folder.Write("a.tap", test::TapBytes(0, 0, 1, 120));
  const std::string pipe = folder.File("pipe.tap");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const std::string link = folder.File("link.tap");
  fs::create_symlink(pipe, link);
  for (const std::string& output : {pipe, link, std::string("/dev/null")}) {
    const auto run = RunCliBytes({"join", "--force", output, a, a}, {}, 20000);
    EXPECT_EQ(run.exitCode, 1) << output;
    const std::string reason = output == "/dev/null" ? "(a device)" : "(a named pipe)";
    EXPECT_NE(run.err.find("Error while saving file " + output + " : Not a regular file " + reason), std::string::npos)
        << run.err;
  }
  EXPECT_TRUE(fs::is_symlink(link) && fs::is_fifo(pipe));
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"a.tap", "link.tap", "pipe.tap"}));

  // Asked for: the image goes into the pipe as it is made.
  std::string received;
  std::thread reader([&] {
    const int fd = ::open(pipe.c_str(), O_RDONLY);
    char buffer[4096];
    for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;) received.append(buffer, static_cast<size_t>(got));
    ::close(fd);
  });
  const auto streamed = RunCliBytes({"join", "--stream", link, a, a}, {}, 20000);
  reader.join();
  EXPECT_EQ(streamed.exitCode, 0) << streamed.err;
  EXPECT_EQ(received.size(), 20u + 2 * 100u);
  EXPECT_EQ(received.substr(0, 12), "C64-TAPE-RAW");
  EXPECT_EQ(streamed.out, "");  // the list went to standard error
  EXPECT_NE(streamed.err.find("Join operation Executed Correctly !"), std::string::npos);
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"a.tap", "link.tap", "pipe.tap"}));
}

// Whatever writes with leave to replace (an index file, a disk image with
// --force) replaces files and links, never a pipe or a device node.
TEST(OtherOutputs, APipeAtAnOutputsNameIsRefusedNotReplaced) {
  test::ScratchFolder folder;
  test::TapeComposer composer(0, 1);
  composer.AddProgram({.name = "GAME", .data = test::ProgramData(40, 1), .leaderPulses = 1500});
  const std::string tape = folder.Write("game.tap", composer.FileBytes());
  const std::string index = folder.File("game.idx");
  ASSERT_EQ(::mkfifo(index.c_str(), 0600), 0);
  const auto run = RunCliBytes({"index", tape, folder.path(), "--select", "all"}, {}, 20000);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("Error while creating file " + index + " : Not a regular file (a named pipe)"),
            std::string::npos)
      << run.err;
  EXPECT_TRUE(fs::is_fifo(index));
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"game.idx", "game.tap"}));
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
  if (xml.hasError()) return {};
  return shapes;
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

  ExpectRun({"map", Q(tape), "-o", Q(svg)}, 0);
  // ROM, turbo, pause, ROM: each plays long enough for a band of its own.
  auto shapes = SvgShapes(svg);
  EXPECT_EQ(shapes["band"], 4);
  EXPECT_EQ(shapes["legend"], 4);

  ExpectRun({"map", Q(tape), "-o", Q(svg)}, 1, "Already exists");
  ExpectRun({"map", Q(tape), "-o", Q(svg), "--force", "--width", "300"}, 0);
  EXPECT_EQ(SvgShapes(svg)["band"], 4);
  ExpectRun({"map", Q(tape), "-o", Q(folder.File("map.jpg"))}, 2, ".svg or .png");

  const std::string pulses = folder.File("pulses.svg");
  ExpectRun({"pulses", Q(tape), "--select", "3", "-o", Q(pulses)}, 2, "the tape has 2 programs");
  ExpectRun({"pulses", Q(tape), "--select", "1", "-o", Q(pulses)}, 0);
  shapes = SvgShapes(pulses);
  EXPECT_EQ(shapes["class"], 3);  // short, medium, long
  // The ROM's three widths and Freeload's two, one of which is the ROM's medium.
  EXPECT_EQ(shapes["bin"], 4);

  const std::string png = folder.File("map.png");
  ExpectRun({"map", Q(tape), "-o", Q(png)}, 0);
  QFile file(Q(png));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.read(8), QByteArray("\x89PNG\r\n\x1a\n", 8));
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

TEST(NativePathsCli, SplitAndExtractReadAndWriteLatin1NamesExactly) {
  Latin1Names names;
  const auto split = RunCliBytes({"split", names.tape, names.folder, "--select", "all"});
  ASSERT_EQ(split.exitCode, 0) << split.err;
  // The written paths are printed byte for byte.
  EXPECT_EQ(split.out,
            names.folder + "/001.PART1.tap\n" + names.folder + "/002.PART2.tap\nSplit Operation Completed !\n");
  const auto extract = RunCliBytes({"extract", names.tape, names.folder});
  ASSERT_EQ(extract.exitCode, 0) << extract.err;
  EXPECT_EQ(extract.out.substr(0, names.folder.size() + 11), names.folder + "/PART1.prg\t");
  EXPECT_EQ(test::NamesIn(names.folder),
            (Names{"001.PART1.tap", "002.PART2.tap", "PART1.prg", "PART2.prg", "caf\xE9.tap"}));
  EXPECT_EQ(test::NamesIn(names.sibling), Names{});
  // An argument that names nothing is reported as missing, not as another name.
  const auto missing = RunCliBytes({"info", names.folder + "/gone\xE9.tap"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("No such file or directory"), std::string::npos) << missing.err;
}

TEST(NativePathsCli, JoinWithForceReplacesOnlyTheFileNamedAndReadsLatin1Folders) {
  Latin1Names names;
  const std::string output = names.root.File("caf\xE9.tap");
  const std::string similar = names.root.Write("caf" + kReplacement + ".tap", std::string("unrelated"));
  names.root.Write("caf\xE9.tap", std::string("the old join"));
  // A file and a folder item, both with Latin-1 names.
  const auto run = RunCliBytes({"join", "--force", output, names.tape, names.folder});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(test::ReadFileText(similar), "unrelated");
  EXPECT_EQ(fs::file_size(output), 20 + 2 * (fs::file_size(names.tape) - 20));
  EXPECT_NE(run.out.find(names.tape), std::string::npos) << run.out;
}

TEST(NativePathsCli, ToDiskWithForceReplacesOnlyTheDiskNamed) {
  std::string whyNot;
  const std::string vice = test::RealViceToolsFolder(&whyNot);
  if (vice.empty()) GTEST_SKIP() << whyNot;
  Latin1Names names;
  const std::string disk = names.folder + "/caf\xE9.d64";
  const std::string similar =
      names.root.Write(kLatin1Folder + "/caf" + kReplacement + ".d64", std::string("unrelated"));
  names.root.Write(kLatin1Folder + "/caf\xE9.d64", std::string("old disk"));
  const auto run = RunCliBytes({"todisk", "--force", names.tape, disk}, {"PATH=" + vice + ":/usr/bin:/bin"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(test::ReadFileText(similar), "unrelated");
  std::vector<std::string> entries;
  ASSERT_TRUE(ReadD64Directory(test::ReadFileBytes(disk), entries));
  EXPECT_EQ(entries, (Names{"PART1", "PART2"}));
  EXPECT_EQ(test::NamesIn(names.sibling), Names{});
}

// A tape named in Latin-1 is sent to the device by those very bytes, and its
// launcher disk is named after them, in the folder given.
TEST(NativePathsCli, TheLauncherSendsALatin1TapeNameByteForByte) {
  Latin1Names names;
  test::ScratchFolder tools;
  test::WriteStandInTools(tools.path(), test::FormatMode::Ok, test::PetcatMode::Ok, test::WriteMode::Ok);
  const auto run =
      RunCliBytes({"launcher", names.tape, names.folder, "--select", "1"}, {"PATH=" + tools.path() + ":/usr/bin:/bin"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(test::NamesIn(names.folder), (Names{"caf\xE9.tap", "caf\xE9.tap.d64"}));
  EXPECT_NE(test::TokenisedText(tools.path(), 1).find("\"xt:caf\xE9.tap,"), std::string::npos)
      << test::TokenisedText(tools.path(), 1);
  EXPECT_EQ(test::NamesIn(names.sibling), Names{});
}

}  // namespace
}  // namespace rw
