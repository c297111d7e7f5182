// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The rules of the "Launcher Disk Creation" dialog: the device number of the
// tape-emulator device on the serial bus and the SD-card folder that holds the
// tape image.

#include <string>
#include <string_view>

#include "core/outcome.h"

namespace rw {

// The decimal number at the start of `text` (leading blanks and a sign
// allowed, "." as decimal point, an exponent allowed); 0 when there is none.
// Too large a number gives infinity.
double LeadingNumber(std::string_view text);

// The folder as the device is sent it: lower case, every "\" turned into
// "/", nothing else changed (UTF-8 in and out).
std::string SdDirectoryText(std::string_view text);

struct DeviceCheck {
  Outcome refusal = Outcome::Success();  // titled kDeviceRefusalTitle
  bool accepted() const { return refusal.ok(); }
  int device = 8;
  std::string directory;         // SdDirectoryText of the typed folder
  bool resetDeviceText = false;  // the dialog shows 8 again
};

// The refusal of a folder that cannot be sent inside a launcher line.
extern const char* const kDirectoryCharacterError;
// The title of the dialog's refusals.
inline constexpr const char* kDeviceRefusalTitle = "Error !";

// "Next >" of the dialog: the device number is the leading number of
// `deviceText` rounded halves to even and must be 8 to 11; the folder may
// have at most 55 characters and none that QuotedTextProblem
// (launcher/launcher_text.h) names. On a refusal the dialog shows it and stays
// open; the device is tested first, then the length.
DeviceCheck CheckDeviceAnswer(std::string_view deviceText, std::string_view directoryText);

}  // namespace rw
