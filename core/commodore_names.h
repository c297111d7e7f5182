// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Program names on tape: 16 bytes of the Commodore character set. A name byte
// and a character relate one to one through Latin-1 (163 is the pound sign).
//
// "Name bytes" below are std::strings holding one raw byte per char; "text" is
// UTF-8. NameToText only produces ASCII.

#include <string>
#include <string_view>
#include <vector>

namespace rw {

struct ControlCode {
  std::string token;  // "{CLR}"
  unsigned char byte;
};

// The control-code tokens in their fixed order ({CLR} first, {RVSON} last).
std::vector<ControlCode> LoadControlCodes();
// The table built once by LoadControlCodes.
const std::vector<ControlCode>& ControlCodes();

// The plain name shown in lists and used for file names: letters folded to
// lower case (both Commodore letter ranges), everything outside a small set of
// safe characters dropped. Name bytes in, name bytes out.
std::string FilterName(std::string_view nameBytes);

// Editable text: control codes as {TOKENS}, other unprintable bytes as {n}.
std::string NameToText(std::string_view nameBytes);

// The reverse of NameToText: tokens and {n} become bytes, other characters
// their Latin-1 byte ('?' for characters outside Latin-1).
std::string TextToName(std::string_view text);

std::string Latin1ToUtf8(std::string_view bytes);
// Characters outside Latin-1 (and malformed UTF-8) become '?'.
std::string Utf8ToLatin1(std::string_view text);

}  // namespace rw
