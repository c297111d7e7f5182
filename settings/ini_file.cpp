#include "settings/ini_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QScreen>
#include <QWidget>
#include <cerrno>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "core/file_open.h"
#include "core/safe_file.h"
#include "core/utilities.h"
#include "platform/native_path.h"
#include "settings/ini_text.h"

namespace rw {

namespace {

// A settings file is a few hundred bytes; anything this large is not one and
// is neither read into memory nor overwritten.
constexpr qint64 kMaxFileSize = 16 * 1024 * 1024;
constexpr int64_t kTwipsPerPixel = 15;
constexpr int64_t kMarginPixels = 4;

QString JoinWithNuls(const QStringList& names) {
  QString text;
  for (const QString& name : names) text += name + QChar(u'\0');
  return text;
}

QStringList SplitAtNuls(const QString& text, bool skipEmpty) {
  QStringList pieces;
  qsizetype start = 0;
  for (qsizetype nul = text.indexOf(QChar(u'\0')); nul >= 0; nul = text.indexOf(QChar(u'\0'), start)) {
    const QString piece = text.mid(start, nul - start);
    if (!skipEmpty || !piece.isEmpty()) pieces.append(piece);
    start = nul + 1;
  }
  return pieces;
}

int32_t Checked32(int64_t value) {
  if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) {
    throw std::overflow_error("position out of range");
  }
  return static_cast<int32_t>(value);
}

int PixelsOf(int64_t twips) {
  return Checked32(static_cast<int64_t>(std::nearbyint(static_cast<double>(twips) / kTwipsPerPixel)));
}

// The window's place inside one screen dimension: on screen with the margin
// where it fits, cut to the screen where it does not.
void Fit(int64_t& start, int64_t& length, int64_t screen, int64_t margin) {
  if (start < margin) start = margin;
  if (start + length > screen - margin) {
    start = screen - margin - length;
    if (start < margin) start = margin;
    if (start + length > screen - margin) length = screen - start - margin;
  }
}

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

void cInifile::Fail(const QString& error) {
  lastReturnCode_ = 0;
  lastError_ = error;
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

void cInifile::Edit(const std::function<bool(IniText&, bool& changed)>& edit) {
  if (path_.isEmpty()) {
    Fail(QStringLiteral("No settings file"));
    return;
  }
  QString error;
  std::optional<IniText> text = Load(error);
  if (!text) {
    Fail(error);
    return;
  }
  bool changed = false;
  if (!edit(*text, changed)) {
    Fail(QStringLiteral("Invalid argument"));
    return;
  }
  if (changed) {
    const QString refusal = WriteRefusal();
    if (!refusal.isEmpty()) {
      Fail(refusal);
      return;
    }
    const std::string target = PathFromQt(path_);
    const QString folder = PathToQt(ParentFolder(AbsolutePath(target)));
    if (!QDir().mkpath(folder)) {
      Fail(QStringLiteral("Cannot create folder ") + folder);
      return;
    }
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
      Fail(QString::fromStdString(systemError));
      return;
    }
  }
  lastReturnCode_ = 1;
  lastError_.clear();
}

QString cInifile::Value() const {
  QString error;
  const std::optional<IniText> text = Load(error);
  if (!text) return default_;
  return text->Find(section_, key_).value_or(default_);
}

void cInifile::SetValue(QString& sValue) {
  sValue.remove(QChar(u'\0'));
  Edit([&](IniText& text, bool& changed) { return changed = text.Set(section_, key_, sValue); });
}

void cInifile::SetValue(const QString& sValue) {
  QString copy = sValue;
  SetValue(copy);
}

void cInifile::DeleteKey() {
  Edit([&](IniText& text, bool& changed) {
    changed = text.RemoveKey(section_, key_);
    return true;
  });
}

void cInifile::DeleteSection() {
  Edit([&](IniText& text, bool& changed) {
    changed = text.RemoveSection(section_);
    return true;
  });
}

QString cInifile::INISection() const {
  QString error;
  const std::optional<IniText> text = Load(error);
  return text ? JoinWithNuls(text->Keys(section_)) : QString();
}

void cInifile::SetINISection(const QString& sEntries) {
  Edit([&](IniText& text, bool& changed) {
    IniText replaced = text;
    changed = replaced.RemoveSection(section_);
    for (const QString& entry : SplitAtNuls(sEntries, true)) {
      const qsizetype equals = entry.indexOf(u'=');
      if (equals <= 0 || !replaced.Set(section_, entry.left(equals).trimmed(), entry.mid(equals + 1))) return false;
      changed = true;
    }
    text = replaced;
    return true;
  });
}

QString cInifile::Sections() const {
  QString error;
  const std::optional<IniText> text = Load(error);
  return text ? JoinWithNuls(text->SectionNames()) : QString();
}

void cInifile::EnumerateCurrentSection(QStringList& sKey, int32_t& iCount) const {
  sKey = SplitAtNuls(INISection(), false);
  iCount = static_cast<int32_t>(sKey.size());
}

void cInifile::EnumerateAllSections(QStringList& sSections, int32_t& iCount) const {
  sSections = SplitAtNuls(Sections(), true);
  iCount = static_cast<int32_t>(sSections.size());
}

int32_t cInifile::CLngDefault(const QString& sString, int32_t lDefault) {
  QLocale system = QLocale::system();
  system.setNumberOptions(QLocale::RejectGroupSeparator);
  QLocale c = QLocale::c();
  c.setNumberOptions(QLocale::RejectGroupSeparator);
  bool ok = false;
  double number = system.toDouble(sString.trimmed(), &ok);
  if (!ok) number = c.toDouble(sString.trimmed(), &ok);
  if (!ok || !std::isfinite(number)) return lDefault;
  const double rounded = std::nearbyint(number);
  if (rounded < std::numeric_limits<int32_t>::min() || rounded > std::numeric_limits<int32_t>::max()) return lDefault;
  return static_cast<int32_t>(rounded);
}

void cInifile::SaveFormPosition(QWidget& frmThis) {
  const QString rememberedKey = key_;
  const Qt::WindowStates state = frmThis.windowState();
  if (!(state & Qt::WindowMinimized)) {
    const bool maximized = (state & Qt::WindowMaximized) != 0;
    const bool normal = !(state & (Qt::WindowMaximized | Qt::WindowFullScreen));
    const std::pair<const char*, int64_t> entries[] = {{"Left", frmThis.x()},
                                                       {"Top", frmThis.y()},
                                                       {"Width", frmThis.width()},
                                                       {"Height", frmThis.height()}};
    key_ = QStringLiteral("Maximised");
    SetValue(QString::number(maximized ? 1 : 0));
    for (const auto& [name, pixels] : entries) {
      if (!normal || !Success()) break;
      key_ = QString::fromLatin1(name);
      SetValue(QString::number(pixels * kTwipsPerPixel));
    }
  }
  key_ = rememberedKey;
}

void cInifile::LoadFormPosition(QWidget& frmThis, int32_t lMinWidth, int32_t lMinHeight) {
  const QString rememberedKey = key_;
  const QString rememberedDefault = default_;
  try {
    const QScreen* screen = frmThis.screen();
    if (screen == nullptr) throw std::runtime_error("no screen");
    const int64_t screenWidth = int64_t{screen->geometry().width()} * kTwipsPerPixel;
    const int64_t screenHeight = int64_t{screen->geometry().height()} * kTwipsPerPixel;
    const int64_t marginX = kMarginPixels * kTwipsPerPixel;
    const int64_t marginY = kMarginPixels * kTwipsPerPixel;
    default_ = QStringLiteral("FAIL");
    const auto stored = [&](const char* name, int64_t current) -> int64_t {
      key_ = QString::fromLatin1(name);
      return CLngDefault(Value(), Checked32(current));
    };
    int64_t left = stored("Left", int64_t{frmThis.x()} * kTwipsPerPixel);
    int64_t top = stored("Top", int64_t{frmThis.y()} * kTwipsPerPixel);
    int64_t width = std::max<int64_t>(stored("Width", int64_t{frmThis.width()} * kTwipsPerPixel), lMinWidth);
    int64_t height = std::max<int64_t>(stored("Height", int64_t{frmThis.height()} * kTwipsPerPixel), lMinHeight);
    Fit(left, width, screenWidth, marginX);
    Fit(top, height, screenHeight, marginY);
    if (width >= lMinWidth && height >= lMinHeight) {
      frmThis.move(PixelsOf(left), PixelsOf(top));
      frmThis.resize(PixelsOf(width), PixelsOf(height));
    }
    key_ = QStringLiteral("Maximised");
    if (CLngDefault(Value(), 0) != 0) frmThis.setWindowState(frmThis.windowState() | Qt::WindowMaximized);
    lastReturnCode_ = 1;
    lastError_.clear();
  } catch (const std::exception& error) {
    Fail(QString::fromUtf8(error.what()));
  }
  key_ = rememberedKey;
  default_ = rememberedDefault;
}

}  // namespace rw
