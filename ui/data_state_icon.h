// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The small picture in a program's cell that tells at a glance how its data
// reads: a green tick (good), an amber tick (good but short: the block ends
// before its header's end address, as a boot loader's does), a red cross
// (damaged), a grey ring (no program data). Drawn here in colours that stand
// out on light and dark palettes alike.

#include <QIcon>

#include "core/data_block.h"

namespace rw {

QIcon DataStateIcon(DataState state);

}  // namespace rw
