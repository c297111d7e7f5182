// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Line pictures drawn in near-black ink vanish on a dark palette. An icon
// made here draws its source with every near-black pixel in the palette's
// button-text colour instead, at each paint, so it follows the palette the
// user chose (and a change of it) while the coloured parts keep their colours.

#include <QIcon>

namespace rw {

QIcon PaletteIcon(const QIcon& source);

}  // namespace rw
