// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/scratch_folder.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace rw::test {
namespace fs = std::filesystem;

ScratchFolder::ScratchFolder() {
  std::string pattern = (fs::temp_directory_path() / "rw-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a scratch folder");
  path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code error;
  fs::remove_all(path_, error);
}

std::string ScratchFolder::Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
  const std::string path = File(name);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path;
}

std::string ScratchFolder::Write(const std::string& name, const std::string& text) const {
  return Write(name, std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<std::string> ScratchFolder::Names() const { return NamesIn(path_); }

std::vector<std::string> NamesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TemporaryFolderOverride::TemporaryFolderOverride(const std::string& folder) {
  if (const char* value = std::getenv("TMPDIR")) {
    hadValue_ = true;
    previous_ = value;
  }
  Set(folder);
}

TemporaryFolderOverride::~TemporaryFolderOverride() {
  if (hadValue_)
    setenv("TMPDIR", previous_.c_str(), 1);
  else
    unsetenv("TMPDIR");
}

void TemporaryFolderOverride::Set(const std::string& folder) const { setenv("TMPDIR", folder.c_str(), 1); }

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ReadFileText(const std::string& path) {
  const auto bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

std::string RealTapesFolder() {
  const std::string folder = REELWRIGHT_REAL_TAPES;
  return fs::is_directory(folder) ? folder : std::string();
}

}  // namespace rw::test
