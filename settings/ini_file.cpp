// SPDX-License-Identifier: GPL-2.0-or-later
#include "settings/ini_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>

#include "core/file_open.h"
#include "core/safe_file.h"
#include "core/utilities.h"
#include "platform/native_path.h"
#include "settings/ini_text.h"

namespace rw {

namespace {

Outcome Failed(const QString& error) { return Outcome::Failure(FailureKind::SystemError, error.toStdString()); }

// A settings file is a few hundred bytes; anything this large is not one and
// is neither read into memory nor overwritten.
constexpr qint64 kMaxFileSize = 16 * 1024 * 1024;

// The encoding of a file this program does not read, by its byte order mark
// or, without one, by NUL bytes (which no text in UTF-8 holds); empty for
// UTF-8 (with or without a mark) and plain ASCII or Latin-1 text.
std::string UnreadableEncoding(const QByteArray& bytes) {
  if (bytes.startsWith(QByteArray("\x00\x00\xFE\xFF", 4)) || bytes.startsWith(QByteArray("\xFF\xFE\x00\x00", 4))) {
    return "UTF-32";
  }
  if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) return "UTF-16";
  if (bytes.contains('\0')) return "not text: it holds NUL bytes";
  return "";
}

}  // namespace

std::optional<IniText> cInifile::Load(QString& error) const {
  const std::string path = PathFromQt(path_);
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0 && errno == ENOENT) {
    // No file (or a link that leads nowhere): nothing stored yet.
    if (::lstat(path.c_str(), &status) != 0) return IniText();
  }
  // Only a regular file is read, and never with an open that blocks: a
  // named pipe or a device at the settings' place is ignored.
  std::string openError;
  int64_t size = 0;
  const int fd = OpenRegularFileForReading(path, openError, &size);
  if (fd < 0) {
    error = QString::fromStdString(openError);
    return std::nullopt;
  }
  QFile file;
  if (size > kMaxFileSize || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    if (!file.isOpen()) ::close(fd);
    error = size > kMaxFileSize ? QStringLiteral("File too large") : file.errorString();
    return std::nullopt;
  }
  const QByteArray bytes = file.read(kMaxFileSize + 1);
  if (file.error() != QFileDevice::NoError || bytes.size() > kMaxFileSize) {
    error = file.error() != QFileDevice::NoError ? file.errorString() : QStringLiteral("File too large");
    return std::nullopt;
  }
  // A file in another encoding (UTF-16 or UTF-32, which Windows editors
  // write) is not read, and so never written: a UTF-8 line appended to it
  // would spoil it for the program that wrote it.
  const std::string encoding = UnreadableEncoding(bytes);
  if (!encoding.empty()) {
    error = QString::fromStdString("It is in an encoding the program does not read (" + encoding + ")");
    return std::nullopt;
  }
  return IniText(bytes);
}

QString cInifile::WriteRefusal() const {
  const std::string path = PathFromQt(path_);
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) return QString();  // not there yet: it is made
  // A link's target may be any file at all (another program's, or one the
  // user never meant this program to touch): never written through.
  if (S_ISLNK(status.st_mode)) return QStringLiteral("It is a symbolic link, which is never written through");
  if (!S_ISREG(status.st_mode)) return QString::fromStdString(NotRegularFileReason(status.st_mode));
  // Read-only is the user's choice, even where the system would let this
  // program replace the file (root, or a writable folder).
  if ((status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(path.c_str(), W_OK) != 0) {
    return QStringLiteral("It is read-only");
  }
  return QString();
}

Outcome cInifile::Edit(const std::function<bool(IniText&, bool& changed)>& edit) {
  if (path_.isEmpty()) return Failed(QStringLiteral("No settings file"));
  QString error;
  std::optional<IniText> text = Load(error);
  if (!text) return Failed(error);
  bool changed = false;
  // A name or value that is no one INI line (a line break, a key with "=").
  if (!edit(*text, changed)) return Outcome::Failure(FailureKind::Refused, "Invalid argument");
  if (changed) {
    const QString refusal = WriteRefusal();
    if (!refusal.isEmpty()) return Failed(refusal);
    const std::string target = PathFromQt(path_);
    const QString folder = PathToQt(ParentFolder(AbsolutePath(target)));
    if (!QDir().mkpath(folder)) return Failed(QStringLiteral("Cannot create folder ") + folder);
    // The file keeps its permissions (a private 600 stays private).
    struct stat status {};
    const bool existed = ::stat(target.c_str(), &status) == 0;
    const QByteArray bytes = text->Bytes();
    std::string systemError;
    SafeFileWriter writer;
    if (existed) writer.SetPermissions(status.st_mode & 07777);
    if (!writer.Open(target, systemError) ||
        !writer.Write(bytes.constData(), static_cast<size_t>(bytes.size()), systemError) ||
        !writer.Commit(true, systemError)) {
      return Outcome::Failure(FailureKind::SystemError, systemError);
    }
  }
  return Outcome::Success();
}

QString cInifile::Value() const {
  QString error;
  const std::optional<IniText> text = Load(error);
  if (!text) return default_;
  return text->Find(section_, key_).value_or(default_);
}

Outcome cInifile::SetValue(QString& value) {
  value.remove(QChar(u'\0'));
  return Edit([&](IniText& text, bool& changed) { return changed = text.Set(section_, key_, value); });
}

Outcome cInifile::SetValue(const QString& value) {
  QString copy = value;
  return SetValue(copy);
}

Outcome cInifile::DeleteKey() {
  return Edit([&](IniText& text, bool& changed) {
    changed = text.RemoveKey(section_, key_);
    return true;
  });
}

}  // namespace rw
