// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// "HTAP File conversion": gathers HTAP files and folders dropped on its list.
// It converts nothing yet; its buttons are in place for that work.

#include <QWidget>

class QTreeWidget;

namespace rw {

class ConvertWindow : public QWidget {
  Q_OBJECT
 public:
  explicit ConvertWindow(QWidget* parent = nullptr);

  // Appends a row for `path`: "File" for an existing, visible regular file,
  // "Dir" for anything else (a folder, a hidden file, a missing path).
  bool AddConvertItem(const QString& path);

 private:
  QTreeWidget* list_;
};

}  // namespace rw
