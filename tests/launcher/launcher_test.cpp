// SPDX-License-Identifier: GPL-2.0-or-later
// The launcher disk: the dialogs' rules and the naming of launcher programs;
// the builder against stand-in tools (the exact argument lists and launcher
// texts, the dialogs' effect on the build, and every failure with its message
// and no temporary file left behind); below them the running of external tools.

#include "launcher/launcher_disk.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <thread>
#include <tuple>

#include "launcher/device_answer.h"
#include "launcher/launcher_text.h"
#include "platform/qt_tool_runner.h"
#include "support/program_run.h"
#include "support/scratch_folder.h"
#include "support/shown_messages.h"
#include "support/stand_in_tools.h"
#include "support/vice_tools.h"

namespace rw {
namespace {

namespace fs = std::filesystem;
using test::FormatMode;
using test::PetcatMode;
using test::ToolCall;
using test::WriteMode;

const std::string kDeviceError = "Error, Device number of Tapewell must be in the interval 8-11 !";

TEST(LeadingNumber, ReadsTheDecimalNumberAtTheStart) {
  const std::pair<const char*, double> cases[] = {{"10", 10},  {" 9", 9},   {"8.5", 8.5},        {"11abc", 11},
                                                  {"", 0},     {"abc", 0},  {"+9", 9},           {"-8", -8},
                                                  {".5", 0.5}, {"1e1", 10}, {"2E2", 200},        {"9e", 9},
                                                  {"0x9", 0},  {"9,5", 9},  {"1e400", INFINITY}, {"1e-400", 0}};
  for (const auto& [text, value] : cases) EXPECT_EQ(LeadingNumber(text), value) << text;
  EXPECT_EQ(LeadingNumber("0." + std::string(400, '0') + "1"), 0);
}

TEST(CheckDeviceAnswer, DeviceEightToElevenHalvesToEven) {
  const std::tuple<const char*, bool, int> cases[] = {
      {"8", true, 8},   {"10", true, 10},   {"11", true, 11},       {"7.5", true, 8},
      {"8.5", true, 8}, {"10.5", true, 10}, {"11.5", false, 8},     {"7", false, 8},
      {"12", false, 8}, {"", false, 8},     {"tapewell", false, 8}, {"99999999999999999999999", false, 8}};
  for (const auto& [text, accepted, device] : cases) {
    const DeviceCheck check = CheckDeviceAnswer(text, "");
    EXPECT_EQ(std::tuple(check.accepted(), check.resetDeviceText, check.device),
              std::tuple(accepted, !accepted, device))
        << text;
    EXPECT_EQ(test::ShownFailure(check.refusal), accepted ? "" : "Error ! | critical | " + kDeviceError);
  }
}

// Folders are lower-cased with forward slashes, at most 55 characters (not
// bytes), and refused when they could end the launcher's string or line.
TEST(CheckDeviceAnswer, FolderLowerCasedAndRefusedWhenTooLongOrUnsafe) {
  const std::string tooLong = "Error, length of directory cannot exceed 55 charachters !";
  const std::string unsafe = kDirectoryCharacterError;
  // The folder, the directory it gives ("" when refused) and the error.
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {"\\Games\\C64", "/games/c64", ""},
      {"GAMES\\C64", "games/c64", ""},
      {"Tapes/ÄÖÜ/", "tapes/äöü/", ""},
      {std::string(55, 'A'), std::string(55, 'a'), ""},
      {"/games,1", "/games,1", ""},
      {"/ü_[]", "/ü_[]", ""},
      {"é" + std::string(54, 'a'), "é" + std::string(54, 'a'), ""},
      {std::string(56, 'a'), "", tooLong}};
  for (const auto& [folder, directory, error] : cases) {
    SCOPED_TRACE(folder);
    const DeviceCheck check = CheckDeviceAnswer("9", folder);
    EXPECT_EQ(std::tuple(check.accepted(), check.resetDeviceText, check.accepted() ? check.directory : ""),
              std::tuple(error.empty(), false, directory));
    EXPECT_EQ(test::ShownFailure(check.refusal), error.empty() ? "" : "Error ! | critical | " + error);
  }
  // Characters that could end the string or the line, or that have no form on the device.
  for (const char* folder : {"/a\":poke53280,0:rem", "/a\r10 poke", "/a\nb", "/{clr}", "/a}", "/a\x01", "/a\u0093"}) {
    EXPECT_EQ(test::ShownFailure(CheckDeviceAnswer("9", folder).refusal), "Error ! | critical | " + unsafe) << folder;
  }
  // With both wrong only the device is reported.
  const DeviceCheck both = CheckDeviceAnswer("7", std::string(60, 'a'));
  EXPECT_TRUE(both.resetDeviceText && both.refusal.text() == kDeviceError);
  CheckDeviceAnswer("9", std::string(30, '\xC3'));  // malformed text is no crash
}

TEST(LauncherNames, EntriesCounterDashAndThirteenCharactersInLowerCaseAndTheDiskAfterTheImage) {
  const std::tuple<const char*, int, const char*> cases[] = {
      {"GAME", 1, "01-game         "},
      {"SUPERLONGNAME123", 3, "03-superlongname"},
      {"", 12, "12-             "},
      {"ABCDEFGHIJKLMNOP", 100, "100-abcdefghijklm"},
      // c1541 refuses , : and reads * ? as patterns; " { } | ~ `,
      // controls and other bytes have no safe form on the disk.
      {"£ÉLAN", 2, "02--elan        "},
      {"A\":POKE53280,0:REM", 4, "04-a--poke53280-"},
      {"LINE\r\nTWO*?", 5, "05-line--two--  "},
      {"{CLR}|~`ÆØß÷Ω", 6, "06--clr----aos--"}};
  for (const auto& [name, n, expected] : cases) EXPECT_EQ(LauncherEntryName(name, n), expected) << name;
  // The disk: the folder, the image's name lower-cased, ".d64".
  EXPECT_EQ(LauncherDiskPath("/out/", "/t/Games.TAP"), "/out/games.tap.d64");
  EXPECT_EQ(LauncherDiskPath("/out", "/t/ÜBER Spiel.tap"), "/out/über spiel.tap.d64");
  EXPECT_EQ(LauncherImageName("/t/Ω×Ä.TAPÄ"), "Ω×ä.tapä");
}

TEST(LauncherText, LatinOneBytesWithCrLf) {
  EXPECT_EQ(LauncherText(10, "/spiele/ä", "£.tap", "0001a4", "25 x"),
            "5 open 1,10,15,\"cd:_\":close1\r\n"
            "10 open 1,10,15,\"cd/spiele/\xE4\":close1\r\n"
            "20 open 1,10,15,\"xt:\xA3.tap,0001a4\":close1\r\n"
            "25 x\r\n30 new\r\n");

  // Text that slipped past the checks still cannot end the string or line.
  EXPECT_EQ(LauncherText(8, "", "a\":poke1,0\r\n{x}.tap", "0001a4", "25 x"),
            "20 open 1,8,15,\"xt:a?:poke1,0???x?.tap,0001a4\":close1\r\n25 x\r\n30 new\r\n");
}

// The user at the dialogs and the message boxes: answers them in order and
// notes what was asked, and whether the busy pointer was still on when a
// message showed.
class ScriptedUser : public LauncherDialogs, public RecordedMessages {
 public:
  DeviceAnswer AskDevice() override {
    ++deviceAsked;
    return device;
  }
  TargetAnswer AskTarget(const std::string& proposedDiskName, const std::string& name) override {
    asked.push_back(proposedDiskName + "|" + name + (busy ? "|busy" : ""));
    return next < targets.size() ? targets[next++] : TargetAnswer{TargetAction::Next, 6, name};
  }
  void SetBusy(bool on) override { busy = on; }
  MessageAnswer Show(const Message& message) override {
    busyAtMessage = busyAtMessage || busy;
    return RecordedMessages::Show(message);
  }

  DeviceAnswer device{false, 8, ""};
  // Answered in order, then "Next >" with the first target past the list,
  // which stands for the Commodore 64.
  std::vector<TargetAnswer> targets;
  std::vector<std::string> asked;  // "proposed|name", with "|busy" if the pointer was on
  int deviceAsked = 0;
  bool busy = false;
  bool busyAtMessage = false;
  size_t next = 0;
};

std::vector<LauncherProgram> Programs(int count) {
  std::vector<LauncherProgram> programs;
  for (int i = 1; i <= count; ++i) programs.push_back({"GAME " + std::to_string(i), "0000" + std::to_string(10 + i)});
  return programs;
}

class LauncherDiskTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const std::string& folder : {tools_, tmp_}) fs::create_directory(folder);
    input_.imagePath = root_.path() + "/tapes/Games.TAP";
    input_.outputFolder = out_;
    test::WriteStandInTools(tools_, FormatMode::Ok, PetcatMode::Ok, WriteMode::Ok);
  }

  // Builds the disk; the user's messages are then this build's alone.
  LauncherOutcome Build() {
    user_.shown.clear();
    QtToolRunner runner(tools_, std::vector<std::string>{});
    const LauncherResult result = BuildLauncherDisk(input_, {user_, settings_, runner, user_, test::noSync});
    ShowFailure(result.failure, user_);
    return result.state;
  }
  std::vector<ToolCall> Calls() const { return test::RecordedCalls(tools_); }
  // Of every petcat call the options before "-o PROGRAM -- TEXT" (width and
  // load address), of every c1541 -write the name on the disk.
  std::vector<test::Lines> PetcatOptions() const {
    std::vector<test::Lines> options;
    for (const ToolCall& call : Calls()) {
      if (call.tool == "petcat") options.emplace_back(call.arguments.begin(), call.arguments.end() - 4);
    }
    return options;
  }
  test::Lines EntryNames() const {
    test::Lines names;
    for (const ToolCall& call : Calls()) {
      if (call.arguments.size() == 5 && call.arguments[2] == "-write") names.push_back(call.arguments[4]);
    }
    return names;
  }
  void ExpectOneMessage(const std::string& message) {
    EXPECT_EQ(test::Shown(user_), test::Lines{message});
    EXPECT_FALSE(user_.busyAtMessage);
  }

  test::ScratchFolder root_, output_;
  std::string tools_ = root_.File("tools"), out_ = output_.path(), tmp_ = root_.File("tmp");
  std::string disk_ = out_ + "/games.tap.d64";
  const std::string question_ =
      "WARNING | exclamation yes/no | File " + disk_ + " Already exists ! Would you like to overwrite it ?";
  const test::TemporaryFolderOverride temporaryFolder_{tmp_};
  LauncherDiskInput input_;
  ScriptedUser user_;
  LauncherSettings settings_;
};

TEST_F(LauncherDiskTest, DeviceAndFolderFromTheDialogGiveTheExactToolCallsAndText) {
  user_.device = {false, 9, "/tapes"};
  user_.targets = {{TargetAction::Next, 1, "Zork"}};
  input_.programs = {{"GAME", "0001A4"}};

  EXPECT_EQ(Build(), LauncherOutcome::Created);

  // The disk is made under a temporary name beside its own and renamed.
  const std::vector<ToolCall> calls = Calls();
  ASSERT_TRUE(calls.size() == 3 && calls[0].arguments.size() == 4 && calls[1].arguments.size() == 7);
  const std::string staged = calls[0].arguments[3], program = calls[1].arguments[4], text = calls[1].arguments[6];
  EXPECT_EQ(calls, (std::vector<ToolCall>{{"c1541", {"-format", "launcher,id", "d64", staged}},
                                          {"petcat", {"-w2", "-l", "1001", "-o", program, "--", text}},
                                          {"c1541", {"-attach", staged, "-write", program, "01-zork         "}}}));
  EXPECT_TRUE(fs::path(staged).parent_path() == out_ && staged != disk_ && fs::path(program).parent_path() == tmp_);

  EXPECT_EQ(test::TokenisedText(tools_, 1),
            "5 open 1,9,15,\"cd:_\":close1\r\n10 open 1,9,15,\"cd/tapes\":close1\r\n"
            "20 open 1,9,15,\"xt:games.tap,0001a4\":close1\r\n"
            "25 poke631,131:poke198,1\r\n30 new\r\n");
  ExpectOneMessage("INFO | information | Index Disk " + disk_ + " successfully created !");
  EXPECT_EQ(user_.asked, test::Lines{"01-game         |GAME"});
  EXPECT_TRUE(fs::is_empty(tmp_));
  EXPECT_EQ(output_.Names(), std::vector<std::string>{"games.tap.d64"});
  EXPECT_NE(test::ReadFileText(disk_).find("01-zork         \n5 open"), std::string::npos);
}

// Names from the tape and the file system never become BASIC code: a tape
// image whose name cannot be sent is refused before anything is asked or
// written, and so is a folder that slipped past the device dialog.
TEST_F(LauncherDiskTest, NamesNeverBecomeCode) {
  input_.programs = Programs(1);
  const std::pair<const char*, const char*> refused[] = {
      {"A\":POKE53280,0:REM.tap", "a double quote"}, {"a\rb.tap", "a line break"}, {"{CLR}a.tap", "a brace"}};
  for (const auto& [name, problem] : refused) {
    input_.imagePath = root_.path() + "/" + name;
    EXPECT_EQ(Build(), LauncherOutcome::Failed) << name;
    EXPECT_EQ(test::Shown(user_),
              test::Lines{"ERROR! | critical | Cannot build the launcher disk: the name of the tape image " +
                          LowerText(name) + " holds " + problem + ", which a launcher program cannot send to the " +
                          "device. Rename the file (and its copy on the SD card) !"});
  }
  EXPECT_EQ(user_.deviceAsked, 0);
  EXPECT_TRUE(Calls().empty() && fs::is_empty(out_));  // nothing run, nothing made

  // The device dialog refuses such a folder; should one come through, so
  // does the build.
  input_.imagePath = root_.path() + "/Spy,vs Spy.TAP";
  user_.device = {false, 8, "/a\":rem"};
  EXPECT_EQ(Build(), LauncherOutcome::Failed);
  ExpectOneMessage(std::string("Error ! | critical | ") + kDirectoryCharacterError);
  EXPECT_TRUE(Calls().empty());
}

TEST_F(LauncherDiskTest, CancellingTheThirdProgramDeletesTheDisk) {
  input_.programs = Programs(4);
  user_.targets = {
      {TargetAction::Next, 0, "GAME 1"}, {TargetAction::Next, 0, "GAME 2"}, {TargetAction::Cancel, 3, "X"}};

  EXPECT_EQ(Build(), LauncherOutcome::Aborted);
  EXPECT_EQ(EntryNames(), (test::Lines{"01-game 1       ", "02-game 2       "}));
  EXPECT_EQ(user_.asked.size(), 3u);
  EXPECT_TRUE(fs::is_empty(out_) && fs::is_empty(tmp_) && settings_.launcherCancelled);
  EXPECT_EQ(settings_.petcatOptions, "-w2");  // the cancelled answer's target is not taken
  ExpectOneMessage("INFO | information | Operation Aborted, D64 Index file not created !");
}

TEST_F(LauncherDiskTest, ForAllRemainingAppliesOneTargetToTheRestOfOneBuild) {
  input_.programs = {{"FIRST", "000014"}, {"SECOND", "001000"}, {"SUPERLONGNAME123", "002000"}};
  user_.targets = {{TargetAction::ForAllRemaining, 2, "Renamed"}};

  EXPECT_EQ(Build(), LauncherOutcome::Created);
  EXPECT_EQ(user_.asked.size(), 1u);
  const test::Lines vic3k = {"-w2", "-l", "0401"};  // the VIC-20 with 3K more
  EXPECT_EQ(PetcatOptions(), std::vector<test::Lines>(3, vic3k));
  EXPECT_EQ(EntryNames(), (test::Lines{"01-renamed      ", "02-second       ", "03-superlongname"}));
  EXPECT_EQ(test::TokenisedText(tools_, 3),
            "20 open 1,8,15,\"xt:games.tap,002000\":close1\r\n25 poke631,131:poke198,1\r\n30 new\r\n");

  // The next build asks again, and the new answer replaces the old settings;
  // the later programs were asked, and answered Commodore 64.
  fs::remove(disk_);
  user_.targets.push_back({TargetAction::Next, 5, "FIRST"});
  EXPECT_EQ(Build(), LauncherOutcome::Created);
  EXPECT_EQ(user_.asked.size(), 4u);
  EXPECT_EQ(PetcatOptions(), (std::vector<test::Lines>{vic3k, vic3k, vic3k, {"-w70", "-l", "1C01"}, {"-w2"}, {"-w2"}}));
}

// Whatever fails after the user agreed to replace it, the earlier disk is
// still there unchanged, and nothing new is left in either folder. (Declined,
// nothing is done: the dangling link's case below.)
TEST_F(LauncherDiskTest, AnExistingDiskIsKeptWhenTheBuildFails) {
  input_.programs = Programs(4);
  std::ofstream(disk_) << "old disk";

  using F = FormatMode;
  using P = PetcatMode;
  using W = WriteMode;
  const std::string missing = root_.path() + "/no such folder";
  // The tools' modes, no temporary folder, the tool runs before the build stopped, and what the
  // message says after "Error while creating file D : ".
  const std::tuple<F, P, W, bool, size_t, const char*> cases[] = {
      {F::FailNoFile, P::Ok, W::Ok, false, 1, "c1541 ended with exit status 1:\ncannot format"},
      {F::EmptyFile, P::Ok, W::Ok, false, 1, "c1541 ended without making its disk image"},
      {F::Ok, P::NoOutput, W::Ok, false, 2, "petcat ended without making its program file"},
      {F::Ok, P::EmptyOutput, W::Ok, false, 2, "petcat ended without making its program file"},
      {F::Ok, P::FailStatus, W::Ok, false, 2, "petcat ended with exit status 1:\nsyntax error"},
      {F::Ok, P::Ok, W::FailOnThird, false, 7, "c1541 ended with exit status 2:\nno room\ndisk full"},
      {F::Ok, P::Ok, W::Ok, true, 1, "no file could be made in the temporary folder (TMPDIR)"}};
  user_.answer = MessageAnswer::Yes;
  for (const auto& [format, petcat, write, noTemporaryFolder, calls, failure] : cases) {
    SCOPED_TRACE(testing::Message() << calls << " " << failure);
    fs::remove_all(tools_);  // with the calls recorded so far
    fs::create_directory(tools_);
    test::WriteStandInTools(tools_, format, petcat, write);
    temporaryFolder_.Set(noTemporaryFolder ? missing : tmp_);
    EXPECT_EQ(Build(), LauncherOutcome::Failed);
    EXPECT_EQ(Calls().size(), calls);
    EXPECT_EQ(test::Shown(user_),
              (test::Lines{question_, "ERROR! | critical | Error while creating file " + disk_ + " : " + failure}));
    EXPECT_FALSE(user_.busyAtMessage);
    EXPECT_EQ(test::ReadFileText(disk_), "old disk");
    EXPECT_EQ(output_.Names(), std::vector<std::string>{"games.tap.d64"});
    EXPECT_TRUE(fs::is_empty(tmp_));
  }
  EXPECT_FALSE(fs::exists(missing));
  // What c1541 says of the disk names it by its own name, not the temporary one.
  std::ofstream(tools_ + "/c1541") << "#!/bin/sh\necho \"cannot open $4\"; exit 1\n";
  EXPECT_EQ(Build(), LauncherOutcome::Failed);
  EXPECT_EQ(test::Shown(user_).back(), "ERROR! | critical | Error while creating file " + disk_ +
                                           " : c1541 ended with exit status 1:\ncannot open " + disk_);
}

// A link at the disk's name is replaced as a link: the file it points to,
// outside the output folder, is neither written nor created.
TEST_F(LauncherDiskTest, ALinkAtTheDiskNameIsReplacedNeverFollowed) {
  input_.programs = Programs(1);
  const std::string victim = root_.Write("victim.d64", std::string("not yours"));
  fs::create_symlink(victim, disk_);
  user_.answer = MessageAnswer::Yes;
  EXPECT_EQ(Build(), LauncherOutcome::Created);
  EXPECT_TRUE(test::ReadFileText(victim) == "not yours" && !fs::is_symlink(disk_));
  EXPECT_EQ(test::ReadFileText(disk_).find("d64 image\n"), 0u);

  // A dangling link takes the name too: asked about, and declined, nothing
  // is run and nothing is made where it points.
  const std::string nowhere = root_.path() + "/nowhere.d64";
  fs::remove(disk_);
  fs::create_symlink(nowhere, disk_);
  const size_t calls = Calls().size();
  user_.answer = MessageAnswer::No;
  EXPECT_EQ(Build(), LauncherOutcome::NotStarted);
  ExpectOneMessage(question_);
  EXPECT_EQ(Calls().size(), calls);
  EXPECT_TRUE(!fs::exists(fs::symlink_status(nowhere)) && fs::is_symlink(disk_));
}

// A missing tool is named before the device is asked; a cancelled device dialog does nothing.
TEST_F(LauncherDiskTest, AMissingToolOrACancelledDeviceDialogDoesNothing) {
  input_.programs = Programs(2);
  const std::pair<std::vector<const char*>, std::string> cases[] = {
      {{"c1541"}, "c1541 was not found. Install VICE, which provides it, or place c1541"},
      {{"petcat"}, "petcat was not found. Install VICE, which provides it, or place petcat"},
      {{"c1541", "petcat"},
       "c1541 and petcat were not found. Install VICE, which provides them, or place c1541 and petcat"}};
  for (const auto& [missing, names] : cases) {
    test::WriteStandInTools(tools_, FormatMode::Ok, PetcatMode::Ok, WriteMode::Ok);
    for (const char* tool : missing) fs::remove(tools_ + "/" + tool);
    EXPECT_EQ(Build(), LauncherOutcome::Failed);
    ExpectOneMessage("ERROR! | critical | Cannot build the launcher disk: " + names + " in " + tools_ + " !");
  }
  EXPECT_EQ(user_.deviceAsked, 0);
  test::WriteStandInTools(tools_, FormatMode::Ok, PetcatMode::Ok, WriteMode::Ok);
  user_.device = DeviceAnswer{};
  EXPECT_EQ(Build(), LauncherOutcome::NotStarted);
  EXPECT_EQ(std::pair(user_.deviceAsked, user_.shown.size()), std::pair(1, size_t{0}));
  EXPECT_TRUE(Calls().empty() && fs::is_empty(out_));  // nothing run, nothing made
}

// The real VICE tools, where they are shipped beside the project: every
// program read back off the disk and listed by petcat is exactly the
// launcher the name asks for, however odd the names.
TEST_F(LauncherDiskTest, RealViceToolsMakeADiskThatReadsBackAsTheTextsDescribeIt) {
  std::string whyNot;
  tools_ = test::RealViceToolsFolder(&whyNot);
  if (tools_.empty()) GTEST_SKIP() << whyNot;
  // The builder reads nothing of the tape but its name and the starts of the
  // selected groups, as the split list shows them.
  input_.imagePath = root_.File("Spy,vs Spy.TAP");
  input_.programs = {{"A\":POKE53280,0:REM", "0001A4"}, {"LINE\r\n20 NEW", "00B000"}, {"{CLR}GAME, 2", "00C000"}};
  user_.device = {false, 8, "/games,1"};  // every name kept, for the Commodore 64
  ASSERT_EQ(Build(), LauncherOutcome::Created) << (user_.shown.empty() ? "" : user_.shown[0].text);
  const std::string disk = out_ + "/spy,vs spy.tap.d64";
  EXPECT_EQ(fs::file_size(disk), 174848u);  // 683 blocks of 256 bytes: a 35-track d64

  QtToolRunner runner(tools_, std::vector<std::string>{});
  const std::string program = root_.File("read.prg"), listing = root_.File("read.txt");
  const char* const entries[] = {"01-a--poke53280-", "02-line--20 new ", "03--clr-game- 2 "};
  const char* const starts[] = {"0001a4", "00b000", "00c000"};
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(runner.Run(runner.FindTool("c1541"), {"-attach", disk, "-read", entries[i], program}).Succeeded())
        << entries[i];
    ASSERT_TRUE(runner.Run(runner.FindTool("petcat"), {"-2", "-o", listing, "--", program}).Succeeded());
    // petcat right-aligns the line numbers.
    EXPECT_EQ(test::ReadFileText(listing), std::string("    5 open 1,8,15,\"cd:_\":close1\n") +
                                               "   10 open 1,8,15,\"cd/games,1\":close1\n" +
                                               "   20 open 1,8,15,\"xt:spy,vs spy.tap," + starts[i] + "\":close1\n" +
                                               "   25 poke631,131:poke198,1\n   30 new\n")
        << entries[i];
  }
}

// Running external tools: where they are looked up and that they receive
// their arguments exactly, with no shell in between.

void WriteScript(const std::string& path, const std::string& body, bool executable = true) {
  std::ofstream(path) << "#!/bin/sh\n" << body;
  fs::permissions(path, executable ? fs::perms::owner_all : fs::perms::owner_read | fs::perms::owner_write);
}

// The tools folder of the launcher tests serves as the program folder.
class ToolRunnerTest : public LauncherDiskTest {};

TEST_F(ToolRunnerTest, LooksInTheProgramFolderFirstThenOnThePathAndNamesWhyAToolCannotRun) {
  const std::string path = root_.File("bin");
  fs::create_directory(path);
  WriteScript(tools_ + "/c1541", "exit 0\n");
  WriteScript(path + "/c1541", "exit 0\n");
  WriteScript(tools_ + "/petcat", "exit 0\n", false);  // not executable: passed over
  WriteScript(path + "/petcat", "exit 0\n");
  QtToolRunner runner(tools_, std::vector<std::string>{path});
  EXPECT_EQ((test::Lines{runner.FindTool("c1541"), runner.FindTool("petcat"), runner.FindTool("cartconv")}),
            (test::Lines{tools_ + "/c1541", path + "/petcat", ""}));
  // One that cannot be run fails with a reason. (One that hangs is stopped with
  // all it started: the safety tests.)
  const ToolResult missing = runner.Run(tools_ + "/nothing here", {});
  EXPECT_TRUE(!missing.started && !missing.error.empty());
}

long PeakMemoryKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

TEST_F(ToolRunnerTest, AToolThatPrintsForeverKeepsOnlyTheEndOfItsOutput) {
  // Tens of megabytes a second for a second: kept whole, this would show in
  // the peak memory of the test program.
  QtToolRunner runner(tools_, std::vector<std::string>{}, 1000);
  WriteScript(tools_ + "/chatty", "exec yes 'a long line of output from a tool that never stops printing'\n");
  [[maybe_unused]] const long before = PeakMemoryKb();
  const ToolResult chatty = runner.Run(tools_ + "/chatty", {});
  EXPECT_EQ(chatty.output.size(), kMaxToolOutput);
  EXPECT_EQ(chatty.output.substr(chatty.output.size() - 9), "printing\n");
  // AddressSanitizer keeps freed blocks in quarantine (256 MB), so the peak
  // says nothing about what the runner holds there; the normal build checks it.
#if !defined(__SANITIZE_ADDRESS__)
  EXPECT_LT(PeakMemoryKb() - before, 16 * 1024);
#endif
}

}  // namespace
}  // namespace rw
