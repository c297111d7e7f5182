// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The messages a test recorded, each as one line "title | icon | text", so
// that a test compares everything shown, in order, with one expectation.

#include <string>
#include <vector>

#include "core/outcome.h"
#include "core/ports/messages.h"

namespace rw::test {

inline std::vector<std::string> Shown(const RecordedMessages& messages) {
  static const char* const kIcons[] = {"critical", "exclamation", "question", "information"};
  std::vector<std::string> lines;
  for (const Message& m : messages.shown) {
    lines.push_back(m.title + " | " + kIcons[static_cast<int>(m.icon)] +
                    (m.buttons == MessageButtons::YesNo ? " yes/no" : "") + " | " + m.text);
  }
  return lines;
}

// A failure as Shown lists it once a window has shown it; "" for a success.
inline std::string ShownFailure(const Outcome& outcome) {
  RecordedMessages messages;
  ShowFailure(outcome, messages);
  return messages.shown.empty() ? "" : Shown(messages)[0];
}

using Lines = std::vector<std::string>;

}  // namespace rw::test
