// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/turbo_reader.h"

#include <algorithm>
#include <array>
#include <iterator>

#include "core/second_thread.h"
#include "core/turbo_pulses.h"
#include "core/turbo_visiload.h"

namespace rw {
namespace {

enum class PilotKind : uint8_t {
  RepeatedByte,  // the pilot byte many times, then the sync bytes
  ZeroBits,      // a long run of 0 bits, one 1 bit, then the sync bytes
  SyncOnly,      // a few 0 bits, which the loader does not look for, then the sync bytes
};

// What follows the sync: the hook that reads a family's header and data.
enum class Layout : uint8_t {
  StartEnd,          // start, end (exclusive), data, XOR of the data
  StartEndPlain,     // start, end (exclusive), data; no checksum
  IdStartEnd,        // a file-number byte, then as StartEnd
  NameStartEnd,      // 16-byte name, start, end, data, XOR
  StartEndName,      // start, end, 16-byte name, data, XOR
  StartSize,         // start, size stored complemented, data, XOR
  Turbotape,         // a header block (type, start, end, a byte, name), then a data block of its own
  Novaload,          // name, addresses, data in sub-blocks each led by the running sum so far
  NovaloadChain,     // blocks of: address high byte, 256 bytes, their sum
  OceanChain,        // blocks of: address high byte, 256 bytes, a byte telling whether more follow
  BlockStartEndRun,  // block number, screen flag, start, end, run address, data, XOR
  WildloadChain,     // sub-blocks loaded backwards, one after another, until an empty one
  BleeploadChain,    // blocks each with its own pilot and sync, each naming the next one's pilot
};

// One loader family. Figures are TAP pulse bytes (cycles / 8) as its
// loader's timing gives them; the threshold lies between bit 0 and bit 1.
struct Format {
  const char* name;
  int group;  // families that share pulses and pilot kind are looked for together
  int threshold;
  int bit0;
  int bit1;
  BitOrder order;
  PilotKind pilot;
  uint8_t pilotByte;
  int minPilot;  // repeated pilot bytes, or 0-bit pulses, needed to take a pilot as one
  std::array<uint8_t, 10> sync;
  int syncLength;
  Layout layout;
  // The pilot's speed, against this loader's own, at which the pulses are
  // taken for this family: narrower where another family writes the same
  // bytes at other pulse lengths.
  double minScale = 0.75;
  double maxScale = 1.33;
  // Bits some savers leave after the data, of no meaning to the loader
  // (first bit in the highest place): part of the file where they are found.
  int trailerBits = 0;
  uint32_t trailer = 0;
};

constexpr std::array<uint8_t, 10> kCountdown9{9, 8, 7, 6, 5, 4, 3, 2, 1};
constexpr std::array<uint8_t, 10> kCountdown10{10, 9, 8, 7, 6, 5, 4, 3, 2, 1};
// The group of a family looked for apart from the others, after them.
constexpr int kApart = -1;

// Within a group, earlier rows are tried first; where two rows read the same
// pulses, the one whose checksum matches wins.
// One family a row, as a table reads.
// clang-format off
constexpr Format kFormats[] = {
    {"Turbotape 250", 0, 0x20, 0x1A, 0x28, BitOrder::MsbFirst, PilotKind::RepeatedByte, 0x02, 16, kCountdown9, 9,
     Layout::Turbotape},
    {"Freeload", 1, 0x2C, 0x24, 0x42, BitOrder::MsbFirst, PilotKind::RepeatedByte, 0x40, 16, {0x5A}, 1,
     Layout::StartEnd},
    {"Ocean New", 1, 0x2C, 0x22, 0x42, BitOrder::MsbFirst, PilotKind::RepeatedByte, 0x40, 16, {0x5A}, 1,
     Layout::IdStartEnd},
    {"US Gold", 1, 0x2C, 0x24, 0x42, BitOrder::MsbFirst, PilotKind::RepeatedByte, 0x20, 16, {0xFF}, 1,
     Layout::NameStartEnd},
    {"Ace of Aces", 1, 0x2C, 0x22, 0x47, BitOrder::MsbFirst, PilotKind::RepeatedByte, 0x80, 16, {0xFF}, 1,
     Layout::StartEndName},
    // Virgin and Hi-Tec write one format at two speeds; they part where the
    // sums of their bit pulses ($21 + $3B and $25 + $45) meet halfway.
    {"Virgin", 1, 0x2C, 0x21, 0x3B, BitOrder::MsbFirst, PilotKind::RepeatedByte, 0xAA, 16, {0xA0}, 1,
     Layout::BlockStartEndRun, 0.75, 99.0 / 92},
    {"Hi-Tec", 1, 0x2F, 0x25, 0x45, BitOrder::MsbFirst, PilotKind::RepeatedByte, 0xAA, 16, {0xA0}, 1,
     Layout::BlockStartEndRun, 99.0 / 106, 1.33},
    {"Bleepload", 2, 0x45, 0x2F, 0x5A, BitOrder::MsbFirst, PilotKind::RepeatedByte, 0xFF, 16, {}, 0,
     Layout::BleeploadChain},
    {"Microload", 3, 0x29, 0x1C, 0x36, BitOrder::LsbFirst, PilotKind::RepeatedByte, 0xA0, 16, kCountdown10, 10,
     Layout::StartSize},
    // Microload's pilot and sync at slower pulses.
    {"Wildload", 4, 0x3C, 0x30, 0x47, BitOrder::LsbFirst, PilotKind::RepeatedByte, 0xA0, 16, kCountdown10, 10,
     Layout::WildloadChain},
    {"Novaload Special", 5, 0x3D, 0x24, 0x56, BitOrder::LsbFirst, PilotKind::ZeroBits, 0, 1000, {0xAA, 0x55}, 2,
     Layout::NovaloadChain},
    {"Novaload", 5, 0x3D, 0x24, 0x56, BitOrder::LsbFirst, PilotKind::ZeroBits, 0, 1000, {0xAA}, 1, Layout::Novaload},
    {"Ocean/Imagine", 5, 0x3B, 0x24, 0x56, BitOrder::LsbFirst, PilotKind::ZeroBits, 0, 1000, {}, 0,
     Layout::OceanChain},
    // Its saver writes two $00 bytes before the sync, and the loader looks
    // only for the sync: the pulses must fit its own timing closely, both
    // the 0 bits and the 1 bits of the sync.
    {"Jetload", kApart, 0x3B, 0x33, 0x58, BitOrder::LsbFirst, PilotKind::SyncOnly, 0, 16, {0xD1, 0x2E}, 2,
     Layout::StartEndPlain, 0.85, 1.18},
};
// clang-format on

// Burner: the boot program sets the bit order, pilot byte and sync byte;
// the pulses and the header are always the same. Read with the group whose
// pulses it shares.
constexpr int kBurnerGroup = 1;
constexpr Format BurnerFormat(const BurnerSettings& settings) {
  const BitOrder order = settings.msbFirst ? BitOrder::MsbFirst : BitOrder::LsbFirst;
  return {"Burner",
          kBurnerGroup,
          0x2F,
          0x22,
          0x42,
          order,
          PilotKind::RepeatedByte,
          settings.pilot,
          16,
          {settings.sync},
          1,
          Layout::StartEndPlain,
          0.75,
          1.33,
          15,
          0b001000100010101};
}

constexpr int kGroups = 6;
// Groups 0..4 have repeated-byte pilots (0 to 2 most significant bit first,
// 3 and 4 least significant first), the last a pilot of 0 bits; the search
// for pilots relies on it.
constexpr size_t kByteGroups = 5;
constexpr size_t kMsbFirstGroups = 3;
static_assert([] {
  for (const Format& f : kFormats) {
    if (f.pilot == PilotKind::SyncOnly) {
      if (f.group != kApart) return false;
      continue;
    }
    if ((f.pilot == PilotKind::RepeatedByte) != (static_cast<size_t>(f.group) < kByteGroups)) return false;
    const bool msbFirst = static_cast<size_t>(f.group) < kMsbFirstGroups;
    if (f.group >= kGroups || msbFirst != (f.order == BitOrder::MsbFirst)) return false;
  }
  return true;
}());

Bits NominalBits(const Format& format, double scale = 1.0) {
  Bits bits;
  bits.threshold = static_cast<int>(format.threshold * scale + 0.5);
  bits.one = static_cast<int>(format.bit1 * scale + 0.5);
  bits.low = static_cast<int>(format.bit0 * scale / 2);
  bits.high = static_cast<int>(format.bit1 * scale * 2);
  bits.order = format.order;
  return bits;
}

// Bytes read one after another from a position, counting the ones that did
// not read.
class ByteCursor {
 public:
  ByteCursor(const TurboPulses& stream, int64_t pos, const Bits& bits) : stream_(stream), pos_(pos), bits_(bits) {}

  int64_t pos() const { return pos_; }
  bool stopped() const { return stopped_; }
  const Bits& bits() const { return bits_; }
  // Reads on from `pos`, as after a pause.
  void MoveTo(int64_t pos) {
    pos_ = pos;
    stopped_ = false;
  }

  // The next byte; false once the pulses have stopped (then it stays so).
  bool Next(uint8_t& value, bool& bad) {
    if (stopped_ || !stream_.Byte(pos_, bits_, value, bad)) {
      stopped_ = true;
      value = 0;
      bad = true;
      return false;
    }
    pos_ += stream_.ByteSpan();
    return true;
  }
  // A header byte: nothing when it did not read cleanly.
  std::optional<uint8_t> Field() {
    uint8_t value = 0;
    bool bad = false;
    if (!Next(value, bad) || bad) return std::nullopt;
    return value;
  }
  std::optional<uint16_t> Word() {
    const auto low = Field();
    const auto high = Field();
    if (!low || !high) return std::nullopt;
    return static_cast<uint16_t>(*low | *high << 8);
  }
  std::optional<std::string> Name(int length) {
    std::string name;
    for (int i = 0; i < length; ++i) {
      const auto c = Field();
      if (!c) return std::nullopt;
      name += static_cast<char>(*c);
    }
    return name;
  }
  // The byte at the cursor without moving on.
  bool Peek(uint8_t& value) const {
    bool bad = false;
    return !stopped_ && stream_.Byte(pos_, bits_, value, bad) && !bad;
  }

 private:
  const TurboPulses& stream_;
  int64_t pos_;
  Bits bits_;
  bool stopped_ = false;
};

// Where a pilot was found and the bits tuned to it.
struct PilotMatch {
  int64_t start = 0;  // first pilot pulse
  int64_t after = 0;  // first pulse after the pilot (and after the sync bit of a 0-bit pilot)
  Bits bits;
};

// Reads the checksum byte after a file's data and compares it with `sum`,
// the loader's own sum of the bytes: good only when every byte read too.
void ReadChecksum(ByteCursor& cursor, TurboFile& file, uint8_t sum) {
  uint8_t check = 0;
  bool bad = false;
  cursor.Next(check, bad);
  if (bad) ++file.readErrors;
  file.checksum = file.readErrors == 0 && check == sum ? TurboChecksum::Ok : TurboChecksum::Error;
}

// Reads `length` data bytes into `file` and, with `xorChecksum`, the XOR
// checksum byte after them. A cut or unreadable byte is a read error.
// Returns the bytes' sum modulo 256, which some formats check instead.
uint8_t ReadData(ByteCursor& cursor, TurboFile& file, size_t length, bool xorChecksum, TurboBytes bytes) {
  MakeRoom(file, length, bytes);
  uint8_t sum = 0;
  uint8_t added = 0;
  for (size_t i = 0; i < length; ++i) {
    uint8_t value = 0;
    bool bad = false;
    cursor.Next(value, bad);
    if (bad) ++file.readErrors;
    Store(file, i, value);
    sum ^= value;
    added = static_cast<uint8_t>(added + value);
  }
  if (!xorChecksum) {
    file.checksum = TurboChecksum::None;
    return added;
  }
  ReadChecksum(cursor, file, sum);
  return added;
}

// A start and an end address as a loader takes them: the end is exclusive,
// and an end of 0 after a start above it is the top of memory.
bool Range(uint16_t start, uint16_t end, TurboFile& file) {
  const uint32_t last = end == 0 && start != 0 ? 0x10000 : end;
  if (last <= start) return false;
  file.loadAddress = start;
  file.endAddress = last;
  return true;
}

int32_t ToPosition(int64_t value) { return static_cast<int32_t>(std::clamp<int64_t>(value, 0, INT32_MAX)); }

class TurboScanner {
 public:
  // `burner`: the settings of the Burner loader that the boot program
  // before this stretch set up, if it did; tried before the other families
  // of its group, as the boot program says which loader reads on.
  // `bytes`: whether the files keep their bytes.
  TurboScanner(const TapImage& image, int64_t limit, TurboBytes bytes,
               const std::optional<BurnerSettings>& burner = std::nullopt)
      : stream_(image, limit), bytes_(bytes) {
    if (burner) formats_.push_back(BurnerFormat(*burner));
    formats_.insert(formats_.end(), std::begin(kFormats), std::end(kFormats));
    // Each group's pulses as bits at its loader's own timing: 0, 1, or 2
    // for a pulse no loader of the group writes (and the 0 of a pause).
    for (int g = 0; g < kGroups; ++g) {
      const Bits bits = NominalBits(FirstOf(g));
      auto& classes = classes_[static_cast<size_t>(g)];
      for (int v = 0; v < 256; ++v) {
        classes[static_cast<size_t>(v)] = v == 0 || v < bits.low || v > bits.high ? 2 : v > bits.threshold ? 1 : 0;
      }
    }
    for (const Format& f : formats_) {
      if (f.pilot != PilotKind::RepeatedByte) continue;
      const auto g = static_cast<size_t>(f.group);
      const uint8_t pilot = WindowPilot(f);
      isPilot_[g][pilot] = true;
      for (int turn = 0; turn < 8; ++turn) {
        isTurnedPilot_[g][static_cast<uint8_t>(pilot << turn | pilot >> (8 - turn))] = true;
      }
    }
    for (int v = 0; v < 256; ++v) {
      unsigned c = 0;
      for (size_t g = 0; g < kByteGroups; ++g) {
        const uint8_t cls = classes_[g][static_cast<size_t>(v)];
        c |= (cls == 1 ? 1u : 0u) << (2 * g) | (cls > 1 ? 1u : 0u) << (2 * g + 1);
      }
      combined_[static_cast<size_t>(v)] = static_cast<uint16_t>(c);
    }
    for (int g = 0; g < kGroups; ++g) msbFirst_[static_cast<size_t>(g)] = FirstOf(g).order == BitOrder::MsbFirst;
  }

  // Looks for a file of `group` whose pilot starts at `pos`. Adds what it
  // reads to `files` and returns where the search goes on: after the file, or
  // after the stretch at `pos` that cannot start one.
  int64_t TryGroup(int group, int64_t pos, std::vector<TurboFile>& files, bool& found) {
    found = false;
    const Format& lead = FirstOf(group);
    if (lead.pilot == PilotKind::ZeroBits) return TryZeroBitPilot(group, pos, files, found);
    return TryBytePilot(group, pos, files, found);
  }

  const TurboPulses& stream() const { return stream_; }
  const std::vector<Format>& formats() const { return formats_; }

  // The first position from `pos` on that needs a closer look: where a
  // byte group's window reads one of its pilot bytes at the start of a
  // pilot long enough to count, or where a run of the 0-bit group's 0 bits,
  // starting at or after `zeroBitFrom`, is long enough for a pilot (its
  // first pulse). No real pilot starts before it. Whole-pulse images only;
  // in a version-2 image every position is looked at.
  int64_t NextCandidate(int64_t pos, int64_t zeroBitFrom) {
    if (stream_.step() != 1) return pos;
    // Each search remembers its answer: asked again from a position up to
    // that answer, it is the same.
    const int64_t zeroFrom = std::max(pos, zeroBitFrom);
    if (!(zeroFrom >= zeroAsked_ && zeroFrom <= zeroFound_)) {
      zeroAsked_ = zeroFrom;
      zeroFound_ = NextZeroBitRun(zeroFrom);
    }
    if (!(pos >= byteAsked_ && pos <= byteFound_)) {
      byteAsked_ = pos;
      byteFound_ = NextBytePilot(pos);
    }
    return std::min(zeroFound_, byteFound_);
  }

  // The start of the first run of at least minPilot pulses that the 0-bit
  // group reads as 0 bits, starting at or after `from`. Such a run holds the
  // pulse minPilot - 1 positions after its start, so one look that far ahead
  // rules out every run starting before it, or finds the run around it.
  int64_t NextZeroBitRun(int64_t from) const {
    const Format& zeroBit = FirstOf(kGroups - 1);
    const Bits bits = NominalBits(zeroBit);
    const int64_t limit = stream_.limit();
    const uint8_t* bytes = stream_.data();
    const auto isZero = [&](int64_t q) { return bytes[q] >= bits.low && bytes[q] <= bits.threshold; };
    const int64_t length = zeroBit.minPilot;
    int64_t q = from;
    while (q + length <= limit) {
      const int64_t ahead = q + length - 1;
      if (!isZero(ahead)) {
        q = ahead + 1;
        continue;
      }
      int64_t start = ahead;
      while (start > q && isZero(start - 1)) --start;
      int64_t end = ahead + 1;
      while (end < limit && end - start < length && isZero(end)) ++end;
      if (end - start >= length) return start;
      q = end + 1;
    }
    return limit;
  }

  // The first position from `from` on where a byte group's window reads a
  // pilot byte and might start a pilot of at least 16 such bytes. Such a
  // pilot spans 128 pulses, and every window inside it reads its pilot byte
  // turned by a few bits: looking at every 64th window meets it within 64
  // pulses of its start, and only the positions before such a meeting are
  // then looked at one by one.
  int64_t NextBytePilot(int64_t from) const {
    constexpr int64_t kStride = 64;
    const int64_t limit = stream_.limit();
    const uint8_t* bytes = stream_.data();
    // Per group, the window's bits (v) and its pulses that are none of the
    // group's (u).
    std::array<unsigned, kByteGroups> v{}, u{};
    const auto add = [&](int64_t q) {
      const unsigned c = combined_[q < limit ? bytes[q] : 0];
      for (size_t g = 0; g < kByteGroups; ++g) {
        const unsigned bit = c >> (2 * g) & 1u;
        const unsigned unfit = c >> (2 * g + 1) & 1u;
        if (g < kMsbFirstGroups) {
          v[g] = (v[g] << 1 | bit) & 0xFF;
          u[g] = (u[g] << 1 | unfit) & 0xFF;
        } else {
          v[g] = v[g] >> 1 | bit << 7;
          u[g] = u[g] >> 1 | unfit << 7;
        }
      }
    };
    const auto windowAt = [&](int64_t q) {
      for (int k = 0; k < 8; ++k) add(q + k);
    };
    const auto reads = [&](const std::array<std::array<bool, 256>, kGroups>& table) {
      for (size_t g = 0; g < kByteGroups; ++g) {
        if (u[g] == 0 && table[g][v[g]]) return true;
      }
      return false;
    };
    for (int64_t sample = from; sample < limit; sample += kStride) {
      windowAt(sample);
      if (!reads(isTurnedPilot_)) continue;
      const int64_t first = std::max(from, sample - kStride + 1);
      windowAt(first);
      for (int64_t p = first; p <= sample; ++p) {
        if (reads(isPilot_)) return p;
        add(p + 8);
      }
    }
    return limit;
  }

 private:
  static const Format& FirstOf(int group) {
    for (const Format& f : kFormats) {
      if (f.group == group) return f;
    }
    return kFormats[0];
  }

  // The pilot byte as the group's window reads it: in the group's bit order,
  // which a family set up by its boot program need not share.
  static uint8_t WindowPilot(const Format& format) {
    const uint8_t p = format.pilotByte;
    if (format.order == FirstOf(format.group).order) return p;
    uint8_t reversed = 0;
    for (int k = 0; k < 8; ++k) reversed = static_cast<uint8_t>(reversed | ((p >> k) & 1) << (7 - k));
    return reversed;
  }

  // The bits for a pilot, scaled by how far its pulses lie from the
  // loader's: the loader's own timing, moved with the tape's speed.
  Bits TuneToPilot(const Format& format, int64_t from, int64_t to) const {
    return NominalBits(format, std::clamp(PilotScale(format, from, to), 0.75, 1.33));
  }

  // How much longer the pilot's pulses are than the loader's own.
  double PilotScale(const Format& format, int64_t from, int64_t to) const {
    const Bits nominal = NominalBits(format);
    int64_t shortSum = 0, shortCount = 0, longSum = 0, longCount = 0;
    // The last pulses of the pilot are nearest the data in time.
    const int64_t first = std::max(from, to - 1024 * stream_.step());
    for (int64_t q = first; q < to; q += stream_.step()) {
      const int p = stream_.Pulse(q);
      if (p == 0) continue;
      if (p <= nominal.threshold) {
        shortSum += p;
        ++shortCount;
      } else {
        longSum += p;
        ++longCount;
      }
    }
    double scale = 1.0;
    if (shortCount > 0 && longCount > 0) {
      scale = (static_cast<double>(shortSum) / shortCount + static_cast<double>(longSum) / longCount) /
              (format.bit0 + format.bit1);
    } else if (shortCount > 0) {
      scale = static_cast<double>(shortSum) / shortCount / format.bit0;
    } else if (longCount > 0) {
      scale = static_cast<double>(longSum) / longCount / format.bit1;  // a tone of 1 bits
    }
    return scale;
  }

  // How many times `value` repeats from `pos`, read with `bits`.
  int64_t CountRepeats(int64_t pos, const Bits& bits, uint8_t value) const {
    int64_t count = 0;
    uint8_t read = 0;
    bool bad = false;
    while (stream_.Byte(pos, bits, read, bad) && !bad && read == value) {
      ++count;
      pos += stream_.ByteSpan();
    }
    return count;
  }

  bool SyncFollows(const Format& format, ByteCursor& cursor) const {
    for (int i = 0; i < format.syncLength; ++i) {
      const auto b = cursor.Field();
      if (!b || *b != format.sync[static_cast<size_t>(i)]) return false;
    }
    return true;
  }

  // The byte of the 8 pulses from `pos` at the group's own timing, or -1
  // when one of them is no pulse of the group. Kept as a window per group
  // (and per half-wave position in version 2), so that the next position
  // costs one pulse more, not eight.
  int WindowByte(int group, int64_t pos) {
    const int step = stream_.step();
    Window& w = windows_[static_cast<size_t>(group)][static_cast<size_t>(pos & (step - 1))];
    const auto& classes = classes_[static_cast<size_t>(group)];
    const bool msbFirst = msbFirst_[static_cast<size_t>(group)];
    const auto add = [&](int64_t q) {
      uint8_t bit = classes[static_cast<size_t>(stream_.Pulse(q))];
      if (bit > 1) {
        w.lastBad = q;
        bit = 0;
      }
      w.value = msbFirst ? ((w.value << 1) | bit) & 0xFF : (w.value >> 1) | static_cast<unsigned>(bit) << 7;
    };
    if (w.at >= 0 && w.at + step == pos) {
      add(pos + 7 * static_cast<int64_t>(step));
    } else {
      w.value = 0;
      w.lastBad = -1;
      for (int k = 0; k < 8; ++k) add(pos + static_cast<int64_t>(k) * step);
    }
    w.at = pos;
    return w.lastBad >= pos ? -1 : static_cast<int>(w.value);
  }

  // A repeated-byte pilot of `format` starting exactly at `pos`.
  std::optional<PilotMatch> BytePilotAt(const Format& format, int64_t pos) const {
    const Bits nominal = NominalBits(format);
    const int64_t count = CountRepeats(pos, nominal, format.pilotByte);
    if (count < format.minPilot) return std::nullopt;
    PilotMatch match;
    match.start = pos;
    match.after = pos + count * stream_.ByteSpan();
    match.bits = TuneToPilot(format, pos, match.after);
    return match;
  }

  int64_t TryBytePilot(int group, int64_t pos, std::vector<TurboFile>& files, bool& found) {
    // A pilot that gave no file is not read again from a position a whole
    // number of bytes further on: that would read the same bytes.
    auto& failedUntil = failedPilot_[static_cast<size_t>(group)][static_cast<size_t>(pos & (stream_.ByteSpan() - 1))];
    if (pos < failedUntil) return pos + 1;
    // Most positions start no pilot: the byte there comes from a window
    // moved one pulse at a time, and only a pilot byte is looked at further.
    const int value = WindowByte(group, pos);
    if (value < 0 || !isPilot_[static_cast<size_t>(group)][static_cast<size_t>(value)]) return pos + 1;
    for (const Format& format : formats_) {
      if (format.group != group || WindowPilot(format) != value) continue;
      const auto pilot = BytePilotAt(format, pos);
      if (!pilot) continue;
      // Pilot bytes read a pulse or two off are other pilot bytes (0x20,
      // 0x40 and 0x80 share pulses, and a tone of 0 bits may come before),
      // so a pilot that gives no file here is tried again a pulse later.
      // Where families share a pilot byte, each gets its try at the sync and
      // header, and a good checksum wins.
      // Without a good checksum, the reading that ends where the file's
      // pulses do (a tone, a pause or the end of the tape follows) is the
      // likelier one.
      std::vector<TurboFile> best;
      int64_t bestEnd = 0;
      int bestScore = -1;
      for (const Format& candidate : formats_) {
        if (candidate.group != group || WindowPilot(candidate) != value) continue;
        const double scale = PilotScale(candidate, pilot->start, pilot->after);
        if (scale < candidate.minScale || scale > candidate.maxScale) continue;
        std::vector<TurboFile> read;
        const int64_t end = ReadAfterPilot(candidate, *pilot, read);
        if (end < 0) continue;
        const bool good = std::all_of(read.begin(), read.end(), [](const TurboFile& f) { return f.usable(); });
        uint8_t next = 0;
        bool bad = false;
        const bool endsClean = !stream_.Byte(end, pilot->bits, next, bad) || next == 0;
        const int score = good ? 2 : endsClean ? 1 : 0;
        if (score > bestScore) {
          best = std::move(read);
          bestEnd = end;
          bestScore = score;
        }
        if (good) break;
      }
      if (!best.empty()) {
        for (auto& f : best) files.push_back(std::move(f));
        found = true;
        return bestEnd;
      }
      failedUntil = pilot->after;
      break;
    }
    return pos + 1;
  }

  // A file of the sync-only `format` whose 0 bits run from `start` to
  // `sync`; the position after it, or -1.
  int64_t TrySyncAt(const Format& format, int64_t start, int64_t sync, std::vector<TurboFile>& files) {
    const double scale = PilotScale(format, start, sync);
    if (scale < format.minScale || scale > format.maxScale) return -1;
    PilotMatch pilot;
    pilot.start = start;
    pilot.after = sync;
    pilot.bits = NominalBits(format, scale);
    // The sync's 1 bits as long as the loader's, at the 0 bits' speed.
    int64_t longSum = 0, longCount = 0;
    for (int k = 0; k < 8 * format.syncLength; ++k) {
      const int p = stream_.Pulse(sync + k * static_cast<int64_t>(stream_.step()));
      if (p > pilot.bits.threshold) {
        longSum += p;
        ++longCount;
      }
    }
    if (longCount == 0) return -1;
    const double ones = static_cast<double>(longSum) / static_cast<double>(longCount) / format.bit1;
    if (ones < scale * format.minScale || ones > scale * format.maxScale) return -1;
    std::vector<TurboFile> read;
    const int64_t end = ReadAfterPilot(format, pilot, read);
    if (end < 0) return -1;
    for (auto& f : read) files.push_back(std::move(f));
    return end;
  }

  int64_t TryZeroBitPilot(int group, int64_t pos, std::vector<TurboFile>& files, bool& found) {
    const Format& lead = FirstOf(group);
    const Bits nominal = NominalBits(lead);
    int64_t q = pos;
    for (;; q += stream_.step()) {
      const int p = stream_.Pulse(q);
      if (p < nominal.low || p > nominal.threshold) break;
    }
    const int64_t runPulses = (q - pos) / stream_.step();
    if (runPulses < lead.minPilot) return q + 1;
    // The sync bit is a clear 1, nearer the loader's 1 than its threshold:
    // the pilot of a family with shorter pulses after a long tone is none.
    const Bits tuned = TuneToPilot(lead, pos, q);
    const int syncPulse = stream_.Pulse(q);
    if (2 * syncPulse < tuned.threshold + tuned.one || syncPulse > tuned.high) return q + 1;
    for (const Format& format : kFormats) {
      if (format.group != group) continue;
      PilotMatch pilot;
      pilot.start = pos;
      pilot.after = q + stream_.step();
      pilot.bits = TuneToPilot(format, pos, q);
      std::vector<TurboFile> read;
      const int64_t end = ReadAfterPilot(format, pilot, read);
      if (end < 0) continue;
      for (auto& f : read) files.push_back(std::move(f));
      found = true;
      return end;
    }
    return q + 1;
  }

 public:
  // Every file of the families whose loader looks for no pilot, from
  // `from` to the end of the stretch. Their lead-in, a few 0 bits, is no
  // more than a pause in other loaders' pulses, so a run of 0 bits is taken
  // as one only when its pulses and the sync's 1 bits fit the loader's own
  // timing closely.
  void FindSyncOnly(int64_t from, std::vector<TurboFile>& files) {
    const int step = stream_.step();
    const int64_t limit = stream_.limit();
    for (const Format& format : formats_) {
      if (format.pilot != PilotKind::SyncOnly) continue;
      const Bits nominal = NominalBits(format);
      const int zeroLow = static_cast<int>(format.bit0 * format.minScale);
      const auto isZero = [&](int64_t q) {
        const int p = stream_.Pulse(q);
        return p >= zeroLow && p <= nominal.threshold;
      };
      // A run of minPilot 0 bits holds the pulse minPilot - 1 after its
      // start: one look that far ahead rules out every run starting before
      // it, or finds the run around it.
      const int64_t reach = static_cast<int64_t>(format.minPilot - 1) * step;
      int64_t q = from;
      while (q + reach < limit) {
        const int64_t ahead = q + reach;
        if (!isZero(ahead)) {
          q = ahead + step;
          continue;
        }
        int64_t start = ahead;
        while (start > q && isZero(start - step)) start -= step;
        int64_t end = ahead + step;
        while (end < limit && isZero(end)) end += step;
        if ((end - start) / step >= format.minPilot) {
          const int64_t after = TrySyncAt(format, start, end, files);
          if (after > end) {
            q = after;
            continue;
          }
        }
        q = stream_.IsPause(end) ? end + stream_.pauseLength() : end + step;
      }
    }
  }

 private:
  // Reads the sync and what follows; the position after the last byte, or
  // -1 when this family's sync or header is not there.
  int64_t ReadAfterPilot(const Format& format, const PilotMatch& pilot, std::vector<TurboFile>& out) {
    ByteCursor cursor(stream_, pilot.after, pilot.bits);
    if (!SyncFollows(format, cursor)) return -1;
    TurboFile file;
    file.loader = format.name;
    file.start = ToPosition(pilot.start);
    file.threshold = pilot.bits.threshold;
    switch (format.layout) {
      case Layout::StartEnd:
      case Layout::StartEndPlain:
      case Layout::IdStartEnd:
      case Layout::NameStartEnd:
      case Layout::StartEndName:
      case Layout::StartSize:
      case Layout::BlockStartEndRun:
        if (!ReadSimpleFile(format.layout, cursor, file)) return -1;
        break;
      case Layout::Turbotape:
        return ReadTurbotape(format, cursor, file, out);
      case Layout::Novaload:
        if (!ReadNovaload(cursor, file)) return -1;
        break;
      case Layout::NovaloadChain:
      case Layout::OceanChain:
        return ReadChain(format.layout, cursor, file, out);
      case Layout::WildloadChain:
        return ReadWildload(cursor, file, out);
      case Layout::BleeploadChain:
        return ReadBleepload(pilot, file, out);
    }
    int64_t end = cursor.pos();
    if (format.trailerBits > 0 && !cursor.stopped()) {
      bool trailer = true;
      for (int k = 0; k < format.trailerBits && trailer; ++k) {
        const int p = stream_.Pulse(end + static_cast<int64_t>(k) * stream_.step());
        const bool one = p > pilot.bits.threshold;
        const bool expected = (format.trailer >> (format.trailerBits - 1 - k) & 1) != 0;
        trailer = p >= pilot.bits.low && p <= pilot.bits.high && one == expected;
      }
      if (trailer) end += static_cast<int64_t>(format.trailerBits) * stream_.step();
    }
    file.end = ToPosition(end);
    out.push_back(std::move(file));
    return end;
  }

  bool ReadSimpleFile(Layout layout, ByteCursor& cursor, TurboFile& file) const {
    std::optional<uint16_t> start, end;
    if (layout == Layout::IdStartEnd && !cursor.Field()) return false;
    if (layout == Layout::BlockStartEndRun) {
      // The block number, then whether the screen shows while loading.
      const auto block = cursor.Field();
      const auto screen = cursor.Field();
      if (!block || !screen || (*screen != 0x00 && *screen != 0x10)) return false;
    }
    if (layout == Layout::NameStartEnd) {
      file.name = cursor.Name(16);
      if (!file.name) return false;
    }
    start = cursor.Word();
    end = cursor.Word();
    if (!start || !end) return false;
    if (layout == Layout::StartSize) {
      // The size is stored as its two's complement.
      const uint32_t size = (static_cast<uint32_t>(*end) ^ 0xFFFF) + 1;
      if (size == 0 || *start + size > 0x10000) return false;
      file.loadAddress = *start;
      file.endAddress = *start + size;
    } else if (!Range(*start, *end, file)) {
      return false;
    }
    if (layout == Layout::StartEndName) {
      file.name = cursor.Name(16);
      if (!file.name) return false;
    }
    if (layout == Layout::BlockStartEndRun && !cursor.Word()) return false;  // where to start it; 0: nowhere
    ReadData(cursor, file, file.endAddress - file.loadAddress, layout != Layout::StartEndPlain, bytes_);
    return true;
  }

  // Turbotape 250 saves a file as two blocks, each with its own pilot and
  // sync: a header block (type 1 or 2, start, end, one byte, a 16-character
  // name, padded with spaces up to 192 bytes or not at all) and then a data
  // block (type 0, the bytes, their XOR). The file is both.
  int64_t ReadTurbotape(const Format& format, ByteCursor& cursor, TurboFile& file, std::vector<TurboFile>& out) {
    const auto type = cursor.Field();
    if (!type || (*type != 1 && *type != 2)) return -1;
    const auto start = cursor.Word();
    const auto end = cursor.Word();
    if (!start || !end || !cursor.Field() || !Range(*start, *end, file)) return -1;
    file.name = cursor.Name(16);
    if (!file.name) return -1;
    uint8_t pad = 0;
    for (int i = 22; i < 192 && cursor.Peek(pad) && pad == 0x20; ++i) cursor.Field();
    // The data block follows after the header's trailing tone (and perhaps
    // a pause); it is looked for within a few seconds of tape.
    constexpr int64_t kDataSearchSpan = 200000;
    const int64_t stop = std::min(stream_.limit(), cursor.pos() + kDataSearchSpan);
    for (int64_t p = cursor.pos(); p < stop; ++p) {
      const auto pilot = BytePilotAt(format, p);
      if (!pilot) continue;
      ByteCursor data(stream_, pilot->after, pilot->bits);
      if (!SyncFollows(format, data) || data.Field() != std::optional<uint8_t>(0)) {
        p = pilot->after;
        continue;
      }
      ReadData(data, file, file.endAddress - file.loadAddress, true, bytes_);
      file.end = ToPosition(data.pos());
      out.push_back(std::move(file));
      return data.pos();
    }
    return -1;
  }

  // Novaload: a name and the addresses, then the data in sub-blocks of up
  // to 256 bytes, each led by the sum (modulo 256) of every byte read before
  // it, and one more such sum at the end. The sum starts with the name's
  // length byte and takes in each check byte too.
  bool ReadNovaload(ByteCursor& cursor, TurboFile& file) const {
    unsigned sum = 0;
    const auto counted = [&](std::optional<uint8_t> b) {
      if (b) sum += *b;
      return b;
    };
    const auto nameLength = counted(cursor.Field());
    if (!nameLength || *nameLength == 0x55) return false;  // 0x55 here marks Novaload Special
    std::string name;
    for (int i = 0; i < *nameLength; ++i) {
      const auto c = counted(cursor.Field());
      if (!c) return false;
      name += static_cast<char>(*c);
    }
    if (*nameLength > 0) file.name = name;
    std::optional<uint8_t> header[6];
    for (auto& b : header) {
      b = counted(cursor.Field());
      if (!b) return false;
    }
    // The start is stored 256 lower than it is, and the size 256 higher.
    const uint32_t start = static_cast<uint32_t>(*header[0] | *header[1] << 8) + 256;
    const uint16_t end = static_cast<uint16_t>(*header[2] | *header[3] << 8);
    if (start > 0xFFFF || !Range(static_cast<uint16_t>(start), end, file)) return false;
    const size_t length = file.endAddress - file.loadAddress;
    MakeRoom(file, length, bytes_);
    bool checksOk = true;
    size_t i = 0;
    for (bool firstCheck = true;; firstCheck = false) {
      uint8_t check = 0;
      bool bad = false;
      cursor.Next(check, bad);
      if (bad) ++file.readErrors;
      if (check != static_cast<uint8_t>(sum)) {
        // A first check that does not match is no Novaload file at all.
        if (firstCheck && !bad) return false;
        checksOk = false;
      }
      sum += check;
      if (i >= length) break;
      for (size_t n = 0; n < 256 && i < length; ++n, ++i) {
        uint8_t value = 0;
        cursor.Next(value, bad);
        if (bad) ++file.readErrors;
        Store(file, i, value);
        sum += value;
      }
    }
    file.checksum = checksOk && file.readErrors == 0 ? TurboChecksum::Ok : TurboChecksum::Error;
    return true;
  }

  // Novaload Special and Ocean/Imagine load a chain of 256-byte blocks, each
  // to the page its address byte names, written one after another without a
  // pilot between them. Each block is a file, as its loader loads it.
  //   Novaload Special: address byte, 256 bytes, the sum of the address byte
  //   and the 256 bytes; the chain ends where an address byte reads 0 (the
  //   trailing tone).
  //   Ocean/Imagine: an optional 0xAA, then per block a flag byte (for the
  //   loader's memory set-up), the address byte, 256 bytes; no checksum. An
  //   address byte of 0 (the trailing tone) ends the chain.
  int64_t ReadChain(Layout layout, ByteCursor& cursor, TurboFile& first, std::vector<TurboFile>& out) {
    const bool ocean = layout == Layout::OceanChain;
    uint8_t peek = 0;
    if (ocean && cursor.Peek(peek) && peek == 0xAA) cursor.Field();
    int64_t blockStart = first.start;
    const size_t before = out.size();
    for (;;) {
      if (ocean) {
        if (!cursor.Field()) break;
      }
      // The block begins at its address byte, so the byte before it belongs
      // to the block before.
      const int64_t addressPos = cursor.pos();
      if (out.size() > before) {
        blockStart = addressPos;
        out.back().end = ToPosition(addressPos);
      }
      const auto address = cursor.Field();
      if (!address || *address == 0) break;
      TurboFile file;
      file.loader = first.loader;
      file.start = ToPosition(blockStart);
      file.threshold = first.threshold;
      file.loadAddress = static_cast<uint16_t>(*address << 8);
      file.endAddress = file.loadAddress + 256u;
      const uint8_t added = ReadData(cursor, file, 256, false, bytes_);
      if (!ocean) ReadChecksum(cursor, file, static_cast<uint8_t>(*address + added));
      file.end = ToPosition(cursor.pos());
      const bool cut = cursor.stopped();
      out.push_back(std::move(file));
      if (cut) break;
    }
    if (out.size() == before) return -1;
    // The byte that ended the chain belongs to the last block.
    out.back().end = ToPosition(cursor.pos());
    return cursor.pos();
  }

  // Wildload: after the sync, sub-blocks one after another, each: the
  // address of its last byte, its size, a byte of no meaning here, the data
  // (the last byte first, down to the first, each XOR the low byte of its
  // address) and the XOR of the true bytes. An empty sub-block at address 0
  // ends the file: its bytes, one more byte and 7 pulses belong to it. Each
  // sub-block is a file, as its loader loads it.
  int64_t ReadWildload(ByteCursor& cursor, TurboFile& first, std::vector<TurboFile>& out) {
    const size_t before = out.size();
    int64_t blockStart = first.start;
    for (;;) {
      const auto last = cursor.Word();
      const auto size = cursor.Word();
      if (!last || !size) break;
      if (*last == 0 && *size == 0) {
        if (out.size() == before) return -1;
        // The ending block: its fields, then a byte and 7 pulses of no meaning.
        int64_t end = cursor.pos();
        const Bits bits = cursor.bits();
        for (int k = 0; k < 15; ++k, end += stream_.step()) {
          const int p = stream_.Pulse(end);
          if (p < bits.low || p > bits.high) break;
        }
        out.back().end = ToPosition(end);
        return end;
      }
      // The first byte lands at the sub-block's last address, so the
      // sub-block starts size - 1 below it.
      if (*size == 0 || *size > *last + 1u || !cursor.Field()) break;
      TurboFile file;
      file.loader = first.loader;
      file.start = ToPosition(blockStart);
      file.threshold = first.threshold;
      file.loadAddress = static_cast<uint16_t>(*last + 1u - *size);
      file.endAddress = *last + 1u;
      MakeRoom(file, *size, bytes_);
      uint8_t sum = 0;
      for (uint32_t i = 0; i < *size; ++i) {
        uint8_t value = 0;
        bool bad = false;
        cursor.Next(value, bad);
        if (bad) ++file.readErrors;
        const uint32_t address = *last - i;
        value ^= static_cast<uint8_t>(address & 0xFF);
        Store(file, address - file.loadAddress, value);
        sum ^= value;
      }
      ReadChecksum(cursor, file, sum);
      file.end = ToPosition(cursor.pos());
      blockStart = cursor.pos();
      out.push_back(std::move(file));
      if (cursor.stopped()) break;
    }
    // Cut off, or a sub-block that does not read: the file ends there.
    if (out.size() == before) return -1;
    return out.back().end;
  }

  // Bleepload: a chain of blocks, the first led by a long tone of 1 bits.
  // Each block has a pilot of a few bytes pb and a sync of pb XOR $FF, pb;
  // pb is $0F for the first block and named by the block before for the
  // next. A block (usually after a short pause):
  //   pb of the next block, block number (from 0), load address, the data
  //   (64 bytes in block 0, else 256), a count of filler bytes and the
  //   fillers, the XOR of the data, a start address, one more byte.
  // The "special" chains, whose first block's first byte is 0, follow one
  // another without pauses, all with the same pb:
  //   block number, load address, a byte of no meaning here, a byte equal
  //   to the load address's high byte + 1 in the last block, a start
  //   address, 256 bytes of data, their XOR.
  // Each block is a file, as its loader loads it.
  int64_t ReadBleepload(const PilotMatch& tone, TurboFile& first, std::vector<TurboFile>& out) {
    const int step = stream_.step();
    const Bits& bits = tone.bits;
    // The first pilot byte starts with its 1 bits, if any, at the tone's end.
    int64_t zero = tone.after - 8 * static_cast<int64_t>(step);
    while (zero < stream_.limit() && stream_.Pulse(zero) > bits.threshold) zero += step;
    int64_t pos = -1;
    uint8_t pb = 0;
    for (int lead = 0; lead < 8 && pos < 0; ++lead) {
      const int64_t at = zero - static_cast<int64_t>(lead) * step;
      uint8_t value = 0;
      bool bad = false;
      if (!stream_.Byte(at, bits, value, bad) || bad || value == 0xFF || value == 0) continue;
      if (const auto after = BleepSyncAfter(at, value, bits)) {
        pos = *after;
        pb = value;
      }
    }
    if (pos < 0) return -1;
    ByteCursor cursor(stream_, pos, bits);
    uint8_t peek = 0;
    if (!cursor.Peek(peek)) return -1;
    const bool special = peek == 0;
    const size_t before = out.size();
    int64_t blockStart = first.start;
    for (int number = 0;; ++number) {
      TurboFile file;
      file.loader = first.loader;
      file.start = ToPosition(blockStart);
      file.threshold = first.threshold;
      std::optional<uint8_t> nextPb = pb;
      if (!special) nextPb = cursor.Field();
      const auto block = cursor.Field();
      const auto load = cursor.Word();
      if (!nextPb || !block || !load || *block != static_cast<uint8_t>(number)) break;
      bool last = false;
      if (special) {
        const auto ignored = cursor.Field();
        const auto flag = cursor.Field();
        if (!ignored || !flag || !cursor.Word()) break;
        last = *flag == static_cast<uint8_t>((*load >> 8) + 1);
      }
      const uint32_t size = !special && number == 0 ? 64 : 256;
      if (*load + size > 0x10000) break;
      file.loadAddress = *load;
      file.endAddress = *load + size;
      MakeRoom(file, size, bytes_);
      uint8_t sum = 0;
      for (uint32_t i = 0; i < size; ++i) {
        uint8_t b = 0;
        bool bad = false;
        cursor.Next(b, bad);
        if (bad) ++file.readErrors;
        Store(file, i, b);
        sum ^= b;
      }
      if (!special) {
        uint8_t fillers = 0;
        bool bad = false;
        cursor.Next(fillers, bad);
        if (bad) ++file.readErrors;
        for (int i = 0; i < fillers && !cursor.stopped(); ++i) cursor.Next(peek, bad);
      }
      uint8_t check = 0;
      bool bad = false;
      cursor.Next(check, bad);
      if (bad) ++file.readErrors;
      if (!special) {
        cursor.Word();  // where the loader goes on
        cursor.Field();
      }
      if (cursor.stopped()) file.readErrors = std::max(file.readErrors, 1);
      file.checksum = file.readErrors == 0 && check == sum ? TurboChecksum::Ok : TurboChecksum::Error;
      file.end = ToPosition(cursor.pos());
      out.push_back(std::move(file));
      if (last || cursor.stopped()) break;
      // The next block's pilot, after a short pause or none.
      pb = *nextPb;
      int64_t next = -1;
      constexpr int64_t kNextBlockSpan = 4096;
      const int64_t stop = std::min(stream_.limit(), cursor.pos() + kNextBlockSpan * step);
      for (int64_t p = cursor.pos(); p < stop && next < 0; p += step) {
        if (const auto after = BleepSyncAfter(p, pb, bits)) {
          blockStart = p;
          next = *after;
        }
      }
      if (next < 0) break;
      cursor.MoveTo(next);
    }
    if (out.size() == before) return -1;
    return out.back().end;
  }

  // Where a Bleepload block's data begins when its pilot (at least two
  // bytes `pb`) and sync start at `pos`.
  std::optional<int64_t> BleepSyncAfter(int64_t pos, uint8_t pb, const Bits& bits) const {
    const int64_t count = CountRepeats(pos, bits, pb);
    if (count < 2) return std::nullopt;
    ByteCursor cursor(stream_, pos + count * stream_.ByteSpan(), bits);
    if (cursor.Field() != std::optional<uint8_t>(static_cast<uint8_t>(pb ^ 0xFF)) ||
        cursor.Field() != std::optional<uint8_t>(pb)) {
      return std::nullopt;
    }
    return cursor.pos();
  }

  TurboPulses stream_;
  TurboBytes bytes_;
  std::vector<Format> formats_;  // the table, after the families that the boot program set up
  // Per group and position within a byte: where the last pilot that gave no
  // file ended.
  std::array<std::array<int64_t, 16>, kGroups> failedPilot_{};
  std::array<std::array<uint8_t, 256>, kGroups> classes_{};
  std::array<std::array<bool, 256>, kGroups> isPilot_{};
  std::array<std::array<bool, 256>, kGroups> isTurnedPilot_{};  // any rotation of a pilot byte
  // The last answers of the two searches behind NextCandidate.
  int64_t zeroAsked_ = -1, zeroFound_ = -1, byteAsked_ = -1, byteFound_ = -1;
  std::array<bool, kGroups> msbFirst_{};
  // Per pulse value, for each repeated-byte group g: bit 2g its bit, bit
  // 2g+1 set when the group's loaders write no such pulse.
  std::array<uint16_t, 256> combined_{};
  struct Window {
    int64_t at = -1;       // the window's first pulse
    unsigned value = 0;    // its bits as a byte
    int64_t lastBad = -1;  // the last pulse that is no pulse of the group
  };
  std::array<std::array<Window, 2>, kGroups> windows_{};
};

// The trailing tone after a file (pulses below its threshold, as its saver
// wrote them) belongs to it, up to `limit`.
int64_t ExtendOverTone(const TurboPulses& stream, int64_t end, int64_t limit, int threshold) {
  while (end < limit) {
    const int p = stream.Pulse(end);
    if (p == 0 || p > threshold) break;
    end += stream.step();
  }
  return end;
}

// Rearranges `files` so that element k is the one that was at order[k],
// moving each file once (cycle by cycle) rather than into a second list.
void PutInOrder(std::vector<TurboFile>& files, std::vector<uint32_t>& order) {
  constexpr uint32_t kPlaced = UINT32_MAX;
  for (size_t start = 0; start < files.size(); ++start) {
    if (order[start] == kPlaced || order[start] == start) continue;
    TurboFile held = std::move(files[start]);
    size_t k = start;
    while (order[k] != start) {
      const size_t from = order[k];
      files[k] = std::move(files[from]);
      order[k] = kPlaced;
      k = from;
    }
    files[k] = std::move(held);
    order[k] = kPlaced;
  }
}

// The parts of [begin, end) outside every `claimed` stretch (sorted by start).
std::vector<TapeStretch> Unclaimed(const std::vector<TapeStretch>& claimed, int64_t begin, int64_t end) {
  std::vector<TapeStretch> free;
  int64_t from = begin;
  for (const TapeStretch& c : claimed) {
    if (c.start > from) free.push_back({from, std::min(c.start, end)});
    from = std::max(from, c.end);
    if (from >= end) break;
  }
  if (from < end) free.push_back({from, end});
  std::erase_if(free, [](const TapeStretch& s) { return s.end <= s.start; });
  return free;
}

// The files of the piloted families in `free`, a stretch no ROM block or
// Visiload chain claims, in the order found.
void ReadPilotedFiles(const TapImage& image, const TapeStretch& free, TurboBytes bytes,
                      const std::optional<BurnerSettings>& burner, std::vector<TurboFile>& files) {
  const int64_t limit = free.end;
  TurboScanner scanner(image, limit, bytes, burner);
  const TurboPulses& stream = scanner.stream();
  std::array<int64_t, kGroups> cursors;
  cursors.fill(free.start);
  int64_t pos = free.start;
  while (pos < limit) {
    if (image.bytes[static_cast<size_t>(pos)] == 0) {
      // A pause: in versions 1 and 2 a zero and a 24-bit count.
      pos += image.version == 0 ? 1 : 4;
      cursors.fill(pos);
      continue;
    }
    constexpr size_t kZeroBitGroup = kGroups - 1;
    if (const int64_t next = scanner.NextCandidate(pos, cursors[kZeroBitGroup]); next > pos) {
      pos = next;
      continue;
    }
    bool found = false;
    for (int g = 0; g < kGroups && !found; ++g) {
      if (cursors[static_cast<size_t>(g)] > pos) continue;
      const int64_t after = scanner.TryGroup(g, pos, files, found);
      if (found) {
        // The last file's trailing tone, then the search goes on after it.
        const Format* format = nullptr;
        for (const Format& f : scanner.formats()) {
          if (files.back().loader == f.name) format = &f;
        }
        const int64_t end = ExtendOverTone(stream, after, limit, format->threshold);
        files.back().end = ToPosition(end);
        pos = after;
        cursors.fill(pos);
      } else {
        cursors[static_cast<size_t>(g)] = std::max(after, pos + 1);
      }
    }
    if (!found) pos = *std::min_element(cursors.begin(), cursors.end());
  }
}

// Most files hold a few hundred bytes, a couple of thousand pulses: a list
// gets room for as many files as its stretch holds such stretches, so that
// the list of a long tape is seldom moved to a larger place as it grows.
constexpr int64_t kPulsesPerFile = 2048;

// The stretches of one reading pass are read independently of one another,
// so on a long tape the later ones, about half the bytes, are read on a
// second thread. The files are put together in the stretches' order, as one
// thread reading them all would have found them.
template <class Read>
void ReadEachStretch(const std::vector<TapeStretch>& stretches, std::vector<TurboFile>& files, const Read& read) {
  constexpr int64_t kWorthAThread = 64 * 1024;  // bytes; below, starting a thread costs more than it saves
  int64_t total = 0;
  for (const TapeStretch& s : stretches) total += s.end - s.start;
  size_t split = stretches.size();
  int64_t first = total;
  if (total >= kWorthAThread) {
    // This thread takes the stretches whose middles lie in the first half of the bytes, and at least one.
    first = stretches.front().end - stretches.front().start;
    for (split = 1; split < stretches.size(); ++split) {
      const int64_t length = stretches[split].end - stretches[split].start;
      if (2 * first + length > total) break;
      first += length;
    }
  }
  if (split == stretches.size()) {
    for (const TapeStretch& stretch : stretches) read(stretch, files);
    return;
  }
  std::vector<TurboFile> later;
  SecondThread second([&] {
    later.reserve(static_cast<size_t>((total - first) / kPulsesPerFile));
    for (size_t k = split; k < stretches.size(); ++k) read(stretches[k], later);
  });
  for (size_t k = 0; k < split; ++k) read(stretches[k], files);
  second.Join();
  files.insert(files.end(), std::make_move_iterator(later.begin()), std::make_move_iterator(later.end()));
}

}  // namespace

const char* TurboChecksumText(TurboChecksum checksum) {
  switch (checksum) {
    case TurboChecksum::Ok:
      return "OK";
    case TurboChecksum::Error:
      return "ERROR";
    case TurboChecksum::None:
      return "none";
  }
  return "";
}

std::optional<BurnerSettings> BurnerSettingsIn(const std::vector<uint8_t>& header) {
  if (header.size() <= kBurnerSyncAt) return std::nullopt;
  const auto at = [&](size_t offset) { return static_cast<uint8_t>(header[offset] ^ kBurnerCipher); };
  BurnerSettings settings;
  switch (at(kBurnerOrderAt)) {
    case 0x26:  // the loader's "rotate left" of each bit into the byte
      settings.msbFirst = true;
      break;
    case 0x66:  // "rotate right"
      settings.msbFirst = false;
      break;
    default:
      return std::nullopt;
  }
  settings.pilot = at(kBurnerPilotAt);
  settings.sync = at(kBurnerSyncAt);
  return settings;
}

std::vector<TurboFamily> TurboFamilies() {
  std::vector<TurboFamily> families;
  const Format burner = BurnerFormat({});
  families.push_back({burner.name, burner.threshold, burner.bit0, burner.bit1, true, false, 0, {}});
  for (const Format& f : kFormats) {
    families.push_back({f.name, f.threshold, f.bit0, f.bit1, f.order == BitOrder::MsbFirst,
                        f.pilot == PilotKind::ZeroBits, f.pilotByte,
                        std::vector<uint8_t>(f.sync.begin(), f.sync.begin() + f.syncLength)});
  }
  families.push_back(VisiloadFamily());
  return families;
}

std::vector<TurboFile> FindTurboFiles(const TapImage& image, std::vector<TapeStretch> claimed,
                                      const std::vector<BootHeader>& boots, TurboBytes bytes) {
  std::vector<TurboFile> files;
  if (image.machine != 0 || image.bytes.empty()) return files;
  const int64_t fileEnd = image.FileLength();
  files.reserve(static_cast<size_t>(fileEnd / kPulsesPerFile));
  std::sort(claimed.begin(), claimed.end(),
            [](const TapeStretch& a, const TapeStretch& b) { return a.start < b.start; });
  // The Burner loader, if any, that the last boot program before `pos` set up.
  std::vector<std::pair<int64_t, BurnerSettings>> burners;
  for (const BootHeader& boot : boots) {
    if (const auto settings = BurnerSettingsIn(boot.bytes)) burners.emplace_back(boot.start, *settings);
  }
  const auto burnerAt = [&](int64_t pos) -> std::optional<BurnerSettings> {
    std::optional<BurnerSettings> last;
    for (const auto& [start, settings] : burners) {
      if (start < pos) last = settings;
    }
    return last;
  };

  // Visiload is read first, chain by chain: its blocks follow one another
  // without pilots, so only a whole chain tells where its bytes lie, and the
  // other families are not looked for inside one.
  // All files go into one list as they are found, and are put in tape order
  // once at the end: each file is moved once.
  ReadEachStretch(Unclaimed(claimed, kTapHeaderSize, fileEnd), files,
                  [&](const TapeStretch& free, std::vector<TurboFile>& out) {
                    ReadVisiloadChains(TurboPulses(image, free.end), free.start, bytes, out);
                  });
  const size_t visiload = files.size();
  if (visiload > 0) {
    claimed.reserve(claimed.size() + files.size());
    for (const TurboFile& f : files) claimed.push_back({f.start, f.end});
    std::sort(claimed.begin(), claimed.end(),
              [](const TapeStretch& a, const TapeStretch& b) { return a.start < b.start; });
  }

  // The unclaimed stretches, read one at a time: a turbo file never reaches
  // into a ROM block.
  ReadEachStretch(Unclaimed(claimed, kTapHeaderSize, fileEnd), files,
                  [&](const TapeStretch& free, std::vector<TurboFile>& out) {
                    ReadPilotedFiles(image, free, bytes, burnerAt(free.start), out);
                  });

  // The families that look for no pilot, where no other file lies.
  claimed.reserve(claimed.size() + files.size() - visiload);
  for (size_t i = visiload; i < files.size(); ++i) claimed.push_back({files[i].start, files[i].end});
  std::sort(claimed.begin(), claimed.end(),
            [](const TapeStretch& a, const TapeStretch& b) { return a.start < b.start; });
  const size_t piloted = files.size();
  ReadEachStretch(Unclaimed(claimed, kTapHeaderSize, fileEnd), files,
                  [&](const TapeStretch& free, std::vector<TurboFile>& out) {
                    TurboScanner scanner(image, free.end, bytes);
                    const size_t before = out.size();
                    scanner.FindSyncOnly(free.start, out);
                    for (size_t i = before; i < out.size(); ++i) {
                      const Format* format = nullptr;
                      for (const Format& f : scanner.formats()) {
                        if (out[i].loader == f.name) format = &f;
                      }
                      const int64_t next = i + 1 < out.size() ? out[i + 1].start : free.end;
                      out[i].end = ToPosition(ExtendOverTone(scanner.stream(), out[i].end, next, format->threshold));
                    }
                  });

  if (visiload > 0 || files.size() > piloted) {
    // By start; where two start at one place, the piloted files first, then
    // those without a pilot, then Visiload's.
    std::vector<uint32_t> order(files.size());
    for (size_t i = 0; i < files.size(); ++i) {
      order[i] = static_cast<uint32_t>(i >= files.size() - visiload ? i + visiload - files.size() : i + visiload);
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](uint32_t a, uint32_t b) { return files[a].start < files[b].start; });
    PutInOrder(files, order);
  }
  // A file's trailing tone may be the next file's pilot: the next file keeps it.
  for (size_t i = 0; i + 1 < files.size(); ++i) files[i].end = std::min(files[i].end, files[i + 1].start);
  return files;
}

std::vector<uint8_t> TurboPrgBytes(const TurboFile& file) {
  std::vector<uint8_t> prg;
  prg.reserve(file.bytes.size() + 2);
  prg.push_back(static_cast<uint8_t>(file.loadAddress & 0xFF));
  prg.push_back(static_cast<uint8_t>(file.loadAddress >> 8));
  prg.insert(prg.end(), file.bytes.begin(), file.bytes.end());
  return prg;
}

}  // namespace rw
