// SPDX-License-Identifier: GPL-2.0-or-later
#include "settings/app_settings.h"

#include <QtGlobal>

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>

#include "platform/native_path.h"

namespace rw {

namespace {

const QString kSection = QStringLiteral("Persistence");
const QString kFileName = QStringLiteral("Reelwright.ini");

void SelectKey(AppSettings& settings, PersistentPath which) {
  settings.SetSection(kSection);
  settings.SetKey(PersistentPathKey(which));
  settings.SetDefault(settings.ProgramFolder());
}

}  // namespace

QString PersistentPathKey(PersistentPath which) {
  switch (which) {
    case PersistentPath::SavePath:
      return QStringLiteral("SavePath");
    case PersistentPath::LoadPath:
      return QStringLiteral("LoadPath");
    case PersistentPath::JoinPath:
      return QStringLiteral("JoinPath");
    case PersistentPath::SplitPath:
      return QStringLiteral("SplitPath");
    case PersistentPath::DefSplitPath:
      return QStringLiteral("DefSplitPath");
  }
  return QString();
}

AppSettings::AppSettings(const QString& iniPath, const QString& programFolder)
    : cInifile(iniPath),
      programFolder_(programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : programFolder) {}

QString ReadPersistentPath(AppSettings& settings, PersistentPath which) {
  SelectKey(settings, which);
  return settings.Value();
}

Outcome WritePersistentPath(AppSettings& settings, const QString& path, PersistentPath which) {
  SelectKey(settings, which);
  return settings.SetValue(path);
}

QString SettingsFileLocation(const QString& programFolder, const QString& userConfigFolder) {
  const QFileInfo program(programFolder);
  // An installed program sits in a bin folder beside share/ with its desktop
  // entry. That folder is writable for root, and settings there would be
  // shared by every user of the machine; they belong to each user instead.
  const bool installed =
      QFileInfo::exists(programFolder + QStringLiteral("/../share/applications/" REELWRIGHT_APP_ID ".desktop"));
  const bool portable = program.isDir() && program.isWritable() && !installed;
  return (portable || userConfigFolder.isEmpty() ? programFolder : userConfigFolder) + u'/' + kFileName;
}

QString SettingsFileLocation() {
  return SettingsFileLocation(QCoreApplication::applicationDirPath(),
                              QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
}

QString UnsetFolderDefault(const QString& iniPath, const QString& programFolder, const QString& homeFolder) {
  const bool beside = QFileInfo(QFileInfo(iniPath).absolutePath()) == QFileInfo(programFolder);
  return beside || homeFolder.isEmpty() ? programFolder : homeFolder;
}

std::string AppSettings::ReadPersistentPath(PersistentPath which) {
  return PathFromQt(rw::ReadPersistentPath(*this, which));
}

void AppSettings::WritePersistentPath(const std::string& path, PersistentPath which) {
  // A folder that cannot be remembered is no reason to interrupt the work
  // that chose it; say so on the console instead, once a run: a settings
  // file that is left alone (a link, read-only, not a regular file, in
  // another encoding) stays so for the whole run.
  const Outcome written = rw::WritePersistentPath(*this, PathToQt(path), which);
  if (!written && !warned_) {
    warned_ = true;
    qWarning("The settings of this run are not saved in %s: %s", qPrintable(ForDisplay(Path())),
             written.text().c_str());
  }
}

}  // namespace rw
