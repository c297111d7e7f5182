// SPDX-License-Identifier: GPL-2.0-or-later
// The whole parse of a large composed tape image, as the split window and the
// command line run it: section search, row durations and the image's facts.
// Prints the parse rate and the process's peak memory against the image size.
//
// With "programs" as first argument it parses tapes of many small programs
// instead (each a header without data, as a compilation of many short tapes
// holds them), with and without header repeats, and prints the time per
// program: it must stay about the same from 1,000 to 100,000 programs.
//
// With "real" as first argument it joins the real tapes beside the project
// (../shared/testdata, or the folders given) into one image of about the
// size asked for and measures the same parse against reading the file: real
// pulses repeat the same value far more often than composed ones, which is
// what a duration walk with one table of counters stumbles on.
//
// With "joined FILE" as first arguments it writes that image (MEGABYTES,
// default 200) as FILE, for timing the command line on it as a user runs it.

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "core/data_block.h"
#include "core/pulse_timing.h"
#include "core/tap_image.h"
#include "split/section_parse.h"
#include "split/turbo_listing.h"
#include "support/tape_composer.h"

namespace {

// CPU time of this process: on a shared machine the fair measure of what
// reading the data adds, as it does not count time spent waiting for a core.
double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Best of several rounds: other work on the machine only ever adds time.
constexpr int kRounds = 7;

double PeakMegabytes() { return static_cast<double>(rw::bench::MaxRssKb()) / 1024.0; }

// A tape of `count` headers without data, each after a short silence.
rw::TapImage ManyProgramsImage(int count, bool repeats, uint8_t version, uint8_t machine) {
  rw::test::TapeComposer composer(machine, version, 0, 777);
  composer.SetJitter(2);
  composer.Reserve(static_cast<size_t>(count) * (repeats ? 9500 : 5400) * (version == 2 ? 2 : 1) + 1024);
  for (int i = 0; i < count; ++i) {
    rw::test::ComposedProgram program;
    program.name = "P" + std::to_string(i);
    program.leaderPulses = 1100;
    program.silenceBefore = 20000;
    program.headerRepeat = repeats;
    composer.AddProgram(program);
  }
  rw::TapImage image;
  image.bytes = composer.TakeFileBytes();
  image.signature.assign(image.bytes.begin(), image.bytes.begin() + 12);
  image.version = version;
  image.machine = machine;
  image.bytes.push_back(0);
  return image;
}

int ManyPrograms(int maxCount, uint8_t version, uint8_t machine) {
  bool allFound = true;
  for (const bool repeats : {true, false}) {
    double fastest = 1e30;
    double slowest = 0;
    for (int count = 1000; count <= maxCount; count *= 10) {
      const rw::TapImage image = ManyProgramsImage(count, repeats, version, machine);
      const float usPerCycle = rw::SelectClock(image.machine, image.video);
      // The best of two runs: the first also pays for the image's first touch.
      double seconds = 1e30;
      std::vector<rw::ProgramRow> rows;
      for (int round = 0; round < 2; ++round) {
        const auto begin = rw::bench::Clock::now();
        rows = rw::ParsePrograms(image, usPerCycle);
        seconds = std::min(seconds, rw::bench::SecondsSince(begin));
      }
      const double perProgram = seconds / count * 1e6;
      fastest = std::min(fastest, perProgram);
      slowest = std::max(slowest, perProgram);
      allFound = allFound && rows.size() == static_cast<size_t>(count);
      std::printf("%7d programs %s repeats: image %7.1f MB, parse %.3f s, %.2f us per program, %zu found\n", count,
                  repeats ? "with   " : "without", static_cast<double>(image.bytes.size()) / (1024.0 * 1024.0), seconds,
                  perProgram, rows.size());
    }
    std::printf("%s repeats: slowest / fastest time per program %.2f (target <= 2)\n", repeats ? "with" : "without",
                slowest / fastest);
  }
  std::printf("peak memory %.1f MB\n", PeakMegabytes());
  return allFound ? 0 : 1;
}

// Real tapes joined, with a pause between them, until `targetBytes`.
rw::TapImage JoinedRealTapes(const std::vector<std::string>& folders, size_t targetBytes, size_t& tapes) {
  std::vector<std::vector<uint8_t>> pulses;
  for (const std::string& folder : folders) {
    std::error_code error;
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
      if (entry.path().extension() == ".tap") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
      std::ifstream in(file, std::ios::binary);
      std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      // C64 PAL version-1 images only, so that they join as the join command would.
      if (bytes.size() > rw::kTapHeaderSize && bytes[12] == 1 && bytes[13] == 0 && bytes[14] == 0) {
        pulses.emplace_back(bytes.begin() + rw::kTapHeaderSize, bytes.end());
      }
    }
  }
  rw::TapImage image;
  tapes = 0;
  if (pulses.empty()) return image;
  const auto header = rw::MakeTapHeader("C64-TAPE-RAW", 1, 0, 0, 0);
  std::vector<uint8_t> file(header.begin(), header.end());
  file.reserve(targetBytes + 2 * 1024 * 1024);
  const std::vector<uint8_t> pause = {0, 0x40, 0x0D, 0x03};  // 200,000 cycles
  while (file.size() < targetBytes) {
    const auto& next = pulses[tapes++ % pulses.size()];
    file.insert(file.end(), next.begin(), next.end());
    file.insert(file.end(), pause.begin(), pause.end());
  }
  (void)rw::LoadTapImageFromBytes("joined.tap", std::move(file), image);
  return image;
}

// Seconds to read `path` into memory, as cat does: the baseline a listing is held against.
double ReadSeconds(const std::string& path) {
  double best = 1e30;
  std::vector<char> buffer(1 << 20);
  for (int round = 0; round < kRounds; ++round) {
    const auto begin = rw::bench::Clock::now();
    std::ifstream in(path, std::ios::binary);
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0) {
    }
    best = std::min(best, rw::bench::SecondsSince(begin));
  }
  return best;
}

int WriteJoined(const std::string& path, double targetMegabytes) {
  size_t tapes = 0;
  const rw::TapImage image = JoinedRealTapes({REELWRIGHT_TESTDATA "/real", REELWRIGHT_TESTDATA "/turbo"},
                                             static_cast<size_t>(targetMegabytes * 1024 * 1024), tapes);
  // The header's length field says how many pulse bytes follow, as a saved image's does.
  std::vector<uint8_t> bytes(image.bytes.begin(), image.bytes.begin() + image.FileLength());
  const auto length = static_cast<uint32_t>(bytes.size() - rw::kTapHeaderSize);
  for (int i = 0; i < 4 && bytes.size() > rw::kTapHeaderSize; ++i)
    bytes[16 + i] = static_cast<uint8_t>(length >> (8 * i));
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (tapes == 0 || !out) {
    std::printf("could not write %s from the real tapes\n", path.c_str());
    return 1;
  }
  std::printf("%s: %zu tapes joined, %.1f MB\n", path.c_str(), tapes,
              static_cast<double>(image.FileLength()) / (1024.0 * 1024.0));
  return 0;
}

int RealContent(double targetMegabytes, std::vector<std::string> folders) {
  if (folders.empty()) folders = {REELWRIGHT_TESTDATA "/real", REELWRIGHT_TESTDATA "/turbo"};
  size_t tapes = 0;
  const rw::TapImage image = JoinedRealTapes(folders, static_cast<size_t>(targetMegabytes * 1024 * 1024), tapes);
  if (tapes == 0) {
    std::printf("no real tapes found in the folders given\n");
    return 1;
  }
  const double megabytes = static_cast<double>(image.FileLength()) / (1024.0 * 1024.0);
  // The same bytes in a file, to time reading it back from the page cache.
  const std::string path =
      (std::filesystem::temp_directory_path() / ("bench_parse_real_" + std::to_string(getpid()) + ".tap")).string();
  {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(image.bytes.data()), image.FileLength());
  }
  const double read = ReadSeconds(path);
  std::filesystem::remove(path);
  const float usPerCycle = rw::SelectClock(image.machine, image.video);
  double parse = 1e30;
  double withData = 1e30;
  size_t programs = 0;
  size_t whole = 0;
  for (int round = 0; round < kRounds; ++round) {
    auto begin = rw::bench::Clock::now();
    const rw::ParsedTape parsed = rw::ParseTape(image, usPerCycle);
    const auto facts = rw::DescribeImage(image, parsed, ".");
    parse = std::min(parse, rw::bench::SecondsSince(begin));
    begin = rw::bench::Clock::now();
    rw::DataBlockReader reader(image);
    whole = 0;
    for (const auto& row : parsed.rows) whole += reader.Read(row.section, row.end).whole() ? 1 : 0;
    withData = std::min(withData, parse + rw::bench::SecondsSince(begin));
    programs = parsed.rows.size();
    if (round == 0) std::printf("total duration %s, size %s\n", facts.totalDuration.c_str(), facts.size.c_str());
  }
  // What list --json and list --turbo add to the parse and the data: the
  // turbo files, the coverage and the unrecognised stretches. CPU time too:
  // on a shared machine it is the figure to compare.
  double turbo = 1e30;
  double turboCpu = 1e30;
  double parseCpu = 1e30;
  size_t turboFiles = 0;
  {
    std::vector<rw::TapeSection> sections;
    std::vector<rw::DataResult> data;
    for (int round = 0; round < kRounds; ++round) {
      const double cpu = CpuSeconds();
      const rw::ParsedTape parsed = rw::ParseTape(image, usPerCycle);
      (void)rw::DescribeImage(image, parsed, ".");
      parseCpu = std::min(parseCpu, CpuSeconds() - cpu);
      if (round > 0) continue;
      rw::DataBlockReader reader(image);
      for (const auto& row : parsed.rows) {
        sections.push_back(row.section);
        data.push_back(reader.Read(row.section, row.end));
      }
    }
    for (int round = 0; round < kRounds; ++round) {
      const auto begin = rw::bench::Clock::now();
      const double cpu = CpuSeconds();
      turboFiles = rw::ListTurboFiles(image, sections, data).files.size();
      turboCpu = std::min(turboCpu, CpuSeconds() - cpu);
      turbo = std::min(turbo, rw::bench::SecondsSince(begin));
    }
  }
  std::printf("real content: %zu tapes joined, %.1f MB, %zu programs, %zu whole\n", tapes, megabytes, programs, whole);
  std::printf("read the file (cat): %.3f s, %.0f MB/s\n", read, megabytes / read);
  std::printf("parse with durations: %.3f s, %.0f MB/s, %.1f x reading the file\n", parse, megabytes / parse,
              parse / read);
  std::printf("parse with durations and data: %.3f s, %.0f MB/s, %.1f x reading the file\n", withData,
              megabytes / withData, withData / read);
  std::printf("turbo files, coverage and unrecognised stretches: %.3f s, %zu files, %.1f x the parse\n", turbo,
              turboFiles, turbo / parse);
  std::printf("CPU time, best of %d: parse %.3f s, turbo listing %.3f s (%.1f x the parse)\n", kRounds, parseCpu,
              turboCpu, turboCpu / parseCpu);
  std::printf("peak memory %.1f MB\n", PeakMegabytes());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // bench_parse programs [MAX_PROGRAMS [VERSION [MACHINE]]]
  if (argc > 1 && std::string(argv[1]) == "programs") {
    return ManyPrograms(argc > 2 ? std::atoi(argv[2]) : 100000, static_cast<uint8_t>(argc > 3 ? std::atoi(argv[3]) : 1),
                        static_cast<uint8_t>(argc > 4 ? std::atoi(argv[4]) : 0));
  }
  // bench_parse joined FILE [MEGABYTES]
  if (argc > 2 && std::string(argv[1]) == "joined") return WriteJoined(argv[2], argc > 3 ? std::atof(argv[3]) : 200);
  // bench_parse real [MEGABYTES [FOLDER...]]
  if (argc > 1 && std::string(argv[1]) == "real") {
    return RealContent(argc > 2 ? std::atof(argv[2]) : 200,
                       std::vector<std::string>(argv + std::min(argc, 3), argv + argc));
  }
  // bench_parse [MEGABYTES [VERSION [MACHINE]]]
  const double targetMegabytes = argc > 1 ? std::atof(argv[1]) : 110;
  const auto version = static_cast<uint8_t>(argc > 2 ? std::atoi(argv[2]) : 1);
  const auto machine = static_cast<uint8_t>(argc > 3 ? std::atoi(argv[3]) : 0);
  const auto targetBytes = static_cast<size_t>(targetMegabytes * 1024 * 1024);

  // Compose straight into a buffer reserved once (with room for the loader's
  // trailing zero), so the image is held once, as LoadTapImage holds it.
  rw::test::TapeComposer composer(machine, version, 0, 12345);
  composer.SetJitter(2);
  composer.Reserve(targetBytes + 4 * 1024 * 1024);
  size_t programs = 0;
  uint32_t seed = 1;
  while (static_cast<size_t>(composer.size()) < targetBytes) {
    rw::test::ComposedProgram program;
    program.name = "PROGRAM " + std::to_string(programs);
    program.data = rw::test::ProgramData(1024 + (seed * 2654435761u) % 30000, seed);
    program.silenceBefore = 200000;
    composer.AddProgram(program);
    ++programs;
    ++seed;
  }
  rw::TapImage image;
  image.bytes = composer.TakeFileBytes();
  image.signature.assign(image.bytes.begin(), image.bytes.begin() + 12);
  image.version = version;
  image.machine = machine;
  image.bytes.push_back(0);
  const double imageMegabytes = static_cast<double>(image.bytes.size()) / (1024.0 * 1024.0);

  const float usPerCycle = rw::SelectClock(image.machine, image.video);
  // The parse, and the parse followed by reading every program's data as
  // list --json does (both copies of each data block, mended and checked):
  // best wall and CPU seconds of kRounds.
  size_t found = 0;
  size_t whole = 0;
  const auto timeParse = [&](bool withData) {
    double wall = 1e30;
    double cpuTime = 1e30;
    for (int round = 0; round < kRounds; ++round) {
      const auto begin = std::chrono::steady_clock::now();
      const double cpu = CpuSeconds();
      const rw::ParsedTape parsed = rw::ParseTape(image, usPerCycle);
      const auto facts = rw::DescribeImage(image, parsed, ".");
      found = parsed.rows.size();
      if (withData) {
        rw::DataBlockReader reader(image);
        whole = 0;
        for (const auto& row : parsed.rows) whole += reader.Read(row.section, row.end).whole() ? 1 : 0;
      }
      const auto end = std::chrono::steady_clock::now();
      cpuTime = std::min(cpuTime, CpuSeconds() - cpu);
      wall = std::min(wall, std::chrono::duration<double>(end - begin).count());
      if (round == 0 && !withData) {
        std::printf("total duration %s, size %s\n", facts.totalDuration.c_str(), facts.size.c_str());
      }
    }
    return std::pair{wall, cpuTime};
  };
  const auto [best, bestCpu] = timeParse(false);
  const auto [bestWithData, bestWithDataCpu] = timeParse(true);
  // The parts, for the record: the data alone, the section search alone and one duration pass.
  double dataAlone = 1e30;
  {
    const auto rows = rw::ParsePrograms(image, usPerCycle);
    for (int round = 0; round < kRounds; ++round) {
      const auto begin = std::chrono::steady_clock::now();
      rw::DataBlockReader reader(image);
      for (const auto& row : rows) reader.Read(row.section, row.end);
      dataAlone = std::min(dataAlone, std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());
    }
  }
  const auto searchBegin = std::chrono::steady_clock::now();
  rw::RomDecoder decoder(image);
  rw::TapeSection section;
  int64_t pos = rw::kTapHeaderSize;
  while (decoder.FindNextSection(pos, section)) pos = section.leaderEnd + decoder.step();
  const auto searchEnd = std::chrono::steady_clock::now();
  const double total = rw::PulseDuration(image, rw::kTapHeaderSize, image.FileLength() - 1, usPerCycle);
  const auto durationEnd = std::chrono::steady_clock::now();
  std::printf("data alone %.3f s, section search %.3f s, one duration pass %.3f s (%.0f s of tape)\n", dataAlone,
              std::chrono::duration<double>(searchEnd - searchBegin).count(),
              std::chrono::duration<double>(durationEnd - searchEnd).count(), total / 1e6);
  const double peak = PeakMegabytes();
  std::printf("image %.1f MB (machine %d, version %d), %zu programs composed, %zu found\n", imageMegabytes, machine,
              version, programs, found);
  std::printf("parse with durations: %.3f s, %.0f MB/s (target >= 300)\n", best, imageMegabytes / best);
  std::printf(
      "parse with durations and data: %.3f s, %.0f MB/s, %zu programs whole; data adds %.0f%% (target <= 50%%)\n",
      bestWithData, imageMegabytes / bestWithData, whole, 100.0 * (bestWithData - best) / best);
  std::printf("CPU time, best of 7: parse %.3f s, parse and data %.3f s; data adds %.0f%% (target <= 50%%)\n", bestCpu,
              bestWithDataCpu, 100.0 * (bestWithDataCpu - bestCpu) / bestCpu);
  std::printf("peak memory %.1f MB, limit 1.2 x image + 20 = %.1f MB\n", peak, 1.2 * imageMegabytes + 20);
  return found == programs && whole == programs ? 0 : 1;
}
