#include "split/index_file.h"

#include <gtest/gtest.h>

#include "platform/messages.h"
#include "support/scratch_folder.h"
#include "support/shown_messages.h"

namespace rw {
namespace {

TEST(IndexFile, PathIsLowerCaseNameWithExtensionReplaced) {
  EXPECT_EQ(IndexFilePath("/out", "/tapes/Game.TAP"), "/out/game.idx");
  EXPECT_EQ(IndexFilePath("/out/", "/tapes/game.raw"), "/out/game.raw.idx");
  EXPECT_EQ(IndexFilePath("/out", "/tapes/.tap"), "/out/.idx");
}

TEST(IndexFile, BothLineFormats) {
  const std::vector<IndexEntry> entries = {
      {"Game loader", "000014", "00a3ff"},
      {"demo; part1", "00A400", "02FFFF"},
  };
  EXPECT_EQ(IndexFileText(entries, IndexFormat::Marquise),
            "01-GAME LOADER,000014,00A3FF\r\n02-DEMO; PART1,00A400,02FFFF\r\n");
  EXPECT_EQ(IndexFileText(entries, IndexFormat::Ultimate64), "0x14 Game loader\r\n0xA400 demo part1\r\n");
  EXPECT_EQ(IndexFileText({{"zero", "000000", "000001"}}, IndexFormat::Ultimate64), "0x0 zero\r\n");
  // Past 99 groups the numbering takes three digits; names stay Latin-1 on disk.
  std::vector<IndexEntry> many(101, {"x", "000014", "000020"});
  many[100].program = "\xC3\xA9t\xC3\xA9 \xC2\xA3";  // "été £"
  const std::string text = IndexFileText(many, IndexFormat::Marquise);
  EXPECT_NE(text.find("\r\n99-X,000014,000020\r\n100-X,"), std::string::npos);
  EXPECT_NE(text.find("101-\xC9T\xC9 \xA3,000014,000020\r\n"), std::string::npos);
}

TEST(IndexFile, WritesReplacesAndReportsFailures) {
  test::ScratchFolder folder;
  RecordedMessages messages;
  const std::vector<IndexEntry> entries = {{"A", "000014", "0000FF"}};
  ASSERT_TRUE(WriteIndexFile(folder.path(), "/t/Game.tap", entries, IndexFormat::Marquise, messages));
  ASSERT_TRUE(WriteIndexFile(folder.path(), "/t/Game.tap", entries, IndexFormat::Ultimate64, messages));
  const std::string path = folder.File("game.idx");
  EXPECT_EQ(test::ReadFileText(path), "0x14 A\r\n");
  EXPECT_EQ(test::Shown(messages), test::Lines(2, "INFO | information | Index File " + path + " successfully created !"));

  // A folder that is a regular file: the error names the path, the old file stays.
  messages.shown.clear();
  const std::string notFolder = folder.Write("plain", std::string("x"));
  EXPECT_FALSE(WriteIndexFile(notFolder, "/t/Game.tap", entries, IndexFormat::Marquise, messages));
  EXPECT_EQ(test::Shown(messages),
            test::Lines{"ERROR! | critical | Error while creating file " + notFolder + "/game.idx : Not a directory"});
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"game.idx", "plain"}));
}

}  // namespace
}  // namespace rw
