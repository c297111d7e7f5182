// The launcher disk builder against stand-in tools: the exact argument lists
// and launcher texts, the dialogs' effect on the build, and every failure
// with its message and no temporary file left behind.

#include "launcher/launcher_disk.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "launcher/device_answer.h"
#include "launcher/launcher_text.h"
#include "platform/qt_tool_runner.h"
#include "support/stand_in_tools.h"
#include "support/scratch_folder.h"
#include "support/shown_messages.h"
#include "support/vice_tools.h"

namespace rw {
namespace {

namespace fs = std::filesystem;
using test::FormatMode;
using test::PetcatMode;
using test::ToolCall;
using test::WriteMode;

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
  std::vector<std::string> asked;     // "proposed|name", with "|busy" if the pointer was on
  int deviceAsked = 0;
  bool busy = false;
  bool busyAtMessage = false;
  size_t next = 0;
};

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// petcat's listing without the blanks it aligns line numbers with.
std::vector<std::string> ListingLines(const std::string& listing) {
  std::vector<std::string> lines;
  std::istringstream in(listing);
  for (std::string line; std::getline(in, line);) {
    line.erase(0, line.find_first_not_of(' '));
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

std::vector<LauncherProgram> Programs(int count) {
  std::vector<LauncherProgram> programs;
  for (int i = 1; i <= count; ++i) programs.push_back({"GAME " + std::to_string(i), "0000" + std::to_string(10 + i) });
  return programs;
}

class LauncherDiskTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tools_ = root_.path() + "/tools";
    out_ = output_.path();
    tmp_ = root_.path() + "/tmp";
    for (const std::string& folder : {tools_, tmp_}) fs::create_directory(folder);
    temporaryFolder_.emplace(tmp_);
    input_.imagePath = root_.path() + "/tapes/Games.TAP";
    input_.outputFolder = out_;
    disk_ = out_ + "/games.tap.d64";
    test::WriteStandInTools(tools_, FormatMode::Ok, PetcatMode::Ok, WriteMode::Ok);
  }

  LauncherOutcome Build() {
    QtToolRunner runner(tools_, std::vector<std::string>{});
    return BuildLauncherDisk(input_, {user_, settings_, runner, user_});
  }
  std::vector<ToolCall> Calls() const { return test::RecordedCalls(tools_); }
  // Of every petcat call the options before "-o" (width and load address),
  // of every c1541 -write the name on the disk.
  test::Lines PetcatOptions() const {
    test::Lines options;
    for (const ToolCall& call : Calls()) {
      if (call.tool != "petcat") continue;
      std::string text;
      for (size_t i = 0; i < call.arguments.size() && call.arguments[i] != "-o"; ++i) {
        text += (i ? " " : "") + call.arguments[i];
      }
      options.push_back(text);
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
  bool TemporaryFolderEmpty() const { return fs::is_empty(tmp_); }
  void ExpectNothingDone() const {
    EXPECT_TRUE(Calls().empty());
    EXPECT_TRUE(fs::is_empty(out_));
  }
  void ExpectOneMessage(const std::string& message) {
    EXPECT_EQ(test::Shown(user_), test::Lines{message});
    EXPECT_FALSE(user_.busyAtMessage);
  }

  test::ScratchFolder root_, output_;
  std::string tools_, out_, tmp_, disk_;
  std::optional<test::TemporaryFolderOverride> temporaryFolder_;
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
  EXPECT_EQ(fs::path(staged).parent_path(), fs::path(out_));
  EXPECT_NE(staged, disk_);
  EXPECT_EQ(fs::path(program).parent_path(), fs::path(tmp_));

  EXPECT_EQ(test::TokenisedText(tools_, 1), Lines({"5 open 1,9,15,\"cd:_\":close1",
                                                    "10 open 1,9,15,\"cd/tapes\":close1",
                                                    "20 open 1,9,15,\"xt:games.tap,0001a4\":close1",
                                                    "25 poke631,131:poke198,1", "30 new"}));
  ExpectOneMessage("INFO | information | Index Disk " + disk_ + " successfully created !");
  EXPECT_EQ(user_.asked, test::Lines{"01-game         |GAME"});
  EXPECT_TRUE(TemporaryFolderEmpty());
  EXPECT_EQ(output_.Names(), std::vector<std::string>{"games.tap.d64"});
  EXPECT_NE(test::ReadFileText(disk_).find("01-zork         \n5 open"), std::string::npos);
}

// Names from the tape and the file system never become BASIC code: a tape
// image whose name cannot be sent is refused before anything is asked or
// written, and so is a folder that slipped past the device dialog.
TEST_F(LauncherDiskTest, NamesNeverBecomeCode) {
  input_.programs = Programs(1);
  const std::pair<const char*, const char*> refused[] = {{"A\":POKE53280,0:REM.tap", "a double quote"},
                                                         {"a\nb.tap", "a line break"},
                                                         {"a\rb.tap", "a line break"},
                                                         {"{CLR}a.tap", "a brace"}};
  for (const auto& [name, problem] : refused) {
    input_.imagePath = root_.path() + "/" + name;
    user_.shown.clear();
    EXPECT_EQ(Build(), LauncherOutcome::Failed) << name;
    ASSERT_EQ(user_.shown.size(), 1u);
    EXPECT_EQ(user_.shown[0].text.find("Cannot build the launcher disk: the name of the tape image " +
                                           LowerText(name) + " holds " + problem),
              0u)
        << user_.shown[0].text;
  }
  EXPECT_EQ(user_.deviceAsked, 0);
  ExpectNothingDone();

  // The device dialog refuses such a folder; should one come through, so
  // does the build.
  input_.imagePath = root_.path() + "/Spy,vs Spy.TAP";
  user_.device = {false, 8, "/a\":rem"};
  user_.shown.clear();
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
  EXPECT_TRUE(fs::is_empty(out_));
  EXPECT_TRUE(TemporaryFolderEmpty());
  EXPECT_TRUE(settings_.launcherCancelled);
  EXPECT_EQ(settings_.petcatOptions, "-w2");  // the cancelled answer's target is not taken
  ExpectOneMessage("INFO | information | Operation Aborted, D64 Index file not created !");
}

TEST_F(LauncherDiskTest, ForAllRemainingAppliesOneTargetToTheRestOfOneBuild) {
  input_.programs = {{"FIRST", "000014"}, {"SECOND", "001000"}, {"SUPERLONGNAME123", "002000"}};
  user_.targets = {{TargetAction::ForAllRemaining, 2, "Renamed"}};

  EXPECT_EQ(Build(), LauncherOutcome::Created);
  EXPECT_EQ(user_.asked.size(), 1u);
  EXPECT_EQ(PetcatOptions(), test::Lines(3, "-w2 -l 0401"));
  EXPECT_EQ(EntryNames(), (test::Lines{"01-renamed      ", "02-second       ", "03-superlongname"}));
  const char* const starts[] = {"000014", "001000", "002000"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(test::TokenisedText(tools_, i + 1),
              Lines({std::string("20 open 1,8,15,\"xt:games.tap,") + starts[i] + "\":close1",
                     "25 poke631,131:poke198,1", "30 new"}));
  }

  // The next build asks again, and the new answer replaces the old settings;
  // the later programs were asked, and answered Commodore 64.
  fs::remove(disk_);
  user_.targets.push_back({TargetAction::Next, 5, "FIRST"});
  EXPECT_EQ(Build(), LauncherOutcome::Created);
  EXPECT_EQ(user_.asked.size(), 4u);
  const std::string c128 = "\r\n25 poke842,76:poke843,207:poke844,13:poke208,3\r\n";
  EXPECT_NE(test::TokenisedText(tools_, 4).find(c128), std::string::npos);
  EXPECT_EQ(PetcatOptions(), (test::Lines{"-w2 -l 0401", "-w2 -l 0401", "-w2 -l 0401", "-w70 -l 1C01", "-w2", "-w2"}));
}

TEST_F(LauncherDiskTest, CancellingTheDeviceDialogDoesNothing) {
  input_.programs = Programs(2);
  user_.device = DeviceAnswer{};

  EXPECT_EQ(Build(), LauncherOutcome::NotStarted);
  EXPECT_TRUE(user_.shown.empty());
  ExpectNothingDone();
}

// Declined, or whatever fails after the user agreed to replace it, the
// earlier disk is still there unchanged, and nothing new is left in either folder.
TEST_F(LauncherDiskTest, AnExistingDiskIsKeptWhenDeclinedOrWhenTheBuildFails) {
  input_.programs = Programs(4);
  std::ofstream(disk_) << "old disk";
  const std::string question =
      "WARNING | exclamation yes/no | File " + disk_ + " Already exists ! Would you like to overwrite it ?";
  user_.answer = MessageAnswer::No;
  EXPECT_EQ(Build(), LauncherOutcome::NotStarted);
  ExpectOneMessage(question);
  EXPECT_TRUE(Calls().empty());
  EXPECT_EQ(test::ReadFileText(disk_), "old disk");

  using F = FormatMode;
  using P = PetcatMode;
  using W = WriteMode;
  const std::string missing = root_.path() + "/no such folder";
  const struct {
    F format;
    P petcat;
    W write;
    bool noTemporaryFolder;
    size_t calls;         // tool runs before the build stopped
    const char* failure;  // what the message says after "Error while creating file D : "
  } cases[] = {{F::FailNoFile, P::Ok, W::Ok, false, 1, "c1541 ended with exit status 1:\ncannot format"},
               {F::Ok, P::NoOutput, W::Ok, false, 2, "petcat ended without making its program file"},
               {F::Ok, P::EmptyOutput, W::Ok, false, 2, "petcat ended without making its program file"},
               {F::Ok, P::FailStatus, W::Ok, false, 2, "petcat ended with exit status 1:\nsyntax error"},
               {F::Ok, P::Ok, W::FailStatus, false, 3, "c1541 ended with exit status 2:\nno room\ndisk full"},
               {F::Ok, P::Ok, W::FailOnThird, false, 7, "c1541 ended with exit status 2:\nno room\ndisk full"},
               {F::Ok, P::Ok, W::Ok, true, 1, "no file could be made in the temporary folder (TMPDIR)"}};
  user_.answer = MessageAnswer::Yes;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.calls << " " << c.failure);
    fs::remove_all(tools_);  // with the calls recorded so far
    fs::create_directory(tools_);
    test::WriteStandInTools(tools_, c.format, c.petcat, c.write);
    temporaryFolder_->Set(c.noTemporaryFolder ? missing : tmp_);
    user_.shown.clear();
    EXPECT_EQ(Build(), LauncherOutcome::Failed);
    EXPECT_EQ(Calls().size(), c.calls);
    EXPECT_EQ(test::Shown(user_),
              (test::Lines{question, "ERROR! | critical | Error while creating file " + disk_ + " : " + c.failure}));
    EXPECT_FALSE(user_.busyAtMessage);
    EXPECT_EQ(test::ReadFileText(disk_), "old disk");
    EXPECT_EQ(output_.Names(), std::vector<std::string>{"games.tap.d64"});
    EXPECT_TRUE(TemporaryFolderEmpty());
  }
  EXPECT_FALSE(fs::exists(missing));
}

// A link at the disk's name is replaced as a link: the file it points to,
// outside the output folder, is neither written nor created.
TEST_F(LauncherDiskTest, ALinkAtTheDiskNameIsReplacedNeverFollowed) {
  input_.programs = Programs(1);
  const std::string victim = root_.path() + "/victim.d64";
  std::ofstream(victim) << "not yours";
  fs::create_symlink(victim, disk_);
  user_.answer = MessageAnswer::Yes;
  EXPECT_EQ(Build(), LauncherOutcome::Created);
  EXPECT_EQ(test::ReadFileText(victim), "not yours");
  EXPECT_FALSE(fs::is_symlink(disk_));
  EXPECT_EQ(test::ReadFileText(disk_).find("d64 image\n"), 0u);

  // A dangling link takes the name too: asked about, and declined, nothing
  // is made where it points.
  const std::string nowhere = root_.path() + "/nowhere.d64";
  fs::remove(disk_);
  fs::create_symlink(nowhere, disk_);
  user_.answer = MessageAnswer::No;
  EXPECT_EQ(Build(), LauncherOutcome::NotStarted);
  EXPECT_EQ(user_.shown.back().buttons, MessageButtons::YesNo);
  EXPECT_FALSE(fs::exists(fs::symlink_status(nowhere)));
  EXPECT_TRUE(fs::is_symlink(disk_));
}

TEST_F(LauncherDiskTest, AMissingToolIsReportedByNameBeforeAnythingHappens) {
  input_.programs = Programs(2);
  const std::pair<std::vector<const char*>, const char*> cases[] = {
      {{"c1541"}, "c1541 was"}, {{"petcat"}, "petcat was"}, {{"c1541", "petcat"}, "c1541 and petcat were"}};
  for (const auto& [missing, names] : cases) {
    test::WriteStandInTools(tools_, FormatMode::Ok, PetcatMode::Ok, WriteMode::Ok);
    for (const char* tool : missing) fs::remove(tools_ + "/" + tool);
    user_.shown.clear();
    EXPECT_EQ(Build(), LauncherOutcome::Failed) << names;
    ASSERT_EQ(user_.shown.size(), 1u);
    const std::string text = test::Shown(user_)[0];
    EXPECT_EQ(text.find(std::string("ERROR! | critical | Cannot build the launcher disk: ") + names + " "), 0u) << text;
    EXPECT_NE(text.find("VICE"), std::string::npos);
    EXPECT_NE(text.find(tools_), std::string::npos);
  }
  EXPECT_EQ(user_.deviceAsked, 0);
  ExpectNothingDone();
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
  user_.device = {false, 8, "/games,1"};
  user_.targets = {{TargetAction::ForAllRemaining, 0, input_.programs[0].name}};
  ASSERT_EQ(Build(), LauncherOutcome::Created) << (user_.shown.empty() ? "" : user_.shown[0].text);
  EXPECT_TRUE(TemporaryFolderEmpty());
  const std::string disk = out_ + "/spy,vs spy.tap.d64";
  EXPECT_EQ(fs::file_size(disk), 174848u);  // 683 blocks of 256 bytes: a 35-track d64

  QtToolRunner runner(tools_, std::vector<std::string>{});
  const std::string program = root_.File("read.prg"), listing = root_.File("read.txt");
  const char* const entries[] = {"01-a--poke53280-", "02-line--20 new ", "03--clr-game- 2 "};
  const char* const starts[] = {"0001a4", "00b000", "00c000"};
  for (int i = 0; i < 3; ++i) {
    const ToolResult read = runner.Run(runner.FindTool("c1541"), {"-attach", disk, "-read", entries[i], program});
    ASSERT_TRUE(read.Succeeded()) << entries[i] << "\n" << read.output;
    const ToolResult listed = runner.Run(runner.FindTool("petcat"), {"-2", "-o", listing, "--", program});
    ASSERT_TRUE(listed.Succeeded()) << listed.output;
    EXPECT_EQ(ListingLines(test::ReadFileText(listing)),
              (std::vector<std::string>{"5 open 1,8,15,\"cd:_\":close1", "10 open 1,8,15,\"cd/games,1\":close1",
                                        std::string("20 open 1,8,15,\"xt:spy,vs spy.tap,") + starts[i] + "\":close1",
                                        "25 poke631,131:poke198,1", "30 new"}))
        << entries[i];
  }
}

}  // namespace
}  // namespace rw
