// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/turbo_visiload.h"

#include <algorithm>
#include <optional>

// The search for pilots looks at every pulse outside the ROM blocks: with
// SSE2 sixteen at a time, otherwise one by one; REELWRIGHT_PORTABLE_DECODE
// chooses the latter on any processor.
#if defined(__SSE2__) && !defined(REELWRIGHT_PORTABLE_DECODE)
#define REELWRIGHT_SSE2_PILOTS 1
#include <emmintrin.h>
#endif

#include "core/turbo_pulses.h"

namespace rw {
namespace {

// Bit i of `rises` (of 64 pulses from `b`) tells that pulse i is a quarter
// longer than the one before (4 * b[i] > 5 * b[i - 1]; the one before the
// first is `prev`); bit i of `zeros`, that pulse i is a pause.
void RisesAndZeros(const uint8_t* b, int prev, uint64_t& rises, uint64_t& zeros) {
#ifdef REELWRIGHT_SSE2_PILOTS
  // In bytes: 4b > 5p exactly when b - p > p / 4 (rounded down).
  const __m128i zero = _mm_setzero_si128();
  const __m128i low6 = _mm_set1_epi8(0x3F);
  __m128i before = _mm_slli_si128(_mm_cvtsi32_si128(prev), 15);
  rises = 0;
  zeros = 0;
  for (int k = 0; k < 4; ++k) {
    const __m128i now = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 16 * k));
    const __m128i last = _mm_or_si128(_mm_slli_si128(now, 1), _mm_srli_si128(before, 15));
    const __m128i quarter = _mm_and_si128(_mm_srli_epi16(last, 2), low6);
    const __m128i over = _mm_subs_epu8(_mm_subs_epu8(now, last), quarter);
    const auto notRise = static_cast<uint64_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(over, zero)));
    const auto pause = static_cast<uint64_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(now, zero)));
    rises |= (~notRise & 0xFFFF) << (16 * k);
    zeros |= pause << (16 * k);
    before = now;
  }
#else
  rises = 4 * b[0] > 5 * prev ? 1u : 0u;
  zeros = b[0] == 0 ? 1u : 0u;
  for (int i = 1; i < 64; ++i) {
    rises |= static_cast<uint64_t>(4 * b[i] > 5 * b[i - 1]) << i;
    zeros |= static_cast<uint64_t>(b[i] == 0) << i;
  }
#endif
}

// Pilot bytes in a row that start a chain: short pilots occur only inside a
// chain, where the block before says that one comes.
constexpr int kChainPilotBytes = 16;
// How far after a block the pilot of the next one is looked for (stray pulses
// and pauses skipped), in pulses.
constexpr int64_t kPilotSearchPulses = 4096;
// Stray pulses after a chain's last block, before a pause, that belong to it.
constexpr int kStrayPulses = 64;

constexpr uint8_t kSync = 0x16;

// The loader's settings as the blocks loaded so far have left them.
struct Settings {
  int extraBits = 1;
  int fillerBytes = 0;
  bool pilotNext = true;
  BitOrder order = BitOrder::MsbFirst;
};

// A block loaded at one of these addresses changes the settings with its
// first byte.
constexpr uint16_t kBitsPerByteAt = 0x034B;
constexpr uint16_t kFillerAt = 0x03A4;
constexpr uint16_t kOrderAt = 0x0347;
constexpr uint16_t kPilotNextAt = 0x03BB;
constexpr uint8_t kMsbFirstMark = 0x26;

class ChainReader {
 public:
  ChainReader(const TurboPulses& stream, TurboBytes bytes) : stream_(stream), bytes_(bytes) {}

  // One byte from `pos` (moved past it): false once the pulses stop. `bad`
  // tells that an extra bit was no 1 or a pulse was none of the loader's.
  bool Byte(int64_t& pos, const Settings& settings, const Bits& bits, uint8_t& value, bool& bad) const {
    bad = false;
    for (int k = 0; k < settings.extraBits; ++k) {
      const int p = stream_.Pulse(pos);
      if (p == 0) return false;
      bad = bad || p <= bits.threshold || p > bits.high;
      pos += stream_.step();
    }
    Bits ordered = bits;
    ordered.order = settings.order;
    bool badBits = false;
    if (!stream_.Byte(pos, ordered, value, badBits)) return false;
    bad = bad || badBits;
    pos += stream_.ByteSpan();
    return true;
  }

  std::optional<uint8_t> Field(int64_t& pos, const Settings& settings, const Bits& bits) const {
    uint8_t value = 0;
    bool bad = false;
    if (!Byte(pos, settings, bits, value, bad) || bad) return std::nullopt;
    return value;
  }

  // Where a pilot of `count` bytes of `period` pulses starts at `from`: its
  // first pulse of each byte is a long one, the others short.
  Bits TuneToPilot(int64_t from, int64_t count, int period) const {
    int64_t longSum = 0, shortSum = 0, longs = 0, shorts = 0;
    for (int64_t i = 0; i < count * period; ++i) {
      const int p = stream_.Pulse(from + i * stream_.step());
      if (i % period == 0) {
        longSum += p;
        ++longs;
      } else {
        shortSum += p;
        ++shorts;
      }
    }
    Bits bits;
    const int zero = static_cast<int>(shortSum / std::max<int64_t>(shorts, 1));
    bits.one = static_cast<int>(longSum / std::max<int64_t>(longs, 1));
    bits.threshold = (zero + bits.one) / 2;
    bits.low = zero / 2;
    bits.high = bits.one * 2;
    return bits;
  }

  // The next run of at least kChainPilotBytes pilot bytes from `pos`, found
  // by the shape of its pulses alone (a long pulse every 9 or 10 pulses, as
  // one or two extra 1 bits lead each $00 byte), so that every speed the
  // loader was set to is found. Returns its first pulse, or the limit.
  int64_t NextPilotRun(int64_t pos, int& period, int64_t& count) const {
    const int step = stream_.step();
    int prev = 0;
    int64_t lastRise = -1, runStart = -1;
    int runPeriod = 0;
    int64_t runCount = 0;
    // A rise: a pulse a quarter longer than the one before, where a pilot
    // byte starts.
    const auto rise = [&](int64_t q) {
      const int64_t distance = lastRise < 0 ? 0 : (q - lastRise) / step;
      if ((distance == 9 || distance == 10) && distance == runPeriod) {
        ++runCount;
      } else if (distance == 9 || distance == 10) {
        runPeriod = static_cast<int>(distance);
        runStart = lastRise;
        runCount = 1;
      } else {
        runCount = 0;
        runPeriod = 0;
      }
      lastRise = q;
      return runCount >= kChainPilotBytes;
    };
    // This loop runs over every pulse outside the ROM blocks, so whole-pulse
    // images are read straight from their bytes, 64 at a time: which of them
    // rise is worked out without a branch per pulse, and only the rises
    // (one pulse in four in data, one in nine in a pilot) are looked at.
    const uint8_t* bytes = stream_.data();
    for (int64_t q = pos; q < stream_.limit();) {
      if (step == 1 && q + 64 <= stream_.limit()) {
        const uint8_t* b = bytes + q;
        uint64_t rises = 0;
        uint64_t zeros = 0;
        RisesAndZeros(b, prev, rises, zeros);
        // Up to the first pause, if any; the pause itself is taken below.
        const int pulses = zeros == 0 ? 64 : __builtin_ctzll(zeros);
        if (pulses < 64) rises &= (uint64_t{1} << pulses) - 1;
        for (; rises != 0; rises &= rises - 1) {
          if (rise(q + __builtin_ctzll(rises))) {
            period = runPeriod;
            count = runCount;
            return runStart;
          }
        }
        if (pulses > 0) {
          prev = b[pulses - 1];
          q += pulses;
          continue;
        }
      }
      if (bytes[q] == 0) {
        q += stream_.pauseLength();
        prev = 0;
        lastRise = -1;
        runCount = 0;
        continue;
      }
      const int p = step == 1 ? bytes[q] : stream_.Pulse(q);
      if (p == 0) break;
      if (4 * p > 5 * prev && rise(q)) {
        period = runPeriod;
        count = runCount;
        return runStart;
      }
      prev = p;
      q += step;
    }
    return stream_.limit();
  }

  // A pilot of at least one $00 byte and the sync byte, from its first pulse
  // `start`: the position after the sync, or nothing.
  std::optional<int64_t> PilotAt(int64_t start, const Settings& settings, const Bits& bits) const {
    int64_t pos = start;
    int zeros = 0;
    for (;;) {
      const auto b = Field(pos, settings, bits);
      if (!b) return std::nullopt;
      if (*b == 0) {
        ++zeros;
        continue;
      }
      if (*b == kSync && zeros > 0) return pos;
      return std::nullopt;
    }
  }

  // Reads the chain whose first pilot starts at `start`. Appends its blocks
  // to `out` and returns the position after it, or -1 when it holds none.
  int64_t ReadChain(int64_t start, int period, int64_t pilotBytes, std::vector<TurboFile>& out) const {
    Bits bits = TuneToPilot(start, pilotBytes, period);
    Settings settings;
    settings.extraBits = period - 8;
    // The sync byte tells the bit order the chain starts with.
    const int64_t syncAt = start + pilotBytes * period * stream_.step();
    std::optional<int64_t> pos;
    for (const BitOrder order : {BitOrder::MsbFirst, BitOrder::LsbFirst}) {
      settings.order = order;
      pos = PilotAt(start, settings, bits);
      if (pos) break;
    }
    if (!pos || *pos < syncAt) return -1;
    const size_t before = out.size();
    int64_t blockStart = start;
    int64_t at = *pos;
    for (;;) {
      if (out.size() > before && settings.pilotNext) {
        const auto pilot = FindPilot(at, settings, bits);
        if (!pilot) break;
        out.back().end = ToEndBeforePause(out.back().end, pilot->first);
        blockStart = pilot->first;
        at = pilot->second;
      } else if (out.size() > before) {
        blockStart = at;
      }
      TurboFile file;
      std::optional<uint8_t> first;
      bool cut = false;
      if (!ReadBlock(at, settings, bits, file, first, cut)) break;
      file.start = static_cast<int32_t>(blockStart);
      file.end = static_cast<int32_t>(at);
      file.threshold = bits.threshold;  // tuned to the last pilot, so it follows the loader's speed
      const uint16_t load = file.loadAddress;
      out.push_back(std::move(file));
      if (cut) break;
      settings.pilotNext = load == kPilotNextAt;
      if (!first) continue;
      if (load == kBitsPerByteAt) {
        if (*first < 8 || *first > 16) break;  // no loader sends such bytes: the chain ends here
        settings.extraBits = *first - 8;
      } else if (load == kFillerAt) {
        settings.fillerBytes = std::max(0, *first - 3);
      } else if (load == kOrderAt) {
        settings.order = *first == kMsbFirstMark ? BitOrder::MsbFirst : BitOrder::LsbFirst;
      }
    }
    if (out.size() == before) return -1;
    // The few stray pulses a chain often ends with, before a pause.
    int64_t end = out.back().end;
    for (int n = 0; n < kStrayPulses && stream_.Pulse(end) != 0; ++n) end += stream_.step();
    if (stream_.Pulse(end) == 0) out.back().end = static_cast<int32_t>(end);
    return out.back().end;
  }

 private:
  // The next block's pilot within reach of `from`: its first pulse and the
  // position after its sync, with the bits tuned to it.
  std::optional<std::pair<int64_t, int64_t>> FindPilot(int64_t from, const Settings& settings, Bits& bits) const {
    int64_t searched = 0;
    for (int64_t q = from; q < stream_.limit() && searched < kPilotSearchPulses;) {
      if (stream_.IsPause(q)) {
        q += stream_.pauseLength();
        continue;
      }
      // With extra bits, a pilot byte starts with a long pulse.
      if (settings.extraBits == 0 || stream_.Pulse(q) > bits.threshold) {
        if (const auto after = PilotAt(q, settings, bits)) {
          const int period = 8 + settings.extraBits;
          const int64_t bytes = (*after - q) / (period * stream_.step()) - 1;
          if (settings.extraBits > 0 && bytes > 0) bits = TuneToPilot(q, bytes, period);
          return std::make_pair(q, *after);
        }
      }
      q += stream_.step();
      ++searched;
    }
    return std::nullopt;
  }

  // The end of a block that is followed by stray pulses and perhaps a pause
  // before the next pilot: up to the pause, or to the pilot.
  int32_t ToEndBeforePause(int64_t end, int64_t nextStart) const {
    int64_t q = end;
    while (q < nextStart && !stream_.IsPause(q)) q += stream_.step();
    return static_cast<int32_t>(q);
  }

  // The filler bytes, the addresses and the data of one block.
  // `first` is the first byte sent, where it read cleanly; `cut` tells that
  // the pulses stopped inside the data.
  bool ReadBlock(int64_t& pos, const Settings& settings, const Bits& bits, TurboFile& file,
                 std::optional<uint8_t>& first, bool& cut) const {
    for (int i = 0; i < settings.fillerBytes; ++i) {
      if (!Field(pos, settings, bits)) return false;
    }
    std::optional<uint8_t> a[4];
    for (auto& b : a) {
      b = Field(pos, settings, bits);
      if (!b) return false;
    }
    const uint16_t end = static_cast<uint16_t>(*a[0] << 8 | *a[1]);
    const uint16_t start = static_cast<uint16_t>(*a[2] << 8 | *a[3]);
    const uint32_t last = end == 0 && start != 0 ? 0x10000 : end;
    if (last < start) return false;
    file.loader = kVisiloadName;
    file.checksum = TurboChecksum::None;
    file.loadAddress = start;
    file.endAddress = last;
    // A block whose end is its start still sends one byte; it changes a
    // setting, but the loader counts it as no byte of the block.
    const size_t length = last - start;
    MakeRoom(file, length, bytes_);
    for (size_t i = 0; i < std::max<size_t>(length, 1); ++i) {
      uint8_t value = 0;
      bool bad = false;
      if (!Byte(pos, settings, bits, value, bad)) {
        cut = true;
        file.readErrors += static_cast<int32_t>(std::max<size_t>(length, 1) - i);
        break;
      }
      if (bad) ++file.readErrors;
      if (i == 0 && !bad) first = value;
      Store(file, i, value);
    }
    return true;
  }

  const TurboPulses& stream_;
  TurboBytes bytes_;
};

}  // namespace

TurboFamily VisiloadFamily() { return {kVisiloadName, 0x35, 0x25, 0x48, true, false, 0x00, {kSync}}; }

void ReadVisiloadChains(const TurboPulses& stream, int64_t from, TurboBytes bytes, std::vector<TurboFile>& out) {
  ChainReader reader(stream, bytes);
  for (int64_t pos = from; pos < stream.limit();) {
    int period = 0;
    int64_t count = 0;
    const int64_t start = reader.NextPilotRun(pos, period, count);
    if (start >= stream.limit()) break;
    const int64_t end = reader.ReadChain(start, period, count, out);
    pos = end > start ? end : start + count * period * stream.step();
  }
}

}  // namespace rw
