#include "core/utilities.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "core/safe_file.h"
#include "support/scratch_folder.h"

namespace rw {
namespace {

TEST(Utilities, SizesHexAndPathParts) {
  test::ScratchFolder folder;
  const std::string file = folder.Write("a.tap", std::string("x"));
  // What each call gave, and what it should have given.
  const std::pair<std::string, std::string> cases[] = {
      {FormatSize(0, "."), "0 Bytes"}, {FormatSize(1023, "."), "1023 Bytes"}, {FormatSize(1024, "."), "1.00 KB"},
      {FormatSize(1536, ","), "1,50 KB"}, {FormatSize(1048576, "."), "1.00 MB"},
      {FormatSize(1073741824, "."), "1.00 GB"}, {FormatSize(5.0 * 1073741824 * 1024, "."), "5120.00 GB"},
      {FormatSize(std::nan(""), "."), "0 Bytes"}, {HexPad(20, 6), "000014"}, {HexPad(16777216, 6), "1000000"},
      {HexDigits(0), "0"}, {HexDigits(2049), "801"}, {HexDigits(0xABCDEF), "ABCDEF"},
      {ParentFolder("/tapes/a.tap"), "/tapes"}, {ParentFolder("/tapes/sub/"), "/tapes"},
      {ParentFolder("/a.tap"), "/"}, {ParentFolder("a.tap"), ""}, {FileNameOf("/tapes/a.tap"), "a.tap"},
      {FileNameOf("/tapes/sub/"), "sub"}, {FileNameOf("a.tap"), "a.tap"}, {FolderOfPath(file), folder.path() + "/"},
      {FolderOfPath(folder.path()), folder.path()}, {FolderOfPath(folder.File("missing")), ""},
  };
  for (const auto& [got, expected] : cases) EXPECT_EQ(got, expected);
  EXPECT_EQ((std::vector<bool>{FileExists(file), FileExists(folder.path()), FolderExists(folder.path()),
                               FolderExists(file), FileExists("")}),
            (std::vector<bool>{true, false, true, false, false}));
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
  EXPECT_EQ(std::filesystem::file_size(first), 0u);  // there, and empty
  // A temporary folder that is not there gives an empty text.
  temporaryFolder.Set(folder.File("a.tap/nowhere"));
  folder.Write("a.tap", std::string("x"));
  EXPECT_EQ(TempFileName("abc"), "");
}

TEST(SafeFileWriter, ReplacesOnlyWhenAskedAndLeavesNoPartialFile) {
  test::ScratchFolder folder;
  std::string error;
  const std::string target = folder.File("out.tap");
  // "ok", or the error text, and then what the target holds.
  const auto write = [&](const std::string& path, const std::string& text, bool replace) {
    const std::string result = WriteWholeFile(path, text.data(), text.size(), replace, error) ? "ok" : error;
    return result + " | " + test::ReadFileText(target);
  };
  EXPECT_EQ(write(target, "new", false), "ok | new");
  // Without leave to replace, an existing file stays as it was.
  EXPECT_EQ(write(target, "other", false), "File exists | new");
  EXPECT_EQ(write(target, "other", true), "ok | other");
  // A folder that cannot exist (under a regular file) reports the system's text.
  EXPECT_EQ(write(folder.File("out.tap/x.tap"), "x", true), "Not a directory | other");
  {
    // Dropped before Commit: the old file is untouched and no temporary stays.
    SafeFileWriter writer;
    EXPECT_FALSE(writer.Write("early", 5, error));
    EXPECT_EQ(error, "Bad file descriptor");
    ASSERT_TRUE(writer.Open(target, error));
    ASSERT_TRUE(writer.Open(target, error));  // the first temporary is given up
    ASSERT_TRUE(writer.Write("half", 4, error));
  }
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
}

}  // namespace
}  // namespace rw
