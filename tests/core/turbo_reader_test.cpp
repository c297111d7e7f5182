// Turbo files: the reader's formats composed and read back, and the real
// commercial tapes compared with the peer analyser's listing of them.

#include <gtest/gtest.h>

#include <cstdlib>

#include "core/data_block.h"
#include "core/tape_coverage.h"
#include "core/turbo_reader.h"
#include "platform/messages.h"
#include "support/tape_composer.h"
#include "support/turbo_tapes.h"

namespace rw {
namespace {

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%04X", value);
  return text;
}

// Every file of the families read here that the peer lists is found, in
// order, with its addresses, checksum state and bytes; its start lies within
// a byte of the peer's (where a pilot begins is a judgement). The ROM
// programs are not touched: no turbo file reaches into one.
TEST(RealTurboTapes, MatchThePeersListing) {
  const std::string folder = test::TurboTapesFolder();
  if (folder.empty()) GTEST_SKIP() << "the real turbo tapes are not beside the project (../shared/testdata/turbo)";
  // Each tape and the share of it that stays unrecognised: nothing but a few
  // stray pulses, except where a family not read yet holds the game.
  const std::pair<const char*, double> tapes[] = {{"ikplus_freeload.tap", 0.1},
                                                  {"rambo_ocean.tap", 0.1},
                                                  {"openroms_turbotape250.tap", 0.1},
                                                  {"zaxxon_novaload.tap", 0.1},
                                                  {"adp_cozumel1_visiload.tap", 100}};
  for (const auto& [tape, unrecognised] : tapes) {
    SCOPED_TRACE(tape);
    RecordedMessages messages;
    TapImage image;
    ASSERT_TRUE(LoadTapImage(folder + "/" + tape, image, messages));
    std::vector<TapeStretch> rom;
    const auto files = test::TurboFilesOf(image, &rom);
    EXPECT_LE(MeasureCoverage(image, rom, files).unrecognisedPercent, unrecognised);
    std::vector<test::PeerFile> expected;
    for (auto& row : test::ReadPeerListing(folder + "/expected/" + tape + std::string(".tsv"))) {
      // Turbotape 250's header block is part of the file its data block holds.
      if (row.type == "TURBOTAPE-250 HEADER") {
        expected.push_back(row);
        continue;
      }
      if (row.type == "TURBOTAPE-250 DATA") {
        row.start = expected.back().start;
        expected.back() = row;
        continue;
      }
      if (row.family == "Visiload") continue;  // not read yet
      expected.push_back(row);
    }
    EXPECT_EQ(files.size(), expected.size());
    for (size_t i = 0; i < std::min(files.size(), expected.size()); ++i) {
      const TurboFile& f = files[i];
      const test::PeerFile& e = expected[i];
      SCOPED_TRACE("file " + std::to_string(i) + " at " + Hex(static_cast<uint32_t>(e.start)));
      EXPECT_EQ(f.loader, e.family);
      EXPECT_LE(std::abs(f.start - e.start), 8);
      EXPECT_EQ(Hex(f.loadAddress), Hex(e.loadAddress));
      EXPECT_EQ(Hex(f.endAddress), Hex(e.endAddress));
      EXPECT_EQ(TurboChecksumText(f.checksum),
                std::string(e.checksum == "PASS" ? "OK" : e.checksum == "FAIL" ? "ERROR" : "none"));
      EXPECT_EQ(f.readErrors, 0);
      EXPECT_EQ(test::Sha256Hex(TurboPrgBytes(f)), e.sha256);
    }
  }
}

}  // namespace
}  // namespace rw
