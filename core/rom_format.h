// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The Commodore ROM tape format at the level of pulses and bytes, shared by
// everything that reads ROM-saved blocks: the section search, the program
// data reader and the renaming of headers.
//
// The ROM writes every bit as a pair of pulses of three lengths (short,
// medium, long): a byte is a long+medium marker, eight bit pairs (least
// significant first; short+medium is 0, medium+short is 1) and an odd-parity
// pair, 20 pulses in all. A block ends with a long+short pair. Each block
// starts with a countdown of nine bytes: 137..129 in the first copy, 9..1 in
// the repeat that follows it.
//
// Pulse lengths vary with the machine and with the tape, so the classes are
// bounds (shortMin, shortMax, mediumMin, mediumMax, longMin, longMax) that the
// section search tunes to each header's leader; the blocks after a header are
// read with the bounds it was read with.

#include <array>
#include <cstdint>

#include "core/tap_image.h"

namespace rw {

// A header block, as byte indices within the block.
namespace rom_block {
inline constexpr int kCountdownLength = 9;
inline constexpr int kFirstCountdown = 137;  // 0x89: the first copy counts 137..129
inline constexpr int kRepeatCountdown = 9;   // the repeat counts 9..1
inline constexpr int kTypeIndex = 9;         // the file type
inline constexpr int kAddressIndex = 10;     // start and end address, little-endian, end exclusive
inline constexpr int kNameIndex = 14;        // the name, padded with spaces
inline constexpr int kNameLength = 16;       // a Commodore file name's length, on tape and on disk
inline constexpr int kHeaderLength = 192;    // header bytes between the countdown and the checksum
inline constexpr int kHeaderBlockSize = kCountdownLength + kHeaderLength + 1;  // 202: the checksum last
}  // namespace rom_block

// The type byte of a header. Only programs (relocatable or absolute) start a
// program on the tape; data files and the end-of-tape marker do not.
enum class FileType : uint8_t {
  RelocatableProgram = 1,  // loads at the start of BASIC
  DataBlock = 2,           // a block of a sequential data file
  AbsoluteProgram = 3,     // loads at its header's start address
  DataHeader = 4,          // the header of a sequential data file
  EndOfTape = 5,
};

inline bool IsProgramType(int type) {
  return type == static_cast<int>(FileType::RelocatableProgram) || type == static_cast<int>(FileType::AbsoluteProgram);
}

// The machines of a tape image's header.
enum class Machine : uint8_t { C64 = 0, Vic20 = 1, C16 = 2 };

// The three pulse classes for given bounds, as a table of class bits per
// pulse value. Classes may overlap (a hand-set bound) or leave gaps (the
// C16's defaults). The value 0 is in no class: it stands for an overflow or
// silence, and reads outside the image give it, so every decoder ends
// cleanly there whatever bounds are in force.
class PulseClasses {
 public:
  static constexpr uint8_t kShort = 1, kMedium = 2, kLong = 4;
  using Bounds = std::array<uint8_t, 6>;

  PulseClasses() = default;
  explicit PulseClasses(const Bounds& bounds);
  // The defaults of a machine's ROM (a machine the format does not know reads as a C64).
  static Bounds DefaultBounds(uint8_t machine);

  const Bounds& bounds() const { return bounds_; }
  uint8_t Of(int value) const { return value >= 0 && value < 256 ? table_[static_cast<size_t>(value)] : 0; }
  bool IsShort(int value) const { return (Of(value) & kShort) != 0; }
  bool IsMedium(int value) const { return (Of(value) & kMedium) != 0; }
  bool IsLong(int value) const { return (Of(value) & kLong) != 0; }
  // No pulse value is in two classes.
  bool Disjoint() const { return disjoint_; }

  // Leaders are tens of thousands of short pulses in a row, walked through
  // on every search; these find the ends of such a run among `bytes` (one
  // pulse a byte, no zero among them) sixteen at a time where the processor
  // allows. The first position from `from` up to `limit` whose pulse is not
  // short, or `limit`:
  int64_t ShortRunEnd(const uint8_t* bytes, int64_t from, int64_t limit) const;
  // and the last position from `from` down to `floor` whose pulse is not
  // short, or floor - 1.
  int64_t ShortRunStart(const uint8_t* bytes, int64_t from, int64_t floor) const;

 private:
  Bounds bounds_{};
  std::array<uint8_t, 256> table_{};
  bool disjoint_ = true;
};

// The pulses of an image as the ROM routines time them: one byte a pulse, or
// in version 2 two half-waves added and capped at 255. Outside the image 0.
class PulseStream {
 public:
  explicit PulseStream(const TapImage& image)
      : bytes_(image.bytes.data()),
        size_(static_cast<int64_t>(image.bytes.size())),
        step_(image.version == 2 ? 2 : 1) {}
  explicit PulseStream(TapImage&&) = delete;  // the stream points into the image

  int step() const { return step_; }
  int bytePulses() const { return 20 * step_; }  // positions an encoded byte takes
  int64_t size() const { return size_; }         // positions readable, the trailing zero included
  const uint8_t* data() const { return bytes_; }

  int Pulse(int64_t pos) const {
    if (pos < 0 || pos >= size_) return 0;
    const int first = bytes_[pos];
    if (step_ == 1 || pos == size_ - 1) return first;
    return first + bytes_[pos + 1] > 255 ? 255 : first + bytes_[pos + 1];
  }

 private:
  const uint8_t* bytes_;
  int64_t size_;
  int step_;
};

// The byte encoded at `pos`: 0..255; -1 when no byte starts there (no
// long+medium marker, or a pair that is no bit: the end marker gives -1
// too); -2 when the parity pair does not match the bits.
int DecodeRomByte(const PulseStream& pulses, const PulseClasses& classes, int64_t pos);

}  // namespace rw
