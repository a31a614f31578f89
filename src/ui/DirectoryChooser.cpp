#include "ui/DirectoryChooser.h"

#include <QFileDialog>

namespace larkspire {
namespace {

DirectoryHook& Hook() {
  static DirectoryHook hook;
  return hook;
}

}  // namespace

void SetDirectoryHookForTesting(DirectoryHook hook) { Hook() = std::move(hook); }

QString ChooseDirectory(QWidget* parent, const QString& title, const QString& start) {
  if (Hook()) return Hook()(title, start);
  return QFileDialog::getExistingDirectory(parent, title, start);
}

}  // namespace larkspire
