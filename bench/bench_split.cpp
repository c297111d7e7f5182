// SPDX-License-Identifier: GPL-2.0-or-later
// Splitting a large tape image into one file per program and writing its
// index file: the time against `cp` of the same image, and the peak memory
// against the image's size.
//
//   bench_split [PROGRAMS [DATA_BYTES]]   defaults: 1,000 programs of 2,000 data bytes (about 110 MB)

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "core/ports/messages.h"
#include "core/ports/remembered_paths.h"
#include "core/safe_file.h"
#include "platform/posix_storage_sync.h"
#include "split/program_data.h"
#include "split/program_list.h"
#include "support/tape_composer.h"

namespace {
namespace fs = std::filesystem;
using rw::bench::Clock;
using rw::bench::MaxRssKb;
using rw::bench::SecondsSince;

// The platform's sync while `durable` is set, none otherwise: one loaded
// list is split both ways.
struct SwitchedSync : rw::StorageSync {
  bool SyncFile(std::FILE* file, std::string& error) override { return !durable || posix.SyncFile(file, error); }
  bool SyncFolder(const std::string& folder, std::string& error) override {
    return !durable || posix.SyncFolder(folder, error);
  }
  bool SyncAllIn(const std::string& folder, std::string& error) override {
    return !durable || posix.SyncAllIn(folder, error);
  }
  rw::PosixStorageSync posix;
  bool durable = false;
};

}  // namespace

int main(int argc, char** argv) {
  const int programs = argc > 1 ? std::atoi(argv[1]) : 1000;
  const size_t dataBytes = argc > 2 ? static_cast<size_t>(std::atol(argv[2])) : 2000;
  const fs::path folder = fs::temp_directory_path() / ("rw-bench-split-" + std::to_string(::getpid()));
  fs::create_directories(folder / "out");
  const std::string image = (folder / "big.tap").string();
  // Composed in a child process, so that the composer's copy of the image
  // does not count in the peak memory measured here.
  const pid_t child = fork();
  if (child == 0) {
    rw::test::TapeComposer composer(0, 1, 0, 7);
    composer.SetJitter(2);
    composer.Reserve(static_cast<size_t>(programs) * (dataBytes * 20 + 45000));
    for (int i = 0; i < programs; ++i) {
      rw::test::ComposedProgram program;
      program.name = "PROGRAM " + std::to_string(i);
      program.data = rw::test::ProgramData(dataBytes, static_cast<uint32_t>(i + 1));
      composer.AddProgram(program);
      composer.AddSilence(200000);
    }
    const auto bytes = composer.TakeFileBytes();
    std::FILE* out = std::fopen(image.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
    std::_Exit(0);
  }
  int childStatus = 0;
  waitpid(child, &childStatus, 0);
  const double megabytes = static_cast<double>(fs::file_size(image)) / 1e6;
  const long rssBefore = MaxRssKb();

  rw::MemoryPaths paths;
  rw::RecordedMessages messages;
  SwitchedSync storageSync;
  rw::ProgramList list(paths, storageSync, ".");
  const auto start = Clock::now();
  if (!list.LoadAndParse(image)) return 1;
  const double loadSeconds = SecondsSince(start);
  list.outputDir = (folder / "out").string();
  list.SelectAll();

  // Best of three rounds of each, on empty output folders: writing 100 MB
  // of new files meets the kernel's write-back at varying moments.
  const auto& bytes = list.image().bytes;
  std::vector<std::string> written;
  bool split = true;
  bool index = true;
  double splitSeconds = 1e9;
  double syncedSplitSeconds = 1e9;
  double plainSeconds = 1e9;
  double cpSeconds = 1e9;
  double extractSeconds = 1e9;
  bool extracted = true;
  std::vector<int> allRows;
  for (int row = 1; row <= list.RowCount(); ++row) allRows.push_back(row);
  int copied = 0;
  for (int round = 0; round < 3; ++round) {
    for (const char* name : {"out", "plain", "prg"}) {
      fs::remove_all(folder / name);
      fs::create_directories(folder / name);
    }
    fs::remove(folder / "copy.tap");
    ::sync();

    // Without and with the sync that puts the files on the device before
    // the success message (cp does not sync).
    for (const bool durable : {false, true}) {
      fs::remove_all(folder / "out");
      fs::create_directories(folder / "out");
      ::sync();
      storageSync.durable = durable;
      const auto begin = Clock::now();
      written.clear();
      split = list.Split(messages, &written) && split;
      index = list.WriteIndex(rw::IndexFormat::Marquise, messages) && index;
      double& best = durable ? syncedSplitSeconds : splitSeconds;
      best = std::min(best, SecondsSince(begin));
      storageSync.durable = false;
      ::sync();
    }

    auto start = Clock::now();
    // The floor the file system sets: the same byte ranges written to as
    // many new files with nothing but fopen, fwrite and fclose.
    start = Clock::now();
    int fileNumber = 0;
    for (const auto& group : list.Groups()) {
      const long first = std::strtol(list.rows()[static_cast<size_t>(group.firstRow - 1)].start.c_str(), nullptr, 16);
      const long last = std::strtol(list.rows()[static_cast<size_t>(group.lastRow - 1)].end.c_str(), nullptr, 16);
      const std::string path = (folder / "plain" / (std::to_string(++fileNumber) + ".tap")).string();
      std::FILE* out = std::fopen(path.c_str(), "wbx");
      std::fwrite(bytes.data(), 1, 20, out);
      std::fwrite(bytes.data() + first, 1, static_cast<size_t>(last - first + 1), out);
      std::fclose(out);
    }
    plainSeconds = std::min(plainSeconds, SecondsSince(start));
    ::sync();

    // Every program as a ".prg" file: both data copies read, mended and checked.
    start = Clock::now();
    const rw::ExtractReport report = rw::ExtractPrograms(list, allRows, (folder / "prg").string(), false, storageSync);
    extracted = report.allWhole && static_cast<int>(report.programs.size()) == list.RowCount() && extracted;
    extractSeconds = std::min(extractSeconds, SecondsSince(start));
    ::sync();

    start = Clock::now();
    const std::string copy = "cp '" + image + "' '" + (folder / "copy.tap").string() + "'";
    copied |= std::system(copy.c_str());
    cpSeconds = std::min(cpSeconds, SecondsSince(start));
  }

  std::printf("image: %.1f MB, %d programs found, %zu files written%s%s\n", megabytes, list.RowCount(), written.size(),
              split ? "" : " (split FAILED)", index ? "" : " (index FAILED)");
  std::printf("load and parse: %.3f s (%.0f MB/s)\n", loadSeconds, megabytes / loadSeconds);
  std::printf("split + index, best of 3: %.3f s (%.0f MB/s)\n", splitSeconds, megabytes / splitSeconds);
  std::printf("split + index synced to the device, best of 3: %.3f s (%.0f MB/s)\n", syncedSplitSeconds,
              megabytes / syncedSplitSeconds);
  std::printf("extract of every program, best of 3: %.3f s%s; ratio extract / split+index: %.2fx (target at most 1x)\n",
              extractSeconds, extracted ? "" : " (extract FAILED)", extractSeconds / splitSeconds);
  std::printf("cp of the image, best of 3: %.3f s%s\n", cpSeconds, copied == 0 ? "" : " (cp FAILED)");
  std::printf("plain fopen/fwrite/fclose of the same files, best of 3: %.3f s\n", plainSeconds);
  std::printf("ratio split+index / cp: %.2fx without sync (target at most 2x), %.2fx with sync\n",
              splitSeconds / cpSeconds, syncedSplitSeconds / cpSeconds);
  std::printf("ratio split+index / plain writes of the same files: %.2fx\n", splitSeconds / plainSeconds);
  std::printf("peak memory: %.1f MB (image %.1f MB; %.1f MB before loading)\n", static_cast<double>(MaxRssKb()) / 1024,
              megabytes, static_cast<double>(rssBefore) / 1024);
  fs::remove_all(folder);
  return split && index ? 0 : 1;
}
