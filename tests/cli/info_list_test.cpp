// reelwright-cli info and list, run as a user would.

#include "cli_runner.h"
#include "core/pulse_timing.h"
#include "split/section_parse.h"
#include "support/scratch_folder.h"
#include "support/tape_composer.h"

namespace rw {
namespace {

TEST(InfoListCli, InfoPrintsTheFileFactsAndListOneRowPerProgram) {
  // Two programs on a VIC-20 NTSC tape; the second has a bad first checksum.
  test::ScratchFolder folder;
  test::TapeComposer composer{1, 1, 1, 4};
  composer.SetJitter(1);
  composer.AddProgram({.name = "First", .data = test::ProgramData(100, 1), .leaderPulses = 1500});
  composer.AddProgram({.name = "Caf\xE9 \xA3", .data = test::ProgramData(100, 1), .leaderPulses = 1500,
                       .silenceBefore = 40000, .wrongChecksum = true});
  const TapImage image = composer.Image();
  const std::string path = folder.Write("two programs.tap", composer.FileBytes());
  const float usPerCycle = SelectClock(1, 1);
  const auto facts = DescribeImage(image, usPerCycle, ".");
  CliRun run = ExpectRun({"info", Q(path)}, 0);
  EXPECT_EQ(run.out, "File Path: " + path + "\nMachine: VIC-20\nTAP version: TAP V1\nVideo Standard: NTSC\n" +
                         "File Size: " + facts.size + "\nTotal Duration: " + facts.totalDuration + "\nItems: 2\n");
  EXPECT_EQ(run.err, "");

  run = ExpectRun({"list", Q(path)}, 0);
  const auto duration = [&](int64_t first, int64_t last) {
    return DurationText(PulseDuration(image, first, last, usPerCycle), ".");
  };
  const auto& second = composer.layouts()[1];
  const int64_t last = image.FileLength() - 1;
  EXPECT_EQ(run.out, "1\tFIRST\t000014\t" + OffsetText(second.start - 1) + "\t" + duration(20, second.start - 1) +
                         "\tOK\tOK\n" + "2\tCAF \xC2\xA3\t" + OffsetText(second.start) + "\t" + OffsetText(last) +
                         "\t" + duration(second.start, last) + "\tERROR\tOK\n");
  EXPECT_EQ(run.err, "");
}

// Refused files, usage errors and a tape without programs print nothing on
// standard output.
TEST(InfoListCli, RefusedFilesUsageErrorsAndATapeWithoutPrograms) {
  test::ScratchFolder folder;
  const std::string notTapPath = folder.Write("bad.tap", std::vector<uint8_t>(40, 0));
  test::TapeComposer composer(0, 1);
  composer.AddPulses(48, 900);
  const std::string empty = folder.Write("empty.tap", composer.FileBytes());
  const struct {
    QStringList arguments;
    int exitCode;
    std::string err;  // exact, or empty to skip the check
  } cases[] = {
      {{"info", Q(notTapPath)}, 1, notTapPath + " Is not a valid TAP file\n"},
      {{"list", "--json", Q(notTapPath)}, 1, notTapPath + " Is not a valid TAP file\n"},
      {{"list", Q(empty)}, 0, std::string(kNoSectionsMessage) + "\n"},
      {{"info"}, 2, ""},
      {{"list", Q(notTapPath), Q(notTapPath)}, 2, ""},
      {{"list", "--csv", Q(notTapPath)}, 2, ""},
      {{"help", "nothing"}, 2, ""},
  };
  for (const auto& c : cases) {
    const CliRun run = ExpectRun(c.arguments, c.exitCode);
    if (!c.err.empty()) { EXPECT_EQ(run.err, c.err); }
    EXPECT_EQ(run.out, "");
  }
  const CliRun json = ExpectRun({"list", "--json", Q(empty)}, 0);
  EXPECT_TRUE(Json(json.out)["programs"].toArray().isEmpty());
}

}  // namespace
}  // namespace rw
