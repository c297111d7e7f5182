// SPDX-License-Identifier: GPL-2.0-or-later
// Writes the seed corpora of the fuzz targets: make_fuzz_seeds <folder>
// creates <folder>/fuzz_tape_parse, fuzz_rename, fuzz_duration and fuzz_ini.
// The tapes are composed the way the ROM saver records programs, kept small
// (short leaders and data) so that the fuzzer runs fast, in every machine
// and version and with the faults a worn tape shows.

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/tape_composer.h"

namespace {

namespace fs = std::filesystem;
using rw::test::ComposedProgram;
using rw::test::TapeComposer;

void WriteSeed(const fs::path& folder, const std::string& name, const std::vector<uint8_t>& bytes) {
  std::ofstream(folder / name, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void WriteSeed(const fs::path& folder, const std::string& name, const std::string& text) {
  WriteSeed(folder, name, std::vector<uint8_t>(text.begin(), text.end()));
}

ComposedProgram Small(const std::string& name, size_t dataSize, uint32_t seed) {
  ComposedProgram program;
  program.name = name;
  program.leaderPulses = 1100;
  program.dataLeaderPulses = 1050;
  if (dataSize > 0) program.data = rw::test::ProgramData(dataSize, seed);
  return program;
}

struct Variant {
  const char* label;
  void (*shape)(ComposedProgram& first, ComposedProgram& second, TapeComposer& composer, uint8_t machine);
};

const Variant kVariants[] = {
    {"clean", [](ComposedProgram&, ComposedProgram&, TapeComposer&, uint8_t) {}},
    {"silence",
     [](ComposedProgram& first, ComposedProgram& second, TapeComposer&, uint8_t) {
       first.silenceBefore = 20000;
       second.silenceBefore = 300000;
     }},
    {"checksums",
     [](ComposedProgram& first, ComposedProgram& second, TapeComposer&, uint8_t) {
       first.wrongChecksum = true;
       second.wrongRepeatChecksum = true;
     }},
    {"parity", [](ComposedProgram& first, ComposedProgram&, TapeComposer&, uint8_t) { first.wrongParityByte = 40; }},
    {"norepeat", [](ComposedProgram& first, ComposedProgram&, TapeComposer&, uint8_t) { first.headerRepeat = false; }},
    {"jitter", [](ComposedProgram&, ComposedProgram&, TapeComposer& composer, uint8_t) { composer.SetJitter(3); }},
    {"edges",
     [](ComposedProgram&, ComposedProgram&, TapeComposer& composer, uint8_t machine) {
       // Pulses at the lower edges of the default classes.
       const rw::test::PulsePeaks edges[] = {{32, 61, 77}, {33, 53, 74}, {33, 94, 192}};
       composer.SetPeaks(edges[machine]);
     }},
    {"stray",
     [](ComposedProgram& first, ComposedProgram& second, TapeComposer&, uint8_t) {
       first.strayHalfWave = true;
       second.fileType = 3;
     }},
};

void TapeSeeds(const fs::path& parse, const fs::path& rename) {
  const std::string newName = "NEW NAME \xA3\x1C    !";  // 16 bytes
  int n = 0;
  for (uint8_t machine = 0; machine < 3; ++machine) {
    for (uint8_t version = 0; version < 3; ++version) {
      for (const Variant& variant : kVariants) {
        TapeComposer composer(machine, version, machine == 2 ? 0 : n % 2, static_cast<uint32_t>(n + 1));
        ComposedProgram first = Small("GAME LOADER", 24, 7);
        ComposedProgram second = Small("", 0, 9);
        variant.shape(first, second, composer, machine);
        composer.AddProgram(first);
        composer.AddSilence(100000);
        composer.AddProgram(second);
        const std::vector<uint8_t> bytes = composer.FileBytes();
        const std::string name = "m" + std::to_string(machine) + "v" + std::to_string(version) + "-" + variant.label;
        // A seed that decodes to nothing would teach the fuzzer little.
        const size_t found = rw::test::FindAllSections(composer.Image()).size();
        if (found == 0) std::fprintf(stderr, "seed %s: no program found (kept all the same)\n", name.c_str());
        WriteSeed(parse, name, bytes);
        std::vector<uint8_t> renamed(newName.begin(), newName.end());
        renamed.insert(renamed.end(), bytes.begin(), bytes.end());
        WriteSeed(rename, name, renamed);
        ++n;
      }
    }
  }
  // What the loader refuses, each for one reason.
  TapeComposer composer(0, 1);
  std::vector<uint8_t> header = composer.FileBytes();
  WriteSeed(parse, "short", std::vector<uint8_t>(header.begin(), header.begin() + 12));
  std::vector<uint8_t> bad = header;
  bad[3] = 'X';
  WriteSeed(parse, "signature", bad);
  bad = header;
  bad[12] = 3;
  WriteSeed(parse, "version", bad);
  bad = header;
  bad[13] = 5;
  WriteSeed(parse, "machine", bad);
  bad = header;
  bad[14] = 2;
  WriteSeed(parse, "video", bad);
}

void DurationSeeds(const fs::path& folder) {
  // Separator byte, clock byte, eight bytes of a shown length, then the text.
  const char* const texts[] = {"5s", "1m30s",  "1m:30s", "2.5s",   "2,5s",
                               "0s", "0.001s", "36m",    "35m47s", "1m:23.46s",
                               "",   "m",      "1..5s",  "12",     "999999999999999999999999999s"};
  int n = 0;
  for (const char* text : texts) {
    std::vector<uint8_t> seed = {static_cast<uint8_t>(n % 3), static_cast<uint8_t>(n % 6)};
    const double shown = n * 37.125;
    uint8_t raw[sizeof shown];
    std::memcpy(raw, &shown, sizeof shown);
    seed.insert(seed.end(), raw, raw + sizeof raw);
    seed.insert(seed.end(), text, text + std::strlen(text));
    WriteSeed(folder, "duration" + std::to_string(n++), seed);
  }
}

void IniSeeds(const fs::path& folder) {
  WriteSeed(folder, "settings",
            std::string("[Paths]\nLoadPath=/home/user/tapes\nSplitPath=/home/user/out\nDefSplitPath=\n"
                        "[Window]\nMaximised=0\nLeft=1200\nTop=900\nWidth=9000\nHeight=7000\n"));
  WriteSeed(folder, "crlf", std::string("\xEF\xBB\xBF[A]\r\nkey = \" spaced \"\r\n; comment\r\n\r\n[b]\r\nx=1=2\r\n"));
  WriteSeed(folder, "odd",
            std::string("no section=1\n[ S ]\n#k=v\n=novalue\nK=\"q\"\n[s]\nk=again\n[broken\nk=\xFF\xFE"));
  WriteSeed(folder, "empty", std::string());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_fuzz_seeds <folder>\n");
    return 2;
  }
  const fs::path root = argv[1];
  for (const char* target : {"fuzz_tape_parse", "fuzz_rename", "fuzz_duration", "fuzz_ini"}) {
    fs::create_directories(root / target);
  }
  TapeSeeds(root / "fuzz_tape_parse", root / "fuzz_rename");
  DurationSeeds(root / "fuzz_duration");
  IniSeeds(root / "fuzz_ini");
  return 0;
}
