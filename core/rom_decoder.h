// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Finding the programs that the Commodore ROM tape routines saved in the pulse
// stream of a tape image.
//
// A saved program starts with a long leader of short pulses, then the header
// block (countdown 137..129, file type, start and end address, 16-byte name,
// padding, XOR checksum), then the same block again with the countdown 9..1,
// then the data in the same form (pulses and bytes: core/rom_format.h).
//
// Pulse lengths vary with the machine and with the tape, so the three classes
// are tuned to each header from a histogram of the pulses after its leader.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/rom_format.h"
#include "core/tap_image.h"

namespace rw {

// One program found on the tape.
struct TapeSection {
  int32_t start = 0;              // first pulse of the header's leader; the program's file begins here
  int32_t leaderEnd = 0;          // headerPos - step; the next search resumes after it
  std::string name;               // display name (UTF-8): filtered, trimmed, upper-case, or "NO-TITLE-n"
  std::string rawName;            // the 16 header name bytes, one char per byte (Latin-1), spaces trimmed
  std::string tapeNameText;       // UTF-8; set by the name editor, empty from the decoder
  int32_t headerPos = 0;          // first countdown byte of the first header copy
  int32_t afterHeader = 0;        // end marker after the first copy, plus step
  int32_t headerChecksumPos = 0;  // the first copy's checksum byte
  int32_t repeatPos = 0;          // first countdown byte of the repeat; 0 when not found
  int32_t afterRepeat = 0;        // end marker after the repeat, plus step; 0 when not found
  int32_t repeatChecksumPos = 0;  // the repeat's checksum byte; 0 when not found
  bool headerChecksumOk = false;
  bool repeatChecksumOk = false;  // false when the repeat was not found
  std::string fileName;           // UTF-8; set by the name editor, empty from the decoder
  // Class bounds in force when the header was read: shortMin, shortMax,
  // mediumMin, mediumMax, longMin, longMax. Renaming puts them back.
  std::array<uint8_t, 6> bounds{};
  // Most frequent short, medium and long pulse value after the leader; new
  // pulses are written with these lengths.
  std::array<uint8_t, 3> peaks{};
};

// A run of histogram values that belong together: one pulse class.
struct PulseCluster {
  int peak = 0;   // the value counted most often (the lowest one on ties)
  int first = 0;  // first value of the run
  int end = 0;    // first empty value after the run
};

// The decoder's state for one tape image: pulse classes, the last block read
// and the numbering of untitled programs. The image must outlive the decoder;
// its bytes may change in place (renaming) but not be reallocated.
class RomDecoder {
 public:
  inline static constexpr int kSampleSize = 1025;
  inline static constexpr int kHistogramSize = 513;  // values 0..512 (a version-2 pulse is two bytes)
  inline static constexpr int kBlockSize = rom_block::kHeaderBlockSize;
  inline static constexpr int kMinLeader = 1000;  // a leader must be longer than this
  inline static constexpr int kRepeatGap = 78;
  // How far after the first copy's end marker the repeat may start. On real
  // tapes it starts 80 positions after it (about 900 on a C16 half-wave
  // tape); beyond this span the header has no repeat, so the search never
  // mistakes a later block (another program's data or header repeat) for it,
  // and a header without repeat costs a bounded look, not a walk to the end.
  inline static constexpr int kRepeatSearchSpan = 4000;

  // Sets the default classes for the image's machine and version.
  explicit RomDecoder(const TapImage& image);
  explicit RomDecoder(TapImage&&) = delete;  // the decoder keeps a reference

  // The default classes of a machine (the image's version sets the step).
  void SetPulseClasses(uint8_t machine, uint8_t version);
  // Puts class bounds back in force (in TapeSection::bounds order).
  void SetBounds(const std::array<uint8_t, 6>& bounds);
  std::array<uint8_t, 6> Bounds() const { return classes_.bounds(); }
  const PulseClasses& classes() const { return classes_; }

  int step() const { return pulses_.step(); }
  int bytePulses() const { return pulses_.bytePulses(); }
  const TapImage& image() const { return image_; }

  // The pulse at `pos`: one byte, or in version 2 two half-waves added and
  // capped at 255. Outside the image 0, which is in no class.
  int ReadPulse(int64_t pos) const { return pulses_.Pulse(pos); }
  bool IsShort(int value) const { return classes_.IsShort(value); }
  bool IsMedium(int value) const { return classes_.IsMedium(value); }
  bool IsLong(int value) const { return classes_.IsLong(value); }

  // 0..255; -1 when no byte starts at `pos`; -2 on a parity error.
  int DecodeByte(int64_t pos) const { return DecodeRomByte(pulses_, classes_, pos); }

  // Decodes up to 202 bytes from `pos` into blockBuffer() and records where
  // the last byte read (the checksum) begins: headerChecksumPos for copy 1,
  // repeatChecksumPos otherwise. Returns the position after the end marker.
  int64_t ReadBlock(int64_t pos, TapeSection& section, int copy);
  // The last byte of the block equals the XOR of bytes 9..n-2.
  bool BlockChecksumOk() const;
  const std::vector<uint8_t>& blockBuffer() const { return blockBuffer_; }

  // The header name (raw bytes, spaces trimmed; may be empty) when a
  // program-file header starts at `pos`, otherwise nothing.
  std::optional<std::string> ReadHeaderName(int64_t pos) const;
  // The first countdown byte (9) of the repeated copy after a gap of at
  // least `gap` positions of short pulses, searching from `from`; -1 if none
  // starts within kRepeatSearchSpan positions of `from`.
  int64_t FindRepeat(int64_t from, int gap) const;
  // The next program from `from` on; false when the image holds no more.
  bool FindNextSection(int64_t from, TapeSection& section);
  // Tunes the classes to the pulses from `pos` on (the end of a leader);
  // true when the histogram gave exactly three clusters.
  bool AdaptPulseClasses(int64_t pos);

  const std::vector<int>& sample() const { return sample_; }
  const std::vector<int>& histogram() const { return histogram_; }
  const std::vector<PulseCluster>& clusters() const { return clusters_; }

  // The number given to the next program without a usable name.
  int untitledCounter = 0;

 private:
  bool FindNextSectionWholePulses(int64_t from, TapeSection& section);
  bool FindNextSectionHalfWaves(int64_t from, TapeSection& section);
  bool FindLongLeaderEnd(int64_t from, int64_t limit, int64_t& leaderStart, int64_t& leaderEnd) const;
  bool FindShortRun(int64_t from, int64_t limit, int64_t length, int64_t& runStart, int64_t& runEnd) const;
  int64_t SkipSilence(int64_t zeroPos);
  bool TrySection(int64_t leaderStart, int64_t pos, TapeSection& section);
  bool HeaderLengthBlock(int64_t pos) const;
  void FillSection(int64_t leaderStart, int64_t headerPos, const std::string& rawName, TapeSection& section);

  const TapImage& image_;
  PulseStream pulses_;
  PulseClasses classes_;
  std::vector<uint8_t> blockBuffer_;
  std::vector<int> sample_;
  std::vector<int> histogram_;
  std::vector<PulseCluster> clusters_;
  // The first zero byte at or after zeroSearchedFrom_, kept from one search
  // to the next: the searches move forward through the image, and looking
  // it up again to the end of the image on every call made a parse of many
  // programs cost the square of their number. Valid while the image's bytes
  // stay where they are; renaming never writes a zero.
  int64_t NextZero(int64_t from);
  int64_t zeroSearchedFrom_ = -1;
  int64_t nextZero_ = -1;
  const uint8_t* zeroSearchedData_ = nullptr;
  size_t zeroSearchedSize_ = 0;
};

}  // namespace rw
