// SPDX-License-Identifier: GPL-2.0-or-later
#include "split/tape_survey.h"

#include "core/tape_coverage.h"
#include "split/program_data.h"

namespace rw {

TapeSurvey SurveyTape(const ProgramList& list) {
  TapeSurvey survey;
  const std::vector<DataResult> data = ReadListData(list);
  survey.turbo = ListTurboFiles(list.image(), list.sections(), data);
  survey.map = BuildTapeMap(list.image(), list.usPerCycle(), list.sections(),
                            RomStretches(list.image(), list.sections(), data), survey.turbo.files);
  return survey;
}

}  // namespace rw
