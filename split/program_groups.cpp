// SPDX-License-Identifier: GPL-2.0-or-later
#include "split/program_groups.h"

#include "core/commodore_names.h"

namespace rw {

int GroupFirstRow(const std::vector<bool>& checked, int row) {
  while (row > 1 && !checked[static_cast<size_t>(row - 2)]) --row;
  return row;
}

std::vector<ProgramGroup> FormGroups(const std::vector<bool>& checked) {
  std::vector<ProgramGroup> groups;
  for (int row = 1; row <= static_cast<int>(checked.size()); ++row) {
    if (checked[static_cast<size_t>(row - 1)]) groups.push_back({GroupFirstRow(checked, row), row});
  }
  return groups;
}

std::string UpperCaseText(const std::string& text) {
  std::string latin1 = Utf8ToLatin1(text);
  // Characters beyond Latin-1 would come back as "?": upper-case only when
  // the text survives the round trip, else only its ASCII letters.
  if (Latin1ToUtf8(latin1) != text) {
    std::string result = text;
    for (char& c : result) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    }
    return result;
  }
  for (char& c : latin1) {
    const unsigned char b = static_cast<unsigned char>(c);
    // a-z, and the accented small letters except the division sign and
    // y-diaeresis, whose capital is outside Latin-1.
    if ((b >= 'a' && b <= 'z') || (b >= 0xE0 && b <= 0xFE && b != 0xF7)) c = static_cast<char>(b - 32);
  }
  return Latin1ToUtf8(latin1);
}

}  // namespace rw
