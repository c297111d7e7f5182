// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/rom_format.h"

// SSE2 compares sixteen pulses at a time, otherwise one by one;
// REELWRIGHT_PORTABLE_DECODE chooses one by one on any processor.
#if defined(__SSE2__) && !defined(REELWRIGHT_PORTABLE_DECODE)
#define REELWRIGHT_SSE2_RUNS 1
#include <emmintrin.h>
#endif

namespace rw {
namespace {

// Default classes by machine. The C16/Plus-4 classes leave gaps between them.
constexpr PulseClasses::Bounds kDefaultBounds[] = {
    {32, 60, 61, 76, 77, 99},     // Commodore 64
    {33, 52, 53, 73, 74, 99},     // VIC-20
    {33, 63, 94, 122, 192, 254},  // C16 and Plus/4
};

}  // namespace

PulseClasses::PulseClasses(const Bounds& bounds) : bounds_(bounds) {
  for (int v = 1; v < 256; ++v) {
    uint8_t bits = 0;
    if (v >= bounds[0] && v <= bounds[1]) bits |= kShort;
    if (v >= bounds[2] && v <= bounds[3]) bits |= kMedium;
    if (v >= bounds[4] && v <= bounds[5]) bits |= kLong;
    table_[static_cast<size_t>(v)] = bits;
    disjoint_ = disjoint_ && (bits & (bits - 1)) == 0;
  }
}

#ifdef REELWRIGHT_SSE2_RUNS
namespace {

// The short class of `bounds` held for sixteen pulses at a time. Without a
// zero among the pulses, short is exactly the range of its bounds: a value
// is in it when its distance above shortMin, taken modulo 256, is at most
// the class's width.
class ShortLanes {
 public:
  explicit ShortLanes(const PulseClasses::Bounds& bounds)
      : low_(_mm_set1_epi8(static_cast<char>(bounds[0]))),
        width_(_mm_set1_epi8(static_cast<char>(bounds[1] - bounds[0]))) {}

  // One bit per pulse of the sixteen at `at`, set where it is not short.
  unsigned NotShort(const uint8_t* at) const {
    const __m128i above = _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), low_);
    return ~static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(above, width_), above))) & 0xFFFF;
  }

 private:
  __m128i low_;
  __m128i width_;
};

}  // namespace
#endif

int64_t PulseClasses::ShortRunEnd(const uint8_t* bytes, int64_t from, int64_t limit) const {
  int64_t q = from;
#ifdef REELWRIGHT_SSE2_RUNS
  if (bounds_[0] <= bounds_[1]) {
    const ShortLanes lanes(bounds_);
    for (; q + 16 <= limit; q += 16) {
      if (const unsigned notShort = lanes.NotShort(bytes + q); notShort != 0) return q + __builtin_ctz(notShort);
    }
  }
#endif
  while (q < limit && IsShort(bytes[q])) ++q;
  return q;
}

int64_t PulseClasses::ShortRunStart(const uint8_t* bytes, int64_t from, int64_t floor) const {
  int64_t j = from;
#ifdef REELWRIGHT_SSE2_RUNS
  if (bounds_[0] <= bounds_[1]) {
    const ShortLanes lanes(bounds_);
    for (; j - 15 >= floor; j -= 16) {
      if (const unsigned notShort = lanes.NotShort(bytes + j - 15); notShort != 0)
        return j - 15 + (31 - __builtin_clz(notShort));
    }
  }
#endif
  while (j >= floor && IsShort(bytes[j])) --j;
  return j;
}

PulseClasses::Bounds PulseClasses::DefaultBounds(uint8_t machine) { return kDefaultBounds[machine <= 2 ? machine : 0]; }

namespace {

// The byte whose 20 pulses `pulse(0..19)` gives, as DecodeRomByte tells it.
template <class PulseAt>
int DecodePulses(const PulseClasses& classes, const PulseAt& pulse) {
  // 0 or 1 for the pair at k, -1 when it is no bit.
  const auto bit = [&](int k) {
    const uint8_t a = classes.Of(pulse(k));
    const uint8_t b = classes.Of(pulse(k + 1));
    if ((a & PulseClasses::kShort) != 0 && (b & PulseClasses::kMedium) != 0) return 0;
    if ((a & PulseClasses::kMedium) != 0 && (b & PulseClasses::kShort) != 0) return 1;
    return -1;
  };
  if (!classes.IsLong(pulse(0)) || !classes.IsMedium(pulse(1))) return -1;
  int value = 0;
  int parity = 1;
  for (int k = 0; k < 8; ++k) {
    const int b = bit(2 * (k + 1));
    if (b < 0) return -1;
    value |= b << k;
    parity ^= b;
  }
  return bit(18) == parity ? value : -2;
}

}  // namespace

int DecodeRomByte(const PulseStream& pulses, const PulseClasses& classes, int64_t pos) {
  const int step = pulses.step();
  // Whole pulses inside the image, as nearly every byte read, are the pulse
  // bytes themselves.
  if (step == 1 && pos >= 0 && pos + 20 <= pulses.size()) {
    const uint8_t* at = pulses.data() + pos;
    return DecodePulses(classes, [at](int k) { return at[k]; });
  }
  return DecodePulses(classes, [&](int k) { return pulses.Pulse(pos + static_cast<int64_t>(k) * step); });
}

}  // namespace rw
