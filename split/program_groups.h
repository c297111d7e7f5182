// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Ticked rows of the program list form groups: a group is the run of rows
// that ends at a ticked row and begins after the previous ticked row (or at
// the first row). Rows after the last ticked row belong to no group. Each
// group becomes one output: one tape image, one index line, one launcher.

#include <string>
#include <vector>

namespace rw {

struct ProgramGroup {
  int firstRow = 0;  // 1-based, gives the group's name and Start
  int lastRow = 0;   // 1-based, the ticked row, gives its End
};

// The first row of the group that ticked row `row` (1-based) closes: walk up
// until the row above is ticked, or to row 1.
int GroupFirstRow(const std::vector<bool>& checked, int row);

// Every group, in list order.
std::vector<ProgramGroup> FormGroups(const std::vector<bool>& checked);

// Latin-1 letters in `text` (UTF-8) upper-cased, as the devices show names.
std::string UpperCaseText(const std::string& text);

}  // namespace rw
