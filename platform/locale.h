// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
#include <string>

namespace rw {

// The user's decimal separator from the locale (LC_NUMERIC / LANG), "." when
// the locale gives none.
std::string DecimalSeparator();

}  // namespace rw
