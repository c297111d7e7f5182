#include "settings/ini_file.h"

#include <gtest/gtest.h>

#include <QString>

#include "support/scratch_folder.h"

namespace rw {
namespace {

using test::ReadFileText;
using test::ScratchFolder;

QString Q(const std::string& text) { return QString::fromStdString(text); }

// The settings file at `path`, pointed at one key.
cInifile At(const std::string& path, const QString& section = "S", const QString& key = "K") {
  cInifile ini(Q(path));
  ini.SetSection(section);
  ini.SetKey(key);
  return ini;
}

TEST(IniFile, MissingKeysReadTheDefaultButEmptyValuesReadEmpty) {
  ScratchFolder scratch;
  cInifile ini = At(scratch.File("test.ini"));
  ini.SetDefault("fallback");
  EXPECT_EQ(ini.Value(), "fallback");
  EXPECT_FALSE(ini.Success());
  // Reads and deletions of what is not there never create the file.
  ini.DeleteKey();
  ini.DeleteSection();
  EXPECT_TRUE(ini.Success());
  EXPECT_TRUE(scratch.Names().empty());

  ini.SetValue(QString());
  EXPECT_TRUE(ini.Success());
  EXPECT_EQ(ReadFileText(scratch.File("test.ini")), "[S]\nK=\n");
  EXPECT_EQ(ini.Value(), "");
  EXPECT_FALSE(ini.Value().isNull());
  ini.SetKey("Other");
  EXPECT_EQ(ini.Value(), "fallback");
  ini.SetSection("Missing");
  ini.SetKey("K");
  EXPECT_EQ(ini.Value(), "fallback");
}

TEST(IniFile, ValuesRoundTripUnchangedAcrossARestart) {
  ScratchFolder scratch;
  const QString values[] = {
      QString(300, u'x') + "/end",                  // never cut to 254 characters
      "a=b;c#d ; not a comment",                    // no escaping, no inline comments
      "  leading blanks",
      "trailing blanks \t",
      "\"in quotes\"",
      QString::fromUtf8("/home/jürgen/Bänder/テープ"),  // UTF-8 paths
      "C:\\tapes\\new",
      "@home, games",
      "\"",
  };
  for (const QString& value : values) {
    SCOPED_TRACE(value.toStdString());
    At(scratch.File("test.ini")).SetValue(value);
    EXPECT_EQ(At(scratch.File("test.ini")).Value(), value);
  }
  // Values that need no quoting stand in the file exactly as given, so that
  // the user and other programs read them as they are.
  At(scratch.File("test.ini")).SetValue(values[1]);
  EXPECT_EQ(ReadFileText(scratch.File("test.ini")), "[S]\nK=a=b;c#d ; not a comment\n");
  At(scratch.File("test.ini")).SetValue(values[5]);
  EXPECT_EQ(ReadFileText(scratch.File("test.ini")), "[S]\nK=/home/jürgen/Bänder/テープ\n");
}

TEST(IniFile, NulsAreRemovedFromTheCallersTextAndLineBreaksRefused) {
  ScratchFolder scratch;
  cInifile ini = At(scratch.File("test.ini"));
  QString value = QString("a") + QChar(u'\0') + "b" + QChar(u'\0') + QChar(u'\0') + "c";
  ini.SetValue(value);
  EXPECT_EQ(value, "abc");
  EXPECT_EQ(ini.Value(), "abc");

  for (const QString& bad : {QString("one\ntwo"), QString("one\rtwo")}) {
    ini.SetValue(bad);
    EXPECT_FALSE(ini.Success());
    EXPECT_EQ(ini.Value(), "abc");
  }
  ini.SetKey("a=b");
  ini.SetValue(QString("x"));
  EXPECT_FALSE(ini.Success());
  EXPECT_EQ(ReadFileText(scratch.File("test.ini")), "[S]\nK=abc\n");
}

TEST(IniFile, DeletesKeysAndSectionsAndEnumeratesWhatIsLeft) {
  ScratchFolder scratch;
  const std::string path = scratch.Write("test.ini", "[A]\nk1=1\nk2=2\n[B]\nk3=3\n[]\n[a]\nK4=4\n");
  cInifile ini(Q(path));
  QStringList names;
  int32_t count = -1;
  ini.EnumerateAllSections(names, count);
  EXPECT_EQ(count, 2);  // the empty name is skipped; "a" is the same section as "A"
  EXPECT_EQ(names, QStringList({"A", "B"}));
  EXPECT_EQ(ini.Sections(), QString("A") + QChar(u'\0') + "B" + QChar(u'\0') + QChar(u'\0'));

  ini.SetSection("a");
  ini.EnumerateCurrentSection(names, count);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(names, QStringList({"k1", "k2", "K4"}));
  ini.SetKey("k4");
  EXPECT_EQ(ini.Value(), "4");

  ini.SetKey("K2");
  ini.DeleteKey();
  EXPECT_TRUE(ini.Success());
  EXPECT_EQ(ini.Value(), "");
  ini.SetSection("A");
  ini.DeleteSection();
  EXPECT_TRUE(ini.Success());
  EXPECT_EQ(ReadFileText(path), "[B]\nk3=3\n[]\n");
  ini.EnumerateCurrentSection(names, count);
  EXPECT_EQ(count, 0);
  EXPECT_TRUE(names.isEmpty());
}

TEST(IniFile, EditsOfAHandWrittenFileTouchOnlyTheirOwnLine) {
  ScratchFolder scratch;
  const std::string path = scratch.Write(
      "test.ini", "; written by hand\r\n[Persistence]\r\n  LoadPath = /tapes/old  \r\nOdd=\xE9t\xE9\r\n\r\n# next\r\n[Other]\r\nX=1\r\n");
  cInifile ini = At(path, "persistence", "loadpath");
  EXPECT_EQ(ini.Value(), "/tapes/old");
  ini.SetValue(QString("/tapes/new"));
  ini.SetKey("SplitPath");
  ini.SetValue(QString("/out"));
  EXPECT_EQ(ReadFileText(path),
            "; written by hand\r\n[Persistence]\r\nLoadPath=/tapes/new\r\nOdd=\xE9t\xE9\r\nSplitPath=/out\r\n\r\n# next\r\n"
            "[Other]\r\nX=1\r\n");
}

TEST(IniFile, SetINISectionReplacesTheSectionsEntries) {
  ScratchFolder scratch;
  const std::string path = scratch.Write("test.ini", "[A]\nold=1\n[B]\nx=2\n");
  cInifile ini = At(path, "A");
  ini.SetINISection(QString("k=v") + QChar(u'\0') + "m=w x" + QChar(u'\0'));
  EXPECT_TRUE(ini.Success());
  EXPECT_EQ(ReadFileText(path), "[B]\nx=2\n[A]\nk=v\nm=w x\n");
  ini.SetINISection(QString("no equals sign") + QChar(u'\0'));
  EXPECT_FALSE(ini.Success());
  ini.SetINISection(QString());
  EXPECT_EQ(ReadFileText(path), "[B]\nx=2\n");
}

TEST(IniFile, AFailedWriteIsReportedAndDestroysNothing) {
  ScratchFolder scratch;
  const std::string blocker = scratch.Write("plain-file", "keep");
  cInifile ini = At(blocker + "/sub/test.ini");
  ini.SetDefault("d");
  ini.SetValue(QString("v"));
  EXPECT_EQ(ini.LastReturnCode(), 0);
  EXPECT_FALSE(ini.Success());
  EXPECT_FALSE(ini.LastError().isEmpty());
  EXPECT_EQ(ini.Value(), "d");
  EXPECT_EQ(ReadFileText(blocker), "keep");

  // A settings path that names a folder is never replaced by a file.
  cInifile folder = At(scratch.path());
  folder.SetValue(QString("v"));
  EXPECT_FALSE(folder.Success());
  EXPECT_EQ(scratch.Names(), std::vector<std::string>{"plain-file"});

  cInifile unset;
  unset.SetValue(QString("v"));
  EXPECT_FALSE(unset.Success());
}

TEST(IniFile, CLngDefaultConvertsOrFallsBack) {
  const struct {
    const char* text;
    int32_t expected;
  } cases[] = {{"12", 12},      {" -7 ", -7},  {"2.5", 2},          {"3.5", 4},          {"-2.5", -2},
               {"abc", 99},     {"", 99},      {"FAIL", 99},        {"2147483647", 2147483647},
               {"2147483648", 99}, {"1e3", 1000}, {"nan", 99}};
  for (const auto& c : cases) {
    EXPECT_EQ(cInifile::CLngDefault(c.text, 99), c.expected) << c.text;
  }
  EXPECT_EQ(cInifile::CLngDefault("x"), 0);
}

}  // namespace
}  // namespace rw
