// SPDX-License-Identifier: GPL-2.0-or-later
// scan and what file names can hold: control characters are shown escaped
// (the table as \xNN, JSON Lines as \u00XX), never sent to the terminal raw;
// a byte that is not UTF-8 shows as \xNN in the table and U+FFFD in JSON. A
// folder beyond the system's path limit is reported with the system's reason
// and counted as a folder not read, not as a tape, and not passed over.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <string>
#include <tuple>
#include <vector>

#include "support/program_run.h"
#include "support/scratch_folder.h"
#include "support/tape_composer.h"

namespace rw {
namespace {

using test::RunCliBytes;

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
  const auto table = RunCliBytes({"scan", folder.path()});
  const auto json = RunCliBytes({"scan", "--json", folder.path()});
  ASSERT_EQ(std::pair(table.exitCode, json.exitCode), std::pair(0, 0)) << table.err << json.err;
  for (const auto& [name, shown, written] : names) {
    EXPECT_NE(table.out.find(folder.File(shown) + "\n"), std::string::npos) << table.out;
    EXPECT_NE(json.out.find("\"path\":\"" + folder.File(written) + "\""), std::string::npos) << json.out;
  }
  for (const char raw : {'\x1B', '\x07', '\x7F'}) EXPECT_EQ(table.out.find(raw), std::string::npos) << int(raw);
  // Every line is JSON, and the escapes read back as the characters.
  size_t lines = 0;
  for (size_t begin = 0; begin < json.out.size(); ++lines) {
    const size_t end = json.out.find('\n', begin);
    QJsonParseError error{};
    const auto document =
        QJsonDocument::fromJson(QByteArray::fromStdString(json.out.substr(begin, end - begin)), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << json.out.substr(begin, end - begin);
    if (lines == 2) {
      EXPECT_EQ(document.object()["path"].toString().toStdString(), folder.File("esc\x1B[2Jred\x07.tap"));
    }
    begin = end + 1;
  }
  EXPECT_EQ(lines, 3u);
}

// Makes `depth` nested folders of `name` below `root` (relative to an open
// folder, since the whole path soon exceeds what the system takes), with a
// tape in each.
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

// Removes what MakeDeepTree made, relative to open folders again.
void RemoveDeepTree(int parent, const std::string& name) {
  const int folder = ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY);
  if (folder < 0) return;
  RemoveDeepTree(folder, name);
  ::unlinkat(folder, "t.tap", 0);
  ::close(folder);
  ::unlinkat(parent, name.c_str(), AT_REMOVEDIR);
}

TEST(ScanNames, AFolderBeyondThePathLimitIsReportedAndNotCountedAsATape) {
  test::ScratchFolder folder;
  const std::string name(200, 'd');
  MakeDeepTree(folder.path(), name, 24);  // about 4,800 bytes deep
  const auto table = RunCliBytes({"scan", folder.path()});
  const auto json = RunCliBytes({"scan", "--json", "--jobs", "3", folder.path()});
  const auto summary = RunCliBytes({"scan", "--json", "--summary-only", folder.path()});
  const int root = ::open(folder.path().c_str(), O_RDONLY | O_DIRECTORY);
  RemoveDeepTree(root, name);
  ::close(root);

  EXPECT_EQ(table.exitCode, 1);
  EXPECT_NE(table.out.find("Refused: Error while reading folder "), std::string::npos) << table.out;
  EXPECT_NE(table.out.find(" : File name too long\n"), std::string::npos) << table.out;
  // Every tape that can be reached is scanned; the folder is no tape.
  const std::string totals = table.out.substr(table.out.rfind('\n', table.out.size() - 2) + 1);
  const size_t counts = totals.find(" tapes scanned, 0 refused, 1 folders not read,");
  EXPECT_NE(counts, std::string::npos) << totals;
  EXPECT_GE(std::stoi(totals.substr(0, counts)), 15) << totals;
  EXPECT_EQ(json.exitCode, 1);
  EXPECT_NE(json.out.find(",\"folder\":true}"), std::string::npos);
  EXPECT_NE(json.err.find(" 0 refused, 1 folders not read,"), std::string::npos) << json.err;
  EXPECT_NE(summary.out.find("\"refused\":0,\"foldersNotRead\":1,"), std::string::npos) << summary.out;
}

}  // namespace
}  // namespace rw
