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
  AppSettings settings(test::noSync, PathToQt(ini), "/opt/reelwright");
  const Outcome saved = WritePersistentPath(settings, PathToQt(folder), PersistentPath::LoadPath);
  return {saved.ok(), saved.text(), ReadFileText(ini)};
}

TEST(SettingsFileSafety, ALinkAReadOnlyFileAndAnotherEncodingAreLeftAsTheyAre) {
  ScratchFolder scratch, other;
  const std::string link = scratch.File("link.ini");
  fs::create_symlink(other.Write("real.ini", std::string("[Persistence]\nLoadPath=/games\n")), link);
  const std::string readOnly = scratch.Write("read-only.ini", std::string("[Persistence]\nLoadPath=/old\n"));
  ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
  // "[Persistence]\r\nLoadPath=C:\\tapes\r\n" as Windows Notepad saves it in UTF-16.
  std::string utf16 = "\xFF\xFE";
  for (const char c : std::string("[Persistence]\r\nLoadPath=C:\\tapes\r\n")) utf16 += std::string{c, '\0'};
  // Each file, why a value is not saved there, and the folder read from it all the same.
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {link, "It is a symbolic link, which is never written through", "/games"},
      {readOnly, "It is read-only", "/old"},
      {scratch.Write("utf16.ini", utf16), "It is in an encoding the program does not read (UTF-16)",
       "/opt/reelwright"}};
  for (const auto& [ini, reason, folder] : cases) {
    const std::string before = ReadFileText(ini);
    EXPECT_EQ(Remember(ini), std::tuple(false, reason, before));
    AppSettings settings(test::noSync, PathToQt(ini), "/opt/reelwright");
    EXPECT_EQ(ReadPersistentPath(settings, PersistentPath::LoadPath), PathToQt(folder));
  }
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ModeOf(readOnly) & 07777, 0444u);
  EXPECT_EQ(scratch.Names(), (std::vector<std::string>{"link.ini", "read-only.ini", "utf16.ini"}));
  // A writable file keeps its own mode when it is rewritten.
  ASSERT_EQ(::chmod(readOnly.c_str(), 0600), 0);
  EXPECT_EQ(Remember(readOnly, "/new"), std::tuple(true, "", "[Persistence]\nLoadPath=/new\n"));
  EXPECT_EQ(ModeOf(readOnly) & 07777, 0600u);
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
        AppSettings settings(test::noSync, PathToQt(fifo), "/opt/reelwright");
        const bool read = ReadPersistentPath(settings, PersistentPath::LoadPath) == "/opt/reelwright";
        const Outcome saved = WritePersistentPath(settings, "/tapes", PersistentPath::LoadPath);
        const bool said = saved.text() == "Not a regular file (a named pipe)";
        AppSettings device(test::noSync, "/dev/zero", "/opt/reelwright");
        const bool deviceRead = ReadPersistentPath(device, PersistentPath::LoadPath) == "/opt/reelwright";
        const bool deviceSaved = WritePersistentPath(device, "/tapes", PersistentPath::LoadPath).ok();
        std::_Exit(read && !saved && said && deviceRead && !deviceSaved ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_TRUE(S_ISFIFO(ModeOf(fifo)));
  EXPECT_EQ(scratch.Names(), std::vector<std::string>{"Reelwright.ini"});
}

TEST(SettingsFileSafety, AFolderWhoseNameIsNotUtf8IsRememberedByteForByte) {
  ScratchFolder scratch;
  const std::string ini = scratch.File("Reelwright.ini");
  const std::string folder = "/tapes/caf\xE9 \xFF";
  EXPECT_TRUE(std::get<0>(Remember(ini, folder)));
  EXPECT_EQ(ReadFileText(ini), "[Persistence]\nLoadPath=" + folder + "\n");
  AppSettings settings(test::noSync, PathToQt(ini), "/opt/reelwright");
  EXPECT_EQ(settings.ReadPersistentPath(PersistentPath::LoadPath), folder);
}

}  // namespace
}  // namespace rw
