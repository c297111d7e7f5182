#pragma once
// Writing a file so that a failure never leaves a half-written file in its
// place: the bytes go to a temporary file in the same folder, which takes the
// final name only when complete. Until then an existing file of that name is
// untouched; a writer dropped without Commit removes its temporary file.
//
// Commit also puts the data on the storage device before the file takes its
// name, and the folder's entry after, through the StorageSync the program
// installed with SetStorageSync: a success message may follow at once.
// Until Commit has succeeded the file is registered as partial
// (core/partial_files.h), so an interrupted run removes it.

#include <cstdint>
#include <cstdio>
#include <string>

#include "core/partial_files.h"
#include "platform/storage_sync.h"

namespace rw {

// The process's way of syncing (nullptr: none, the default). Set once at
// start, before any file is written.
void SetStorageSync(StorageSync* sync);
StorageSync* InstalledStorageSync();

// Syncs a file written by someone else (an external tool) and its folder
// entry; true at once without an installed StorageSync.
bool SyncWrittenFile(const std::string& path, std::string& error);
// One sync of everything written into `folder`, for callers that write many
// files with deferred syncs (see SafeFileWriter::DeferSync).
bool SyncFolderContents(const std::string& folder, std::string& error);

class SafeFileWriter {
 public:
  SafeFileWriter() = default;
  ~SafeFileWriter();
  SafeFileWriter(const SafeFileWriter&) = delete;
  SafeFileWriter& operator=(const SafeFileWriter&) = delete;

  // Creates the temporary file beside `path`. On failure `error` holds the
  // system's description (for example "No such file or directory").
  bool Open(const std::string& path, std::string& error);
  // For a file that must not exist yet: creates it under its final name at
  // once ("File exists" when taken). Cheaper than Open for many small files,
  // and as safe: the name held nothing, and Discard (or a failed Commit)
  // removes the incomplete file again.
  bool OpenNew(const std::string& path, std::string& error);
  bool Write(const void* data, size_t size, std::string& error);
  // Commit leaves the syncing to the caller, who writes many files and then
  // calls SyncFolderContents once before reporting success.
  void DeferSync() { deferSync_ = true; }
  // Flushes and gives the file its final name. With `replace` false an
  // existing file of that name is never replaced: Commit fails with "File
  // exists" instead.
  bool Commit(bool replace, std::string& error);
  // Removes the temporary file; the final name is left as it was.
  void Discard();

  const std::string& temporaryPath() const { return temporaryPath_; }

 private:
  std::string path_;
  std::string temporaryPath_;
  std::FILE* file_ = nullptr;
  bool direct_ = false;  // opened with OpenNew: temporaryPath_ is the final name
  bool deferSync_ = false;
  PartialFileGuard partial_;  // removed by an interruption until Commit ends
};

// The whole of `data` as the file `path`, written safely as above.
bool WriteWholeFile(const std::string& path, const void* data, size_t size, bool replace, std::string& error);

}  // namespace rw
