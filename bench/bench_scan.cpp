// SPDX-License-Identifier: GPL-2.0-or-later
// The catalogue of a tape collection: composes a collection of tapes of mixed
// machines and versions in a scratch folder, scans it with reelwright-cli
// scan on one worker and on every core, and prints tapes and MB per second,
// the speed-up and the scan's peak memory, beside the rate at which `list`
// reads the same tapes one after another in one process (its work without
// the program's start). The scratch folder is removed at the end.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "core/ports/messages.h"
#include "core/ports/remembered_paths.h"
#include "split/program_list.h"
#include "support/tape_composer.h"

namespace {

namespace fs = std::filesystem;

double CpuSeconds(const rusage& usage) {
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double OwnCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return CpuSeconds(usage);
}

struct ScanRun {
  double seconds = 0;
  double cpuSeconds = 0;  // user and system time of all its threads
  long peakKb = 0;
  int exitCode = -1;
};

// A scan in a child process, its output thrown away (a real catalogue is
// written out, but the terminal or disk it goes to is not what is measured).
pid_t StartScan(const std::vector<std::string>& folders, unsigned jobs) {
  const std::string jobsText = std::to_string(jobs);
  std::vector<const char*> arguments{REELWRIGHT_CLI, "scan", "--json", "--jobs", jobsText.c_str()};
  for (const auto& folder : folders) arguments.push_back(folder.c_str());
  arguments.push_back(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    execv(REELWRIGHT_CLI, const_cast<char* const*>(arguments.data()));
    _exit(127);
  }
  return child;
}

ScanRun WaitForScan(pid_t child, rw::bench::Clock::time_point start) {
  ScanRun run;
  int status = 0;
  rusage usage{};
  if (child < 0 || wait4(child, &status, 0, &usage) != child) return run;
  run.seconds = rw::bench::SecondsSince(start);
  run.peakKb = usage.ru_maxrss;
  run.cpuSeconds = CpuSeconds(usage);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

ScanRun RunScan(const std::string& folder, unsigned jobs) {
  const auto start = rw::bench::Clock::now();
  return WaitForScan(StartScan({folder}, jobs), start);
}

// Two one-worker scans of the two halves of the collection side by side: the
// most that two cores of this machine give two independent processes, and
// so the fair measure of the speed-up when the cores are shared.
double SideBySideSeconds(const std::vector<std::string>& folders) {
  const auto middle = folders.begin() + static_cast<std::ptrdiff_t>(folders.size() / 2);
  const auto start = rw::bench::Clock::now();
  const pid_t first = StartScan({folders.begin(), middle}, 1);
  const pid_t second = StartScan({middle, folders.end()}, 1);
  WaitForScan(first, start);
  return WaitForScan(second, start).seconds;
}

}  // namespace

int main(int argc, char** argv) {
  // bench_scan [TAPES [MEGABYTES]]
  const int tapes = argc > 1 ? std::atoi(argv[1]) : 2000;
  const double megabytes = argc > 2 ? std::atof(argv[2]) : 1024;
  if (tapes < 1 || megabytes <= 0) {
    std::fprintf(stderr, "usage: bench_scan [TAPES [MEGABYTES]]\n");
    return 2;
  }
  const auto tapeBytes = static_cast<int64_t>(megabytes * 1024 * 1024 / tapes);

  std::error_code error;
  const fs::path base = fs::temp_directory_path(error);
  std::string pattern = (error ? fs::path("/tmp") : base).string() + "/rw-bench-scan-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    std::perror("scratch folder");
    return 1;
  }
  const std::string folder = pattern;

  // The collection: a hundred tapes to a folder, machine and version taking
  // turns, every 40th tape with a damaged header, a few programs each.
  const auto composeStart = rw::bench::Clock::now();
  std::vector<std::string> paths;
  std::vector<std::string> sets;
  int64_t totalBytes = 0;
  size_t largestTape = 0;
  uint32_t seed = 1;
  for (int t = 0; t < tapes; ++t) {
    const auto machine = static_cast<uint8_t>(t % 3);
    const auto version = static_cast<uint8_t>(t / 3 % 3);
    rw::test::TapeComposer composer(machine, version, static_cast<uint8_t>(t / 9 % 2), seed);
    composer.SetJitter(2);
    composer.Reserve(static_cast<size_t>(tapeBytes) + 256 * 1024);
    int programs = 0;
    int64_t lastProgram = 0;
    // Stop near the size asked for rather than a whole program beyond it.
    while (programs == 0 || composer.size() + lastProgram / 2 < tapeBytes) {
      const int64_t before = composer.size();
      rw::test::ComposedProgram program;
      program.name = "GAME " + std::to_string(t) + "." + std::to_string(programs);
      program.data = rw::test::ProgramData(512 + (seed * 2654435761u) % 4000, seed);
      program.silenceBefore = 100000;
      program.wrongChecksum = t % 40 == 39 && programs == 0;
      composer.AddProgram(program);
      lastProgram = composer.size() - before;
      ++programs;
      ++seed;
    }
    const fs::path sub = fs::path(folder) / ("set" + std::to_string(t / 100));
    if (t % 100 == 0) sets.push_back(sub.string());
    fs::create_directories(sub, error);
    const std::string path = (sub / ("tape" + std::to_string(t) + ".tap")).string();
    const auto bytes = composer.TakeFileBytes();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    const bool written = file != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (file == nullptr || std::fclose(file) != 0 || !written) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      fs::remove_all(folder, error);
      return 1;
    }
    totalBytes += static_cast<int64_t>(bytes.size());
    largestTape = std::max(largestTape, bytes.size());
    paths.push_back(path);
  }
  const double collectionMb = static_cast<double>(totalBytes) / (1024.0 * 1024.0);
  std::printf("collection: %d tapes, %.1f MB in %s (composed in %.1f s)\n", tapes, collectionMb, folder.c_str(),
              rw::bench::SecondsSince(composeStart));

  // What `list` does for one file, file after file on one core.
  rw::MemoryPaths remembered;
  double listSeconds = 1e30;
  double listCpuSeconds = 1e30;
  for (int round = 0; round < 2; ++round) {
    const auto start = rw::bench::Clock::now();
    const double cpuStart = OwnCpuSeconds();
    size_t rows = 0;
    for (const auto& path : paths) {
      rw::RecordedMessages messages;
      rw::NoStorageSync unsynced;  // nothing is written
      rw::ProgramList list(remembered, unsynced, ".");
      if (list.LoadAndParse(path)) rows += list.rows().size();
    }
    listSeconds = std::min(listSeconds, rw::bench::SecondsSince(start));
    listCpuSeconds = std::min(listCpuSeconds, OwnCpuSeconds() - cpuStart);
    if (rows == 0) std::fprintf(stderr, "list found no programs\n");
  }
  const double listMbPerSecond = collectionMb / listSeconds;
  // On a shared machine the wall clock also counts other programs' turns;
  // the processor time is this work's own.
  std::printf("list, one file after another: %.0f tapes/s, %.0f MB/s per core (%.0f MB/s of cpu time)\n",
              tapes / listSeconds, listMbPerSecond, collectionMb / listCpuSeconds);

  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  std::vector<unsigned> jobCounts{1};
  if (cores > 1) jobCounts.push_back(cores);
  double oneJob = 0;
  bool ok = true;
  for (const unsigned jobs : jobCounts) {
    // Best of three: the machine may be shared, and the first round may still
    // meet a cold cache.
    ScanRun best;
    best.seconds = 1e30;
    for (int round = 0; round < 3; ++round) {
      const ScanRun run = RunScan(folder, jobs);
      if (run.exitCode != 1) {  // the damaged headers make the scan end with 1
        std::fprintf(stderr, "scan --jobs %u ended with %d\n", jobs, run.exitCode);
        ok = false;
      }
      if (run.seconds < best.seconds) best = run;
    }
    const double mbPerSecond = collectionMb / best.seconds;
    if (jobs == 1) oneJob = best.seconds;
    std::printf("scan --jobs %u: %.2f s, %.0f tapes/s, %.0f MB/s", jobs, best.seconds, tapes / best.seconds,
                mbPerSecond);
    if (jobs == 1) {
      std::printf(", %.0f%% of the list rate (target >= 80%%; by cpu time %.0f%%)",
                  100.0 * mbPerSecond / listMbPerSecond, 100.0 * listCpuSeconds / best.cpuSeconds);
    } else {
      std::printf(", speed-up %.2fx (target >= 1.7x on two cores)", oneJob / best.seconds);
    }
    std::printf(", cpu %.2f s, peak memory %.1f MB\n", best.cpuSeconds, static_cast<double>(best.peakKb) / 1024.0);
    if (jobs == 2 && sets.size() > 1) {
      double sideBySide = 1e30;
      for (int round = 0; round < 3; ++round) sideBySide = std::min(sideBySide, SideBySideSeconds(sets));
      std::printf("  two --jobs 1 scans of the halves side by side: %.2f s, speed-up %.2fx (what the cores give)\n",
                  sideBySide, oneJob / sideBySide);
    }
  }
  std::printf("largest tape %.2f MB\n", static_cast<double>(largestTape) / (1024.0 * 1024.0));

  fs::remove_all(folder, error);
  if (error) std::fprintf(stderr, "could not remove %s: %s\n", folder.c_str(), error.message().c_str());
  return ok ? 0 : 1;
}
