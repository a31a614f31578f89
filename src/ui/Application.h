// The Qt application object of the program: no exception may unwind through Qt's event
// dispatch, so every event handler runs inside a catch that ends the run cleanly instead.
#pragma once

#include <QApplication>

namespace larkspire {

class CApplication : public QApplication {
  Q_OBJECT

 public:
  // Every window and dialog carries the program icon unless it sets its own.
  CApplication(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace larkspire
