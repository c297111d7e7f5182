#include "join/join_operation.h"

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
#include "platform/messages.h"

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
bool CopyPulses(const std::string& path, uint64_t count, std::vector<uint8_t>& buffer, SafeFileWriter& writer,
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
    ok = writer.Write(buffer.data(), got, error);
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

}  // namespace

bool JoinToTapFile(const Compilation& compilation, const std::string& outputPath, bool replaceExisting,
                   Messages& messages, const JoinProgress& progress) {
  const auto fail = [&](const std::string& error) {
    messages.Critical("Error!", "Error while saving file " + outputPath + " : " + error);
    return false;
  };
  std::string error;
  std::vector<RowPlan> plan;
  uint64_t total = 0;
  if (!PlanRows(compilation, plan, total, error)) return fail(error);

  // The writer removes its temporary file on every early return.
  SafeFileWriter writer;
  if (!writer.Open(outputPath, error)) return fail(error);
  const auto header = MakeTapHeader(compilation.signature(), compilation.version(), compilation.machine(),
                                    compilation.video(), static_cast<uint32_t>(total));
  if (!writer.Write(header.data(), header.size(), error)) return fail(error);

  uint64_t done = 0;
  const auto copied = [&](uint64_t count) {
    done += count;
    if (progress) progress(done, total);
  };
  std::vector<uint8_t> buffer(kChunkSize);
  const auto& rows = compilation.rows();
  for (size_t i = 0; i < rows.size(); ++i) {
    const RowPlan& block = plan[i];
    bool written = false;
    if (rows[i].IsPause()) {
      written = writer.Write(block.pauseRecords.data(), block.pauseRecords.size(), error);
      if (written) copied(block.pauseRecords.size());
    } else {
      written = CopyPulses(rows[i].path, block.pulseBytes, buffer, writer, error, copied);
    }
    if (!written) return fail(error);
  }
  if (!writer.Commit(replaceExisting, error)) return fail(error);
  return true;
}

}  // namespace rw
