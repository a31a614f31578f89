#include "ui/Application.h"

#include "ui/UnhandledException.h"

namespace larkspire {

bool CApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    EndOnUnhandledException(activeWindow(), std::current_exception());
  }
}

}  // namespace larkspire
