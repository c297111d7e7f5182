// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/rom_decoder.h"

#include <algorithm>
#include <cstring>

#include "core/commodore_names.h"
#include "core/pulse_timing.h"

namespace rw {
namespace {

using rom_block::kFirstCountdown;
using rom_block::kNameLength;
using rom_block::kRepeatCountdown;

int32_t ToPosition(int64_t value) { return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX)); }

std::string TrimSpaces(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

uint8_t ToByte(double value) { return static_cast<uint8_t>(std::clamp(value, 0.0, 255.0)); }

}  // namespace

RomDecoder::RomDecoder(const TapImage& image) : image_(image), pulses_(image) {
  blockBuffer_.reserve(kBlockSize + 1);
  sample_.reserve(kSampleSize);
  histogram_.assign(kHistogramSize, 0);
  SetPulseClasses(image.machine, image.version);
}

void RomDecoder::SetPulseClasses(uint8_t machine, uint8_t /*version*/) {
  SetBounds(PulseClasses::DefaultBounds(machine));
}

void RomDecoder::SetBounds(const std::array<uint8_t, 6>& bounds) {
  // The search resets the classes at every zero byte; skip the table rebuild
  // when nothing changes.
  if (bounds == classes_.bounds()) return;
  classes_ = PulseClasses(bounds);
}

int64_t RomDecoder::ReadBlock(int64_t pos, TapeSection& section, int copy) {
  blockBuffer_.clear();
  int64_t p = pos;
  for (int i = 0; i < kBlockSize; ++i) {
    const int d = DecodeByte(p);
    if (d < 0) break;
    blockBuffer_.push_back(static_cast<uint8_t>(d));
    p += bytePulses();
  }
  (copy == 1 ? section.headerChecksumPos : section.repeatChecksumPos) = ToPosition(p - bytePulses());
  return p + step();
}

bool RomDecoder::BlockChecksumOk() const {
  const size_t n = blockBuffer_.size();
  if (n == 0) return false;
  uint8_t sum = 0;
  for (size_t i = 9; i + 1 < n; ++i) sum ^= blockBuffer_[i];
  return sum == blockBuffer_[n - 1];
}

std::optional<std::string> RomDecoder::ReadHeaderName(int64_t pos) const {
  int64_t p = pos;
  for (int k = 0; k < rom_block::kCountdownLength; ++k) {
    if (DecodeByte(p) != kFirstCountdown - k) return std::nullopt;
    p += bytePulses();
  }
  if (!IsProgramType(DecodeByte(p))) return std::nullopt;
  p += (rom_block::kNameIndex - rom_block::kTypeIndex) * static_cast<int64_t>(bytePulses());
  std::string name;
  for (int k = 0; k < kNameLength; ++k) {
    const int d = DecodeByte(p);
    if (d < 0) return std::nullopt;
    name += static_cast<char>(d);
    p += bytePulses();
  }
  return TrimSpaces(name);
}

int64_t RomDecoder::FindRepeat(int64_t from, int gap) const {
  // The walk stops at the end of the data or past the span, whichever comes first.
  const int64_t stop = std::min<int64_t>(image_.FileLength(), from + kRepeatSearchSpan + 1);
  int64_t g = from;
  int64_t p = from;
  int r = 0;
  for (;;) {
    int v = 0;
    do {
      p += step();
      v = ReadPulse(p);
    } while (p < stop && IsShort(v));
    if (p >= stop) return -1;
    if (p - g >= gap / step()) {
      r = DecodeByte(p);
      if (r < 0) {
        g = p + step();
        r = 0;
      }
    } else {
      g = from;
    }
    if (r == kRepeatCountdown) return p;
  }
}

bool RomDecoder::AdaptPulseClasses(int64_t pos) {
  sample_.clear();
  clusters_.clear();
  std::fill(histogram_.begin(), histogram_.end(), 0);
  // The sample is the pulses after the leader. Near the end of the image it
  // is shorter: a header may still fit in what remains.
  const int64_t lastIndex = image_.FileLength();
  if (pos < 0 || pos + (step() - 1) > lastIndex) return false;
  const int64_t available = (lastIndex - (step() - 1) - pos) / step() + 1;
  const int count = static_cast<int>(std::min<int64_t>(kSampleSize, available));
  const uint8_t* bytes = image_.bytes.data();
  for (int k = 0; k < count; ++k) {
    const int64_t q = pos + static_cast<int64_t>(k) * step();
    sample_.push_back(step() == 1 ? bytes[q] : bytes[q] + bytes[q + 1]);
  }

  for (int k = 0; k < count;) {
    const int v = sample_[static_cast<size_t>(k)];
    if (v != 0) {
      ++histogram_[static_cast<size_t>(v)];
      ++k;
    } else {
      k += 4;  // a zero and its three count bytes
    }
  }

  // A cluster is a run of counted values that starts after more than four
  // empty values and ends at the first of five empty values in a row.
  const auto counted = [&](int v) { return histogram_[static_cast<size_t>(v)] != 0; };
  int v = 0;
  while (v < kHistogramSize) {
    int empties = 0;
    int first = -1;
    for (; v < kHistogramSize; ++v) {
      if (!counted(v)) {
        ++empties;
      } else if (empties > 4) {
        first = v;
        break;
      } else {
        empties = 0;
      }
    }
    if (first < 0) break;
    int end = kHistogramSize - 1;
    int run = 0;
    for (int u = first + 1; u < kHistogramSize; ++u) {
      run = counted(u) ? 0 : run + 1;
      if (run == 5) {
        end = u - 4;
        break;
      }
    }
    int peak = first;
    for (int u = first; u <= end; ++u) {
      if (histogram_[static_cast<size_t>(u)] > histogram_[static_cast<size_t>(peak)]) peak = u;
    }
    clusters_.push_back({peak, first, end});
    v = end;
  }
  if (clusters_.size() != 3) return false;

  std::array<uint8_t, 6> bounds = classes_.bounds();
  bounds[1] = ToByte(RoundHalfEven((clusters_[0].end + clusters_[1].first) / 2.0));
  bounds[3] = ToByte(RoundHalfEven((clusters_[1].end + clusters_[2].first) / 2.0));
  bounds[2] = ToByte(bounds[1] + 1.0);
  bounds[4] = ToByte(bounds[3] + 1.0);
  SetBounds(bounds);
  return true;
}

void RomDecoder::FillSection(int64_t leaderStart, int64_t headerPos, const std::string& rawName, TapeSection& section) {
  std::string display = TrimSpaces(FilterName(rawName));
  if (display.empty()) display = "NO-TITLE-" + std::to_string(untitledCounter++);
  for (char& c : display) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  section.name = Latin1ToUtf8(display);
  section.rawName = rawName;
  section.start = ToPosition(leaderStart);
  section.leaderEnd = ToPosition(headerPos - step());
  section.bounds = classes_.bounds();
  for (size_t i = 0; i < 3; ++i) section.peaks[i] = ToByte(clusters_[i].peak);
  section.headerPos = ToPosition(headerPos);

  section.afterHeader = ToPosition(ReadBlock(headerPos, section, 1));
  section.headerChecksumOk = BlockChecksumOk();
  const int64_t repeat = FindRepeat(section.afterHeader, kRepeatGap);
  if (repeat < 0) return;
  section.repeatPos = ToPosition(repeat);
  section.afterRepeat = ToPosition(ReadBlock(repeat, section, 2));
  section.repeatChecksumOk = BlockChecksumOk();
}

int64_t RomDecoder::NextZero(int64_t from) {
  const uint8_t* bytes = image_.bytes.data();
  const int64_t end = image_.FileLength();
  if (zeroSearchedData_ != bytes || zeroSearchedSize_ != image_.bytes.size() || from < zeroSearchedFrom_ ||
      from > nextZero_) {
    const void* zero = std::memchr(bytes + from, 0, static_cast<size_t>(end - from));
    nextZero_ = zero != nullptr ? static_cast<const uint8_t*>(zero) - bytes : end;
    zeroSearchedFrom_ = from;
    zeroSearchedData_ = bytes;
    zeroSearchedSize_ = image_.bytes.size();
  }
  return nextZero_;
}

bool RomDecoder::FindNextSection(int64_t from, TapeSection& section) {
  section = TapeSection{};
  return step() == 2 ? FindNextSectionHalfWaves(from, section) : FindNextSectionWholePulses(from, section);
}

bool RomDecoder::TrySection(int64_t leaderStart, int64_t pos, TapeSection& section) {
  if (!AdaptPulseClasses(pos)) return false;
  const auto name = ReadHeaderName(pos);
  if (!name || !HeaderLengthBlock(pos)) return false;
  FillSection(leaderStart, pos, *name, section);
  return true;
}

bool RomDecoder::HeaderLengthBlock(int64_t pos) const {
  // A data block starts with the same countdown as a header, so one whose
  // first byte happens to be a program type (1 or 3) reads like a header up
  // to its "name". A header holds 192 bytes after its countdown; a block
  // whose end marker (a long pulse, a short one, then the short gap or
  // silence) stands in place of one of them is data. A byte that does not
  // read for another reason is damage and proves nothing: the block is taken
  // for the header it seems to be.
  constexpr int kAfterName = rom_block::kNameIndex + kNameLength;
  for (int i = kAfterName; i < kBlockSize; ++i) {
    const int64_t p = pos + static_cast<int64_t>(i) * bytePulses();
    if (DecodeByte(p) != -1) continue;
    const int after = ReadPulse(p + 2 * step());
    return !(IsLong(ReadPulse(p)) && IsShort(ReadPulse(p + step())) && (after == 0 || IsShort(after)));
  }
  return true;
}

int64_t RomDecoder::SkipSilence(int64_t zeroPos) {
  // In version 0 a run of zeros, later a zero and a 24-bit count. The classes
  // tuned to the last leader end here.
  const int64_t last = static_cast<int64_t>(image_.FileLength()) - 1;
  int64_t p = zeroPos;
  if (image_.version == 0) {
    while (p < last && image_.bytes[static_cast<size_t>(p + 1)] == 0) ++p;
  } else {
    p += 3;
  }
  SetPulseClasses(image_.machine, image_.version);
  return p + 1;
}

bool RomDecoder::FindLongLeaderEnd(int64_t from, int64_t limit, int64_t& leaderStart, int64_t& leaderEnd) const {
  // Positions from..limit-1 hold no zero. A leader is a maximal run of short
  // pulses; only one longer than kMinLeader counts. While no run is open, one
  // look kMinLeader positions ahead either rules out every such leader ending
  // before it (that pulse is not short) or finds the run that covers it, so a
  // data stretch costs one look per thousand positions.
  const uint8_t* bytes = image_.bytes.data();
  const auto isShort = [&](int64_t q) { return classes_.IsShort(bytes[q]); };
  int64_t q = from;
  while (q < limit) {
    int64_t runStart = q;
    if (q + kMinLeader < limit) {
      const int64_t ahead = q + kMinLeader;
      if (!isShort(ahead)) {
        q = ahead + 1;
        continue;
      }
      runStart = classes_.ShortRunStart(bytes, ahead - 1, q) + 1;
      q = ahead + 1;
    }
    q = classes_.ShortRunEnd(bytes, q, limit);
    if (q >= limit) return false;  // the run meets silence or the end of the data
    if (q - runStart > kMinLeader) {
      leaderStart = runStart;
      leaderEnd = q;
      return true;
    }
    ++q;
  }
  return false;
}

bool RomDecoder::FindNextSectionWholePulses(int64_t from, TapeSection& section) {
  const int64_t last = static_cast<int64_t>(image_.FileLength()) - 1;
  int64_t p = std::max<int64_t>(from, 0);
  int64_t zeroPos = -1;
  while (p <= last) {
    if (zeroPos < p) zeroPos = NextZero(p);
    int64_t leaderStart = 0;
    int64_t leaderEnd = 0;
    if (!FindLongLeaderEnd(p, zeroPos, leaderStart, leaderEnd)) {
      if (zeroPos > last) return false;
      p = SkipSilence(zeroPos);
      continue;
    }
    if (TrySection(leaderStart, leaderEnd, section)) return true;
    p = leaderEnd + 1;
  }
  return false;
}

bool RomDecoder::FindShortRun(int64_t from, int64_t limit, int64_t length, int64_t& runStart, int64_t& runEnd) const {
  // Positions from..limit-1 hold no zero. Finds the first run of at least
  // `length` consecutive short pulses, with the same look ahead as above.
  const uint8_t* bytes = image_.bytes.data();
  const auto isShort = [&](int64_t q) {
    const int value = std::min(255, bytes[q] + bytes[q + 1]);
    return classes_.IsShort(value);
  };
  int64_t q = from;
  while (q < limit) {
    int64_t first = q;
    if (q + length - 1 < limit) {
      const int64_t ahead = q + length - 1;
      if (!isShort(ahead)) {
        q = ahead + 1;
        continue;
      }
      int64_t j = ahead - 1;
      while (j >= q && isShort(j)) --j;
      first = j + 1;
      q = ahead + 1;
    }
    while (q < limit && isShort(q)) ++q;
    if (q - first >= length) {
      runStart = first;
      runEnd = q;
      return true;
    }
    ++q;
  }
  return false;
}

bool RomDecoder::FindNextSectionHalfWaves(int64_t from, TapeSection& section) {
  // Each position is read as the pulse of two half-waves, so a leader moves
  // one half-wave at a time; when one starts, the search moves on by a whole
  // pulse, so the position after a leader's first pulse is never looked at
  // (even when it is a zero).
  //
  // The walk below is that search, position by position. Long stretches are
  // skipped: a leader longer than kMinLeader has at least kMinLeader - 1
  // short pulses right before its end, so nothing can be found before the
  // first such run (or the next zero). The walk resumes shortly before it,
  // after the last two pulses in a row that are not short: the second is
  // always looked at and leaves the search outside any leader.
  const uint8_t* bytes = image_.bytes.data();
  const int64_t last = static_cast<int64_t>(image_.FileLength()) - 1;
  const auto isShort = [&](int64_t q) {
    const int value = std::min(255, bytes[q] + bytes[q + 1]);
    return classes_.IsShort(value);
  };
  int64_t p = std::max<int64_t>(from, 0);
  bool inLeader = false;
  int64_t leaderStart = 0;
  int64_t zeroPos = -1;
  int64_t target = -1;  // the walk goes on, position by position, up to here
  while (p <= last) {
    if (!inLeader && p >= target) {
      if (zeroPos < p) zeroPos = NextZero(p);
      int64_t runStart = 0;
      int64_t runEnd = 0;
      target = FindShortRun(p, zeroPos, kMinLeader - 1, runStart, runEnd) && runEnd < zeroPos ? runStart : zeroPos;
      if (target > last) return false;
      int64_t resume = p;
      for (int64_t x = target - 1; x - 1 >= p; --x) {
        if (!isShort(x) && !isShort(x - 1)) {
          resume = x + 1;
          break;
        }
      }
      p = resume;
    }
    if (bytes[p] == 0) {
      inLeader = false;
      p = SkipSilence(p);
      continue;
    }
    if (isShort(p)) {
      if (!inLeader) {
        leaderStart = p;
        inLeader = true;
        p += 2;
      } else {
        ++p;
      }
      continue;
    }
    if (!inLeader) {
      ++p;
      continue;
    }
    inLeader = false;
    if (p - leaderStart <= kMinLeader) {
      ++p;
      continue;
    }
    // The leader ends at the pulse made of its last half-wave and the next
    // one; the header starts a position later. A leader of odd length starts
    // with a stray half-wave.
    ++p;
    if ((p - leaderStart) % 2 != 0) ++leaderStart;
    if (TrySection(leaderStart, p, section)) return true;
    ++p;
  }
  return false;
}

}  // namespace rw
