// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Reading a program's data as the Commodore ROM loader does.
//
// After a program's header and its repeat the ROM saver writes the program's
// bytes as one more block, twice: a short leader, the countdown 137..129 (first
// copy) or 9..1 (repeat), the bytes from the start address up to the end
// address (exclusive), their XOR checksum and the end marker (a long pulse and
// a short one), each byte encoded like the header's. The loader reads the first
// copy, notes every byte it could not read (a pulse outside every class, a
// broken byte marker, a parity error), takes those bytes from the repeat, and
// only then checks the checksum. The blocks are read with the pulse classes
// tuned to the program's header, which belong to the same recording.
//
// A block ends at its end marker, not at the header's end address. Many
// commercial tapes begin with a boot program whose block is shorter than its
// header's address range: its bytes overwrite a vector that the machine calls
// while still loading, so the boot code runs before the range is full. The
// loader stores what the block holds, checks the checksum (the last byte
// before the marker) and moves on to the repeat; such a block is whole.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Bytes are decoded with SSE2 where the processor has it, otherwise with a
// table of pulse pairs; REELWRIGHT_PORTABLE_DECODE chooses the table on any
// processor, so that the tests cover it here too.
#if defined(__SSE2__) && !defined(REELWRIGHT_PORTABLE_DECODE)
#define REELWRIGHT_SSE2_DECODE 1
#include <emmintrin.h>
#endif

#include "core/rom_decoder.h"
#include "core/rom_format.h"
#include "core/tap_image.h"

namespace rw {

// How one copy of a data block read.
struct DataCopy {
  bool found = false;
  int32_t pos = 0;          // first countdown byte found; 0 when not found
  int32_t end = 0;          // just past the end marker, or where reading stopped; 0 when not found
  bool endMarker = false;   // the copy ended at its end marker (rather than a leader, silence or the image's end)
  int32_t places = 0;       // byte places from the first data byte to where the copy ended, checksum included
  int32_t bytesRead = 0;    // data and checksum bytes read without error
  int32_t readErrors = 0;   // data and checksum bytes not read (beyond the end of the image included)
  bool checksumOk = false;  // every byte read and their XOR matches the checksum byte
};

enum class DataState {
  Good,        // both copies together give every byte, and the checksum matches
  Short,       // as Good, but the block ends before the header's end address (a boot loader's block)
  Damaged,     // bytes that neither copy gives, or a checksum that does not match
  Missing,     // neither copy of the data block was found
  NotProgram,  // the header is not a program file (type 1 or 3): data files, end of tape
};

// "good", "short", "damaged", "missing", "not a program".
const char* DataStateText(DataState state);

// A program's header facts and the result of reading its data.
struct DataResult {
  bool headerRead = false;  // type and addresses read from one of the header copies
  int fileType = 0;         // 1 relocatable program, 3 absolute program, 4/2 data file, 5 end of tape
  uint16_t startAddress = 0;
  uint16_t endAddress = 0;  // one past the last byte
  // Where the machine's loader puts the program, the address a ".prg" file
  // begins with: an absolute program (type 3) at its start address; a
  // relocatable one (type 1) at the start of BASIC, 0801 on the C64 and 1001
  // on the C16 and Plus/4. On the VIC-20 the start of BASIC moves with the
  // memory expansion, so there the header's address, that of the machine
  // that saved it, is kept.
  uint16_t loadAddress = 0;
  std::string nameBytes;  // the 16 header name bytes as read (one char per byte)
  DataCopy first;
  DataCopy repeat;
  int32_t combinedErrors = 0;  // bytes (checksum byte included) that neither copy gave
  bool checksumOk = false;     // the combined bytes match their checksum
  DataState state = DataState::Missing;
  std::vector<uint8_t> bytes;  // the combined data: the block's bytes, at most endAddress - startAddress

  // Whole and checked: the only states in which the data may be used as the program.
  bool whole() const { return state == DataState::Good || state == DataState::Short; }
  int32_t Length() const { return static_cast<int32_t>(bytes.size()); }
  // The length the header's addresses give; a short block holds fewer bytes.
  int32_t HeaderLength() const { return endAddress < startAddress ? 0 : endAddress - startAddress; }
};

// Reads the data blocks of the programs found by the section search. Holds
// its buffers between programs, so one reader serves a whole tape.
class DataBlockReader {
 public:
  explicit DataBlockReader(const TapImage& image);
  explicit DataBlockReader(TapImage&&) = delete;  // the reader keeps a reference

  // The data of `section`, whose stretch of the image ends at `limit` (the
  // last position before the next program's leader, or the image's last
  // byte): both copies are searched for between the header's repeat (or the
  // header when the repeat is missing) and `limit`.
  DataResult Read(const TapeSection& section, int64_t limit);

 private:
  friend struct DataBlockReaderProbe;  // the tests compare the fast byte decode with the pulse-by-pulse one

  void SetClasses(const std::array<uint8_t, 6>& bounds);
  int DecodeByte(int64_t pos) const;
  int DecodeByteChecked(int64_t pos) const { return DecodeRomByte(pulses_, classes_, pos); }
  bool IsMarker(int64_t pos) const;
  bool IsEndMarker(int64_t pos) const;
  bool BlockOverAt(int64_t pos) const;
  int64_t Resync(int64_t expected) const;
  bool ReadHeader(const TapeSection& section, DataResult& data);
  int64_t FindBlock(int64_t from, int64_t limit, int countdownStart, int64_t& dataPos) const;
  int64_t ReadCopy(int64_t dataPos, size_t count, DataCopy& copy, std::vector<uint8_t>& bytes,
                   std::vector<uint8_t>& ok) const;
  void Combine(size_t places, DataResult& data);

  PulseStream pulses_;
  const uint8_t* bytes_;  // the pulse bytes, for the fast decode
  int64_t size_;          // positions readable, the trailing zero included
  uint8_t machine_;
  int step_;
  int bytePulses_;
  PulseClasses classes_;
  bool boundsSet_ = false;
  // Disjoint classes: a data block is most of a tape, so its bytes are read
  // on a fast path. With SSE2 the 20 pulses of a byte are classified at once
  // against the bounds (each class's lowest and highest value in every
  // lane); elsewhere, in versions 0 and 1, one table look-up gives the
  // meaning of each pulse pair.
  bool fastPath_ = false;
#if defined(REELWRIGHT_SSE2_DECODE)
  __m128i classLow_[3]{};
  __m128i classHigh_[3]{};
#else
  std::vector<uint8_t> pairs_;
#endif
  std::vector<uint8_t> firstBytes_, firstOk_, repeatBytes_, repeatOk_;
};

// The contents of a ".prg" file: the load address, low byte first, then the data.
std::vector<uint8_t> PrgFileBytes(const DataResult& data);

}  // namespace rw
