// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/data_block.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace rw {
namespace {

using rom_block::kCountdownLength;
using rom_block::kFirstCountdown;
using rom_block::kNameIndex;
using rom_block::kNameLength;
using rom_block::kRepeatCountdown;
using rom_block::kTypeIndex;
// How far (in pulses) a byte marker is looked for around its expected place
// after a byte that did not read: a pulse lost or split by a worn tape moves
// the bytes after it by a pulse or two.
constexpr int kResyncPulses = 4;
// Short pulses in a row that no byte can hold: where they begin, a block is over.
constexpr int kBlockOverRun = 6;

int32_t ToPosition(int64_t value) { return static_cast<int32_t>(std::clamp<int64_t>(value, 0, INT32_MAX)); }

}  // namespace

const char* DataStateText(DataState state) {
  switch (state) {
    case DataState::Good:
      return "good";
    case DataState::Short:
      return "short";
    case DataState::Damaged:
      return "damaged";
    case DataState::Missing:
      return "missing";
    case DataState::NotProgram:
      return "not a program";
  }
  return "";
}

DataBlockReader::DataBlockReader(const TapImage& image)
    : pulses_(image),
      bytes_(pulses_.data()),
      size_(pulses_.size()),
      machine_(image.machine),
      step_(pulses_.step()),
      bytePulses_(pulses_.bytePulses()) {}

void DataBlockReader::SetClasses(const std::array<uint8_t, 6>& bounds) {
  if (boundsSet_ && bounds == classes_.bounds()) return;
  classes_ = PulseClasses(bounds);
  boundsSet_ = true;
  const bool disjoint = classes_.Disjoint();
#if defined(REELWRIGHT_SSE2_DECODE)
  fastPath_ = disjoint;
  if (!fastPath_) return;
  // The pulse value 0 is in no class (it stands for an overflow or silence).
  for (int c = 0; c < 3; ++c) {
    classLow_[c] = _mm_set1_epi8(static_cast<char>(std::max<uint8_t>(bounds[2 * c], 1)));
    classHigh_[c] = _mm_set1_epi8(static_cast<char>(bounds[2 * c + 1]));
  }
#else
  fastPath_ = step_ == 1 && disjoint && std::endian::native == std::endian::little;
  if (!fastPath_) return;
  // What every pair of pulse values means, indexed by first value + 256 *
  // second value: 0 and 1 the bits, 2 the byte marker, 3 nothing.
  pairs_.resize(65536);
  for (int second = 0; second < 256; ++second) {
    const uint8_t b = classes_.Of(second);
    for (int first = 0; first < 256; ++first) {
      const uint8_t a = classes_.Of(first);
      uint8_t meaning = 3;
      if (a == PulseClasses::kShort && b == PulseClasses::kMedium) meaning = 0;
      if (a == PulseClasses::kMedium && b == PulseClasses::kShort) meaning = 1;
      if (a == PulseClasses::kLong && b == PulseClasses::kMedium) meaning = 2;
      pairs_[static_cast<size_t>(first | second << 8)] = meaning;
    }
  }
#endif
}

#if defined(REELWRIGHT_SSE2_DECODE)
namespace {

// One mask bit per pulse of a byte's 20 (bit i: pulse i) for the pulses that
// lie in [lo, hi]: the first 16 pulses from `low`, the last four from `high`
// (pulses 4..19, or in lanes 12..15 the pulses 16..19). An empty class
// (lo > hi) matches nothing.
inline uint32_t ClassMask(__m128i low, __m128i high, __m128i lo, __m128i hi) {
  const __m128i zero = _mm_setzero_si128();
  const auto inRange = [&](__m128i v) {
    return _mm_cmpeq_epi8(_mm_or_si128(_mm_subs_epu8(lo, v), _mm_subs_epu8(v, hi)), zero);
  };
  const auto first = static_cast<uint32_t>(_mm_movemask_epi8(inRange(low)));
  const auto last = static_cast<uint32_t>(_mm_movemask_epi8(inRange(high)));
  return first | (last >> 12) << 16;
}

}  // namespace
#endif

int DataBlockReader::DecodeByte(int64_t pos) const {
  if (!fastPath_ || pos < 0 || pos + bytePulses_ > size_) return DecodeByteChecked(pos);
#if defined(REELWRIGHT_SSE2_DECODE)
  // All 20 pulses classified at once: a mask per class, bit i for pulse i.
  // The pairs then sit at the even bits: pair k is pulses 2k and 2k+1.
  const auto load = [&](int offset) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes_ + pos + offset));
  };
  __m128i low;
  __m128i high;
  if (step_ == 1) {
    low = load(0);
    high = load(4);
  } else {
    // Version 2: a pulse is its two half-waves together, at most 255 (the
    // saturating pack). Pulses 0..7, 8..15 and 12..19 from three loads.
    const __m128i lowBytes = _mm_set1_epi16(0x00FF);
    const auto pulses = [&](__m128i halves) {
      return _mm_add_epi16(_mm_and_si128(halves, lowBytes), _mm_srli_epi16(halves, 8));
    };
    const __m128i middle = pulses(load(16));
    low = _mm_packus_epi16(pulses(load(0)), middle);
    high = _mm_packus_epi16(middle, pulses(load(24)));
  }
  const uint32_t shortMask = ClassMask(low, high, classLow_[0], classHigh_[0]);
  const uint32_t mediumMask = ClassMask(low, high, classLow_[1], classHigh_[1]);
  const uint32_t longMask = ClassMask(low, high, classLow_[2], classHigh_[2]);
  constexpr uint32_t kPairs = 0x55555;      // pairs 0..9
  constexpr uint32_t kDataPairs = 0x15554;  // pairs 1..8, the eight bits
  const uint32_t zeros = shortMask & (mediumMask >> 1) & kPairs;
  const uint32_t ones = mediumMask & (shortMask >> 1) & kPairs;
  if ((longMask & mediumMask >> 1 & 1u) == 0) return -1;  // no byte marker
  if (((zeros | ones) & kDataPairs) != kDataPairs) return -1;
  // The one-bits of pairs 1..8, moved together into the byte.
  uint32_t value = (ones >> 2) & 0x5555;
  value = (value | value >> 1) & 0x3333;
  value = (value | value >> 2) & 0x0F0F;
  value = (value | value >> 4) & 0x00FF;
  const bool parityOne = (1u ^ static_cast<unsigned>(__builtin_parity(value))) != 0;
  return ((parityOne ? ones : zeros) >> 18 & 1u) != 0 ? static_cast<int>(value) : -2;
#else
  // Every pair is looked up before any is judged, so that the look-ups run
  // side by side rather than one after the other.
  // The 20 pulse bytes in three loads; pair k is bits 16k.. of them, first
  // pulse low, as the table is indexed (the host is little-endian).
  const uint8_t* b = bytes_ + pos;
  const uint8_t* meaning = pairs_.data();
  uint64_t w[3] = {0, 0, 0};
  std::memcpy(w, b, 20);
  unsigned pair[10];
  for (int k = 0; k < 10; ++k) pair[k] = meaning[static_cast<size_t>(w[k / 4] >> (16 * (k % 4)) & 0xFFFF)];
  if (pair[0] != 2) return -1;
  unsigned value = 0;
  unsigned bad = 0;
  for (int k = 0; k < 8; ++k) {
    bad |= pair[k + 1];
    value |= (pair[k + 1] & 1u) << k;
  }
  if ((bad & 2u) != 0) return -1;
  const unsigned parity = 1u ^ static_cast<unsigned>(__builtin_parity(value));
  return pair[9] == parity ? static_cast<int>(value) : -2;
#endif
}

bool DataBlockReader::IsMarker(int64_t pos) const {
  return classes_.IsLong(pulses_.Pulse(pos)) && classes_.IsMedium(pulses_.Pulse(pos + step_));
}

bool DataBlockReader::IsEndMarker(int64_t pos) const {
  return classes_.IsLong(pulses_.Pulse(pos)) && BlockOverAt(pos + step_);
}

bool DataBlockReader::BlockOverAt(int64_t pos) const {
  // After its last byte a block ends with a long pulse and a short one, and
  // the short gap before the repeat (or the trailer after it) follows: a run
  // of short pulses that no byte holds (a byte has at most two shorts in a
  // row). A leader, silence or the end of the image end a block as well.
  for (int k = 0; k < kBlockOverRun; ++k) {
    const int pulse = pulses_.Pulse(pos + static_cast<int64_t>(k) * step_);
    if (pulse == 0) return true;
    if (!classes_.IsShort(pulse)) return false;
  }
  return true;
}

int64_t DataBlockReader::Resync(int64_t expected) const {
  if (IsMarker(expected)) return expected;
  // In version 2 a lost half-wave moves the bytes by one position.
  for (int64_t d = 1; d <= kResyncPulses * step_; ++d) {
    if (IsMarker(expected - d)) return expected - d;
    if (IsMarker(expected + d)) return expected + d;
  }
  return expected;
}

bool DataBlockReader::ReadHeader(const TapeSection& section, DataResult& data) {
  // Each header byte from the first copy, or from the repeat where the first
  // copy does not read, as for the data.
  const auto headerByte = [&](int index) {
    const int first = DecodeByte(section.headerPos + static_cast<int64_t>(index) * bytePulses_);
    if (first >= 0 || section.repeatPos == 0) return first;
    return DecodeByte(section.repeatPos + static_cast<int64_t>(index) * bytePulses_);
  };
  int fields[5];
  bool read = true;
  for (int i = 0; i < 5; ++i) {
    fields[i] = headerByte(kTypeIndex + i);
    read = read && fields[i] >= 0;
  }
  data.nameBytes.clear();
  for (int i = 0; i < kNameLength; ++i) {
    const int b = headerByte(kNameIndex + i);
    data.nameBytes += static_cast<char>(b >= 0 ? b : ' ');
  }
  if (!read) return false;
  data.headerRead = true;
  data.fileType = fields[0];
  data.startAddress = static_cast<uint16_t>(fields[1] | fields[2] << 8);
  data.endAddress = static_cast<uint16_t>(fields[3] | fields[4] << 8);
  data.loadAddress = data.startAddress;
  if (data.fileType == static_cast<int>(FileType::RelocatableProgram) &&
      machine_ != static_cast<uint8_t>(Machine::Vic20)) {
    data.loadAddress = machine_ == static_cast<uint8_t>(Machine::C16) ? 0x1001 : 0x0801;
  }
  return true;
}

int64_t DataBlockReader::FindBlock(int64_t from, int64_t limit, int countdownStart, int64_t& dataPos) const {
  // A block starts with its countdown. A worn start of the countdown is
  // tolerated: any run of at least two countdown bytes that reaches the last
  // one (129 or 1) marks the block. Returns the position of the first
  // countdown byte found, or -1; `dataPos` is where the data begins.
  const int last = countdownStart - kCountdownLength + 1;
  const int64_t end = std::min<int64_t>(limit, size_ - 1);
  for (int64_t p = std::max<int64_t>(from, 0); p <= end; ++p) {
    if (!classes_.IsLong(pulses_.Pulse(p))) continue;
    const int v = DecodeByte(p);
    if (v <= last || v > countdownStart) continue;
    int64_t q = p;
    bool countdown = true;
    for (int c = v - 1; c >= last && countdown; --c) {
      q += bytePulses_;
      countdown = DecodeByte(q) == c;
    }
    if (countdown) {
      dataPos = q + bytePulses_;
      return p;
    }
  }
  return -1;
}

int64_t DataBlockReader::ReadCopy(int64_t dataPos, size_t count, DataCopy& copy, std::vector<uint8_t>& bytes,
                                  std::vector<uint8_t>& ok) const {
  // Reads at most `count` byte places (the header's length and the checksum)
  // and stops early where the block is over, so that a block shorter than
  // its header's range never reads into its repeat or what follows.
  bytes.assign(count, 0);
  ok.assign(count, 0);
  int64_t p = dataPos;
  size_t i = 0;
  for (; i < count; ++i) {
    if (p >= size_) break;  // the image ends inside the block: the rest is not read
    const int d = DecodeByte(p);
    if (d >= 0) {
      bytes[i] = static_cast<uint8_t>(d);
      ok[i] = 1;
      p += bytePulses_;
    } else if (d == -2) {
      p += bytePulses_;  // the pulses were whole; only the value is wrong
    } else if (IsEndMarker(p) || BlockOverAt(p)) {
      break;
    } else {
      p = Resync(p + bytePulses_);
    }
  }
  copy.places = static_cast<int32_t>(i);
  copy.endMarker = IsEndMarker(p);
  const int64_t end = copy.endMarker ? p + 2 * step_ : p;
  copy.end = ToPosition(end);
  return end;
}

namespace {

// A copy's own account of the block's first `places` byte places.
void CheckCopy(DataCopy& copy, const std::vector<uint8_t>& bytes, const std::vector<uint8_t>& ok, size_t places) {
  if (!copy.found) {
    copy.readErrors = static_cast<int32_t>(places);
    return;
  }
  int32_t read = 0;
  uint8_t sum = 0;  // the XOR of the bytes read, the checksum byte included
  for (size_t i = 0; i < places; ++i) {
    read += ok[i];
    sum ^= bytes[i];  // an unread place holds 0
  }
  copy.bytesRead = read;
  copy.readErrors = static_cast<int32_t>(places) - read;
  // With every byte read, the data's XOR equals the checksum byte exactly
  // when the XOR of all of them is zero.
  copy.checksumOk = copy.readErrors == 0 && sum == 0;
}

}  // namespace

void DataBlockReader::Combine(size_t places, DataResult& data) {
  CheckCopy(data.first, firstBytes_, firstOk_, places);
  CheckCopy(data.repeat, repeatBytes_, repeatOk_, places);
  const size_t length = places - 1;  // the last place holds the checksum
  if (data.first.found && data.first.readErrors == 0) {
    // Nothing to mend: the first copy is the data, the repeat only reported.
    data.bytes.assign(firstBytes_.begin(), firstBytes_.begin() + static_cast<std::ptrdiff_t>(length));
    data.checksumOk = data.first.checksumOk;
  } else {
    // The first copy, mended byte by byte from the repeat.
    data.bytes.resize(length);
    uint8_t sum = 0;
    uint8_t checksum = 0;
    for (size_t i = 0; i < places; ++i) {
      uint8_t b = 0;
      if (data.first.found && firstOk_[i] != 0) {
        b = firstBytes_[i];
      } else if (data.repeat.found && repeatOk_[i] != 0) {
        b = repeatBytes_[i];
      } else {
        ++data.combinedErrors;
      }
      if (i < length) {
        data.bytes[i] = b;
        sum ^= b;
      } else {
        checksum = b;
      }
    }
    data.checksumOk = data.combinedErrors == 0 && sum == checksum;
  }
  if (!data.checksumOk) {
    data.state = DataState::Damaged;
  } else {
    data.state = static_cast<int32_t>(length) < data.HeaderLength() ? DataState::Short : DataState::Good;
  }
}

DataResult DataBlockReader::Read(const TapeSection& section, int64_t limit) {
  DataResult data;
  SetClasses(section.bounds);  // the classes the header was read with

  if (!ReadHeader(section, data)) {
    data.state = DataState::Damaged;
    return data;
  }
  if (!IsProgramType(data.fileType)) {
    data.state = DataState::NotProgram;
    return data;
  }
  if (data.endAddress < data.startAddress) {
    // No loader can load this; whatever follows is not this program's data.
    data.state = DataState::Damaged;
    return data;
  }
  const size_t count = static_cast<size_t>(data.HeaderLength()) + 1;  // the checksum byte follows the data
  const int64_t from = section.repeatPos != 0 ? section.afterRepeat : section.afterHeader;

  // The repeat is looked for from where the first copy ended.
  int64_t repeatFrom = from;
  int64_t dataPos = 0;
  const int64_t firstPos = FindBlock(from, limit, kFirstCountdown, dataPos);
  if (firstPos >= 0) {
    data.first.found = true;
    data.first.pos = ToPosition(firstPos);
    repeatFrom = ReadCopy(dataPos, count, data.first, firstBytes_, firstOk_);
  }
  const int64_t repeatPos = FindBlock(repeatFrom, limit, kRepeatCountdown, dataPos);
  if (repeatPos >= 0) {
    data.repeat.found = true;
    data.repeat.pos = ToPosition(repeatPos);
    ReadCopy(dataPos, count, data.repeat, repeatBytes_, repeatOk_);
  }
  if (!data.first.found && !data.repeat.found) {
    data.first.readErrors = data.repeat.readErrors = static_cast<int32_t>(count);
    data.state = DataState::Missing;
    data.combinedErrors = static_cast<int32_t>(count);
    return data;
  }
  // How long the block is on tape: as a copy that ended at its end marker
  // shows it (the first copy's word first); otherwise as the header says.
  size_t places = count;
  if (data.first.found && data.first.endMarker) {
    places = static_cast<size_t>(data.first.places);
  } else if (data.repeat.found && data.repeat.endMarker) {
    places = static_cast<size_t>(data.repeat.places);
  }
  // A block without even its checksum byte is not whole: counted as one unread place.
  Combine(std::max<size_t>(places, 1), data);
  return data;
}

std::vector<uint8_t> PrgFileBytes(const DataResult& data) {
  std::vector<uint8_t> file;
  file.reserve(data.bytes.size() + 2);
  file.push_back(static_cast<uint8_t>(data.loadAddress & 0xFF));
  file.push_back(static_cast<uint8_t>(data.loadAddress >> 8));
  file.insert(file.end(), data.bytes.begin(), data.bytes.end());
  return file;
}

}  // namespace rw
