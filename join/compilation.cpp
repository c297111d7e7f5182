// SPDX-License-Identifier: GPL-2.0-or-later
#include "join/compilation.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "core/pulse_timing.h"
#include "core/tap_image.h"
#include "core/utilities.h"
#include "join/natural_order.h"

namespace rw {
namespace fs = std::filesystem;

namespace {

Outcome Refusal(const std::string& text) { return Outcome::Failure(FailureKind::Refused, text, "ERROR!"); }

const std::string& NameOf(const std::vector<std::string>& names, uint8_t value) {
  static const std::string unknown = "?";
  return value < names.size() ? names[value] : unknown;
}

// Pauses first, then the paths in natural order.
bool PathBefore(const CompilationRow& a, const CompilationRow& b) {
  if (a.IsPause() != b.IsPause()) return a.IsPause();
  return NaturalLess(a.path, b.path);
}

bool EndsWithTap(const std::string& name) {
  if (name.size() < 4) return false;
  std::string tail = name.substr(name.size() - 4);
  std::transform(tail.begin(), tail.end(), tail.begin(),
                 [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
  return tail == ".tap";
}

}  // namespace

const std::string& CompilationRow::Text(int column) const {
  switch (column) {
    case 0:
      return path;
    case 1:
      return size;
    case 2:
      return machine;
    case 3:
      return video;
    case 4:
      return type;
    default:
      return duration;
  }
}

Compilation::Compilation(std::string decimalSeparator) : decimalSeparator_(std::move(decimalSeparator)) {}

float Compilation::usPerCycle() const { return SelectClock(machine(), video()); }

const std::string& Compilation::signature() const {
  static const std::string c64 = "C64-TAPE-RAW";
  return fileRows_ > 0 ? signature_ : c64;
}

Outcome Compilation::AddTapFile(const std::string& path) {
  TapImage image;
  if (Outcome outcome = LoadTapImage(path, image); !outcome) return outcome;

  const std::string prefix = "File " + path + " Cannot be added since ";
  // A version-0 image has no long-pulse record: a pause written into it
  // would play as one overflow pulse and three short ones.
  if (image.version == 0 && fileRows_ < static_cast<int>(rows_.size())) {
    return Refusal(prefix + "it is in TAP format V0, which cannot hold the pauses already listed");
  }
  const bool first = fileRows_ == 0;
  if (first) {
    machine_ = image.machine;
    video_ = image.video;
    version_ = image.version;
    signature_ = image.signature;
  } else {
    const std::string suffix = ") conflicting with previously added files";
    if (image.machine != machine_) {
      return Refusal(prefix + "it was created for a machine (" + NameOf(machineNames, image.machine) + suffix);
    }
    if (image.video != video_) {
      return Refusal(prefix + "it has a video standard (" + NameOf(videoNames, image.video) + suffix);
    }
    if (image.version != version_) {
      return Refusal(prefix + "it has a TAP format (" + NameOf(versionNames, image.version) + suffix);
    }
  }

  const int32_t length = image.FileLength();
  const double seconds =
      PulseDuration(image, kTapHeaderSize, length - 1, SelectClock(image.machine, image.video)) / 1000000.0;
  CompilationRow row;
  row.path = path;
  row.size = FormatSize(static_cast<double>(length), decimalSeparator_);
  row.machine = NameOf(machineNames, image.machine);
  row.video = NameOf(videoNames, image.video);
  row.type = NameOf(versionNames, image.version);
  row.duration = FormatDuration(seconds, decimalSeparator_);
  InsertRow(std::move(row));
  // Pauses listed before the first file now count cycles of its clock.
  if (first) RefreshPauseSizes();

  totalSeconds_ += seconds;
  UpdateTotalDuration();
  UpdateJoinAvailability();
  return Outcome::Success();
}

Outcome Compilation::AddTapDirectory(const std::string& directory) { return AddTapDirectory(directory, {}); }

Outcome Compilation::AddTapDirectory(const std::string& directory, const std::string& skipPath) {
  // A stable order: the listing order of the file system is arbitrary.
  std::vector<std::string> names;
  std::error_code error;
  fs::directory_iterator entries(fs::u8path(directory), error);
  for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
    std::error_code typeError;
    if (!entries->is_regular_file(typeError)) continue;
    const std::string name = entries->path().filename().string();
    if (EndsWithTap(name)) names.push_back(name);
  }
  if (error) {
    return Outcome::Failure(FailureKind::SystemError,
                            "Error while reading directory " + directory + " : " + error.message(), "ERROR!");
  }
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) { return NaturalLess(a, b); });

  const std::string folder = !directory.empty() && directory.back() == '/' ? directory : directory + "/";
  std::error_code skipError;
  const fs::path skip = skipPath.empty() ? fs::path() : fs::weakly_canonical(fs::u8path(skipPath), skipError);
  for (const std::string& name : names) {
    std::error_code sameError;
    if (!skip.empty() && !skipError && fs::weakly_canonical(fs::u8path(folder + name), sameError) == skip) continue;
    if (Outcome added = AddTapFile(folder + name); !added) return added;
  }
  return Outcome::Success();
}

std::string Compilation::PauseSize(const std::string& text) const {
  const std::vector<uint8_t> records = EncodePause(text, usPerCycle(), decimalSeparator_);
  return std::to_string(records.size());
}

Outcome Compilation::AddPauseRow(const std::string& text) {
  const std::optional<float> seconds = ParseDuration(text, decimalSeparator_);
  if (!seconds) return Refusal("Pause duration string " + text + " Syntax is Invalid !");
  if (fileRows_ > 0 && version_ == 0) {
    return Refusal("Pause duration string " + text +
                   " Cannot be added since the listed files are in TAP format V0, which cannot hold pauses");
  }
  if (!PauseCycles(*seconds, usPerCycle())) {
    // Longer than a signed 32-bit cycle count: about 36 minutes at the C64
    // PAL clock. Shown rounded down so that the figure itself is accepted.
    const double longest =
        std::floor(static_cast<double>(kMaxPauseCycles) * usPerCycle() / 1000000.0 * 100.0 - 1.0) / 100.0;
    return Refusal("Pause duration string " + text + " is too long ! The longest pause is " +
                   FormatDuration(longest, decimalSeparator_));
  }
  CompilationRow row;
  row.path = kPauseRowPath;
  row.size = PauseSize(text);
  row.machine = "-";
  row.video = "-";
  row.type = "-";
  row.duration = text;
  InsertRow(std::move(row));

  totalSeconds_ += static_cast<double>(*seconds);
  UpdateTotalDuration();
  UpdateJoinAvailability();
  return Outcome::Success();
}

void Compilation::RefreshPauseSizes() {
  bool anyPause = false;
  for (CompilationRow& row : rows_) {
    if (!row.IsPause()) continue;
    row.size = PauseSize(row.duration);
    anyPause = true;
  }
  if (anyPause && listener_) listener_->RowsChanged(0, static_cast<int>(rows_.size()) - 1);
}

void Compilation::InsertRow(CompilationRow row) {
  size_t index = rows_.size();
  if (sorted_) {
    index = static_cast<size_t>(std::upper_bound(rows_.begin(), rows_.end(), row, PathBefore) - rows_.begin());
  }
  InsertRowAt(index, std::move(row));
}

void Compilation::InsertRowAt(size_t index, CompilationRow row) {
  if (listener_) listener_->BeforeInsert(static_cast<int>(index));
  if (!row.IsPause()) ++fileRows_;
  rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(index), std::move(row));
  if (listener_) listener_->AfterInsert();
}

void Compilation::EraseRow(size_t index) {
  if (listener_) listener_->BeforeRemove(static_cast<int>(index));
  if (!rows_[index].IsPause()) --fileRows_;
  rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(index));
  if (listener_) listener_->AfterRemove();
}

void Compilation::RemoveSelectedRows(std::vector<int> selectedRows) {
  std::sort(selectedRows.begin(), selectedRows.end());
  selectedRows.erase(std::unique(selectedRows.begin(), selectedRows.end()), selectedRows.end());
  const auto outside = [this](int row) { return row < 0 || row >= static_cast<int>(rows_.size()); };
  selectedRows.erase(std::remove_if(selectedRows.begin(), selectedRows.end(), outside), selectedRows.end());
  // Durations leave the total in display order, so that its rounding does
  // not depend on the order the rows were selected in; rows are erased from
  // the end so that the indices still to come stay valid.
  for (const int row : selectedRows) SubtractDuration(rows_[static_cast<size_t>(row)].duration);
  for (auto row = selectedRows.rbegin(); row != selectedRows.rend(); ++row) EraseRow(static_cast<size_t>(*row));
  // With the last file gone the pauses count cycles of the C64 PAL clock again.
  if (fileRows_ == 0) RefreshPauseSizes();
  // Durations are shown rounded to hundredths, so subtracting them leaves a
  // small remainder; an empty list has exactly no playing time.
  if (rows_.empty()) {
    totalSeconds_ = 0;
    UpdateTotalDuration();
  }
  UpdateJoinAvailability();
}

void Compilation::SwapWithNext(size_t index) {
  if (listener_) listener_->BeforeMove(static_cast<int>(index), static_cast<int>(index) + 1);
  std::swap(rows_[index], rows_[index + 1]);
  if (listener_) listener_->AfterMove();
}

bool Compilation::MoveRowUp(int row) {
  if (sorted_ || row <= 0 || row >= static_cast<int>(rows_.size())) return false;
  SwapWithNext(static_cast<size_t>(row - 1));
  return true;
}

bool Compilation::MoveRowDown(int row) {
  if (sorted_ || row < 0 || row + 1 >= static_cast<int>(rows_.size())) return false;
  SwapWithNext(static_cast<size_t>(row));
  return true;
}

void Compilation::SetSorted(bool on) {
  sorted_ = on;
  if (!on) return;
  if (listener_) listener_->BeforeReorder();
  // Sort indices so that a listener can follow each row to its new place.
  std::vector<int> order(rows_.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
  std::stable_sort(order.begin(), order.end(), [this](int a, int b) {
    return PathBefore(rows_[static_cast<size_t>(a)], rows_[static_cast<size_t>(b)]);
  });
  std::vector<CompilationRow> rows;
  rows.reserve(rows_.size());
  for (const int previous : order) rows.push_back(std::move(rows_[static_cast<size_t>(previous)]));
  rows_ = std::move(rows);
  if (listener_) listener_->AfterReorder(order);
}

void Compilation::SubtractDuration(const std::string& text) {
  const float seconds = ParseDuration(text, decimalSeparator_).value_or(0);
  if (seconds > 0) totalSeconds_ -= static_cast<double>(seconds);
  UpdateTotalDuration();
}

void Compilation::UpdateTotalDuration() {
  totalText_ = FormatDuration(totalSeconds_, decimalSeparator_);
  if (listener_) listener_->TotalsChanged();
}

void Compilation::UpdateJoinAvailability() {
  joinAvailable_ = rows_.size() >= 2;
  if (listener_) listener_->TotalsChanged();
}

}  // namespace rw
