// Renaming on a version-2 tape whose short pulses sit at the lower edge of
// their class: written as two equal half-waves, a short pulse of 33 on a
// VIC-20 came out as 16 + 16 = 32, outside the class, so the new name no
// longer read and the header was lost. Found by fuzzing the rename with a
// seed tape composed with these pulse lengths.

#include <gtest/gtest.h>

#include "core/tap_writer.h"
#include "support/tape_composer.h"

namespace rw {
namespace {

TEST(RenameAtClassEdge, VersionTwoNameReadsBackInBothCopies) {
  test::TapeComposer composer(1, 2);
  composer.SetPeaks({33, 53, 77});
  test::ComposedProgram program;
  program.name = "OLD";
  program.data = test::ProgramData(40, 5);
  composer.AddProgram(program);
  TapImage image = composer.Image();
  auto sections = test::FindAllSections(image);
  ASSERT_EQ(sections.size(), 1u);
  EXPECT_TRUE(RenameSection(image, sections[0], "NEW NAME"));

  const auto renamed = test::FindAllSections(image);
  ASSERT_EQ(renamed.size(), 1u);
  EXPECT_EQ(renamed[0].rawName, "NEW NAME");
  EXPECT_TRUE(renamed[0].headerChecksumOk);
  EXPECT_TRUE(renamed[0].repeatChecksumOk);
}

TEST(RenameAtClassEdge, PulsesInsideTheClassKeepEqualHalves) {
  // A short peak of 49 (24.5 rounds to 24) stays inside its class as 24 + 24.
  test::TapeComposer composer(0, 2);
  composer.SetPeaks({49, 66, 86});
  test::ComposedProgram program;
  program.name = "OLD";
  composer.AddProgram(program);
  TapImage image = composer.Image();
  auto sections = test::FindAllSections(image);
  ASSERT_EQ(sections.size(), 1u);
  ASSERT_TRUE(RenameSection(image, sections[0], "NEW"));
  const size_t nameStart = static_cast<size_t>(sections[0].headerPos + 14 * 40);
  // The first name byte's marker: long 86 as 43 + 43, medium 66 as 33 + 33;
  // then its first bit pair ('N' = 0x4E, bit 0 is 0): short 49 as 24 + 24.
  EXPECT_EQ(std::vector<uint8_t>(image.bytes.begin() + nameStart, image.bytes.begin() + nameStart + 6),
            (std::vector<uint8_t>{43, 43, 33, 33, 24, 24}));
}

}  // namespace
}  // namespace rw
