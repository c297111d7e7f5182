// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/rom_format.h"

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

PulseClasses::Bounds PulseClasses::DefaultBounds(uint8_t machine) { return kDefaultBounds[machine <= 2 ? machine : 0]; }

int DecodeRomByte(const PulseStream& pulses, const PulseClasses& classes, int64_t pos) {
  const int step = pulses.step();
  // 0 or 1 for the pair at q, -1 when it is no bit.
  const auto bit = [&](int64_t q) {
    const uint8_t a = classes.Of(pulses.Pulse(q));
    const uint8_t b = classes.Of(pulses.Pulse(q + step));
    if ((a & PulseClasses::kShort) != 0 && (b & PulseClasses::kMedium) != 0) return 0;
    if ((a & PulseClasses::kMedium) != 0 && (b & PulseClasses::kShort) != 0) return 1;
    return -1;
  };
  if (!classes.IsLong(pulses.Pulse(pos)) || !classes.IsMedium(pulses.Pulse(pos + step))) return -1;
  int value = 0;
  int parity = 1;
  for (int k = 0; k < 8; ++k) {
    const int b = bit(pos + 2 * step * (k + 1));
    if (b < 0) return -1;
    value |= b << k;
    parity ^= b;
  }
  return bit(pos + 18 * step) == parity ? value : -2;
}

}  // namespace rw
