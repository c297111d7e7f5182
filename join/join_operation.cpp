// SPDX-License-Identifier: GPL-2.0-or-later
#include "join/join_operation.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <system_error>
#include <vector>

#include "core/file_open.h"
#include "core/pulse_timing.h"
#include "core/safe_file.h"
#include "core/tap_image.h"
#include "join/compilation.h"

namespace rw {
namespace fs = std::filesystem;

namespace {

// Inputs are copied through one buffer of this size, so a join holds no
// more than this of any image however large the images are.
constexpr size_t kChunkSize = 256 * 1024;

std::string Describe(int error) { return std::strerror(error != 0 ? error : EIO); }

// What one row contributes: the pulse bytes of a file from offset 20, or a
// pause's records.
struct RowPlan {
  uint64_t pulseBytes = 0;
  std::vector<uint8_t> pauseRecords;
};

// Sizes every block before anything is written, so that the header can carry
// the true length from the start.
bool PlanRows(const Compilation& compilation, std::vector<RowPlan>& plan, uint64_t& total, std::string& error) {
  const float usPerCycle = compilation.usPerCycle();
  total = 0;
  for (const CompilationRow& row : compilation.rows()) {
    RowPlan block;
    if (row.IsPause()) {
      block.pauseRecords = EncodePause(row.duration, usPerCycle, compilation.decimalSeparator());
      if (block.pauseRecords.empty()) {
        error = "the pause " + row.duration + " cannot be written at this machine's clock";
        return false;
      }
      block.pulseBytes = block.pauseRecords.size();
    } else {
      std::error_code code;
      const uintmax_t size = fs::file_size(fs::u8path(row.path), code);
      if (code) {
        error = code.message();
        return false;
      }
      // A file no longer than its header holds no pulses.
      block.pulseBytes = size > static_cast<uintmax_t>(kTapHeaderSize) ? size - kTapHeaderSize : 0;
    }
    total += block.pulseBytes;
    plan.push_back(std::move(block));
  }
  if (total > UINT32_MAX) {
    error = Describe(EFBIG);
    return false;
  }
  return true;
}

// Appends `count` bytes of `path` from offset 20. The file must still hold
// exactly that many: one that changed since it was sized would make the
// header's length wrong.
using Sink = std::function<bool(const void* data, size_t size, std::string& error)>;

bool CopyPulses(const std::string& path, uint64_t count, std::vector<uint8_t>& buffer, const Sink& write,
                std::string& error, const std::function<void(uint64_t)>& copied) {
  if (count == 0) return true;
  // Opened without blocking, and only as a regular file: a pipe put in an
  // input's place since it was added never stalls the join.
  const int fd = OpenRegularFileForReading(path, error);
  if (fd < 0) return false;
  std::FILE* input = ::fdopen(fd, "rb");
  if (input == nullptr) {
    error = Describe(errno);
    ::close(fd);
    return false;
  }
  bool ok = std::fseek(input, kTapHeaderSize, SEEK_SET) == 0;
  if (!ok) error = Describe(errno);
  while (ok && count > 0) {
    const size_t want = count < buffer.size() ? static_cast<size_t>(count) : buffer.size();
    errno = 0;
    const size_t got = std::fread(buffer.data(), 1, want, input);
    if (got < want) {
      error = std::ferror(input) != 0 ? Describe(errno) : path + " changed while it was being joined";
      ok = false;
      break;
    }
    ok = write(buffer.data(), got, error);
    count -= got;
    copied(got);
  }
  if (ok && std::fgetc(input) != EOF) {
    error = path + " changed while it was being joined";
    ok = false;
  }
  std::fclose(input);
  return ok;
}

// The whole joined image, header first, through `write`.
bool WriteJoin(const Compilation& compilation, const std::vector<RowPlan>& plan, uint64_t total, const Sink& write,
               std::string& error, const JoinProgress& progress) {
  const auto header = MakeTapHeader(compilation.signature(), compilation.version(), compilation.machine(),
                                    compilation.video(), static_cast<uint32_t>(total));
  if (!write(header.data(), header.size(), error)) return false;
  uint64_t done = 0;
  const auto copied = [&](uint64_t count) {
    done += count;
    if (progress) progress(done, total);
  };
  std::vector<uint8_t> buffer(kChunkSize);
  const auto& rows = compilation.rows();
  for (size_t i = 0; i < rows.size(); ++i) {
    const RowPlan& block = plan[i];
    if (rows[i].IsPause()) {
      if (!write(block.pauseRecords.data(), block.pauseRecords.size(), error)) return false;
      copied(block.pauseRecords.size());
    } else if (!CopyPulses(rows[i].path, block.pulseBytes, buffer, write, error, copied)) {
      return false;
    }
  }
  return true;
}

}  // namespace

Outcome JoinToTapFile(const Compilation& compilation, const std::string& outputPath, bool replaceExisting,
                      const JoinProgress& progress, bool allowStream) {
  const auto fail = [&](const std::string& error) {
    return Outcome::Failure(FailureKind::SystemError, "Error while saving file " + outputPath + " : " + error);
  };
  std::string error;
  // The output is a file: a named pipe, a device or a folder at its name
  // (or at the end of a link there) is refused, never replaced by a file,
  // unless a stream was asked for (a pipe or a character device).
  struct stat status {};
  const bool exists = ::stat(outputPath.c_str(), &status) == 0;
  const bool stream = exists && allowStream && (S_ISFIFO(status.st_mode) || S_ISCHR(status.st_mode));
  if (exists && !S_ISREG(status.st_mode) && !stream) return fail(NotRegularFileReason(status.st_mode));
  std::vector<RowPlan> plan;
  uint64_t total = 0;
  if (!PlanRows(compilation, plan, total, error)) return fail(error);

  if (stream) {
    const int fd = ::open(outputPath.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return fail(Describe(errno));
    const Sink write = [fd](const void* data, size_t size, std::string& writeError) {
      const auto* bytes = static_cast<const uint8_t*>(data);
      while (size > 0) {
        const ssize_t wrote = ::write(fd, bytes, size);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) {
          writeError = Describe(wrote < 0 ? errno : EIO);
          return false;
        }
        bytes += wrote;
        size -= static_cast<size_t>(wrote);
      }
      return true;
    };
    const bool written = WriteJoin(compilation, plan, total, write, error, progress);
    const bool closed = ::close(fd) == 0;
    if (written && !closed) error = Describe(errno);
    return written && closed ? Outcome::Success() : fail(error);
  }

  // The writer removes its temporary file on every early return.
  SafeFileWriter writer;
  if (!writer.Open(outputPath, error)) return fail(error);
  const Sink write = [&writer](const void* data, size_t size, std::string& writeError) {
    return writer.Write(data, size, writeError);
  };
  if (!WriteJoin(compilation, plan, total, write, error, progress)) return fail(error);
  if (!writer.Commit(replaceExisting, error)) return fail(error);
  return Outcome::Success();
}

}  // namespace rw
