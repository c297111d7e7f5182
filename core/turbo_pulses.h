// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The pulses of a stretch of a tape image as the turbo readers see them: one
// pulse per bit, its length in TAP units; and how the readers keep the bytes
// of the files they read.

#include <algorithm>
#include <cstdint>

// Eight pulses are read as a byte with SSE2 where the processor has it;
// REELWRIGHT_PORTABLE_DECODE reads them one by one on any processor.
#if defined(__SSE2__) && !defined(REELWRIGHT_PORTABLE_DECODE)
#define REELWRIGHT_SSE2_TURBO 1
#include <emmintrin.h>
#endif

#include "core/tap_image.h"
#include "core/turbo_reader.h"

namespace rw {

// How one loader tells its bits apart, for one file: tuned to its pilot.
enum class BitOrder : uint8_t { MsbFirst, LsbFirst };

struct Bits {
  int threshold = 0;
  int one = 0;   // the loader's 1 bit
  int low = 0;   // shorter than this: no pulse of this loader
  int high = 0;  // longer than this: no pulse of this loader either
  BitOrder order = BitOrder::MsbFirst;
};

// The pulses of one unclaimed stretch, read as bits. A zero byte (a pause or
// an overlong pulse) and the end of the stretch stop every read.
class TurboPulses {
 public:
  TurboPulses(const TapImage& image, int64_t limit)
      : bytes_(image.bytes.data()),
        limit_(limit),
        step_(image.version == 2 ? 2 : 1),
        pauseLength_(image.version == 0 ? 1 : 4) {}

  int step() const { return step_; }
  // A pause: a zero byte, in versions 1 and 2 followed by a 24-bit count.
  bool IsPause(int64_t pos) const { return pos >= 0 && pos < limit_ && bytes_[pos] == 0; }
  int pauseLength() const { return pauseLength_; }
  int64_t limit() const { return limit_; }

  // The pulse at `pos`; 0 beyond the stretch or at a pause.
  int Pulse(int64_t pos) const {
    if (pos < 0 || pos + step_ > limit_) return 0;
    if (step_ == 1) return bytes_[pos];
    if (bytes_[pos] == 0 || bytes_[pos + 1] == 0) return 0;
    return std::min(255, bytes_[pos] + bytes_[pos + 1]);
  }

  // The byte at `pos` with `bits`; false when the pulses stop inside it.
  // `bad` tells that a pulse lay outside the loader's believable lengths.
  bool Byte(int64_t pos, const Bits& bits, uint8_t& value, bool& bad) const {
    unsigned v = 0;
    bad = false;
    if (step_ == 1 && pos >= 0 && pos + 8 <= limit_) {
      // Whole pulses inside the stretch: the bytes read directly.
      const uint8_t* q = bytes_ + pos;
#ifdef REELWRIGHT_SSE2_TURBO
      if (bits.low >= 0 && bits.low <= bits.high && bits.low <= 255 && bits.threshold >= 0) {
        // Per pulse, as bits of a mask: a pause, a 1, outside [low, high].
        const __m128i zero = _mm_setzero_si128();
        const __m128i p = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(q));
        const auto set = [&](__m128i differs) { return ~_mm_movemask_epi8(_mm_cmpeq_epi8(differs, zero)) & 0xFF; };
        if (set(p) != 0xFF) return false;
        const auto byte = [](int v) { return _mm_set1_epi8(static_cast<char>(std::min(v, 255))); };
        unsigned ones = static_cast<unsigned>(set(_mm_subs_epu8(p, byte(bits.threshold))));
        const __m128i under = _mm_subs_epu8(byte(bits.low), p);
        bad = set(_mm_or_si128(under, _mm_subs_epu8(p, byte(bits.high)))) != 0;
        if (bits.order == BitOrder::MsbFirst) ones = Reversed(ones);
        value = static_cast<uint8_t>(ones);
        return true;
      }
#endif
      const auto span = static_cast<unsigned>(bits.high - bits.low);
      unsigned unfit = 0;
      unsigned ones = 0;
      for (int k = 0; k < 8; ++k) {
        const int p = q[k];
        if (p == 0) return false;
        unfit |= static_cast<unsigned>(p - bits.low) > span ? 1u : 0u;
        ones |= (p > bits.threshold ? 1u : 0u) << k;
      }
      bad = unfit != 0;
      if (bits.order == BitOrder::MsbFirst) ones = Reversed(ones);
      value = static_cast<uint8_t>(ones);
      return true;
    }
    for (int k = 0; k < 8; ++k) {
      const int p = Pulse(pos + static_cast<int64_t>(k) * step_);
      if (p == 0) return false;
      bad = bad || p < bits.low || p > bits.high;
      const unsigned bit = p > bits.threshold ? 1u : 0u;
      v = bits.order == BitOrder::MsbFirst ? (v << 1 | bit) : (v | bit << k);
    }
    value = static_cast<uint8_t>(v);
    return true;
  }

  int64_t ByteSpan() const { return 8 * static_cast<int64_t>(step_); }
  const uint8_t* data() const { return bytes_; }

 private:
  // Pulse k as bit 7 - k: the eight bits reversed.
  static unsigned Reversed(unsigned ones) {
    ones = (ones & 0xF0) >> 4 | (ones & 0x0F) << 4;
    ones = (ones & 0xCC) >> 2 | (ones & 0x33) << 2;
    return (ones & 0xAA) >> 1 | (ones & 0x55) << 1;
  }

  const uint8_t* bytes_;
  int64_t limit_;
  int step_;
  int pauseLength_;
};

// Room for the `length` bytes of `file`, zero until read, where the bytes
// are kept.
inline void MakeRoom(TurboFile& file, size_t length, TurboBytes bytes) {
  if (bytes == TurboBytes::Kept) file.bytes.assign(length, 0);
}

// Byte `i` of `file` as read, where the bytes are kept.
inline void Store(TurboFile& file, size_t i, uint8_t value) {
  if (i < file.bytes.size()) file.bytes[i] = value;
}

}  // namespace rw
