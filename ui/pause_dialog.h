// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// "Add Pause": asks for the length of a pause to put between two tape images
// of a compilation, typed like 5s or 1m30s.

#include <QDialog>

#include <string>

class QLabel;
class QLineEdit;

namespace rw {

class Messages;

class PauseDialog : public QDialog {
  Q_OBJECT
 public:
  // `decimalSeparator` is the one the typed text must use, named in the prompt.
  PauseDialog(std::string decimalSeparator, Messages& messages, QWidget* parent = nullptr);

  // Starts afresh ("5s", all selected), centres over `owner` and shows the
  // dialog modally. Returns the confirmed text, or an empty text after
  // "Cancel", Escape or the close box.
  std::string PopUp(QWidget* owner);

  // Puts the dialog back to its opening state without showing it.
  void Reset();
  // The text confirmed by "Add" since the last Reset; empty otherwise.
  const std::string& pauseText() const { return pauseText_; }

 public slots:
  // "Add": refuses a text that is no duration (the dialog stays open).
  void Add();

 private:
  std::string decimalSeparator_;
  Messages& messages_;
  QLabel* prompt_;
  QLineEdit* text_;
  std::string pauseText_;
};

}  // namespace rw
