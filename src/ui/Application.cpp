#include "ui/Application.h"

#include "ui/ProgramIcon.h"
#include "ui/UnhandledException.h"

namespace larkspire {

CApplication::CApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setWindowIcon(ProgramIcon());
}

bool CApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    EndOnUnhandledException(activeWindow(), std::current_exception());
  }
}

}  // namespace larkspire
