// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Everything the tape's pictures are drawn from, read once for a loaded list:
// the turbo files with the coverage, and the map of bands.

#include "split/program_list.h"
#include "split/tape_map.h"
#include "split/turbo_listing.h"

namespace rw {

struct TapeSurvey {
  TurboListing turbo;
  TapeMap map;
};

TapeSurvey SurveyTape(const ProgramList& list);

}  // namespace rw
