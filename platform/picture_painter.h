// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Qt's back end for the program's pictures (core/picture.h): painted into a
// window, or rendered as PNG bytes.

#include <QByteArray>

#include "core/picture.h"

class QPainter;

namespace rw {

// Paints `picture` with its top left at the painter's origin.
void PaintPicture(QPainter& painter, const Picture& picture);

// The picture as a PNG file's bytes. Needs a QGuiApplication (for fonts).
QByteArray PicturePng(const Picture& picture);

}  // namespace rw
