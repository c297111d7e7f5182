// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/index_d64.h"

#include <QApplication>
#include <QCursor>

#include "launcher/launcher_input.h"
#include "split/program_list.h"
#include "ui/wait_box.h"
#include "ui/wait_messages.h"

namespace rw {
namespace {

const char* const kBuildingText = "Creating D64 Index file Please Wait!";

// Passes the questions on to the real dialogs and turns the builder's busy
// and progress signals into the wait pointer and the please-wait box. The box
// goes away before each dialog (it stays on top and would cover it), and comes
// back when the tools run again.
class BuildFeedback : public LauncherDialogs {
 public:
  BuildFeedback(LauncherDialogs& dialogs, WaitBox* waitBox) : dialogs_(dialogs), waitBox_(waitBox) {}
  BuildFeedback(const BuildFeedback&) = delete;
  BuildFeedback& operator=(const BuildFeedback&) = delete;
  ~BuildFeedback() override {
    SetBusy(false);
    HideWait();
  }

  DeviceAnswer AskDevice() override {
    HideWait();
    return dialogs_.AskDevice();
  }
  TargetAnswer AskTarget(const std::string& proposedDiskName, const std::string& name) override {
    HideWait();
    return dialogs_.AskTarget(proposedDiskName, name);
  }
  void SetBusy(bool busy) override {
    dialogs_.SetBusy(busy);
    if (busy == busy_) return;
    busy_ = busy;
    if (busy) {
      QApplication::setOverrideCursor(Qt::WaitCursor);
      if (waitBox_ && !waitBox_->isVisible()) {
        waitBox_->ShowWait(kBuildingText, true);
        if (total_ > 0) waitBox_->SetProgress(done_, total_);
      }
    } else {
      QApplication::restoreOverrideCursor();
    }
  }
  void SetProgress(int done, int total) override {
    done_ = done;
    total_ = total;
    if (waitBox_ && waitBox_->isVisible()) waitBox_->SetProgress(done, total);
    dialogs_.SetProgress(done, total);
  }

 private:
  void HideWait() {
    if (waitBox_ && waitBox_->isVisible()) waitBox_->ShowWait(QString(), false);
  }

  LauncherDialogs& dialogs_;
  WaitBox* waitBox_;
  bool busy_ = false;
  int done_ = 0;
  int total_ = 0;
};

}  // namespace

LauncherOutcome RunIndexD64(const ProgramList& model, Messages& messages, LauncherDialogs& dialogs, ToolRunner& tools,
                            WaitBox* waitBox) {
  if (!model.CommandsAllowed()) return LauncherOutcome::NotStarted;
  const LauncherDiskInput input = LauncherInputFromProgramList(model);
  // The target choice matters only within one build: every program is asked
  // for or takes the choice made with "For All remaining".
  LauncherSettings settings;
  WaitBoxMessages shown(messages, waitBox);
  BuildFeedback feedback(dialogs, waitBox);
  const LauncherResult result = BuildLauncherDisk(input, {feedback, settings, tools, shown});
  ShowFailure(result.failure, shown);
  return result.state;
}

}  // namespace rw
