// SPDX-License-Identifier: GPL-2.0-or-later
// The settings file: values read and written as the user's own file holds
// them. It is only ever the user's own settings file: a symbolic link, a
// read-only file and a file in an encoding the program does not read are
// left exactly as they are (the values of such a run are not saved); a named
// pipe or a device is never opened in a way that blocks, so the program
// starts. A folder whose name is not UTF-8 is remembered byte for byte. The
// tests run as root, who may write any file: read-only is the file's mode.

#include "settings/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QString>

#include <csignal>
#include <filesystem>
#include <tuple>

#include "platform/native_path.h"
#include "settings/app_settings.h"
#include "settings/ini_text.h"
#include "support/scratch_folder.h"

namespace rw {
namespace {

namespace fs = std::filesystem;
using test::ReadFileText;
using test::ScratchFolder;

QString Q(const std::string& text) { return QString::fromStdString(text); }

// The settings file at `path`, pointed at one key.
cInifile At(const std::string& path) {
  cInifile ini(test::noSync, Q(path));
  ini.SetSection("S");
  ini.SetKey("K");
  return ini;
}

class IniFile : public ::testing::Test {
 protected:
  ScratchFolder scratch;
  const std::string path = scratch.File("test.ini");
  cInifile ini = At(path);
};

TEST_F(IniFile, MissingKeysReadTheDefaultButEmptyValuesReadEmpty) {
  ini.SetDefault("fallback");
  EXPECT_EQ(ini.Value(), "fallback");
  // Reads and deletions of what is not there never create the file.
  EXPECT_TRUE(ini.DeleteKey());
  EXPECT_TRUE(scratch.Names().empty());

  ASSERT_TRUE(ini.SetValue(QString()));
  EXPECT_EQ(ReadFileText(path), "[S]\nK=\n");
  EXPECT_TRUE(ini.Value().isEmpty() && !ini.Value().isNull());
  ini.SetKey("Other");
  EXPECT_EQ(ini.Value(), "fallback");
  ini.SetSection("Missing");
  ini.SetKey("K");
  EXPECT_EQ(ini.Value(), "fallback");
  // A file of exactly the largest size, 16 MiB, is still read.
  scratch.Write("test.ini", "[S]\nK=v\n;" + std::string(16 * 1024 * 1024 - 9, 'x'));
  EXPECT_EQ(At(path).Value(), "v");
}

TEST_F(IniFile, ValuesRoundTripUnchangedAcrossARestart) {
  const QString values[] = {
      QString(300, u'x') + "/end",  // never cut to 254 characters
      "  leading blanks",
      "trailing blanks \t",
      "\"in quotes\"",
      "\"",
      "C:\\tapes\\new",
      "@home, games",
      QString::fromUtf8("/home/jürgen/Bänder/テープ"),  // UTF-8 paths
      "a=b;c#d ; not a comment",                        // no escaping, no inline comments
  };
  for (const QString& value : values) {
    SCOPED_TRACE(value.toStdString());
    EXPECT_TRUE(At(path).SetValue(value));
    EXPECT_EQ(At(path).Value(), value);
  }
  // Values that need no quoting stand in the file exactly as given, so that
  // the user and other programs read them as they are (UTF-8 text: the
  // application settings' test); the last one is there now.
  EXPECT_EQ(ReadFileText(path), "[S]\nK=a=b;c#d ; not a comment\n");
}

TEST_F(IniFile, NulsAreRemovedFromTheCallersTextAndLineBreaksRefused) {
  QString value = QString("a") + QChar(u'\0') + "b" + QChar(u'\0') + QChar(u'\0') + "c";
  EXPECT_TRUE(ini.SetValue(value));
  EXPECT_EQ((QStringList{value, ini.Value()}), (QStringList{"abc", "abc"}));

  for (const QString& bad : {QString("one\ntwo"), QString("one\rtwo")}) {
    EXPECT_TRUE(!ini.SetValue(bad) && ini.Value() == "abc");
  }
  ini.SetKey("a=b");
  EXPECT_FALSE(ini.SetValue(QString("x")));
  EXPECT_EQ(ReadFileText(path), "[S]\nK=abc\n");
}

// Sections and keys match without regard to case, and a section may come
// back later in the file: a deletion reaches every place of the key.
TEST_F(IniFile, DeleteKeyRemovesTheKeyFromEverySectionOfThatName) {
  scratch.Write("test.ini", "[A]\nk1=1\nk2=2\n[B]\nk2=3\n[a]\nK2=4\n");
  ini.SetSection("a");
  ini.SetKey("K2");
  EXPECT_EQ(ini.Value(), "2");
  EXPECT_TRUE(ini.DeleteKey() && ini.Value() == "");
  EXPECT_EQ(ReadFileText(path), "[A]\nk1=1\n[B]\nk2=3\n[a]\n");
}

TEST_F(IniFile, EditsOfAHandWrittenFileTouchOnlyTheirOwnLine) {
  scratch.Write("test.ini",
                "; written by hand\r\n[Persistence]\r\n  LoadPath = /tapes/old  \r\nOdd=\xE9t\xE9\r\n"
                "\r\n# next\r\n[Other]\r\nX=1\r\n");
  ini.SetSection("persistence");
  ini.SetKey("loadpath");
  EXPECT_EQ(ini.Value(), "/tapes/old");
  EXPECT_TRUE(ini.SetValue(QString("/tapes/new")));
  ini.SetKey("SplitPath");
  EXPECT_TRUE(ini.SetValue(QString("/out")));
  EXPECT_EQ(
      ReadFileText(path),
      "; written by hand\r\n[Persistence]\r\nLoadPath=/tapes/new\r\nOdd=\xE9t\xE9\r\nSplitPath=/out\r\n\r\n# next\r\n"
      "[Other]\r\nX=1\r\n");
}

TEST_F(IniFile, AFailedWriteIsReportedAndDestroysNothing) {
  const std::string blocker = scratch.Write("plain-file", "keep");
  cInifile blocked = At(blocker + "/sub/test.ini");
  blocked.SetDefault("d");
  EXPECT_NE(blocked.SetValue(QString("v")).text(), "");
  EXPECT_EQ(blocked.Value(), "d");
  EXPECT_EQ(ReadFileText(blocker), "keep");

  // A settings path that names a folder is never replaced by a file.
  EXPECT_FALSE(At(scratch.path()).SetValue(QString("v")));
  EXPECT_EQ(scratch.Names(), std::vector<std::string>{"plain-file"});

  EXPECT_FALSE(cInifile(test::noSync).SetValue(QString("v")));  // no file at all
}

// A line that begins with the bytes of a byte order mark (U+FEFF) reads as
// it was written (the UTF-8 decoder drops such a mark where it starts, so a
// key written with one could not be found again); only the first line's
// mark is not text.
TEST(IniTextByteOrderMark, AKeyBeginningWithTheMarkReadsBack) {
  IniText text(QByteArray("[Paths]\n"));
  const QString key = QChar(0xFEFF) + QStringLiteral("[[Key");
  ASSERT_TRUE(text.Set(u"Paths"_qs, key, u"value"_qs));
  EXPECT_EQ(text.Find(u"Paths"_qs, key), u"value"_qs);
  EXPECT_EQ(text.Bytes(), QByteArray("[Paths]\n\xEF\xBB\xBF[[Key=value\n"));
  EXPECT_FALSE(text.Find(u"Paths"_qs, u"[[Key"_qs).has_value());

  const IniText marked(QByteArray("\xEF\xBB\xBF[A]\nk=1\n\xEF\xBB\xBF[B]\nk=2\n"));
  EXPECT_FALSE(marked.Find(u"B"_qs, u"k"_qs).has_value());
  EXPECT_EQ(marked.Find(u"A"_qs, u"k"_qs), u"1"_qs);
}

// The application's own settings, kept in such a file. The user's config
// folder is made by the first write, not before.
TEST(AppSettings, RememberedDirectoriesSurviveARestart) {
  ScratchFolder scratch;
  const QString ini = Q(scratch.File("config/Reelwright/Reelwright.ini"));
  {
    AppSettings settings(test::noSync, ini, "/opt/reelwright");
    EXPECT_EQ(ReadPersistentPath(settings, PersistentPath::SavePath), "/opt/reelwright");
    EXPECT_TRUE(scratch.Names().empty());
    EXPECT_TRUE(WritePersistentPath(settings, QString::fromUtf8("/home/me/Bänder ; 1984"), PersistentPath::LoadPath));
    EXPECT_TRUE(WritePersistentPath(settings, "", PersistentPath::DefSplitPath));
  }
  EXPECT_EQ(ReadFileText(ini.toStdString()), "[Persistence]\nLoadPath=/home/me/Bänder ; 1984\nDefSplitPath=\n");

  // An emptied folder reads empty, not as never set (read back otherwise: the
  // safety tests below).
  AppSettings restarted(test::noSync, ini, "/opt/reelwright");
  EXPECT_EQ(ReadPersistentPath(restarted, PersistentPath::DefSplitPath), "");
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

unsigned ModeOf(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0 ? status.st_mode : 0;
}

// Sets a remembered folder; the outcome, the error, what the file holds after
// and the folder that a restarted program reads from it.
std::tuple<bool, std::string, std::string, std::string> Remember(const std::string& ini,
                                                                 const std::string& folder = "/tapes") {
  AppSettings settings(test::noSync, PathToQt(ini), "/opt/reelwright");
  const Outcome saved = WritePersistentPath(settings, PathToQt(folder), PersistentPath::LoadPath);
  AppSettings restarted(test::noSync, PathToQt(ini), "/opt/reelwright");
  return {saved.ok(), saved.text(), ReadFileText(ini), restarted.ReadPersistentPath(PersistentPath::LoadPath)};
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
    EXPECT_EQ(Remember(ini), std::tuple(false, reason, before, folder));
  }
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ModeOf(readOnly) & 07777, 0444u);
  EXPECT_EQ(scratch.Names(), (std::vector<std::string>{"link.ini", "read-only.ini", "utf16.ini"}));
  // A writable file keeps its own mode when it is rewritten; a folder whose
  // name is not UTF-8 is remembered byte for byte.
  ASSERT_EQ(::chmod(readOnly.c_str(), 0600), 0);
  const std::string latin1 = "/tapes/caf\xE9 \xFF";
  EXPECT_EQ(Remember(readOnly, latin1), std::tuple(true, "", "[Persistence]\nLoadPath=" + latin1 + "\n", latin1));
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

}  // namespace
}  // namespace rw
