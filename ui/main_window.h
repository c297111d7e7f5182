#pragma once
#include <QMainWindow>

namespace rw {

// The program's frame: the tool windows open inside it as child windows.
class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  explicit MainWindow(QWidget* parent = nullptr);
};

}  // namespace rw
