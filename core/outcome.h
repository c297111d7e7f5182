// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What an operation that can fail gives back: success, or the kind of
// failure and the text the user reads. The operation itself shows nothing;
// the window puts the text in its message box (ShowFailure), the command line
// prints it, a batch (scan) keeps it in its record. Nobody has to catch a
// message box to learn why something failed.

#include <cstdint>
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

// The title of the message box that shows a failure, unless the operation
// names its own: each window has long titled its errors its own way ("ERROR!",
// "Error !"), and users and their notes know them by it.
inline constexpr const char* kFailureCaption = "Error!";

class [[nodiscard]] Outcome {
 public:
  static Outcome Success() { return Outcome(FailureKind::None, {}, {}); }
  static Outcome Failure(FailureKind kind, std::string text, std::string caption = kFailureCaption) {
    return Outcome(kind, std::move(text), std::move(caption));
  }

  bool ok() const { return kind_ == FailureKind::None; }
  explicit operator bool() const { return ok(); }
  FailureKind kind() const { return kind_; }
  const std::string& text() const { return text_; }
  const std::string& caption() const { return caption_; }

 private:
  Outcome(FailureKind kind, std::string text, std::string caption)
      : kind_(kind), text_(std::move(text)), caption_(std::move(caption)) {}
  FailureKind kind_;
  std::string text_;
  std::string caption_;
};

// A file that could not be made, and the system's reason: the one message
// every writer of new files (split, extraction, index file, disk images) gives.
inline Outcome FileCreationFailure(const std::string& path, const std::string& reason) {
  return Outcome::Failure(FailureKind::SystemError, "Error while creating file " + path + " : " + reason, "ERROR!");
}

// Shows a failure in a critical message box under its caption. Nothing for a
// success.
inline void ShowFailure(const Outcome& outcome, Messages& messages) {
  if (!outcome.ok()) messages.Critical(outcome.caption(), outcome.text());
}

}  // namespace rw
