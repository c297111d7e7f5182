// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Messages shown as modal QMessageBoxes over a parent window; without one,
// over the program's window in front (the services are made before any
// window is).

#include "core/ports/messages.h"

class QWidget;

namespace rw {

class QtMessages : public Messages {
 public:
  explicit QtMessages(QWidget* parent = nullptr) : parent_(parent) {}
  MessageAnswer Show(const Message& message) override;

 private:
  QWidget* parent_;
};

}  // namespace rw
