// SPDX-License-Identifier: GPL-2.0-or-later
// Paths are bytes: file and folder names that are not UTF-8 (Latin-1 names,
// common on old collections) reach the file system exactly as given on the
// command line, through split, extract, join and todisk. Beside each Latin-1
// name lies the name a lossy conversion would make of it (\xE9 as U+FFFD),
// which must never be read, written or replaced.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "launcher/program_disk.h"
#include "support/program_run.h"
#include "support/scratch_folder.h"
#include "support/stand_in_tools.h"
#include "support/tape_composer.h"
#include "support/vice_tools.h"

namespace rw {
namespace {

namespace fs = std::filesystem;
using test::RunCliBytes;
using Lines = std::vector<std::string>;

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
            (Lines{"001.PART1.tap", "002.PART2.tap", "PART1.prg", "PART2.prg", "caf\xE9.tap"}));
  EXPECT_EQ(test::NamesIn(names.sibling), Lines{});
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
  EXPECT_EQ(entries, (Lines{"PART1", "PART2"}));
  EXPECT_EQ(test::NamesIn(names.sibling), Lines{});
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
  EXPECT_EQ(test::NamesIn(names.folder), (Lines{"caf\xE9.tap", "caf\xE9.tap.d64"}));
  EXPECT_NE(test::TokenisedText(tools.path(), 1).find("\"xt:caf\xE9.tap,"), std::string::npos)
      << test::TokenisedText(tools.path(), 1);
  EXPECT_EQ(test::NamesIn(names.sibling), Lines{});
}

}  // namespace
}  // namespace rw
