// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Turbo files: what commercial tapes hold beyond the programs the ROM saved.
//
// A short ROM-saved boot program brings in a faster loader, which reads the
// rest of the tape in its own format. These formats record one bit per pulse:
// a pulse shorter than the format's threshold is a 0, a longer one a 1. A
// file starts with a pilot (a byte repeated many times, or a long run of 0
// bits ended by a single 1), then a sync sequence, a header with the load
// address, and the data, usually closed by a checksum. The formats differ in
// a handful of parameters (threshold, bit order, pilot, sync, header layout,
// checksum); the reader keeps them in one table.
//
// Pulse lengths drift with the tape and the recorder that saved it, so the
// threshold is tuned to the pilot of each file before its bytes are read.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/tap_image.h"

namespace rw {

// A stretch of the image, [start, end) in file offsets.
struct TapeStretch {
  int64_t start = 0;
  int64_t end = 0;
};

enum class TurboChecksum : uint8_t {
  Ok,     // the file's checksum matches its bytes
  Error,  // it does not, or bytes did not read
  None,   // the format has no checksum
};

// "OK", "ERROR", "none".
const char* TurboChecksumText(TurboChecksum checksum);

struct TurboFile {
  // The loader family, e.g. "Freeload": one of the reader's own names, which
  // live as long as the program. A long tape holds tens of thousands of
  // files, so the fields are laid out to leave no gaps.
  std::string_view loader;
  int32_t start = 0;  // the file's first pilot pulse (a chain block: its first byte)
  int32_t end = 0;    // just past its last pulse (its trailing tone included)
  uint16_t loadAddress = 0;
  TurboChecksum checksum = TurboChecksum::None;
  uint32_t endAddress = 0;          // one past the last byte; 0x10000 for a file that ends at $FFFF
  int32_t readErrors = 0;           // bytes that did not read (cut off by the end of the tape included)
  int threshold = 0;                // the bit threshold tuned to the file's pilot, as it was read
  std::optional<std::string> name;  // header name bytes, one char per byte, where the format has one
  std::vector<uint8_t> bytes;       // endAddress - loadAddress bytes; 0 where a byte did not read; none when Dropped

  bool operator==(const TurboFile&) const = default;

  // Good enough to be used as the file: nothing unread, and a checksum that
  // matches or none to check.
  bool usable() const { return readErrors == 0 && checksum != TurboChecksum::Error; }
};

// How one loader family records, as the reader's table has it: pulse
// lengths in TAP units, bit order, pilot and sync.
struct TurboFamily {
  std::string name;  // e.g. "Freeload"
  int threshold = 0;
  int bit0 = 0;
  int bit1 = 0;
  bool msbFirst = true;
  bool zeroBitPilot = false;  // a run of 0 bits and one 1 bit, rather than a repeated pilot byte
  uint8_t pilotByte = 0;
  std::vector<uint8_t> sync;
};

// The families the reader knows, in the order it tries them. A family whose
// pilot, sync and bit order its boot program sets (Burner) is listed with
// pilot byte 0 and no sync.
std::vector<TurboFamily> TurboFamilies();

// The header block of a ROM-saved program: some loaders keep their settings
// in it, and so read the turbo files after it in a way of its own.
struct BootHeader {
  int64_t start = 0;           // the program's first leader pulse
  std::vector<uint8_t> bytes;  // the 192 bytes between the countdown and the checksum
};

// Burner's loader is stored in its boot program's header, each byte XOR
// $59; deciphered, three of its bytes set the bit order, the pilot byte and
// the sync byte. Nothing when `header` holds no such loader.
struct BurnerSettings {
  bool msbFirst = true;
  uint8_t pilot = 0;
  uint8_t sync = 0;
};
std::optional<BurnerSettings> BurnerSettingsIn(const std::vector<uint8_t>& header);
inline constexpr uint8_t kBurnerCipher = 0x59;
inline constexpr size_t kBurnerOrderAt = 0x83;  // $26: most significant bit first; $66: least
inline constexpr size_t kBurnerPilotAt = 0x88;
inline constexpr size_t kBurnerSyncAt = 0x93;

// Whether the reader keeps each file's bytes. A listing shows only where the
// files lie, their addresses, checksums and read errors, which come out the
// same either way; a tape of many thousand files takes tens of megabytes less.
enum class TurboBytes : uint8_t { Kept, Dropped };

// Every turbo file of the families the reader knows, in tape order. The
// reader never reads inside the `claimed` stretches (the ROM-saved blocks);
// they may come in any order and overlap. `boots` are the headers of the
// ROM-saved programs, in tape order: a loader set up by one reads the
// stretches after it. Images of machines other than the C64 hold none of
// these formats and give nothing.
std::vector<TurboFile> FindTurboFiles(const TapImage& image, std::vector<TapeStretch> claimed,
                                      const std::vector<BootHeader>& boots = {}, TurboBytes bytes = TurboBytes::Kept);

// The contents of a ".prg" file of `file`: the load address, low byte first,
// then the bytes.
std::vector<uint8_t> TurboPrgBytes(const TurboFile& file);

}  // namespace rw
