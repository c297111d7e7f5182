// SPDX-License-Identifier: GPL-2.0-or-later
// "Split File": one tape image per group of ticked rows.

#include "core/commodore_names.h"
#include "core/ports/messages.h"
#include "core/ports/remembered_paths.h"
#include "core/safe_file.h"
#include "core/tap_writer.h"
#include "split/program_list.h"

namespace rw {

namespace {

constexpr uint64_t kMaxSplitCopies = 1000;

}  // namespace

std::string SplitFileStem(int counter, const std::string& program) {
  std::string number = std::to_string(counter);
  if (number.size() < 3) number.insert(0, 3 - number.size(), '0');
  std::string name = program;
  for (char& c : name) {
    if (c == ' ' || c == '/' || c == '\0') c = '_';
  }
  return number + "." + name;
}

Outcome ProgramList::Split(Messages& messages, std::vector<std::string>* written, const Progress& progress) {
  // Edited tape names go into both header copies first, for every row with
  // a tape name text, ticked or not. The image on disk is not touched. A
  // header copy that was already damaged keeps its (wrong) checksum byte:
  // the split still writes the program as it is on the tape, as the list
  // shows it.
  for (auto& section : sections_) {
    if (!section.tapeNameText.empty()) (void)RenameSection(image_, section, TextToName(section.tapeNameText));
  }

  int counter = 1;
  std::string lastPath = outputDir;
  const auto groups = Groups();
  for (const auto& group : groups) {
    const std::string stem = SplitFileStem(counter, rows_[static_cast<size_t>(group.firstRow - 1)].program);
    // The first free name: "stem.tap", "stem(1).tap", ... never over a file,
    // nor over one another run writes into the folder at the same time. A
    // thousand copies of one split in a folder are surely a mistake: no more.
    std::string path;
    std::string error;
    if (!WriteSectionFileUnderFreeName(image_, {outputDir, stem, ".tap", kMaxSplitCopies},
                                       starts_[static_cast<size_t>(group.firstRow - 1)],
                                       ends_[static_cast<size_t>(group.lastRow - 1)], path, error, true)) {
      return FileCreationFailure(path, error);
    }
    if (written != nullptr) written->push_back(path);
    if (progress) progress(counter, static_cast<int64_t>(groups.size()));
    lastPath = path;
    ++counter;
  }
  // One sync for all the files, before the message that tells the user
  // they are safe.
  std::string syncError;
  if (!SyncFolderContents(outputDir, syncError)) return FileCreationFailure(lastPath, syncError);
  paths_.WritePersistentPath(outputDir, PersistentPath::SplitPath);
  messages.Info("INFO", "Split Operation Completed !");
  return Outcome::Success();
}

}  // namespace rw
