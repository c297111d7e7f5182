// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Small pieces the tool windows share: buttons built the same way everywhere,
// the program's pictures, and the handling of files dropped from a file
// manager.

#include <QIcon>
#include <QObject>
#include <QStringList>
#include <QStyle>

#include <functional>

class QPushButton;
class QWidget;

namespace rw {

// A button with a caption (and an optional picture). It answers Return
// while it has the focus, as dialog buttons do, so that every command can be
// given from the keyboard.
QPushButton* CommandButton(QWidget* parent, const QString& objectName, const QString& caption, const QString& toolTip,
                           const QIcon& icon = QIcon());

// A button showing only a picture. Its tooltip is also its accessible name,
// so that screen readers and desktop automation find it by what it does.
QPushButton* PictureButton(QWidget* parent, const QString& objectName, const QString& toolTip, const QIcon& icon);

// The program's own pictures (":/icons/<name>.png") and the style's standard ones.
QIcon ProgramIcon(const char* name);
QIcon StandardIcon(QStyle::StandardPixmap which);

// Converts between twips, the unit in which the windows' sizes are stated,
// and Qt's device-independent pixels (15 twips each).
constexpr int Twips(int twips) { return twips / 15; }

// Lets `target` take files dropped on it: a drop that carries local files
// calls `dropped` with their paths in the order delivered; any other drop is
// left to the widget itself. The drop is reported back as no action, so
// that the source never moves or deletes what it dragged.
class FileDropFilter : public QObject {
  Q_OBJECT
 public:
  FileDropFilter(QWidget* target, std::function<void(const QStringList&)> dropped);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::function<void(const QStringList&)> dropped_;
};

}  // namespace rw
