// SPDX-License-Identifier: GPL-2.0-or-later
// The desktop program's "Open with" argument is the file's name byte for
// byte: a tape in a folder whose name is not UTF-8 opens, its folder is
// remembered exactly, and the split writes there, never into the
// folder a lossy conversion would name.

#include <QLineEdit>

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/native_path.h"
#include "ui/split_window.h"
#include "window_driver.h"

namespace rw {
namespace {

namespace fs = std::filesystem;

TEST(NativePathWindow, TheArgumentOpensALatin1NameAndTheSplitWritesBesideIt) {
  test::Desktop desktop;
  const std::string folder = desktop.folder.File(
      "bad\xFF"
      "dir");
  const std::string sibling = desktop.folder.File(
      "bad\xEF\xBF\xBD"
      "dir");
  fs::create_directory(folder);
  fs::create_directory(sibling);
  const std::string tape = desktop.folder.Write(
      "bad\xFF"
      "dir/caf\xE9.tap",
      test::TapeWith({"GAME", "DEMO"}));
  // As main() hands them on: each argument's bytes, losslessly.
  char program[] = "reelwright";
  std::string argument = tape;
  char* argv[] = {program, argument.data()};
  desktop.window.OpenFromArguments(NativeArguments(2, argv));
  SplitWindow* split = desktop.window.splitWindow();
  ASSERT_TRUE(split->model().loaded()) << test::Shown(desktop.messages).front();
  EXPECT_EQ(split->model().loadedPath(), tape);
  EXPECT_EQ(desktop.paths.ReadPersistentPath(PersistentPath::LoadPath), folder);
  // The folder in the output box (as the folder dialog puts it there) is the
  // folder the split writes to, byte for byte.
  split->findChild<QLineEdit*>(output_folder_controls::kFolder)->setText(PathToQt(folder));
  EXPECT_EQ(split->model().outputDir, folder);
  split->model().SelectAll();
  split->UpdateCommands();
  test::Click(split, split_controls::kSplitFile);
  EXPECT_TRUE(fs::exists(folder + "/001.GAME.tap"));
  EXPECT_TRUE(fs::is_empty(sibling));
}

}  // namespace
}  // namespace rw
