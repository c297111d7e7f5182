// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The two questions of the launcher disk builder as modal dialogs: "Launcher
// Disk Creation" (device number and SD-card folder, once per build) and
// "Target System" (machine and disk name, once per program).

#include <QDialog>

#include <string>

#include "launcher/launcher_dialogs.h"

class QComboBox;
class QLineEdit;

namespace rw {

class Messages;

// "Launcher Disk Creation": opens with device 8 and an empty folder; "Next >" closes only on a
// valid answer (the refusal is shown and the dialog stays open).
class LauncherDeviceDialog : public QDialog {
  Q_OBJECT
 public:
  explicit LauncherDeviceDialog(Messages& messages, QWidget* parent = nullptr);
  // Cancelled until "Next >" accepts; so also after the close box.
  const DeviceAnswer& answer() const { return answer_; }

 public slots:
  void Next();

 private:
  Messages& messages_;
  QLineEdit* device_;
  QLineEdit* directory_;
  DeviceAnswer answer_;
};

// "Target System": shows the proposed disk file name and offers the name for editing,
// with "Commodore 64" selected.
class TargetSystemDialog : public QDialog {
  Q_OBJECT
 public:
  TargetSystemDialog(const std::string& proposedDiskName, const std::string& name, QWidget* parent = nullptr);
  // Cancel until "Next >" or "For All remaining" is pressed; so also after
  // the close box.
  const TargetAnswer& answer() const { return answer_; }

 private:
  void Finish(TargetAction action);

  QComboBox* systems_;
  QLineEdit* name_;
  TargetAnswer answer_;
};

// Shows each dialog modally (the main window takes no input meanwhile),
// centred over `owner`.
class QtLauncherDialogs : public LauncherDialogs {
 public:
  QtLauncherDialogs(QWidget* owner, Messages& messages) : owner_(owner), messages_(messages) {}
  DeviceAnswer AskDevice() override;
  TargetAnswer AskTarget(const std::string& proposedDiskName, const std::string& name) override;

 private:
  QWidget* owner_;
  Messages& messages_;
};

}  // namespace rw
