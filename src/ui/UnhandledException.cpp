#include "ui/UnhandledException.h"

#include <cstdlib>
#include <stdexcept>
#include <string>

#include "ui/QtUiHost.h"

namespace larkspire {

void EndOnUnhandledException(QWidget* parent, const std::exception_ptr& error) {
  std::string text;
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    text = e.what();
  } catch (...) {
  }
  if (text.empty()) text = "Unknown exception.";
  ShowQtMessage(parent, nullptr, text, "Unhandled Exception", MsgButtons::kOk, MsgAnswer::kOk);
  std::_Exit(kUnhandledExceptionExitCode);
}

}  // namespace larkspire
