// A folder whose name is not UTF-8 is remembered byte for byte.

#include <gtest/gtest.h>

#include <QString>

#include <tuple>

#include "platform/native_path.h"
#include "settings/app_settings.h"
#include "support/scratch_folder.h"

namespace rw {
namespace {

using test::ReadFileText;
using test::ScratchFolder;

// Sets a remembered folder; the outcome, the error and what the file holds after.
std::tuple<bool, std::string, std::string> Remember(const std::string& ini, const std::string& folder = "/tapes") {
  AppSettings settings(PathToQt(ini), "/opt/reelwright");
  const bool saved = WritePersistentPath(settings, PathToQt(folder), PersistentPath::LoadPath);
  return {saved, settings.LastError().toStdString(), ReadFileText(ini)};
}

TEST(SettingsFileNames, AFolderWhoseNameIsNotUtf8IsRememberedByteForByte) {
  ScratchFolder scratch;
  const std::string ini = scratch.File("Reelwright.ini");
  const std::string folder = "/tapes/caf\xE9 \xFF";
  EXPECT_TRUE(std::get<0>(Remember(ini, folder)));
  EXPECT_EQ(ReadFileText(ini), "[Persistence]\nLoadPath=" + folder + "\n");
  AppSettings settings(PathToQt(ini), "/opt/reelwright");
  EXPECT_EQ(settings.ReadPersistentPath(PersistentPath::LoadPath), folder);
}

}  // namespace
}  // namespace rw
