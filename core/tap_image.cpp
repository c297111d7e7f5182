#include "core/tap_image.h"

#include <cerrno>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/messages.h"

namespace rw {
namespace {

const char* const kLoadTitle = "Error!";

bool Refuse(Messages& messages, const std::string& text) {
  messages.Critical(kLoadTitle, text);
  return false;
}

}  // namespace

bool LoadTapImageFromBytes(const std::string& path, std::vector<uint8_t> fileBytes, TapImage& image,
                           Messages& messages) {
  // A file shorter than the header cannot be a tape image; reading its
  // missing header fields would mean reading past the end of the file.
  if (fileBytes.size() < static_cast<size_t>(kTapHeaderSize)) {
    return Refuse(messages, path + " Is not a valid TAP file");
  }
  if (fileBytes.size() > static_cast<size_t>(INT32_MAX - 1)) {
    return Refuse(messages, "Error while loading file " + path + " : " + std::strerror(EFBIG));
  }
  std::string signature(reinterpret_cast<const char*>(fileBytes.data()), 12);
  const uint8_t version = fileBytes[12];
  const uint8_t machine = fileBytes[13];
  const uint8_t video = fileBytes[14];

  // The checks run in this order, so a file with several faults names only the first.
  if (signature.compare(3, 9, "-TAPE-RAW") != 0) {
    return Refuse(messages, path + " Is not a valid TAP file");
  }
  if (version > 2) {
    return Refuse(messages, path + " Is in a TAP format (V" + std::to_string(version) + ") that is not supported");
  }
  if (video > 1) {
    return Refuse(messages,
                  path + " TAP file has a video format (" + std::to_string(video) + ") that is not supported");
  }
  if (machine > 2) {
    return Refuse(messages, path + " TAP file is for a Commodore Machine (" + std::to_string(machine) +
                                ") that is not supported");
  }

  image.signature = std::move(signature);
  image.version = version;
  image.machine = machine;
  image.video = video;
  image.reserved = fileBytes[15];
  image.dataLength = static_cast<uint32_t>(fileBytes[16]) | static_cast<uint32_t>(fileBytes[17]) << 8 |
                     static_cast<uint32_t>(fileBytes[18]) << 16 | static_cast<uint32_t>(fileBytes[19]) << 24;
  fileBytes.push_back(0);
  image.bytes = std::move(fileBytes);
  return true;
}

bool LoadTapImage(const std::string& path, TapImage& image, Messages& messages) {
  const auto fail = [&](int error) {
    return Refuse(messages, "Error while loading file " + path + " : " + std::strerror(error));
  };
  errno = 0;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return fail(errno != 0 ? errno : EIO);

  std::vector<uint8_t> data;
  // Read in chunks rather than trusting the size from stat (the file may be a
  // pipe or change while it is read), but reserve that size plus the trailing
  // zero so that a large image is held once, without regrowth copies.
  try {
    std::error_code sizeError;
    const auto sizeHint = std::filesystem::file_size(path, sizeError);
    if (!sizeError && sizeHint < static_cast<uintmax_t>(INT32_MAX)) data.reserve(sizeHint + 1);
    uint8_t buffer[1 << 16];
    for (;;) {
      const size_t got = std::fread(buffer, 1, sizeof buffer, file);
      data.insert(data.end(), buffer, buffer + got);
      if (got < sizeof buffer) break;
    }
  } catch (const std::bad_alloc&) {
    std::fclose(file);
    return fail(ENOMEM);
  }
  const bool readError = std::ferror(file) != 0;
  const int readErrno = errno;
  std::fclose(file);
  if (readError) return fail(readErrno != 0 ? readErrno : EIO);
  return LoadTapImageFromBytes(path, std::move(data), image, messages);
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
