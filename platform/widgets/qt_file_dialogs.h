// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// File and folder dialogs shown with QFileDialog over a parent window;
// without one, over the program's window in front.

#include "core/ports/file_dialogs.h"

class QWidget;

namespace rw {

class QtFileDialogs : public FileDialogs {
 public:
  explicit QtFileDialogs(QWidget* parent = nullptr) : parent_(parent) {}
  std::string Ask(const FileDialogRequest& request) override;

 private:
  QWidget* parent_;
};

}  // namespace rw
