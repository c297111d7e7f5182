// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Composes tape images the way the Commodore ROM saver records programs, for
// the decoder's tests and the benchmarks. Standard library and core only.
//
// One program: [silence] leader of short pulses, header block (countdown
// 137..129, file type, start and end address, 16-byte name, padding, XOR
// checksum), end marker, 79 short pulses, the repeated header (countdown
// 9..1), end marker, 78 short pulses; then, with data, a data leader, the data
// block, its repeat and trailer in the same form.

#include <cstdint>
#include <string>
#include <vector>

#include "core/data_block.h"
#include "core/rom_decoder.h"
#include "core/tap_image.h"
#include "core/turbo_reader.h"

namespace rw::test {

struct PulsePeaks {
  int shortPulse = 48;
  int mediumPulse = 66;
  int longPulse = 86;
};

// Pulse values that lie in the middle of each machine's default classes.
PulsePeaks DefaultPeaks(uint8_t machine);

struct ComposedProgram {
  std::string name;  // name bytes (one char per byte), padded with spaces or cut to 16
  uint8_t fileType = 1;
  uint16_t startAddress = 0x0801;   // the end address follows from the data's size, wrapping at 64K
  std::vector<uint8_t> data;        // the data block; empty: no data block
  int headerLength = -1;            // the header's address range in bytes; -1: the data's size
  std::vector<uint8_t> headerTail;  // the header's bytes after the name (up to 171), then spaces
  int leaderPulses = 0x6A00;
  int dataLeaderPulses = 0x1500;
  uint32_t silenceBefore = 0;  // cycles of silence before the leader; 0: none
  bool headerRepeat = true;
  bool wrongChecksum = false;        // first header copy
  bool wrongRepeatChecksum = false;  // repeated header copy
  int wrongParityByte = -1;          // index (0..201) of a first-copy byte written with the wrong parity
  bool strayHalfWave = false;        // version 2: one extra short half-wave before the leader
  // Data block faults, by byte index within the block (0 = first countdown
  // byte, 9 = first data byte): a wrong parity pair, or a pulse outside every
  // class; the first copy's and the repeat's.
  std::vector<int> dataParityErrors;
  std::vector<int> dataBrokenBytes;
  std::vector<int> dataRepeatParityErrors;
  bool dataRepeat = true;
};

// Where the composer put a program (file offsets).
struct ComposedLayout {
  int64_t start = 0;          // first position of the leader (the stray half-wave, if any)
  int64_t headerPos = 0;      // first countdown byte of the first header copy
  int64_t repeatPos = 0;      // first countdown byte of the repeat; 0 without one
  int64_t dataPos = 0;        // first countdown byte of the data block; 0 without one
  int64_t dataRepeatPos = 0;  // first countdown byte of the data block's repeat; 0 without one
};

// A turbo file as its family's saver writes it (see core/turbo_reader.h).
struct ComposedTurboFile {
  std::string family;  // a name from TurboFamilies()
  uint16_t loadAddress = 0x0801;
  // The bytes; a chain family (Novaload Special, Ocean/Imagine, Wildload)
  // loads them as 256-byte blocks to consecutive pages, so a multiple of 256
  // there; Bleepload as a 64-byte block and then 256-byte ones (its special
  // chain: only 256-byte ones).
  std::vector<uint8_t> data;
  std::string name;       // header name where the format has one (16 characters, padded with spaces)
  int corruptByte = -1;   // index of a data byte changed after its checksum was taken
  BurnerSettings burner;  // Burner: as its boot program's header sets them (BurnerHeaderTail)
  bool special = false;   // Bleepload: a "special" chain
};

// The bytes after the name of a Burner boot program's header, enciphered as
// its saver stores them, that set up its loader with `settings`.
std::vector<uint8_t> BurnerHeaderTail(const BurnerSettings& settings);

// Where the composer put a turbo file.
struct ComposedTurboLayout {
  int64_t start = 0;    // first pilot pulse
  int64_t dataEnd = 0;  // just past the last byte
};

// One block of a composed Visiload chain. A block loaded at $034B, $03A4 or
// $0347 changes how the blocks after it are sent, one at $03BB gives the next
// block a pilot (see core/turbo_visiload.h).
struct ComposedVisiloadBlock {
  uint16_t loadAddress = 0;
  std::vector<uint8_t> data;
  bool endIsStart = false;  // its end address is its start: `data`'s one byte is sent, yet no byte of the block
  int brokenByte = -1;      // index of a data byte whose first extra bit is sent as a 0
};

// Data that looks like a BASIC program: its first byte is never a program
// file type (1 or 3), so a data block never passes for a header.
std::vector<uint8_t> ProgramData(size_t size, uint32_t seed);

// A C64 version-1 tape: silence, then one program per name, each with 64
// bytes of data and followed by silence. `starts` receives where each begins.
std::vector<uint8_t> TapeWith(const std::vector<std::string>& names, std::vector<int64_t>* starts = nullptr);

// A C64 version-1 tape of `programs` programs named PART1, PART2, ... (or all
// `name`), each with `bytes` bytes of data and followed by silence.
std::vector<uint8_t> PartsTape(int programs, uint32_t bytes = 40, const std::string& name = "");

// A C64 image of the given version whose pulse bytes are exactly `pulses`.
TapImage RawImage(uint8_t version, const std::vector<uint8_t>& pulses);

// Every section the decoder finds, searching the way the split does.
std::vector<TapeSection> FindAllSections(const TapImage& image);
// The data block of each section, each searched up to the next section's start.
std::vector<DataResult> ReadAllData(const TapImage& image, const std::vector<TapeSection>& sections);

class TapeComposer {
 public:
  TapeComposer(uint8_t machine, uint8_t version, uint8_t video = 0, uint32_t seed = 1);

  void SetPeaks(const PulsePeaks& peaks) { peaks_ = peaks; }
  // Every pulse (every half-wave in version 2) varies by up to +-amount.
  void SetJitter(int amount) { jitter_ = amount; }
  void Reserve(size_t fileBytes) { bytes_.reserve(fileBytes); }

  ComposedLayout AddProgram(const ComposedProgram& program);
  void AddPulses(int value, int count);
  // `broken`: the byte's first bit pulse lies outside every class.
  void AddByte(uint8_t value, bool wrongParity = false, bool broken = false);
  // Silence: a run of zero bytes in version 0, a long-pulse record in 1 and 2.
  void AddSilence(uint32_t cycles);
  void AddRaw(const std::vector<uint8_t>& bytes);
  // A turbo file, then a short trailing tone of 0 bits. Its pulses follow the
  // speed set by SetTurboSpeed, with the jitter.
  ComposedTurboLayout AddTurboFile(const ComposedTurboFile& file);
  // A Visiload chain, the first block with a pilot, then a short trailing
  // tone. The layout's start is the first pilot pulse.
  ComposedTurboLayout AddVisiloadChain(const std::vector<ComposedVisiloadBlock>& blocks);
  // The tape speed for turbo pulses: each pulse is `factor` times its length,
  // and the factor grows by `drift` per pulse written.
  void SetTurboSpeed(double factor, double drift = 0) {
    speed_ = factor;
    drift_ = drift;
  }

  int64_t size() const { return static_cast<int64_t>(bytes_.size()); }  // also the next position
  int step() const { return version_ == 2 ? 2 : 1; }
  const std::vector<ComposedLayout>& layouts() const { return layouts_; }

  // The whole file, header included.
  std::vector<uint8_t> FileBytes() const;
  // The same, moved out of the composer (no copy of a large image).
  std::vector<uint8_t> TakeFileBytes();
  // The file as a loaded image (with the trailing zero element).
  TapImage Image() const;

 private:
  void Pulse(int value);
  int Jittered(int value);
  void AddBlock(int countdownStart, const std::vector<uint8_t>& payload, bool wrongChecksum,
                const std::vector<int>& wrongParity, const std::vector<int>& broken = {});

  uint8_t machine_;
  uint8_t version_;
  uint8_t video_;
  uint32_t random_;
  PulsePeaks peaks_;
  int jitter_ = 0;
  double speed_ = 1.0;
  double drift_ = 0;
  std::vector<uint8_t> bytes_;
  std::vector<ComposedLayout> layouts_;
};

}  // namespace rw::test
