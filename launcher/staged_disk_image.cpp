// SPDX-License-Identifier: GPL-2.0-or-later
#include "launcher/staged_disk_image.h"

#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "launcher/launcher_text.h"

namespace rw {
namespace {

namespace fs = std::filesystem;

// Enough of a tool's output to show what went wrong, short enough for a
// message box.
constexpr size_t kShownLines = 5;

std::string LastLines(const std::string& output) {
  std::vector<std::string> lines;
  size_t begin = 0;
  while (begin < output.size()) {
    size_t end = output.find('\n', begin);
    if (end == std::string::npos) end = output.size();
    std::string line = output.substr(begin, end - begin);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
    if (!line.empty()) lines.push_back(line);
    begin = end + 1;
  }
  std::string text;
  for (size_t i = lines.size() > kShownLines ? lines.size() - kShownLines : 0; i < lines.size(); ++i) {
    text += (text.empty() ? "" : "\n") + lines[i];
  }
  return text;
}

}  // namespace

std::string C1541FailureCause(const std::string& output) {
  for (const char* code : {"ERR = 72", "ERR = 67"}) {
    if (output.find(code) != std::string::npos) return "the disk is full";
  }
  return "";
}

std::string ToolFailureText(const std::string& tool, const ToolResult& result, const std::string& missing) {
  std::string text;
  if (!result.started) {
    text = tool + " could not be run" + (result.error.empty() ? "" : ": " + result.error);
  } else if (!result.finished) {
    text = tool + " " + (result.error.empty() ? "ended abnormally" : result.error);
  } else if (result.exitStatus != 0) {
    text = tool + " ended with exit status " + std::to_string(result.exitStatus);
    const std::string cause = tool == "c1541" ? C1541FailureCause(result.output) : "";
    if (!cause.empty()) text += " (" + cause + ")";
  } else {
    text = tool + " ended without making its " + (missing.empty() ? "output" : missing);
  }
  const std::string lines = LastLines(result.output);
  return lines.empty() ? text : text + ":\n" + lines;
}

bool NameTaken(const std::string& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(fs::u8path(path), error));
}

std::string WithoutC1541Narration(const std::string& output) {
  std::string kept;
  size_t begin = 0;
  while (begin < output.size()) {
    size_t end = output.find('\n', begin);
    if (end == std::string::npos) end = output.size();
    const std::string line = output.substr(begin, end - begin);
    begin = end + 1;
    if (line.find("disk image attached") == std::string::npos &&
        line.find("disk image detached") == std::string::npos &&
        line.find("disk image recognised") == std::string::npos) {
      kept += line + "\n";
    }
  }
  return kept;
}

StagedDiskImage::StagedDiskImage(ToolRunner& tools, std::string c1541, StorageSync& storageSync)
    : tools_(tools), c1541_(std::move(c1541)), file_(storageSync) {}

bool StagedDiskImage::Format(const std::string& finalPath, const std::string& header, const std::string& imageType,
                             std::string& failure) {
  // The temporary file is created here, exclusively, so that c1541 formats
  // a file of this program's own and never one that was already there.
  Discard();
  finalPath_ = finalPath;
  if (!file_.Open(finalPath, failure)) return false;
  const std::string disk = file_.temporaryPath();
  const ToolResult formatted = tools_.Run(c1541_, FormatDiskArguments(disk, header, imageType));
  std::error_code error;
  const auto size = fs::file_size(fs::u8path(disk), error);
  if (!formatted.Succeeded() || error || size == 0) {
    failure = Failure(formatted, "disk image");
    Discard();
    return false;
  }
  return true;
}

bool StagedDiskImage::Write(const std::string& filePath, const std::string& entryName, std::string& failure) {
  const std::string& disk = file_.temporaryPath();
  if (disk.empty()) {
    failure = "no disk image was formatted";
    return false;
  }
  const ToolResult written = tools_.Run(c1541_, WriteFileArguments(disk, filePath, entryName));
  if (!written.Succeeded()) {
    failure = Failure(written, {});
    return false;
  }
  return true;
}

std::string StagedDiskImage::Failure(ToolResult result, const std::string& missing) const {
  // The user knows the disk by its final name, not by the temporary one.
  const std::string text = WithoutC1541Narration(result.output);
  const std::string& temporary = temporaryPath();
  result.output.clear();
  size_t from = 0;
  for (size_t at = temporary.empty() ? std::string::npos : text.find(temporary); at != std::string::npos;
       at = text.find(temporary, from)) {
    result.output.append(text, from, at - from).append(finalPath_);
    from = at + temporary.size();
  }
  result.output.append(text, from, std::string::npos);
  return ToolFailureText("c1541", result, missing);
}

bool StagedDiskImage::Commit(bool replace, std::string& failure) { return file_.Commit(replace, failure); }

}  // namespace rw
