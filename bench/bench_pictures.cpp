// SPDX-License-Identifier: GPL-2.0-or-later
// The tape's map and a pulse histogram of a large tape joined from the real
// tapes kept beside the project (C64, version 1), repeated to the size asked
// for, with a pause between the copies. Prints the time the list takes to
// load (programs, their data, turbo files), then what the pictures add:
// the bands, their layout for a strip and for the SVG map, and the histogram
// of the longest program's stretch and of the whole tape.
//
//   bench_pictures [MEGABYTES]     default 200

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "core/data_block.h"
#include "core/pulse_timing.h"
#include "core/tape_coverage.h"
#include "split/program_data.h"
#include "split/pulse_histogram.h"
#include "split/section_parse.h"
#include "split/tape_map.h"
#include "split/tape_pictures.h"
#include "split/turbo_listing.h"

namespace {

// CPU time of this process: on a shared machine the fair measure, as it
// does not count time spent waiting for a core.
double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The least CPU time of three runs of `work`: other work on the machine only
// ever adds time.
template <typename Work>
double BestOfThree(Work&& work) {
  double best = 1e30;
  for (int round = 0; round < 3; ++round) {
    const double start = CpuSeconds();
    work();
    best = std::min(best, CpuSeconds() - start);
  }
  return best;
}

std::vector<uint8_t> RealPulses() {
  std::vector<uint8_t> pulses;
  const std::string shared = REELWRIGHT_SHARED;
  for (const char* name : {"turbo/ikplus_freeload.tap", "turbo/rambo_ocean.tap", "turbo/openroms_turbotape250.tap",
                           "turbo/zaxxon_novaload.tap", "turbo/adp_cozumel1_visiload.tap", "real/bender.tap",
                           "real/salmon.tap", "real/print_h.tap", "real/fileabcdef.tap"}) {
    rw::TapImage image;
    if (!rw::LoadTapImage(shared + "/" + name, image) || image.machine != 0 || image.version != 1) continue;
    pulses.insert(pulses.end(), image.bytes.begin() + rw::kTapHeaderSize, image.bytes.end() - 1);
    pulses.insert(pulses.end(), {0, 0x00, 0x00, 0x10});  // about a second's pause
  }
  return pulses;
}

}  // namespace

int main(int argc, char** argv) {
  using rw::bench::Clock;
  using rw::bench::SecondsSince;
  const int64_t megabytes = argc > 1 ? std::atol(argv[1]) : 200;
  const std::vector<uint8_t> one = RealPulses();
  if (one.empty()) {
    std::fprintf(stderr, "The real tapes are not beside the project (../shared/testdata).\n");
    return 1;
  }
  rw::TapImage image;
  image.signature = "C64-TAPE-RAW";
  image.version = 1;
  image.bytes.assign(rw::kTapHeaderSize, 0);
  while (static_cast<int64_t>(image.bytes.size()) < megabytes * 1000000) {
    image.bytes.insert(image.bytes.end(), one.begin(), one.end());
  }
  image.bytes.push_back(0);
  const float us = rw::SelectClock(0, 0);
  std::printf("tape: %.1f MB joined from %.2f MB of real tapes\n", image.FileLength() / 1e6, one.size() / 1e6);

  auto start = Clock::now();
  const double listStart = CpuSeconds();
  const auto rows = rw::ParsePrograms(image, us);
  std::vector<rw::TapeSection> sections;
  for (const auto& row : rows) sections.push_back(row.section);
  std::vector<rw::DataResult> data;
  rw::DataBlockReader reader(image);
  for (const auto& row : rows) data.push_back(reader.Read(row.section, row.end));
  const rw::TurboListing turbo = rw::ListTurboFiles(image, sections, data);
  std::printf("list (programs, data, turbo files): %.3f s CPU, %.3f s wall; %zu programs, %zu turbo files\n",
              CpuSeconds() - listStart, SecondsSince(start), sections.size(), turbo.files.size());

  // Times are CPU seconds, the best of three runs.
  rw::TapeMap map;
  const double bands = BestOfThree(
      [&] { map = rw::BuildTapeMap(image, us, sections, rw::RomStretches(image, sections, data), turbo.files); });
  std::vector<rw::DrawnBand> strip;
  const double layout = BestOfThree([&] { strip = rw::LayOutBands(map, 1920); });
  std::string svg;
  const double picture =
      BestOfThree([&] { svg = rw::PictureSvg(rw::TapeMapPicture(map, sections, turbo.files, "bench", 1200)); });
  std::printf("map: %.3f s for %zu bands, %.4f s for a strip of %zu, %.3f s for the SVG (%zu bytes); %.3f s in all\n",
              bands, map.bands.size(), layout, strip.size(), picture, svg.size(), bands + layout + picture);

  size_t longest = 0;
  for (size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].end - rows[i].section.start > rows[longest].end - rows[longest].section.start) longest = i;
  }
  rw::PulseHistogram program;
  const double histogram = BestOfThree([&] {
    program = rw::ProgramPulses(image, sections, static_cast<int>(longest) + 1, turbo.files);
    svg = rw::PictureSvg(rw::PulsePicture(program, "bench"));
  });
  rw::PulseHistogram whole;
  const double wholeHistogram = BestOfThree([&] { whole = rw::CountPulses(image, 0, image.FileLength()); });
  std::printf("histogram: %.3f s for program %zu (%.1f MB) with its picture, %.3f s for the whole tape\n", histogram,
              longest + 1, static_cast<double>(program.end - program.start) / 1e6, wholeHistogram);
  std::printf("peak memory: %.0f MB\n", rw::bench::MaxRssKb() / 1024.0);
  return whole.counts[0] == 0 ? 0 : 1;
}
