// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What an operation that can fail gives back: success, or the kind of
// failure and the text the user reads. The operation itself shows nothing;
// the window puts the text in its message box (ShowFailure), the command line
// prints it, a batch (scan) keeps it in its record. Nobody has to catch a
// message box to learn why something failed.

#include <string>
#include <utility>

#include "core/ports/messages.h"

namespace rw {

enum class FailureKind : uint8_t {
  None,
  // The input is not what the operation takes (not a tape image, a format
  // version it does not read): retrying will not help.
  Refused,
  // The system would not let it read or write (missing file, no space, a
  // device): the user may mend that and try again.
  SystemError,
};

class [[nodiscard]] Outcome {
 public:
  static Outcome Success() { return Outcome(FailureKind::None, {}); }
  static Outcome Failure(FailureKind kind, std::string text) { return Outcome(kind, std::move(text)); }

  bool ok() const { return kind_ == FailureKind::None; }
  explicit operator bool() const { return ok(); }
  FailureKind kind() const { return kind_; }
  const std::string& text() const { return text_; }

 private:
  Outcome(FailureKind kind, std::string text) : kind_(kind), text_(std::move(text)) {}
  FailureKind kind_;
  std::string text_;
};

// Shows a failure as the desktop program always has: a critical message box
// with the title "Error!". Nothing for a success.
inline void ShowFailure(const Outcome& outcome, Messages& messages) {
  if (!outcome.ok()) messages.Critical("Error!", outcome.text());
}

}  // namespace rw
