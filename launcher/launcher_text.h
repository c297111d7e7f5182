// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What one launcher program is made of: its name on the disk, its BASIC text
// and the argument lists of the two VICE tools that make the disk from it.
//
// A launcher program, run on the Commodore machine, opens the command channel
// (secondary address 15) of the tape-emulator device, changes to the SD-card
// folder of the tape image, mounts the image at the program's start offset
// ("xt:" name "," offset) and fills the keyboard buffer so that loading from
// tape starts by itself.

#include <string>
#include <string_view>
#include <vector>

namespace rw {

// ASCII and Latin-1 letters to lower case; UTF-8 in and out, nothing else
// changed.
std::string LowerText(std::string_view text);
// The same on Latin-1 bytes.
std::string LowerLatin1(std::string bytes);

// The name of program `n` (counted from 1) on the disk: n with at least two
// digits, "-", the name padded with blanks or cut to 13 characters, all in
// lower case. 16 characters while n is below 100 ("01-game         ").
// Characters that c1541 refuses in a file name or reads as a pattern
// (, : * ? " and those without a PETSCII form: { } | ~ `, control
// characters, anything outside ASCII) are replaced, accented Latin-1 letters
// by their plain letter, the others by "-", so that every name can be written.
std::string LauncherEntryName(const std::string& name, int n);

// Why `text` (UTF-8) cannot stand between the double quotes of a launcher
// line, or empty when it can. A double quote would end the string and let
// the rest become BASIC code, a control character (a line break among them)
// would end the line or become a screen code, a brace starts one of petcat's
// {control code} names, and a character outside Latin-1 has no byte at all.
std::string QuotedTextProblem(std::string_view text);

// The tape image's file name, lower-cased and with its extension kept, as
// UTF-8 text; a name that is not UTF-8 is read as Latin-1 (its bytes are what
// the launcher then sends, byte for byte).
std::string LauncherImageName(const std::string& imagePath);
// output folder + "/" + the file name lower-cased + ".d64" ("/out/games.tap.d64"),
// a name that is not UTF-8 lower-cased as Latin-1 bytes.
std::string LauncherDiskPath(const std::string& outputFolder, const std::string& imagePath);

// The launcher text: lines 5 and 10 (only with an SD-card folder), 20, the
// autostart line and 30, each ended by CR LF, as Latin-1 bytes. `imageName`
// and `start` are used as given (the builder lower-cases both); callers
// refuse text with a QuotedTextProblem first. Should such a character slip
// through anyway it is sent as "?", never as code.
std::string LauncherText(int device, const std::string& directory, const std::string& imageName,
                         const std::string& start, const std::string& autostartLine);

// c1541: a new image of `imageType` with the disk name and id `header`; the
// launcher disk is a d64 named "launcher" with the id "id".
std::vector<std::string> FormatDiskArguments(const std::string& diskPath, const std::string& header = "launcher,id",
                                             const std::string& imageType = "d64");
// petcat: the blank-separated options, then the program file and the text.
std::vector<std::string> TokeniseArguments(const std::string& petcatOptions, const std::string& programPath,
                                           const std::string& textPath);
// c1541: copy the program file onto the disk under `diskFileName`, blanks kept.
std::vector<std::string> WriteFileArguments(const std::string& diskPath, const std::string& programPath,
                                            const std::string& diskFileName);

}  // namespace rw
