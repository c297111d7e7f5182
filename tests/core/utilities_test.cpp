#include "core/utilities.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "core/safe_file.h"
#include "support/scratch_folder.h"

namespace rw {
namespace {

TEST(FormatSize, ThresholdsAndSeparator) {
  EXPECT_EQ(FormatSize(0, "."), "0 Bytes");
  EXPECT_EQ(FormatSize(1023, "."), "1023 Bytes");
  EXPECT_EQ(FormatSize(1024, "."), "1.00 KB");
  EXPECT_EQ(FormatSize(1536, ","), "1,50 KB");
  EXPECT_EQ(FormatSize(1048576, "."), "1.00 MB");
  EXPECT_EQ(FormatSize(1073741824, "."), "1.00 GB");
  EXPECT_EQ(FormatSize(5.0 * 1073741824 * 1024, "."), "5120.00 GB");
  EXPECT_EQ(FormatSize(std::nan(""), "."), "0 Bytes");
}

TEST(Hex, PaddedAndPlain) {
  EXPECT_EQ(HexPad(20, 6), "000014");
  EXPECT_EQ(HexPad(16777216, 6), "1000000");
  EXPECT_EQ(HexDigits(0), "0");
  EXPECT_EQ(HexDigits(2049), "801");
  EXPECT_EQ(HexDigits(0xABCDEF), "ABCDEF");
}

TEST(Paths, FolderAndNameParts) {
  EXPECT_EQ(ParentFolder("/tapes/a.tap"), "/tapes");
  EXPECT_EQ(ParentFolder("/tapes/sub/"), "/tapes");
  EXPECT_EQ(ParentFolder("/a.tap"), "/");
  EXPECT_EQ(ParentFolder("a.tap"), "");
  EXPECT_EQ(FileNameOf("/tapes/a.tap"), "a.tap");
  EXPECT_EQ(FileNameOf("/tapes/sub/"), "sub");
  EXPECT_EQ(FileNameOf("a.tap"), "a.tap");
}

TEST(Paths, ExistenceQuestions) {
  test::ScratchFolder folder;
  const std::string file = folder.Write("a.tap", std::string("x"));
  EXPECT_TRUE(FileExists(file));
  EXPECT_FALSE(FileExists(folder.path()));
  EXPECT_TRUE(FolderExists(folder.path()));
  EXPECT_FALSE(FolderExists(file));
  EXPECT_FALSE(FileExists(""));
  EXPECT_EQ(FolderOfPath(file), folder.path() + "/");
  EXPECT_EQ(FolderOfPath(folder.path()), folder.path());
  EXPECT_EQ(FolderOfPath(folder.File("missing")), "");
}

TEST(TempFileName, CreatesDistinctEmptyFilesWithPrefix) {
  test::ScratchFolder folder;
  const test::TemporaryFolderOverride temporaryFolder(folder.path());
  const auto openFiles = [] {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator());
  };
  const auto openBefore = openFiles();
  const std::string first = TempFileName("launcher");
  EXPECT_EQ(openFiles(), openBefore);
  const std::string second = TempFileName("la");
  EXPECT_EQ(ParentFolder(first), folder.path());
  EXPECT_EQ(FileNameOf(first).substr(0, 3), "lau");
  EXPECT_EQ(FileNameOf(second).substr(0, 2), "la");
  EXPECT_NE(first, second);
  EXPECT_TRUE(FileExists(first));
  EXPECT_EQ(std::filesystem::file_size(first), 0u);
  // A temporary folder that is not there gives an empty text.
  temporaryFolder.Set(folder.File("a.tap/nowhere"));
  folder.Write("a.tap", std::string("x"));
  EXPECT_EQ(TempFileName("abc"), "");
}

TEST(SafeFileWriter, ReplacesOnlyWhenAskedAndLeavesNoPartialFile) {
  test::ScratchFolder folder;
  std::string error;
  const std::string target = folder.File("out.tap");
  ASSERT_TRUE(WriteWholeFile(target, "new", 3, false, error)) << error;
  EXPECT_EQ(test::ReadFileText(target), "new");
  // Without leave to replace, an existing file stays as it was.
  EXPECT_FALSE(WriteWholeFile(target, "other", 5, false, error));
  EXPECT_EQ(error, "File exists");
  EXPECT_EQ(test::ReadFileText(target), "new");
  ASSERT_TRUE(WriteWholeFile(target, "other", 5, true, error));
  EXPECT_EQ(test::ReadFileText(target), "other");
  {
    // Dropped before Commit: the old file is untouched and no temporary stays.
    SafeFileWriter writer;
    EXPECT_FALSE(writer.Write("early", 5, error));
    EXPECT_EQ(error, "Bad file descriptor");
    ASSERT_TRUE(writer.Open(target, error));
    ASSERT_TRUE(writer.Open(target, error));  // the first temporary is given up
    ASSERT_TRUE(writer.Write("half", 4, error));
  }
  EXPECT_EQ(test::ReadFileText(target), "other");
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"out.tap"});
  {
    // A new file under its final name: never over an existing one, and
    // removed again when not completed.
    SafeFileWriter writer;
    EXPECT_FALSE(writer.OpenNew(target, error));
    EXPECT_EQ(error, "File exists");
    ASSERT_TRUE(writer.OpenNew(folder.File("new.tap"), error));
    ASSERT_TRUE(writer.Write("half", 4, error));
  }
  EXPECT_EQ(test::ReadFileText(target), "other");
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"out.tap"});
  // A folder that cannot exist (under a regular file) reports the system's text.
  EXPECT_FALSE(WriteWholeFile(folder.File("out.tap/x.tap"), "x", 1, true, error));
  EXPECT_EQ(error, "Not a directory");
}

}  // namespace
}  // namespace rw
