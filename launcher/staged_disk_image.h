// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A disk image made by VICE's c1541 without ever putting a good file at risk.
// The image is formatted under a temporary name in the folder of its final
// name and filled there; only a complete image takes the final name, in one
// rename. Until then a disk image already at that name stays as it was, and
// an image dropped before Commit (a failure, a cancel, an exception) is
// removed again. A symbolic link at the final name is replaced as a link: the
// file it points to is never written.
//
// Use: Format, then Write each entry (or run other c1541 commands on
// temporaryPath() through the same ToolRunner), then Commit or Discard.

#include <string>

#include "core/ports/tool_runner.h"
#include "core/safe_file.h"

namespace rw {

// Why a tool run failed, for a message: the tool's name, how it ended (could
// not be run, stopped, exit status) and its last lines of output. For a run
// that succeeded but left no usable result, `missing` says what is missing
// ("program file").
std::string ToolFailureText(const std::string& tool, const ToolResult& result, const std::string& missing = {});

// What c1541's error channel says in `output`, in words, when it is a
// cause a user can act on: "the disk is full" for 72 (DISK FULL) and for 67
// (ILLEGAL SYSTEM T OR S, which c1541 says when a file runs out of free
// sectors), else an empty text.
std::string C1541FailureCause(const std::string& output);

// c1541's output without the lines it prints on every run (the image
// attached, recognised, detached): what is left says what went wrong.
std::string WithoutC1541Narration(const std::string& output);

// True when something, even a dangling symbolic link, is at `path`: the name
// is taken, and replacing it needs the user's consent.
bool NameTaken(const std::string& path);

class StagedDiskImage {
 public:
  // `c1541` is the tool's full path (ToolRunner::FindTool); the finished
  // image is synced through `storageSync`.
  StagedDiskImage(ToolRunner& tools, std::string c1541, StorageSync& storageSync);
  ~StagedDiskImage() { Discard(); }
  StagedDiskImage(const StagedDiskImage&) = delete;
  StagedDiskImage& operator=(const StagedDiskImage&) = delete;

  // Formats a new image of `imageType` with the disk name and id `header`
  // ("launcher,id") under a fresh temporary name beside `finalPath`. On
  // failure `failure` says why (the system's error or ToolFailureText) and
  // nothing is left behind.
  bool Format(const std::string& finalPath, const std::string& header, const std::string& imageType,
              std::string& failure);
  // Copies the host file `filePath` onto the image as `entryName` (blanks
  // kept; see LauncherEntryName for the characters c1541 accepts).
  bool Write(const std::string& filePath, const std::string& entryName, std::string& failure);
  // Gives the image its final name. With `replace` false an existing file of
  // that name is never replaced (failure "File exists"); with `replace` true
  // whatever is at the name is replaced, a symbolic link as the link itself.
  // After a failed Commit the temporary image is gone.
  bool Commit(bool replace, std::string& failure);
  // Removes the temporary image; the final name is left as it was.
  void Discard() { file_.Discard(); }

  // The image being built, to run further c1541 commands on; empty when none.
  const std::string& temporaryPath() const { return file_.temporaryPath(); }

 private:
  ToolRunner& tools_;
  std::string c1541_;
  // ToolFailureText of a c1541 run on the temporary image, as the user
  // knows it: under its final name, without the notices of every run.
  std::string Failure(ToolResult result, const std::string& missing) const;

  std::string finalPath_;
  // Holds the temporary name from its creation to the rename; c1541 writes
  // the image's bytes into that file.
  SafeFileWriter file_;
};

}  // namespace rw
