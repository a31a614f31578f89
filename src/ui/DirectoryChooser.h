// Choosing a folder with the desktop's folder dialog. Tests answer through the hook instead of a
// person, as they answer message boxes.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace larkspire {

// The chosen folder, or an empty text when the user cancelled.
QString ChooseDirectory(QWidget* parent, const QString& title, const QString& start);

using DirectoryHook = std::function<QString(const QString& title, const QString& start)>;
void SetDirectoryHookForTesting(DirectoryHook hook);

}  // namespace larkspire
