// reelwright-cli split and index.

#include "cli/cli_runner.h"
#include "support/scratch_folder.h"
#include "support/tape_composer.h"

namespace rw {
namespace {

std::string ThreeProgramTape(const test::ScratchFolder& folder) {
  test::TapeComposer composer(0, 1);
  for (const char* name : {"ALPHA", "BETA", "GAMMA ONE"}) {
    composer.AddProgram({.name = name, .data = test::ProgramData(32, 7)});
    composer.AddSilence(80000);
  }
  return folder.Write("Three.tap", composer.FileBytes());
}

TEST(SplitCli, WritesGroupsWithEditedNamesAndIndexFilesInBothFormats) {
  test::ScratchFolder folder;
  test::ScratchFolder out;
  const std::string tape = ThreeProgramTape(folder);
  auto run = ExpectRun({"split", Q(tape), Q(out.path()), "--select", "1,3", "--name", "2=Second one", "--tape-name",
                        "3={RED}G"}, 0);
  EXPECT_EQ(run.out, out.File("001.ALPHA.tap") + "\n" + out.File("002.Second_one.tap") + "\n" +
                         "Split Operation Completed !\n");
  // The tape name went into the copy: listing the second file shows it.
  run = ExpectRun({"list", "--json", Q(out.File("002.Second_one.tap"))}, 0);
  EXPECT_NE(run.out.find("\"rawName\": \"\\u001cG\""), std::string::npos) << run.out;

  // "all" ticks every row: each program alone, numbered after the first run's files.
  run = ExpectRun({"split", Q(tape), Q(out.path()), "--select", "all"}, 0);
  EXPECT_NE(run.out.find(out.File("001.ALPHA(1).tap")), std::string::npos);
  EXPECT_NE(run.out.find(out.File("003.GAMMA_ONE.tap")), std::string::npos);

  // The index of the same tape, in both formats.
  run = ExpectRun({"index", Q(tape), Q(out.path()), "--select", "2,3", "--name", "3=g;m"}, 0);
  EXPECT_EQ(run.out, "Index File " + out.File("three.idx") + " successfully created !\n");
  EXPECT_NE(test::ReadFileText(out.File("three.idx")).find("01-ALPHA,000014,"), std::string::npos);
  EXPECT_NE(test::ReadFileText(out.File("three.idx")).find("\r\n02-G;M,"), std::string::npos);
  ExpectRun({"index", Q(tape), Q(out.path()), "--select", "2,3", "--name", "3=g;m", "--format", "ultimate64"}, 0);
  EXPECT_EQ(test::ReadFileText(out.File("three.idx")).find("0x14 ALPHA\r\n"), 0u);
  EXPECT_NE(test::ReadFileText(out.File("three.idx")).find(" gm\r\n"), std::string::npos);
}

TEST(SplitCli, RefusesBadArgumentsAndFiles) {
  test::ScratchFolder folder;
  const std::string tape = ThreeProgramTape(folder);
  const std::string notTap = folder.Write("x.tap", std::string("not a tape image at all"));
  const struct {
    QStringList arguments;
    int exitCode;
    std::string err;
  } cases[] = {
      {{"split", Q(tape), Q(folder.File("missing")), "--select", "1"}, 2, "is not an existing folder"},
      {{"split", Q(tape), Q(tape), "--select", "1"}, 2, "is not an existing folder"},
      {{"split", Q(tape), Q(folder.path())}, 2, "--select"},
      {{"split", Q(tape), Q(folder.path()), "--select", "4"}, 2, "--select 4: no row 4"},
      {{"split", Q(tape), Q(folder.path()), "--select", "0"}, 2, "--select 0: no row 0"},
      {{"split", Q(tape), Q(folder.path()), "--select", ","}, 2, "--select ,: no row is selected"},
      {{"split", Q(tape), Q(folder.path()), "--select", "1", "--name", "1=A\nB"}, 2, "--name for row 1"},
      {{"split", Q(tape), Q(folder.path()), "--select", "1", "--tape-name", "1=A\x01"}, 2, "--tape-name for row 1"},
      {{"split", Q(tape), Q(folder.path()), "--select", "1", "--help-all"}, 2, "help-all"},
      {{"split", Q(tape), Q(folder.path()), "--select", "1", "--name", "9=X"}, 2, "--name 9=X"},
      {{"split", Q(tape), Q(folder.path()), "--select", "1", "--name", "1=12345678901234567"}, 2, "16 characters"},
      {{"index", Q(tape), Q(folder.path()), "--select", "1", "--format", "other"}, 2, "--format"},
      {{"split", Q(notTap), Q(folder.path()), "--select", "1"}, 1, notTap + " Is not a valid TAP file"},
  };
  for (const auto& c : cases) ExpectRun(c.arguments, c.exitCode, c.err);
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"Three.tap", "x.tap"}));
}

}  // namespace
}  // namespace rw
