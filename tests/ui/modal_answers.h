#pragma once
// Answers modal dialogs while the code under test waits in their exec(): each
// dialog that opens gets the next step, run from a timer inside its event loop.

#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <vector>

namespace rw::test {

class ModalAnswers : public QObject {
 public:
  using Step = std::function<void(QWidget* dialog)>;
  explicit ModalAnswers(std::vector<Step> steps) : steps_(std::move(steps)) {
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
    timer_.start(5);
  }
  size_t answered() const { return next_; }

 protected:
  // A dialog shown again (or a new one at the old one's address) is a new
  // question once the last one has been hidden.
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Hide) {
      watched->setProperty("answered", false);
      watched->removeEventFilter(this);
    }
    return false;
  }

 private:
  void Poll() {
    QWidget* dialog = QApplication::activeModalWidget();
    if (!dialog || dialog->property("answered").toBool()) return;
    if (next_ >= steps_.size()) {
      // An unexpected dialog would wait forever: fail and close it.
      ADD_FAILURE() << "unexpected dialog " << dialog->objectName().toStdString();
      dialog->close();
      return;
    }
    dialog->setProperty("answered", true);
    dialog->installEventFilter(this);
    steps_[next_++](dialog);
  }

  std::vector<Step> steps_;
  size_t next_ = 0;
  QTimer timer_;
};

}  // namespace rw::test
