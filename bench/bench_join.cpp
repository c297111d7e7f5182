// SPDX-License-Identifier: GPL-2.0-or-later
// Joining many large tape images with pauses between them: the time against
// `cat` of the same files, and the peak memory against the largest input.
//
//   bench_join [COUNT [BYTES]]     defaults: 200 images of 524,288 bytes

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "core/safe_file.h"
#include "core/tap_image.h"
#include "join/compilation.h"
#include "join/join_operation.h"
#include "platform/posix_storage_sync.h"

namespace {
namespace fs = std::filesystem;
using rw::bench::Clock;
using rw::bench::MaxRssKb;
using rw::bench::SecondsSince;

// A figure of /proc/self/status in KB: "VmRSS:" now, "VmHWM:" the peak.
long StatusKb(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string key;
  long value = -1;
  while (status >> key) {
    if (key == field) {
      status >> value;
      break;
    }
  }
  return value;
}

// A C64 PAL version-1 image of `size` bytes with plausible pulse lengths,
// written through a small buffer so that making the inputs does not raise the
// peak memory measured later.
void WriteImage(const std::string& path, size_t size, std::mt19937& random) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  const auto header = rw::MakeTapHeader("C64-TAPE-RAW", 1, 0, 0, static_cast<uint32_t>(size - rw::kTapHeaderSize));
  out.write(reinterpret_cast<const char*>(header.data()), header.size());
  std::vector<char> chunk(64 * 1024);
  std::uniform_int_distribution<int> pulse(0x20, 0x60);
  for (size_t left = size - rw::kTapHeaderSize; left > 0;) {
    const size_t n = std::min(left, chunk.size());
    for (size_t i = 0; i < n; ++i) chunk[i] = static_cast<char>(pulse(random));
    out.write(chunk.data(), static_cast<std::streamsize>(n));
    left -= n;
  }
}

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 200;
  const size_t size = argc > 2 ? static_cast<size_t>(std::atoll(argv[2])) : 512 * 1024;
  if (count < 2 || size <= static_cast<size_t>(rw::kTapHeaderSize)) {
    std::fprintf(stderr, "usage: bench_join [COUNT>=2 [BYTES>20]]\n");
    return 2;
  }
  const fs::path folder = fs::temp_directory_path() / ("rw-bench-join-" + std::to_string(getpid()));
  fs::create_directories(folder);
  std::mt19937 random(1);
  std::vector<std::string> inputs;
  std::string catCommand = "cat";
  for (int i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "in%03d.tap", i);
    inputs.push_back((folder / name).string());
    WriteImage(inputs.back(), size, random);
    catCommand += " " + Quoted(inputs.back());
  }
  const std::string catOutput = (folder / "cat.out").string();
  catCommand += " > " + Quoted(catOutput);
  const std::string joined = (folder / "joined.tap").string();

  rw::Compilation compilation(".");
  const long rssBeforeAdd = MaxRssKb();
  auto start = Clock::now();
  for (int i = 0; i < count; ++i) {
    if (!compilation.AddTapFile(inputs[static_cast<size_t>(i)])) return 1;
    if (i + 1 < count && !compilation.AddPauseRow("2s")) return 1;
  }
  const double addSeconds = SecondsSince(start);
  const long rssAfterAdd = MaxRssKb();

  // Warm the page cache for both contenders, then take the best of five.
  if (std::system(catCommand.c_str()) != 0) return 1;
  double catBest = 1e9, joinBest = 1e9, syncedJoinBest = 1e9;
  rw::PosixStorageSync storageSync;
  for (int round = 0; round < 5; ++round) {
    start = Clock::now();
    if (std::system(catCommand.c_str()) != 0) return 1;
    catBest = std::min(catBest, SecondsSince(start));
    start = Clock::now();
    if (!rw::JoinToTapFile(compilation, joined, true)) return 1;
    joinBest = std::min(joinBest, SecondsSince(start));
    // The same with the sync before the success message (cat does not sync).
    ::sync();
    rw::SetStorageSync(&storageSync);
    start = Clock::now();
    const bool synced = rw::JoinToTapFile(compilation, joined, true).ok();
    syncedJoinBest = std::min(syncedJoinBest, SecondsSince(start));
    rw::SetStorageSync(nullptr);
    if (!synced) return 1;
  }

  // The join alone: reset the peak to the present size (Linux "clear_refs"),
  // so that the peak that follows (VmHWM) is the join's own.
  long joinGrowthKb = -1;
  const long rssNow = StatusKb("VmRSS:");
  if (std::FILE* reset = std::fopen("/proc/self/clear_refs", "w")) {
    const bool cleared = std::fputs("5", reset) >= 0;
    if (std::fclose(reset) == 0 && cleared && rw::JoinToTapFile(compilation, joined, true)) {
      joinGrowthKb = StatusKb("VmHWM:") - rssNow;
    }
  }

  std::printf("join of %d images of %zu bytes with %d pauses: %.1f MB written\n", count, size, count - 1,
              static_cast<double>(fs::file_size(joined)) / 1048576.0);
  std::printf("adding (loads and times each image):  %.3f s\n", addSeconds);
  std::printf("join, best of 5:                      %.3f s\n", joinBest);
  std::printf("cat of the same files, best of 5:     %.3f s\n", catBest);
  std::printf("join synced to the device, best of 5:  %.3f s\n", syncedJoinBest);
  std::printf("ratio join / cat:                     %.2fx without sync (target <= 1.5x), %.2fx with sync\n",
              joinBest / catBest, syncedJoinBest / catBest);
  std::printf("largest input:                        %zu KB\n", size / 1024);
  std::printf("peak RSS growth while adding:         %ld KB\n", rssAfterAdd - rssBeforeAdd);
  std::printf("peak RSS growth of the join alone:    %ld KB (-1: not measurable here)\n", joinGrowthKb);
  std::printf("peak RSS of the whole run:            %ld KB (at start of adding: %ld KB)\n", MaxRssKb(), rssBeforeAdd);

  std::error_code ignored;
  fs::remove_all(folder, ignored);
  return 0;
}
