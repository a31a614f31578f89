// Opening a file or web address with the program the desktop has for it (xdg-open). The
// desktop may have none, and then nothing would happen at all: the caller is told, so the user
// can be given the path to open by hand.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

namespace larkspire {

// The opener the desktop provides; tests name another.
inline constexpr const char* kDesktopOpener = "xdg-open";

// Starts the opener on the path or address and returns at once. on_failure runs later, on the
// user-interface thread, when the opener cannot be started or reports that it could not open
// it; it is dropped when context is gone by then. The opener is never stopped: a browser it
// started stays open when the program ends.
void OpenWithDesktop(const QString& path_or_address, QObject* context,
                     std::function<void()> on_failure, const QString& opener = kDesktopOpener);

}  // namespace larkspire
