// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Writing a file so that a failure or an interruption never leaves a
// half-written file under its final name: the bytes go to a temporary file in
// the same folder, which takes the final name only when complete, in one
// rename. Until then an existing file of that name is untouched; a writer
// dropped without Commit removes its temporary file.
//
// The temporary file is registered as partial (core/partial_files.h) before
// it is created and until it has its final name, so an interrupted run
// (SIGINT, SIGTERM, SIGHUP) removes it. A run that is killed outright
// (SIGKILL, a crash, a power cut) cannot: its leftovers carry a name of
// their own,
//
//   .NAME.XXXXXXXXXXXXXXXX.rwpart
//
// (a dot, the final name, or its beginning when it is long, a dot, sixteen
// hexadecimal digits and ".rwpart"; at most 255 bytes whatever NAME is), and
// the next writer into that folder removes those that are older than an hour
// and not in use: a writer holds an advisory lock (flock) on its temporary
// file for as long as it writes.
//
// Commit also puts the data on the storage device before the file takes its
// name, and the folder's entry after, through the StorageSync the writer was
// given: a success message may follow at once.

#include <cstdint>
#include <cstdio>
#include <string>

#include "core/partial_files.h"
#include "core/ports/storage_sync.h"

namespace rw {

// One sync of everything written into `folder`, for callers that write many
// files with deferred syncs (see SafeFileWriter::DeferSync).
[[nodiscard]] bool SyncFolderContents(StorageSync& storageSync, const std::string& folder, std::string& error);

// Who syncs a run of files written into one folder: the function that writes
// them, once after the last, or its caller, who writes more files and then
// calls SyncFolderContents once before it reports any of them as written.
enum class FolderSync { AtEnd, ByCaller };

// The longest file name the file systems take (NAME_MAX).
inline constexpr size_t kMaxFileNameBytes = 255;
// A leftover temporary file older than this, and not locked, is removed.
inline constexpr int64_t kLeftoverAgeSeconds = 3600;

// The temporary name for the final name `finalName` (a name, not a path)
// with `suffix` (16 hexadecimal digits) as in the pattern above.
std::string TemporaryFileName(const std::string& finalName, const std::string& suffix);
// True when `name` has the pattern above.
bool IsTemporaryFileName(const std::string& name);
// Removes the leftovers in `folder` that are older than `minimumAgeSeconds`
// and that no writer holds; returns how many. Errors are ignored: a leftover
// that cannot be removed stays.
int RemoveLeftoverTemporaryFiles(const std::string& folder, int64_t minimumAgeSeconds = kLeftoverAgeSeconds);

// A series of names for a file that must never replace another: "stem.ext"
// in `folder`, then "stem(1).ext", "stem(2).ext", ...
struct NumberedName {
  std::string folder;
  std::string stem;
  std::string extension;
  // The highest number tried; 0 for none. Past it the writer fails with "no
  // free name, stem(1).ext to stem(N).ext all exist" (and only then: a name
  // that cannot be written for another reason is reported with that reason).
  uint64_t limit = 0;
  // Candidate 0 is "folder/stem.ext", candidate n "folder/stem(n).ext".
  std::string Candidate(uint64_t n) const;
};

class SafeFileWriter {
 public:
  // Commit syncs through `storageSync` (unless DeferSync).
  explicit SafeFileWriter(StorageSync& storageSync) : storageSync_(storageSync) {}
  ~SafeFileWriter();
  SafeFileWriter(const SafeFileWriter&) = delete;
  SafeFileWriter& operator=(const SafeFileWriter&) = delete;

  // Creates the temporary file beside `path`. On failure `error` holds the
  // system's description (for example "No such file or directory").
  [[nodiscard]] bool Open(const std::string& path, std::string& error);
  // For a file that never replaces another and whose bytes all come through
  // Write: where the file system allows (O_TMPFILE), it has no name at all
  // until Commit or CommitUnderFreeName gives it its final one, in one step
  // that fails when the name is taken. Nothing is then left behind even by a
  // run killed outright, and a file costs fewer system calls and changes to
  // its folder: for a run of many thousand small files, most of its time.
  // Elsewhere (FAT, network file systems) as Open. Commit never replaces a
  // file, whatever its `replace`.
  [[nodiscard]] bool OpenUnnamed(const std::string& path, std::string& error);
  [[nodiscard]] bool Write(const void* data, size_t size, std::string& error);
  // The permissions the file is to have (st_mode & 07777), set on the
  // temporary file before it takes its name; by default the system's for a
  // new file (0666 less the umask).
  void SetPermissions(unsigned mode) { permissions_ = static_cast<int>(mode); }
  // Commit leaves the syncing to the caller, who writes many files and then
  // calls SyncFolderContents once before reporting success.
  void DeferSync() { deferSync_ = true; }
  // Flushes and gives the file its final name. With `replace` false an
  // existing file of that name is never replaced: Commit fails with "File
  // exists" instead. With `replace` true a regular file or a symbolic link
  // (the link itself) is replaced; a named pipe, a device or a folder never
  // is (Commit fails with the reason).
  [[nodiscard]] bool Commit(bool replace, std::string& error);
  // Flushes and gives the file the first free name of `names`, whose folder
  // is the one given to Open; a name that another writer takes at the same
  // moment is passed over ("File exists" is never the answer). `chosen` is
  // the path it got. On failure `error` says why (the system's reason for
  // the name it tried, "File name too long" for instance), and `chosen` is
  // that name.
  [[nodiscard]] bool CommitUnderFreeName(const NumberedName& names, std::string& chosen, std::string& error);
  // Removes the temporary file; the final name is left as it was.
  void Discard();

  const std::string& temporaryPath() const { return temporaryPath_; }

 private:
  // Flush, sync and close; false (with the file discarded) on failure.
  [[nodiscard]] bool Finish(std::string& error);
  // Flush and sync, the file left open; false (with the file discarded) on failure.
  [[nodiscard]] bool Flush(std::string& error);
  // Gives the unnamed file the name `path`, only if it is free; 0 or the
  // system's error (EEXIST when the name is taken).
  int LinkUnnamed(const std::string& path);
  // Closes the unnamed file that has just taken the name `path`; on failure
  // the name is removed again and the file discarded.
  [[nodiscard]] bool CloseLinked(const std::string& path, std::string& error);

  StorageSync& storageSync_;
  std::string path_;
  std::string temporaryPath_;
  std::FILE* file_ = nullptr;
  bool neverReplace_ = false;  // opened with OpenUnnamed
  bool deferSync_ = false;
  bool unnamed_ = false;  // opened with O_TMPFILE: no name until it is linked
  int permissions_ = -1;
  PartialFileGuard partial_;  // removed by an interruption until the file has its name
};

// The whole of `data` as the file `path`, written safely as above.
[[nodiscard]] bool WriteWholeFile(StorageSync& storageSync, const std::string& path, const void* data, size_t size,
                                  bool replace, std::string& error);
// The whole of `data` as `path`, a temporary file (core/utilities.h) that
// another program reads at once and that is removed after: whole or not at
// all as above, but never synced, since nothing of it outlives the run.
[[nodiscard]] bool WriteTemporaryFile(const std::string& path, const void* data, size_t size, std::string& error);

}  // namespace rw
