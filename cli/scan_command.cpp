// SPDX-License-Identifier: GPL-2.0-or-later
// reelwright-cli scan: a catalogue of a whole tape collection. Every tape
// image under the given paths is loaded and parsed on one of several worker
// threads; the records come out in path order, so two scans of the same
// collection print the same records.

#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCommandLineParser>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/ordered_workers.h"
#include "cli/scan_records.h"
#include "cli/tape_walk.h"
#include "platform/locale.h"
#include "split/tape_summary.h"

namespace rw::cli {
namespace {

using Clock = std::chrono::steady_clock;

// The cores this process may run on (fewer than the machine's when it is
// confined to some of them).
unsigned UsableCores() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    const int count = CPU_COUNT(&set);
    if (count > 0) return static_cast<unsigned>(count);
  }
  return std::max(1u, std::thread::hardware_concurrency());
}

// "120 of 2000 tapes, 345 tapes/s" on one line of standard error, rewritten
// in place, while standard error is a terminal. When standard output is the
// same terminal the line is taken away before each record and drawn again.
class Progress {
 public:
  explicit Progress(size_t total)
      : enabled_(isatty(STDERR_FILENO) == 1),
        stdoutTerminal_(isatty(STDOUT_FILENO) == 1),
        total_(total),
        markTime_(Clock::now()) {}

  void BeforeOutput() {
    if (shown_ && stdoutTerminal_) Erase();
  }

  void Update(size_t done) {
    if (!enabled_) return;
    const auto now = Clock::now();
    if (shown_ && now - lastDrawn_ < std::chrono::milliseconds(100) && done < total_) return;
    // The rate of the last seconds, not since the start, so that a stretch
    // of large tapes shows as it happens.
    if (now - markTime_ >= std::chrono::seconds(2)) {
      markTime_ = std::max(lastDrawn_, markTime_);
      markDone_ = lastDone_;
    }
    const double seconds = std::chrono::duration<double>(now - markTime_).count();
    const double rate = seconds > 0 ? static_cast<double>(done - markDone_) / seconds : 0;
    std::fprintf(stderr, "\r\033[K%zu of %zu tapes, %.0f tapes/s", done, total_, rate);
    std::fflush(stderr);
    shown_ = true;
    lastDrawn_ = now;
    lastDone_ = done;
  }

  void Clear() {
    if (shown_) Erase();
  }

 private:
  void Erase() {
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    shown_ = false;
  }

  bool enabled_;
  bool stdoutTerminal_;
  size_t total_;
  Clock::time_point markTime_;  // the rate is measured from here
  size_t markDone_ = 0;
  Clock::time_point lastDrawn_;
  size_t lastDone_ = 0;
  bool shown_ = false;
};

// The bytes of tape images held in memory at once by all the workers
// together, whatever --jobs says: a worker waits for its turn rather than go
// beyond it. One image larger than this is still read, alone.
constexpr uint64_t kImageMemoryBudget = 512ULL << 20;

class MemoryBudget {
 public:
  explicit MemoryBudget(uint64_t limit) : limit_(limit) {}

  // A share of the budget held for as long as it lives.
  class Share {
   public:
    Share(MemoryBudget& budget, uint64_t bytes) : budget_(budget), bytes_(budget.Take(bytes)) {}
    ~Share() { budget_.Give(bytes_); }
    Share(const Share&) = delete;
    Share& operator=(const Share&) = delete;

   private:
    MemoryBudget& budget_;
    uint64_t bytes_;
  };

 private:
  uint64_t Take(uint64_t bytes) {
    bytes = std::min(bytes, limit_);
    std::unique_lock lock(mutex_);
    freed_.wait(lock, [&] { return held_ == 0 || held_ + bytes <= limit_; });
    held_ += bytes;
    return bytes;
  }
  void Give(uint64_t bytes) {
    {
      std::lock_guard lock(mutex_);
      held_ -= bytes;
    }
    freed_.notify_all();
  }

  const uint64_t limit_;
  std::mutex mutex_;
  std::condition_variable freed_;
  uint64_t held_ = 0;
};

// What loading `path` will hold: its size (an image is read whole), or 0
// when it cannot be looked at (the loader then says why, holding nothing).
uint64_t FileSizeOf(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) ? static_cast<uint64_t>(status.st_size) : 0;
}

// One tape as a worker leaves it: the summary for the totals and the record
// already formatted, so the writing thread only writes.
struct ScannedTape {
  TapeSummary summary;
  std::string record;
};

bool Write(const std::string& text) {
  return text.empty() || std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
}

}  // namespace

int RunScan(const QStringList& arguments, StorageSync&) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Lists every tape image under the given paths with its machine, version, video standard, size, playing time "
      "and programs, and names every damaged program. A folder is searched with its subfolders for .tap files.\n"
      "Exit status: 0 every tape read and nothing damaged, 1 something refused or damaged, 2 wrong arguments.");
  parser.addOption({"json", "One JSON object per tape and line (JSON Lines), its programs inside."});
  parser.addOption({"csv", "One CSV row per program, the tape's columns repeated."});
  parser.addOption({"jobs", "Tapes read at once (default: the number of cores).", "N"});
  parser.addOption({"summary-only", "Print only the totals."});
  parser.addPositionalArgument("PATH", "A tape image, or a folder of them.", "PATH...");
  const int status = ParseCommandLine(parser, arguments);
  if (status != kGoOn) return status;

  const auto usageError = [&](const QString& text) {
    PrintErr(arguments.first() + ": " + text);
    PrintErr(CommandHelp(parser, arguments));
    return kExitUsage;
  };
  if (parser.isSet("json") && parser.isSet("csv")) return usageError("--json and --csv exclude each other.");
  unsigned jobs = UsableCores();
  if (parser.isSet("jobs")) {
    bool ok = false;
    const uint value = parser.value("jobs").toUInt(&ok);
    if (!ok || value < 1 || value > 1024) return usageError("--jobs needs a number from 1 to 1024.");
    jobs = value;
  }
  const QStringList positional = parser.positionalArguments();
  if (positional.isEmpty()) return usageError("PATH is missing.");
  const ScanFormat format = parser.isSet("json")  ? ScanFormat::JsonLines
                            : parser.isSet("csv") ? ScanFormat::Csv
                                                  : ScanFormat::Table;
  const bool summaryOnly = parser.isSet("summary-only");
  const std::string decimalSeparator = DecimalSeparator();

  const auto start = Clock::now();
  std::vector<std::string> paths;
  for (const QString& path : positional) paths.push_back(PathFromQt(path));
  const std::vector<TapeTarget> targets = FindTapeFiles(paths);

  Progress progress(targets.size());
  MemoryBudget budget(kImageMemoryBudget);
  ScanTotals totals;
  bool writeFailed = false;
  int writeError = 0;
  if (!summaryOnly && !Write(ScanHeader(format))) {
    writeFailed = true;
    writeError = errno;
  }

  const std::function<ScannedTape(size_t)> work = [&](size_t index) {
    const TapeTarget& target = targets[index];
    ScannedTape scanned;
    if (target.error.empty()) {
      // The image is held while it is summarised: within the budget.
      const MemoryBudget::Share share(budget, FileSizeOf(target.path));
      scanned.summary = SummariseTape(target.path, decimalSeparator);
    } else {
      scanned.summary.path = target.path;
      scanned.summary.refusal = target.error;
      scanned.summary.folder = target.folder;
    }
    if (!summaryOnly) scanned.record = ScanRecord(format, scanned.summary);
    return scanned;
  };
  const std::function<bool(size_t, ScannedTape &&)> deliver = [&](size_t index, ScannedTape&& scanned) {
    totals.Add(scanned.summary);
    if (!scanned.record.empty()) {
      progress.BeforeOutput();
      if (!Write(scanned.record)) {
        writeError = errno;
        writeFailed = true;
        return false;
      }
    }
    progress.Update(index + 1);
    return true;
  };
  // A few tapes of lookahead per worker keep every worker busy while a long
  // tape is read, and bound what waits for its turn.
  if (!writeFailed) RunInOrder<ScannedTape>(targets.size(), jobs, 4 * static_cast<size_t>(jobs) + 16, work, deliver);
  progress.Clear();
  totals.seconds = std::chrono::duration<double>(Clock::now() - start).count();

  // The totals are the output with --summary-only; otherwise they close the
  // table, and in the machine formats they go to standard error, so that
  // standard output stays pure JSON Lines or CSV.
  const std::string totalsText = ScanTotalsText(summaryOnly ? format : ScanFormat::Table, totals, decimalSeparator);
  const bool totalsToStdout = summaryOnly || format == ScanFormat::Table;
  if (!writeFailed && totalsToStdout && !Write(totalsText)) {
    writeError = errno;
    writeFailed = true;
  }
  if (!writeFailed && std::fflush(stdout) != 0) {
    writeError = errno;
    writeFailed = true;
  }
  if (writeFailed) {
    PrintErr(QStringLiteral("Error while writing the scan : ") + std::strerror(writeError != 0 ? writeError : EIO));
    return kExitFailed;
  }
  if (!totalsToStdout) std::fputs(totalsText.c_str(), stderr);
  return totals.Clean() ? kExitOk : kExitFailed;
}

}  // namespace rw::cli
