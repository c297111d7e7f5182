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
std::string LauncherEntryName(const std::string& name, int n);

// The tape image's file name, lower-cased and with its extension kept.
std::string LauncherImageName(const std::string& imagePath);
// output folder + "/" + LauncherImageName + ".d64" ("/out/games.tap.d64").
std::string LauncherDiskPath(const std::string& outputFolder, const std::string& imagePath);

// The launcher text: lines 5 and 10 (only with an SD-card folder), 20, the
// autostart line and 30, each ended by CR LF, as Latin-1 bytes. `imageName`
// and `start` are used as given (the builder lower-cases both).
std::string LauncherText(int device, const std::string& directory, const std::string& imageName,
                         const std::string& start, const std::string& autostartLine);

// c1541: a new d64 image named "launcher" with the id "id".
std::vector<std::string> FormatDiskArguments(const std::string& diskPath);
// petcat: the blank-separated options, then the program file and the text.
std::vector<std::string> TokeniseArguments(const std::string& petcatOptions, const std::string& programPath,
                                           const std::string& textPath);
// c1541: copy the program file onto the disk under `diskFileName`, blanks kept.
std::vector<std::string> WriteFileArguments(const std::string& diskPath, const std::string& programPath,
                                            const std::string& diskFileName);

}  // namespace rw
