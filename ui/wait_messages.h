// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Messages that first take the please-wait box away. The box stays on top of
// every window, so a message box shown while it is up (a failure in the
// middle of a join or a disk build) would sit behind it.

#include "core/ports/messages.h"
#include "ui/wait_box.h"

namespace rw {

class WaitBoxMessages : public Messages {
 public:
  WaitBoxMessages(Messages& inner, WaitBox* waitBox) : inner_(inner), waitBox_(waitBox) {}
  MessageAnswer Show(const Message& message) override {
    if (waitBox_ && waitBox_->isVisible()) waitBox_->ShowWait(QString(), false);
    return inner_.Show(message);
  }

 private:
  Messages& inner_;
  WaitBox* waitBox_;
};

}  // namespace rw
