// The dialogs' rules, the target systems and the naming of launcher programs.

#include <gtest/gtest.h>

#include <cmath>

#include "launcher/device_answer.h"
#include "launcher/launcher_text.h"
#include "support/shown_messages.h"

namespace rw {
namespace {

const std::string kDeviceError = "Error, Device number of Tapewell must be in the interval 8-11 !";

TEST(LeadingNumber, ReadsTheDecimalNumberAtTheStart) {
  const struct {
    const char* text;
    double value;
  } cases[] = {{"10", 10},  {" 9", 9},   {"8.5", 8.5}, {"11abc", 11}, {"", 0},    {"abc", 0},
               {"+9", 9},   {"-8", -8},  {".5", 0.5},  {"1e1", 10},   {"9e", 9},  {"0x9", 0},
               {"9,5", 9},  {"1e400", INFINITY}, {"1e-400", 0}, {"0.00000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000001", 0}};
  for (const auto& c : cases) EXPECT_EQ(LeadingNumber(c.text), c.value) << c.text;
}

TEST(CheckDeviceAnswer, DeviceEightToElevenHalvesToEven) {
  const struct {
    const char* text;
    bool accepted;
    int device;
  } cases[] = {{"8", true, 8},      {"10", true, 10},  {"11", true, 11},       {"7.5", true, 8},
               {"8.5", true, 8},    {"10.5", true, 10}, {"11.5", false, 8},    {"7", false, 8},
               {"12", false, 8},    {"", false, 8},    {"tapewell", false, 8}, {"99999999999999999999999", false, 8}};
  for (const auto& c : cases) {
    RecordedMessages messages;
    const DeviceCheck check = CheckDeviceAnswer(c.text, "", messages);
    EXPECT_EQ(check.accepted, c.accepted) << c.text;
    EXPECT_EQ(check.resetDeviceText, !c.accepted) << c.text;
    EXPECT_EQ(check.device, c.device) << c.text;
    EXPECT_EQ(test::Shown(messages), c.accepted ? test::Lines{} : test::Lines{"Error ! | critical | " + kDeviceError});
  }
}

// Folders are lower-cased with forward slashes, at most 55 characters (not
// bytes), and refused when they could end the launcher's string or line.
TEST(CheckDeviceAnswer, FolderLowerCasedAndRefusedWhenTooLongOrUnsafe) {
  const std::string tooLong = "Error, length of directory cannot exceed 55 charachters !";
  const struct {
    std::string folder;
    std::string directory;  // "" when refused
    std::string error;
  } cases[] = {{"\\Games\\C64", "/games/c64", ""},
               {"GAMES\\C64", "games/c64", ""},
               {"Tapes/ÄÖÜ/", "tapes/äöü/", ""},
               {std::string(55, 'A'), std::string(55, 'a'), ""},
               {"é" + std::string(54, 'a'), "é" + std::string(54, 'a'), ""},
               {"/games,1", "/games,1", ""},
               {"/ü_[]", "/ü_[]", ""},
               {std::string(56, 'a'), "", tooLong},
               {"/a\":poke53280,0:rem", "", kDirectoryCharacterError},
               {"/a\r10 poke", "", kDirectoryCharacterError},
               {"/a\nb", "", kDirectoryCharacterError},
               {"/{clr}", "", kDirectoryCharacterError},
               {"/a}", "", kDirectoryCharacterError},
               {"/a\x01", "", kDirectoryCharacterError},
               {"/a\u0093", "", kDirectoryCharacterError}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    RecordedMessages messages;
    const DeviceCheck check = CheckDeviceAnswer("9", c.folder, messages);
    EXPECT_EQ(check.accepted, c.error.empty());
    EXPECT_FALSE(check.resetDeviceText);
    EXPECT_EQ(check.accepted ? check.directory : "", c.directory);
    EXPECT_EQ(test::Shown(messages), c.error.empty() ? test::Lines{} : test::Lines{"Error ! | critical | " + c.error});
  }
  RecordedMessages messages;
  CheckDeviceAnswer("9", std::string(30, '\xC3'), messages);  // malformed text is no crash
  // With both wrong only the device is reported.
  messages.shown.clear();
  EXPECT_TRUE(CheckDeviceAnswer("7", std::string(60, 'a'), messages).resetDeviceText);
  EXPECT_EQ(test::Shown(messages), test::Lines{"Error ! | critical | " + kDeviceError});
}

TEST(LauncherEntryName, CounterDashAndThirteenCharactersInLowerCase) {
  const struct {
    const char* name;
    int n;
    const char* expected;
  } cases[] = {{"GAME", 1, "01-game         "},
               {"SUPERLONGNAME123", 3, "03-superlongname"},
               {"", 12, "12-             "},
               {"ABCDEFGHIJKLMNOP", 100, "100-abcdefghijklm"},
               // c1541 refuses , : and reads * ? as patterns; " { } | ~ `,
               // controls and other bytes have no safe form on the disk.
               {"£ÉLAN", 2, "02--elan        "},
               {"A\":POKE53280,0:REM", 4, "04-a--poke53280-"},
               {"LINE\r\nTWO*?", 5, "05-line--two--  "},
               {"{CLR}|~`ÆØß÷Ω", 6, "06--clr----aos--"}};
  for (const auto& c : cases) EXPECT_EQ(LauncherEntryName(c.name, c.n), c.expected) << c.name;
}

TEST(LauncherDiskPath, FolderPlusLowerCasedImageNamePlusD64) {
  EXPECT_EQ(LauncherDiskPath("/out", "/t/Zork.TAP"), "/out/zork.tap.d64");
  EXPECT_EQ(LauncherDiskPath("/out/", "/t/Games.TAP"), "/out/games.tap.d64");
  EXPECT_EQ(LauncherDiskPath("/out", "/t/ÜBER Spiel.tap"), "/out/über spiel.tap.d64");
  EXPECT_EQ(LauncherImageName("/t/Ω×Ä.TAP"), "Ω×ä.tap");
}

TEST(LauncherText, LatinOneBytesWithCrLf) {
  const std::string text = LauncherText(10, "/spiele/ä", "£.tap", "0001a4", "25 x");
  EXPECT_EQ(text,
            "5 open 1,10,15,\"cd:_\":close1\r\n"
            "10 open 1,10,15,\"cd/spiele/\xE4\":close1\r\n"
            "20 open 1,10,15,\"xt:\xA3.tap,0001a4\":close1\r\n"
            "25 x\r\n30 new\r\n");

  // Text that slipped past the checks still cannot end the string or line.
  EXPECT_EQ(LauncherText(8, "", "a\":poke1,0\r\n{x}.tap", "0001a4", "25 x"),
            "20 open 1,8,15,\"xt:a?:poke1,0???x?.tap,0001a4\":close1\r\n25 x\r\n30 new\r\n");
}

}  // namespace
}  // namespace rw
