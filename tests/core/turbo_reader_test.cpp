// SPDX-License-Identifier: GPL-2.0-or-later
// Turbo files: the reader's formats composed and read back, and the real
// commercial tapes compared with the peer analyser's listing of them.

#include <gtest/gtest.h>

#include <cstdlib>

#include "core/data_block.h"
#include "core/ports/messages.h"
#include "core/tape_coverage.h"
#include "core/turbo_reader.h"
#include "core/turbo_visiload.h"
#include "support/tape_composer.h"
#include "support/turbo_tapes.h"

namespace rw {
namespace {

using test::TapeComposer;

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
  // Each tape and the bytes of it that the peer leaves unaccounted for
  // (expected/coverage.tsv): Reelwright leaves no more.
  const std::pair<const char*, int64_t> tapes[] = {{"ikplus_freeload.tap", 0},
                                                   {"rambo_ocean.tap", 0},
                                                   {"openroms_turbotape250.tap", 23551 - 23544},
                                                   {"zaxxon_novaload.tap", 0},
                                                   {"adp_cozumel1_visiload.tap", 0}};
  for (const auto& [tape, peerUnaccounted] : tapes) {
    SCOPED_TRACE(tape);
    TapImage image;
    ASSERT_TRUE(LoadTapImage(folder + "/" + tape, image));
    std::vector<TapeStretch> rom;
    const auto files = test::TurboFilesOf(image, &rom);
    int64_t unaccounted = 0;
    for (const auto& stretch : FindUnrecognised(image, rom, files)) unaccounted += stretch.end - stretch.start;
    EXPECT_LE(unaccounted, peerUnaccounted);
    std::vector<test::PeerFile> expected;
    for (auto& row : test::ReadPeerListing(folder + "/expected/" + tape + std::string(".tsv"))) {
      // Turbotape 250's header block is part of the file its data block holds.
      if (row.type == "TURBOTAPE-250 DATA") {
        row.start = expected.back().start;
        expected.back() = row;
      } else {
        expected.push_back(row);
      }
    }
    EXPECT_EQ(files.size(), expected.size());
    std::vector<std::vector<uint8_t>> written;  // and where the peer lists each
    std::vector<int64_t> starts;
    std::vector<std::string> sums;
    for (size_t i = 0; i < std::min(files.size(), expected.size()); ++i) {
      const TurboFile& f = files[i];
      const test::PeerFile& e = expected[i];
      SCOPED_TRACE("file " + std::to_string(i) + " at " + Hex(static_cast<uint32_t>(e.start)));
      const std::string checksum = e.checksum == "PASS" ? "OK" : e.checksum == "FAIL" ? "ERROR" : "none";
      EXPECT_EQ(std::tuple(f.loader, Hex(f.loadAddress), Hex(f.endAddress), std::string(TurboChecksumText(f.checksum)),
                           f.readErrors),
                std::tuple(e.family, Hex(e.loadAddress), Hex(e.endAddress), checksum, 0));
      EXPECT_LE(std::abs(f.start - e.start), 8);
      // The peer writes no file for the blocks a loader loads into itself.
      if (!e.sha256.empty()) {
        written.push_back(TurboPrgBytes(f));
        starts.push_back(e.start);
        sums.push_back(e.sha256);
      }
    }
    const auto got = test::Sha256Hexes(written);
    for (size_t i = 0; i < got.size(); ++i)
      EXPECT_EQ(got[i], sums[i]) << "the file at " << Hex(static_cast<uint32_t>(starts[i]));
  }
}

// One tape holding every family, between and after ROM programs: each file
// reads back with its family, addresses, name and bytes, with pulse jitter
// and the tape's speed off by a few percent and drifting. Families that share
// pulses (Freeload, Ocean New, US Gold, Ace of Aces; Novaload, Novaload
// Special, Ocean/Imagine) or a format (Virgin, Hi-Tec) sit side by side, some
// without a pause between. Burner reads as the boot program before it set
// its loader up: most significant bit first after the first, least after the
// second; Jetload, without a pilot to speak of, right after another file.
TEST(TurboFiles, ComposedFilesReadBack) {
  struct Row {
    const char* family;
    uint16_t load;
    size_t size;
    const char* name;  // expected name; nullptr where the format has none
    TurboChecksum checksum;
    bool pauseAfter;
    bool special = false;  // Bleepload's special chain
  };
  const Row rows[] = {
      {"Freeload", 0x0800, 700, nullptr, TurboChecksum::Ok, false},
      {"US Gold", 0xC000, 300, "GOLDEN FILE     ", TurboChecksum::Ok, false},
      {"Ocean New", 0x4000, 257, nullptr, TurboChecksum::Ok, true},
      {"Ace of Aces", 0x2000, 1000, "ACES HIGH       ", TurboChecksum::Ok, true},
      {"Burner", 0x3000, 600, nullptr, TurboChecksum::None, true},
      {"Microload", 0x1000, 333, nullptr, TurboChecksum::Ok, true},
      {"Turbotape 250", 0x0801, 900, "TURBO NAME      ", TurboChecksum::Ok, true},
      {"Burner", 0x5000, 450, nullptr, TurboChecksum::None, false},
      {"Jetload", 0x9000, 350, nullptr, TurboChecksum::None, true},
      {"Novaload", 0x3000, 600, "NOVA", TurboChecksum::Ok, false},
      {"Novaload Special", 0xE000, 512, nullptr, TurboChecksum::Ok, true},
      {"Ocean/Imagine", 0xC000, 768, nullptr, TurboChecksum::None, true},
      {"Virgin", 0x0801, 500, nullptr, TurboChecksum::Ok, false},
      {"Hi-Tec", 0x6000, 400, nullptr, TurboChecksum::Ok, true},
      {"Wildload", 0xA000, 768, nullptr, TurboChecksum::Ok, true},
      {"Bleepload", 0x4000, 64 + 512, nullptr, TurboChecksum::Ok, true},
      {"Bleepload", 0x7000, 512, nullptr, TurboChecksum::Ok, true, true},
      {"Freeload", 0xF000, 0x1000, nullptr, TurboChecksum::Ok, true},  // its last byte at $FFFF
  };
  const std::tuple<int, double, double> speeds[] = {{0, 1.0, 0}, {2, 0.96, 4e-7}, {3, 1.04, -4e-7}};  // jitter, speed, drift
  for (const auto& [jitter, factor, drift] : speeds) {
    SCOPED_TRACE(factor);
    TapeComposer composer(0, 1, 0, 5);
    composer.SetJitter(jitter);
    composer.SetTurboSpeed(factor, drift);
    const BurnerSettings burners[] = {{true, 0x33, 0x5C}, {false, 0x47, 0xCB}};
    composer.AddProgram(
        {.name = "BOOT", .data = test::ProgramData(300, 1), .headerTail = test::BurnerHeaderTail(burners[0])});
    std::vector<std::vector<uint8_t>> data;
    std::vector<test::ComposedTurboLayout> layouts;
    for (const Row& row : rows) {
      data.push_back(test::ProgramData(row.size, static_cast<uint32_t>(row.load)));
      layouts.push_back(composer.AddTurboFile({.family = row.family,
                                               .loadAddress = row.load,
                                               .data = data.back(),
                                               .name = row.name != nullptr ? std::string(row.name).substr(0, 16) : "",
                                               .burner = burners[&row < &rows[6] ? 0 : 1],
                                               .special = row.special}));
      if (row.pauseAfter) composer.AddSilence(100000);
      if (&row == &rows[5]) {
        composer.AddProgram(
            {.name = "MIDDLE", .data = test::ProgramData(100, 2), .headerTail = test::BurnerHeaderTail(burners[1])});
      }
    }
    const TapImage image = composer.Image();
    ASSERT_EQ(test::FindAllSections(image).size(), 2u);
    const auto files = test::TurboFilesOf(image);
    size_t k = 0;
    for (size_t i = 0; i < std::size(rows); ++i) {
      const Row& row = rows[i];
      SCOPED_TRACE(row.family);
      const std::string family = row.family;
      const bool chain =
          family == "Ocean/Imagine" || family == "Novaload Special" || family == "Wildload" || family == "Bleepload";
      // A chain lists one file per block: 256 bytes, Bleepload's first 64.
      std::vector<size_t> sizes;
      for (size_t n = 0; n < row.size; n += sizes.back()) {
        sizes.push_back(!chain ? row.size : family == "Bleepload" && !row.special && n == 0 ? 64 : 256);
      }
      const size_t blocks = sizes.size();
      for (size_t b = 0, offset = 0; b < blocks; offset += sizes[b], ++b, ++k) {
        ASSERT_LT(k, files.size());
        const TurboFile& f = files[k];
        const std::optional<std::string> name =
            row.name != nullptr && b == 0 ? std::optional<std::string>(row.name) : std::nullopt;
        EXPECT_EQ(std::tuple(f.loader, f.loadAddress, f.endAddress, f.checksum, f.readErrors, f.name),
                  std::tuple(row.family, row.load + offset, row.load + offset + sizes[b], row.checksum, 0, name));
        EXPECT_TRUE(std::equal(f.bytes.begin(), f.bytes.end(), data[i].begin() + static_cast<ptrdiff_t>(offset)));
        // A pilot of 0 bits right after another file's tone takes the tone in.
        const bool afterTone = i > 0 && !rows[i - 1].pauseAfter;
        if (b == 0) {
          EXPECT_GE(f.start, afterTone ? layouts[i - 1].dataEnd : layouts[i].start);
          EXPECT_LE(f.start, layouts[i].start);
        }
        if (b + 1 == blocks) {
          EXPECT_GE(f.end, layouts[i].dataEnd);
        }
      }
    }
    EXPECT_EQ(k, files.size());
  }
}

// A byte changed after its checksum was taken gives ERROR where the format
// has a checksum; a tape cut inside a file gives the file with its missing
// bytes as read errors, never as good.
TEST(TurboFiles, DamageIsReported) {
  const char* families[] = {"Freeload",      "Ocean New", "US Gold",          "Ace of Aces", "Microload",
                            "Turbotape 250", "Novaload",  "Novaload Special", "Virgin",      "Hi-Tec",
                            "Burner",        "Jetload",   "Wildload",         "Bleepload"};
  const BurnerSettings burner{false, 0x95, 0x6A};
  std::vector<uint8_t> boot(21, 0);
  for (uint8_t b : test::BurnerHeaderTail(burner)) boot.push_back(b);
  for (const char* family : families) {
    const bool checked = std::string(family) != "Burner" && std::string(family) != "Jetload";
    for (const bool cut : {false, true}) {
      if (!checked && !cut) continue;
      SCOPED_TRACE(std::string(family) + (cut ? " cut" : " corrupt"));
      TapeComposer composer(0, 1);
      // Bleepload's first block holds 64 bytes.
      const auto data = test::ProgramData(std::string(family) == "Bleepload" ? 576 : 512, 9);
      const int corrupt = cut ? -1 : static_cast<int>(data.size()) - 212;  // in the last 256-byte block
      const auto layout = composer.AddTurboFile(
          {.family = family, .loadAddress = 0x2000, .data = data, .corruptByte = corrupt, .burner = burner});
      auto bytes = composer.FileBytes();
      if (cut) bytes.resize(static_cast<size_t>(layout.dataEnd - 2000));
      TapImage image;
      ASSERT_TRUE(LoadTapImageFromBytes("t.tap", bytes, image));
      const auto files = FindTurboFiles(image, {}, {{0, boot}});
      ASSERT_FALSE(files.empty());
      // Without the boot program that sets it up, no Burner file is read.
      if (std::string(family) == "Burner") {
        EXPECT_TRUE(FindTurboFiles(image, {}).empty());
      }
      const TurboFile& damaged = files.back();  // a chain's second block holds byte 300
      EXPECT_EQ(damaged.loader, family);
      EXPECT_EQ(damaged.checksum, checked ? TurboChecksum::Error : TurboChecksum::None);
      EXPECT_FALSE(damaged.usable());
      if (cut) {
        EXPECT_GT(damaged.readErrors, 0);
      }
      EXPECT_LE(damaged.end, image.FileLength());
    }
  }
}

// Rounded shares always add up to 100: the hundredths lost in rounding go
// to the shares that lost the most.
TEST(TapeCoverage, RoundedSharesAddUpToAHundred) {
  const std::pair<TapeCoverage, TapeCoverage> rows[] = {
      // exact, rounded
      {{100.0 / 3, 100.0 / 3, 0, 100.0 / 3}, {33.34, 33.33, 0, 33.33}},
      {{8.974, 91.016, 0.005, 0.005}, {8.97, 91.02, 0.01, 0}},
      {{50, 50, 0, 0}, {50, 50, 0, 0}},
      {{0, 0, 0, 0}, {0, 0, 0, 0}},
  };
  const auto shares = [](const TapeCoverage& c) {
    return std::vector<double>{c.romPercent, c.turboPercent, c.pausePercent, c.unrecognisedPercent};
  };
  for (const auto& [exact, rounded] : rows) EXPECT_EQ(shares(RoundedCoverage(exact)), shares(rounded));
}

// A Visiload chain whose blocks change the loader's settings as it plays
// (two extra bits per byte, the other bit order, filler bytes, a pilot again)
// reads back block by block, with jitter and drift; a byte whose extra bit is
// broken, or a tape cut inside a block, leaves that block unusable.
TEST(Visiload, ChainFollowsItsChangingSettings) {
  using Block = test::ComposedVisiloadBlock;
  const auto data = [](size_t size, uint32_t seed) { return test::ProgramData(size, seed); };
  const std::vector<Block> chain = {
      {0x0300, data(52, 1)},  {0x0801, data(300, 2)}, {0x034B, {10}},         {0x0347, {0x66}},
      {0xC000, data(256, 3)}, {0x03A4, {5}, true},    {0xC100, data(256, 4)}, {0x0347, {0x26}},
      {0x034B, {9}},          {0x03BB, data(32, 5)},  {0xFF00, data(256, 6)},
  };
  struct Case {
    const char* what;
    int jitter;
    double factor;
    double drift;
    int brokenBlock;  // its byte 7 has a broken extra bit
    bool cut;         // the tape ends inside the last block
    uint8_t version = 1;
  };
  const Case cases[] = {{"clean", 0, 1.0, 0, -1, false},
                        {"slow, drifting", 3, 0.95, 0.0000004, -1, false},
                        {"fast, drifting back", 3, 1.05, -0.0000004, -1, false},
                        {"broken byte", 1, 1.0, 0, 4, false},
                        {"cut", 1, 1.0, 0, -1, true},
                        {"half-waves", 1, 1.0, 0, -1, false, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TapeComposer composer(0, c.version, 0, 3);
    composer.SetJitter(c.jitter);
    composer.SetTurboSpeed(c.factor, c.drift);
    composer.AddProgram({.name = "BOOT", .data = test::ProgramData(200, 1)});
    auto blocks = chain;
    if (c.brokenBlock >= 0) blocks[static_cast<size_t>(c.brokenBlock)].brokenByte = 7;
    const auto layout = composer.AddVisiloadChain(blocks);
    composer.AddSilence(100000);
    auto bytes = composer.FileBytes();
    if (c.cut) bytes.resize(static_cast<size_t>(layout.dataEnd - 100));
    TapImage image;
    ASSERT_TRUE(LoadTapImageFromBytes("t.tap", bytes, image));
    const auto files = test::TurboFilesOf(image);
    ASSERT_EQ(files.size(), blocks.size());
    EXPECT_EQ(files.front().start, layout.start);
    for (size_t i = 0; i < blocks.size(); ++i) {
      SCOPED_TRACE(i);
      const TurboFile& f = files[i];
      const Block& b = blocks[i];
      const bool damaged = static_cast<int>(i) == c.brokenBlock || (c.cut && i + 1 == blocks.size());
      EXPECT_EQ(std::tuple(f.loader, f.checksum, f.loadAddress, f.endAddress, f.usable()),
                std::tuple("Visiload", TurboChecksum::None, b.loadAddress,
                           b.loadAddress + (b.endIsStart ? 0u : static_cast<unsigned>(b.data.size())), !damaged));
      if (!damaged) {
        EXPECT_EQ(f.bytes, b.endIsStart ? std::vector<uint8_t>{} : b.data);
      }
      if (i > 0) {
        EXPECT_EQ(f.start, files[i - 1].end);
      }
      // Read between the bits' pulses, which the speed stretches.
      EXPECT_NEAR(f.threshold, (0x25 + 0x48) / 2 * c.factor, 3);
    }
    EXPECT_LE(files.back().end, image.FileLength());
    if (!c.cut) {
      EXPECT_GE(files.back().end, layout.dataEnd);
    }
  }
}

}  // namespace
}  // namespace rw
