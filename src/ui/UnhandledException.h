// The last line of defence: an exception that escapes the handling of an event is shown in a
// box captioned "Unhandled Exception" and the process ends at once, saving nothing, so a half-
// finished change is never written over good data.
#pragma once

#include <exception>

class QWidget;

namespace larkspire {

// The code of such an end. Exit codes are 0 to 255 here, so a parent process sees
// 9999 % 256 = 15.
inline constexpr int kUnhandledExceptionExitCode = 9999;

// Shows the exception's text ("Unknown exception." when it has none) and ends the process.
[[noreturn]] void EndOnUnhandledException(QWidget* parent, const std::exception_ptr& error);

}  // namespace larkspire
