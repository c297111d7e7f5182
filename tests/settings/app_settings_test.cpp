#include "settings/app_settings.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/scratch_folder.h"

namespace rw {
namespace {

namespace fs = std::filesystem;
using test::ReadFileText;
using test::ScratchFolder;

QString Q(const std::string& text) { return QString::fromStdString(text); }

constexpr PersistentPath kAll[] = {PersistentPath::SavePath, PersistentPath::LoadPath, PersistentPath::JoinPath,
                                   PersistentPath::SplitPath, PersistentPath::DefSplitPath};

// The user's config folder is made by the first write, not before.
TEST(AppSettings, RememberedDirectoriesSurviveARestart) {
  ScratchFolder scratch;
  const QString ini = Q(scratch.File("config/Reelwright/Reelwright.ini"));
  {
    AppSettings settings(ini, "/opt/reelwright");
    for (PersistentPath which : kAll) EXPECT_EQ(ReadPersistentPath(settings, which), "/opt/reelwright");
    EXPECT_TRUE(scratch.Names().empty());
    EXPECT_TRUE(WritePersistentPath(settings, QString::fromUtf8("/home/me/Bänder ; 1984"), PersistentPath::LoadPath));
    EXPECT_TRUE(WritePersistentPath(settings, "", PersistentPath::DefSplitPath));
  }
  EXPECT_EQ(ReadFileText(ini.toStdString()), "[Persistence]\nLoadPath=/home/me/Bänder ; 1984\nDefSplitPath=\n");

  AppSettings restarted(ini, "/opt/reelwright");
  EXPECT_EQ(ReadPersistentPath(restarted, PersistentPath::LoadPath), QString::fromUtf8("/home/me/Bänder ; 1984"));
  EXPECT_EQ(ReadPersistentPath(restarted, PersistentPath::DefSplitPath), "");
  EXPECT_EQ(ReadPersistentPath(restarted, PersistentPath::SplitPath), "/opt/reelwright");
  EXPECT_EQ(restarted.Section(), "Persistence");
  EXPECT_EQ(restarted.Key(), "SplitPath");

  // A folder that cannot be made is reported to the caller, and the old value reads on.
  AppSettings blocked(Q(scratch.Write("file", "x") + "/Reelwright.ini"), "/opt/reelwright");
  EXPECT_FALSE(WritePersistentPath(blocked, "/tapes", PersistentPath::SplitPath));
  EXPECT_EQ(ReadPersistentPath(blocked, PersistentPath::SplitPath), "/opt/reelwright");
}

TEST(AppSettings, FileLivesBesideTheProgramOnlyWhenThatFolderIsWritableAndNotInstalled) {
  ScratchFolder scratch;
  const QString program = Q(scratch.path());
  const QString user = "/home/me/.config/Reelwright";
  EXPECT_EQ(SettingsFileLocation(program, user), program + "/Reelwright.ini");
  const QString unwritable = Q(scratch.Write("file", "x")) + "/bin";
  EXPECT_EQ(SettingsFileLocation(unwritable, user), user + "/Reelwright.ini");
  // Installed: bin/ beside share/applications/ with the desktop entry, writable or not (root).
  fs::create_directories(scratch.File("usr/bin"));
  fs::create_directories(scratch.File("usr/share/applications"));
  scratch.Write("usr/share/applications/" REELWRIGHT_APP_ID ".desktop", "[Desktop Entry]\n");
  EXPECT_EQ(SettingsFileLocation(Q(scratch.File("usr/bin")), user), user + "/Reelwright.ini");
  // Folders never remembered: the portable copy's own, else the home folder.
  EXPECT_EQ(UnsetFolderDefault(program + "/Reelwright.ini", program, "/home/me"), program);
  EXPECT_EQ(UnsetFolderDefault(user + "/Reelwright.ini", "/usr/bin", "/home/me"), "/home/me");
}

}  // namespace
}  // namespace rw
