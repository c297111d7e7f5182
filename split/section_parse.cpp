// SPDX-License-Identifier: GPL-2.0-or-later
#include "split/section_parse.h"

#include <condition_variable>
#include <mutex>
#include <optional>

#include "core/pulse_timing.h"
#include "core/second_thread.h"
#include "core/utilities.h"

namespace rw {
namespace {

const char* const kMachineNames[] = {"Commodore 64", "VIC-20", "C16 and Plus/4"};
const char* const kVideoNames[] = {"PAL", "NTSC"};

// The durations are walked on a second thread while the search finds the
// programs: each is one pass over the image, and side by side they take
// about as long as the slower of the two. The search hands over where each
// program starts; a program's stretch ends where the next one starts, so the
// walk gets it once the next is found or the search is over.
class DurationWalk {
 public:
  DurationWalk(const TapImage& image, float usPerCycle, int step)
      : image_(image), usPerCycle_(usPerCycle), last_(image.FileLength() - 1), step_(step) {
    // A short tape is walked after its search: starting a thread would cost
    // more than it saves.
    constexpr int64_t kWorthAThread = 64 * 1024;
    if (image.FileLength() >= kWorthAThread) second_.emplace([this] { times_ = Walk(); });
  }
  DurationWalk(const DurationWalk&) = delete;
  DurationWalk& operator=(const DurationWalk&) = delete;
  // Also when the search ended with an exception, the walk ends (second_ then waits for it).
  ~DurationWalk() { EndSearch(); }

  void Found(int64_t start) {
    {
      std::lock_guard lock(mutex_);
      starts_.push_back(start);
    }
    changed_.notify_one();
  }

  // The times once the search is over.
  StretchTimes Result() {
    EndSearch();
    if (!second_) return Walk();
    second_->Join();
    return std::move(times_);
  }

 private:
  StretchTimes Walk() {
    return MeasureStretches(
        image_, [this](size_t k) { return Stretch(k); }, usPerCycle_);
  }

  std::optional<std::pair<int64_t, int64_t>> Stretch(size_t k) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return searched_ || starts_.size() > k + 1; });
    if (k >= starts_.size()) return std::nullopt;
    return std::pair{starts_[k], k + 1 < starts_.size() ? starts_[k + 1] - step_ : last_};
  }

  void EndSearch() {
    {
      std::lock_guard lock(mutex_);
      searched_ = true;
    }
    changed_.notify_one();
  }

  const TapImage& image_;
  const float usPerCycle_;
  const int64_t last_;
  const int step_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<int64_t> starts_;
  bool searched_ = false;
  StretchTimes times_;
  std::optional<SecondThread> second_;  // last: it is gone, and the walk with it, before what the walk uses
};

}  // namespace

ParsedTape ParseTape(const TapImage& image, float usPerCycle, const Progress& progress) {
  ParsedTape parsed;
  std::vector<ProgramRow>& rows = parsed.rows;
  if (image.FileLength() <= kTapHeaderSize) return parsed;
  RomDecoder decoder(image);
  decoder.untitledCounter = 0;
  DurationWalk walk(image, usPerCycle, decoder.step());
  int64_t pos = kTapHeaderSize;
  TapeSection section;
  while (decoder.FindNextSection(pos, section)) {
    if (!rows.empty()) rows.back().end = section.start - decoder.step();
    pos = static_cast<int64_t>(section.leaderEnd) + decoder.step();
    walk.Found(section.start);
    rows.push_back({std::move(section), 0, 0});
    if (progress) progress(pos, image.FileLength());
  }
  if (!rows.empty()) rows.back().end = image.FileLength() - 1;
  const StretchTimes times = walk.Result();
  for (size_t i = 0; i < rows.size(); ++i) rows[i].durationUs = times.stretches[i];
  parsed.totalUs = times.total;
  if (progress) progress(image.FileLength(), image.FileLength());
  return parsed;
}

std::vector<ProgramRow> ParsePrograms(const TapImage& image, float usPerCycle, const Progress& progress) {
  return ParseTape(image, usPerCycle, progress).rows;
}

ImageFacts DescribeImage(const TapImage& image, float usPerCycle, const std::string& decimalSeparator) {
  ParsedTape measured;
  measured.totalUs = PulseDuration(image, kTapHeaderSize, image.FileLength() - 1, usPerCycle);
  return DescribeImage(image, measured, decimalSeparator);
}

ImageFacts DescribeImage(const TapImage& image, const ParsedTape& parsed, const std::string& decimalSeparator) {
  ImageFacts facts;
  facts.machine = image.machine <= 2 ? kMachineNames[image.machine] : "";
  facts.version = "TAP V" + std::to_string(image.version);
  facts.video = image.video <= 1 ? kVideoNames[image.video] : "";
  facts.size = FormatSize(image.FileLength(), decimalSeparator);
  facts.totalDuration = DurationText(parsed.totalUs, decimalSeparator);
  return facts;
}

std::string OffsetText(int64_t offset) { return HexPad(static_cast<uint64_t>(offset < 0 ? 0 : offset), 6); }

std::string DurationText(double microseconds, const std::string& decimalSeparator) {
  return FormatDuration(microseconds / 1000000.0, decimalSeparator);
}

int32_t HexToLong(std::string_view text) {
  uint32_t value = 0;
  for (const char c : text) {
    uint32_t digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<uint32_t>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<uint32_t>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<uint32_t>(c - 'A' + 10);
    } else {
      break;
    }
    value = value << 4 | digit;
  }
  return static_cast<int32_t>(value);
}

}  // namespace rw
