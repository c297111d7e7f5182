// SPDX-License-Identifier: GPL-2.0-or-later
// The settings file is only ever the user's own settings file. A symbolic
// link, a read-only file and a file in an encoding the program does not read
// are left exactly as they are (the values of such a run are not saved); a
// named pipe or a device is never opened in a way that blocks, so the program
// starts. A folder whose name is not UTF-8 is remembered byte for byte.
// The tests run as root, who may write any file: read-only is the file's mode.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QString>

#include <csignal>
#include <filesystem>
#include <tuple>

#include "platform/native_path.h"
#include "settings/app_settings.h"
#include "settings/ini_file.h"
#include "support/scratch_folder.h"

namespace rw {
namespace {

namespace fs = std::filesystem;
using test::ReadFileText;
using test::ScratchFolder;

unsigned ModeOf(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0 ? status.st_mode : 0;
}

// Sets a remembered folder; the outcome, the error and what the file holds after.
std::tuple<bool, std::string, std::string> Remember(const std::string& ini, const std::string& folder = "/tapes") {
  AppSettings settings(PathToQt(ini), "/opt/reelwright");
  const Outcome saved = WritePersistentPath(settings, PathToQt(folder), PersistentPath::LoadPath);
  return {saved.ok(), saved.text(), ReadFileText(ini)};
}

TEST(SettingsFileSafety, ALinkIsNeverWrittenThroughAndStays) {
  ScratchFolder scratch;
  const std::string target = scratch.Write("passwd-copy", std::string("root:x:0:0:root:/root:/bin/bash\n"));
  const std::string link = scratch.File("Reelwright.ini");
  fs::create_symlink(target, link);
  const auto [saved, error, text] = Remember(link);
  EXPECT_FALSE(saved);
  EXPECT_EQ(error, "It is a symbolic link, which is never written through");
  EXPECT_EQ(text, "root:x:0:0:root:/root:/bin/bash\n");
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(scratch.Names(), (std::vector<std::string>{"Reelwright.ini", "passwd-copy"}));
  // What it holds is read all the same.
  test::ScratchFolder other;
  const std::string stored = other.Write("real.ini", std::string("[Persistence]\nLoadPath=/games\n"));
  fs::remove(link);
  fs::create_symlink(stored, link);
  AppSettings settings(PathToQt(link), "/opt/reelwright");
  EXPECT_EQ(ReadPersistentPath(settings, PersistentPath::LoadPath), "/games");
}

TEST(SettingsFileSafety, AReadOnlyFileKeepsItsTextAndItsMode) {
  ScratchFolder scratch;
  const std::string ini = scratch.Write("Reelwright.ini", std::string("[Persistence]\nLoadPath=/old\n"));
  ASSERT_EQ(::chmod(ini.c_str(), 0444), 0);
  const auto [saved, error, text] = Remember(ini);
  EXPECT_FALSE(saved);
  EXPECT_EQ(error, "It is read-only");
  EXPECT_EQ(text, "[Persistence]\nLoadPath=/old\n");
  EXPECT_EQ(ModeOf(ini) & 07777, 0444u);
  // A writable file keeps its own mode when it is rewritten.
  ASSERT_EQ(::chmod(ini.c_str(), 0600), 0);
  EXPECT_TRUE(std::get<0>(Remember(ini, "/new")));
  EXPECT_EQ(ModeOf(ini) & 07777, 0600u);
  EXPECT_EQ(ReadFileText(ini), "[Persistence]\nLoadPath=/new\n");
}

TEST(SettingsFileSafety, APipeOrDeviceIsIgnoredWithoutBlocking) {
  ScratchFolder scratch;
  const std::string fifo = scratch.File("Reelwright.ini");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // Reading and writing must return at once; a blocking open would hang
  // until the alarm ends the test program.
  EXPECT_EXIT(
      {
        ::alarm(10);
        AppSettings settings(PathToQt(fifo), "/opt/reelwright");
        const bool read = ReadPersistentPath(settings, PersistentPath::LoadPath) == "/opt/reelwright";
        const Outcome saved = WritePersistentPath(settings, "/tapes", PersistentPath::LoadPath);
        const bool said = saved.text() == "Not a regular file (a named pipe)";
        AppSettings device("/dev/zero", "/opt/reelwright");
        const bool deviceRead = ReadPersistentPath(device, PersistentPath::LoadPath) == "/opt/reelwright";
        const bool deviceSaved = WritePersistentPath(device, "/tapes", PersistentPath::LoadPath).ok();
        std::_Exit(read && !saved && said && deviceRead && !deviceSaved ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_TRUE(S_ISFIFO(ModeOf(fifo)));
  EXPECT_EQ(scratch.Names(), std::vector<std::string>{"Reelwright.ini"});
}

TEST(SettingsFileSafety, AFileInAnotherEncodingIsLeftAsItIs) {
  ScratchFolder scratch;
  // "[Persistence]\r\nLoadPath=C:\\tapes\r\n" as Windows Notepad saves it in UTF-16.
  std::string utf16 = "\xFF\xFE";
  for (const char c : std::string("[Persistence]\r\nLoadPath=C:\\tapes\r\n")) utf16 += std::string{c, '\0'};
  const std::string ini = scratch.Write("Reelwright.ini", utf16);
  const auto [saved, error, text] = Remember(ini);
  EXPECT_FALSE(saved);
  EXPECT_EQ(error, "It is in an encoding the program does not read (UTF-16)");
  EXPECT_EQ(text, utf16);
  AppSettings settings(PathToQt(ini), "/opt/reelwright");
  EXPECT_EQ(ReadPersistentPath(settings, PersistentPath::LoadPath), "/opt/reelwright");
}

TEST(SettingsFileSafety, AFolderWhoseNameIsNotUtf8IsRememberedByteForByte) {
  ScratchFolder scratch;
  const std::string ini = scratch.File("Reelwright.ini");
  const std::string folder = "/tapes/caf\xE9 \xFF";
  EXPECT_TRUE(std::get<0>(Remember(ini, folder)));
  EXPECT_EQ(ReadFileText(ini), "[Persistence]\nLoadPath=" + folder + "\n");
  AppSettings settings(PathToQt(ini), "/opt/reelwright");
  EXPECT_EQ(settings.ReadPersistentPath(PersistentPath::LoadPath), folder);
}

}  // namespace
}  // namespace rw
