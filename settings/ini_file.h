#pragma once
// One INI file seen through a current section, key and default: set those,
// then read or write `Value`. Every read goes to the file, so two objects on
// the same file always agree; every write goes to the file at once, replacing
// it whole and safely, so the user's choice is kept the moment it is made.
// A write that changes nothing (deleting what is not there) leaves the file,
// or its absence, alone.
//
// Failures are not shown to the user: a failed write, delete or position
// operation leaves 0 in LastReturnCode, so Success is false, and LastError
// holds the system's description.
//
// The file is only ever the user's own settings file: it is read only when
// it is a regular file (a named pipe or a device is ignored, never opened in
// a way that blocks), and left exactly as it is, never written, when it is a
// symbolic link, read-only, or in an encoding this program does not read
// (UTF-16, UTF-32). Its values then read as their defaults (unless it is only
// a link or read-only, which are read as usual).

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>

class QWidget;

namespace rw {

class IniText;

class cInifile {
 public:
  cInifile() = default;
  explicit cInifile(const QString& sPath) : path_(sPath) {}
  virtual ~cInifile() = default;

  const QString& Path() const { return path_; }
  void SetPath(const QString& sPath) { path_ = sPath; }
  const QString& Section() const { return section_; }
  void SetSection(const QString& sSection) { section_ = sSection; }
  const QString& Key() const { return key_; }
  void SetKey(const QString& sKey) { key_ = sKey; }
  const QString& Default() const { return default_; }
  void SetDefault(const QString& sDefault) { default_ = sDefault; }

  // The current key's value, whatever its length; Default when the file,
  // the section or the key is missing. An empty value is returned as such.
  QString Value() const;
  // Removes every NUL from the caller's text, then stores it.
  void SetValue(QString& sValue);
  void SetValue(const QString& sValue);

  void DeleteKey();
  void DeleteSection();

  // The current section's key names, each followed by a NUL.
  QString INISection() const;
  // Replaces the current section's content with the "key=value" entries of
  // `sEntries`, each followed by a NUL; an empty text removes the section.
  void SetINISection(const QString& sEntries);
  // The file's section names, each followed by a NUL.
  QString Sections() const;

  void EnumerateCurrentSection(QStringList& sKey, int32_t& iCount) const;
  void EnumerateAllSections(QStringList& sSections, int32_t& iCount) const;

  // Window geometry in twips (15 per pixel) under the current section, keys
  // "Maximised", "Left", "Top", "Width" and "Height".
  void SaveFormPosition(QWidget& frmThis);
  // Restores what SaveFormPosition stored, at least lMinWidth by lMinHeight,
  // kept on the window's screen with a margin of four pixels.
  void LoadFormPosition(QWidget& frmThis, int32_t lMinWidth, int32_t lMinHeight);

  // `sString` as a whole number (a fraction rounds half to even), or lDefault
  // when it is not a number or does not fit 32 bits.
  static int32_t CLngDefault(const QString& sString, int32_t lDefault = 0);

  int32_t LastReturnCode() const { return lastReturnCode_; }
  bool Success() const { return lastReturnCode_ != 0; }
  const QString& LastError() const { return lastError_; }

 private:
  // The file's text; an empty text when the file does not exist, nothing
  // when it exists but cannot be read (it must then never be overwritten).
  std::optional<IniText> Load(QString& error) const;
  // Loads the file, lets `edit` change it and writes it back. `edit` returns
  // false when the change cannot be written, and sets `changed`.
  void Edit(const std::function<bool(IniText&, bool& changed)>& edit);
  void Fail(const QString& error);
  // Why the file must not be written, or empty when it may: a symbolic link
  // (never written through), not a regular file, or read-only.
  QString WriteRefusal() const;

  QString path_;
  QString key_;
  QString section_;
  QString default_;
  int32_t lastReturnCode_ = 0;
  QString lastError_;
};

}  // namespace rw
