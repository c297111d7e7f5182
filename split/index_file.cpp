// SPDX-License-Identifier: GPL-2.0-or-later
#include "split/index_file.h"

#include <cstdlib>

#include "core/commodore_names.h"
#include "core/ports/messages.h"
#include "core/safe_file.h"
#include "core/utilities.h"
#include "split/program_groups.h"

namespace rw {

namespace {

std::string JoinFolder(const std::string& folder, const std::string& name) {
  return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::string LowerCaseText(const std::string& text) {
  std::string result = text;
  for (char& c : result) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return result;
}

std::string TwoDigits(size_t n) { return n < 10 ? "0" + std::to_string(n) : std::to_string(n); }

}  // namespace

std::string IndexFilePath(const std::string& outputDir, const std::string& loadedPath) {
  std::string base = LowerCaseText(FileNameOf(loadedPath));
  if (base.size() >= 4 && base.compare(base.size() - 4, 4, ".tap") == 0) base.resize(base.size() - 4);
  return JoinFolder(outputDir, base + ".idx");
}

std::string IndexFileText(const std::vector<IndexEntry>& entries, IndexFormat format) {
  std::string text;
  size_t n = 1;
  for (const auto& entry : entries) {
    std::string line;
    if (format == IndexFormat::Marquise) {
      line = UpperCaseText(TwoDigits(n++) + "-" + entry.program) + "," + UpperCaseText(entry.start) + "," +
             UpperCaseText(entry.end);
    } else {
      std::string name;
      for (const char c : entry.program) {
        if (c != ';') name += c;
      }
      const unsigned long start = std::strtoul(entry.start.c_str(), nullptr, 16);
      line = "0x" + HexDigits(start) + " " + name;
    }
    text += Utf8ToLatin1(line) + "\r\n";
  }
  return text;
}

Outcome WriteIndexFile(const std::string& outputDir, const std::string& loadedPath,
                       const std::vector<IndexEntry>& entries, IndexFormat format, Messages& messages) {
  const std::string path = IndexFilePath(outputDir, loadedPath);
  const std::string text = IndexFileText(entries, format);
  std::string error;
  if (!WriteWholeFile(path, text.data(), text.size(), true, error)) return FileCreationFailure(path, error);
  messages.Info("INFO", "Index File " + path + " successfully created !");
  return Outcome::Success();
}

}  // namespace rw
