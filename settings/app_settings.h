// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The program's settings: the directories the user last worked in and the
// default output directory, kept in section "Persistence" of "Reelwright.ini".
// The desktop program and the command line each create one AppSettings and
// hand it to whatever needs it.

#include <QString>
#include <cstdint>

#include "core/ports/remembered_paths.h"
#include "settings/ini_file.h"

namespace rw {

// The key under which `which` is kept ("SavePath", ..., "DefSplitPath").
QString PersistentPathKey(PersistentPath which);

class AppSettings : public cInifile, public RememberedPaths {
 public:
  // `programFolder` is what a directory that was never stored reads as; an
  // empty text means the folder of the running program.
  explicit AppSettings(const QString& iniPath, const QString& programFolder = QString());

  // The remembered folders for the tape logic, as the file system's bytes
  // (a folder whose name is not UTF-8 is stored and read back exactly).
  std::string ReadPersistentPath(PersistentPath which) override;
  void WritePersistentPath(const std::string& path, PersistentPath which) override;

  const QString& ProgramFolder() const { return programFolder_; }

 private:
  QString programFolder_;
  bool warned_ = false;  // a failed write has been reported (once a run)
};

// The stored directory; the program's folder when none was ever stored, and
// an empty text when an empty one was.
QString ReadPersistentPath(AppSettings& settings, PersistentPath which);
// Stores `path` at once; a failure when the file could not be written, which
// the caller may tell the user about.
Outcome WritePersistentPath(AppSettings& settings, const QString& path, PersistentPath which);

// "Reelwright.ini" in `programFolder` when the program may write there and
// was not installed (a portable copy), else in `userConfigFolder`.
QString SettingsFileLocation(const QString& programFolder, const QString& userConfigFolder);
// The same for the running program and the user's configuration folder.
QString SettingsFileLocation();
// What a folder that was never remembered reads as: the program's folder for
// a portable copy (its settings file beside it), the user's home folder for
// an installed program, whose folder (/usr/bin) is no place for tapes.
QString UnsetFolderDefault(const QString& iniPath, const QString& programFolder, const QString& homeFolder);

}  // namespace rw
