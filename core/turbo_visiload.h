// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Visiload: a loader that reshapes its own format while the tape plays.
//
// Each byte is sent as a number of 1 bits (the "extra" bits, one at first)
// followed by its 8 data bits. A block is: optionally a pilot of $00 bytes and
// a sync byte $16, then a number of filler bytes (none at first), the block's
// end address (exclusive) and start address, high byte first, and the data.
// A block whose end equals its start still sends one byte. There is no
// checksum. Some blocks load over the loader's own settings, and so change
// how the next blocks are sent: a block loaded at
//   $034B gives the bits per byte (8 plus the extra 1 bits),
//   $03A4 gives the number of filler bytes plus 3,
//   $0347 gives the bit order ($26 most significant bit first, else least),
//   $03BB says that the next block has a pilot again.
// Blocks without a pilot follow one another directly, so a chain is read
// from its first pilot on, its settings carried from block to block (also
// over the pauses between the pilots).

#include <cstdint>
#include <vector>

#include "core/turbo_reader.h"

namespace rw {

class TurboPulses;

inline constexpr const char* kVisiloadName = "Visiload";

// Its first settings at the most common speed; the reader tunes itself to
// each pilot, so other speeds read too.
TurboFamily VisiloadFamily();

// Every Visiload block from `from` to the end of `stream`, in tape order, one
// file per block as the loader loads them, added to `out`.
void ReadVisiloadChains(const TurboPulses& stream, int64_t from, TurboBytes bytes, std::vector<TurboFile>& out);

}  // namespace rw
