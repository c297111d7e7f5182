// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// File names in the order people read them: a run of digits counts by its
// value, so "2.tap" comes before "10.tap" and "999" before "1000". A split
// into many files numbers them without leading zeros; text order would put
// "1000.X.tap" before "101.Y.tap" and a re-join would reorder the tape.

#include <string_view>

namespace rw {

// Everything other than digits compares byte by byte. Names equal but for
// leading zeros ("07" and "7") fall back to text order, so that the order is
// total and the same on every run.
bool NaturalLess(std::string_view a, std::string_view b);

}  // namespace rw
