// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/tap_image.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "core/file_open.h"

namespace rw {
namespace {

Outcome Refuse(const std::string& text) { return Outcome::Failure(FailureKind::Refused, text); }

// The header checks, in the order that names only the first fault. `header`
// holds at least kTapHeaderSize bytes.
Outcome HeaderAccepted(const std::string& path, const uint8_t* header) {
  const std::string_view signature(reinterpret_cast<const char*>(header), 12);
  const uint8_t version = header[12];
  const uint8_t machine = header[13];
  const uint8_t video = header[14];
  if (signature.substr(3) != "-TAPE-RAW") return Refuse(path + " Is not a valid TAP file");
  if (version > 2) {
    return Refuse(path + " Is in a TAP format (V" + std::to_string(version) + ") that is not supported");
  }
  if (video > 1) {
    return Refuse(path + " TAP file has a video format (" + std::to_string(video) + ") that is not supported");
  }
  if (machine > 2) {
    return Refuse(path + " TAP file is for a Commodore Machine (" + std::to_string(machine) +
                  ") that is not supported");
  }
  return Outcome::Success();
}

Outcome RefuseTooLarge(const std::string& path) {
  return Outcome::Failure(FailureKind::SystemError, "Error while loading file " + path + " : " + std::strerror(EFBIG));
}

// Reads up to `count` bytes, fewer only at the end of the file; -1 (errno
// set) on a read error. A signal's interruption is not one.
int64_t ReadFully(int fd, uint8_t* into, int64_t count) {
  int64_t done = 0;
  while (done < count) {
    const ssize_t got = ::read(fd, into + done, static_cast<size_t>(std::min<int64_t>(count - done, 1 << 30)));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    done += got;
  }
  return done;
}

// A large image is held in fresh memory that is touched page by page as it
// is read; in 2 MB pages instead of 4 KB ones the kernel takes one fault
// where it took 512, which for a 200 MB tape is most of the load's time.
// Only the whole large pages inside the buffer are advised, and only as a
// hint: where the system has none, nothing changes.
void AdviseLargePages(void* start, size_t length) {
#ifdef MADV_HUGEPAGE
  constexpr uintptr_t kLargePage = uintptr_t{2} << 20;
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(start) + kLargePage - 1) & ~(kLargePage - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(start) + length) & ~(kLargePage - 1);
  if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)start;
  (void)length;
#endif
}

}  // namespace

Outcome LoadTapImageFromBytes(const std::string& path, std::vector<uint8_t> fileBytes, TapImage& image) {
  // A file shorter than the header cannot be a tape image; reading its
  // missing header fields would mean reading past the end of the file.
  if (fileBytes.size() < static_cast<size_t>(kTapHeaderSize)) {
    return Refuse(path + " Is not a valid TAP file");
  }
  if (Outcome header = HeaderAccepted(path, fileBytes.data()); !header) return header;
  if (fileBytes.size() > static_cast<size_t>(kMaxTapFileSize)) return RefuseTooLarge(path);

  image.signature.assign(reinterpret_cast<const char*>(fileBytes.data()), 12);
  image.version = fileBytes[12];
  image.machine = fileBytes[13];
  image.video = fileBytes[14];
  image.reserved = fileBytes[15];
  image.dataLength = static_cast<uint32_t>(fileBytes[16]) | static_cast<uint32_t>(fileBytes[17]) << 8 |
                     static_cast<uint32_t>(fileBytes[18]) << 16 | static_cast<uint32_t>(fileBytes[19]) << 24;
  fileBytes.push_back(0);
  image.bytes = std::move(fileBytes);
  return Outcome::Success();
}

Outcome LoadTapImage(const std::string& path, TapImage& image, int64_t sizeLimit) {
  const auto fail = [&](int error) {
    return Outcome::Failure(FailureKind::SystemError,
                            "Error while loading file " + path + " : " + std::strerror(error));
  };
  // Never a blocking open, and nothing but a regular file: a pipe or a
  // device (put in the file's place even after a scan found it) is refused
  // before anything is read.
  std::string openError;
  int64_t size = 0;
  const int fd = OpenRegularFileForReading(path, openError, &size);
  if (fd < 0) return Outcome::Failure(FailureKind::SystemError, "Error while loading file " + path + " : " + openError);
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};

  // The header first: a file that is no tape image is refused before any
  // more of it is read, whatever its size.
  std::vector<uint8_t> data(kTapHeaderSize);
  const int64_t headerRead = ReadFully(fd, data.data(), kTapHeaderSize);
  if (headerRead < 0) return fail(errno != 0 ? errno : EIO);
  if (headerRead < kTapHeaderSize) return Refuse(path + " Is not a valid TAP file");
  if (Outcome header = HeaderAccepted(path, data.data()); !header) return header;

  // Refused from its size (of the file that was opened); the size also lets
  // a large image be held once and read straight into place, without
  // regrowth copies. Should the file grow meanwhile, the rest is read in
  // chunks up to the limit all the same.
  if (size > sizeLimit) return RefuseTooLarge(path);
  try {
    data.reserve(static_cast<size_t>(std::max<int64_t>(size, kTapHeaderSize)) + 1);
    AdviseLargePages(data.data(), data.capacity());
    data.resize(static_cast<size_t>(std::max<int64_t>(size, kTapHeaderSize)));
    const int64_t got = ReadFully(fd, data.data() + kTapHeaderSize, static_cast<int64_t>(data.size()) - kTapHeaderSize);
    if (got < 0) return fail(errno != 0 ? errno : EIO);
    data.resize(static_cast<size_t>(kTapHeaderSize + got));
    if (static_cast<int64_t>(data.size()) == size) {
      uint8_t buffer[1 << 16];
      for (;;) {
        const int64_t more = ReadFully(fd, buffer, sizeof buffer);
        if (more < 0) return fail(errno != 0 ? errno : EIO);
        if (static_cast<int64_t>(data.size()) + more > sizeLimit) return RefuseTooLarge(path);
        data.insert(data.end(), buffer, buffer + more);
        if (more < static_cast<int64_t>(sizeof buffer)) break;
      }
    }
  } catch (const std::bad_alloc&) {
    return fail(ENOMEM);
  }
  return LoadTapImageFromBytes(path, std::move(data), image);
}

}  // namespace rw

namespace rw {

std::array<uint8_t, 4> PutLength(uint32_t value) {
  return {static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>(value >> 8 & 0xFF),
          static_cast<uint8_t>(value >> 16 & 0xFF), static_cast<uint8_t>(value >> 24 & 0xFF)};
}

std::array<uint8_t, kTapHeaderSize> MakeTapHeader(const std::string& signature, uint8_t version, uint8_t machine,
                                                  uint8_t video, uint32_t pulseBytes) {
  std::array<uint8_t, kTapHeaderSize> header{};
  for (size_t i = 0; i < 12; ++i) header[i] = i < signature.size() ? static_cast<uint8_t>(signature[i]) : ' ';
  header[12] = version;
  header[13] = machine;
  header[14] = video;
  header[15] = 0;
  const auto length = PutLength(pulseBytes);
  std::copy(length.begin(), length.end(), header.begin() + 16);
  return header;
}

}  // namespace rw
