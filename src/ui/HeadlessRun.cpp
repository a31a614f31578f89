#include "ui/HeadlessRun.h"

#include <QtGlobal>
#include <cstdlib>
#include <cstring>

namespace larkspire {
namespace {

QtMessageHandler previous_handler = nullptr;

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

void DropRemarks(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type == QtDebugMsg || type == QtInfoMsg || type == QtWarningMsg) return;
  if (previous_handler != nullptr) previous_handler(type, context, message);
}

}  // namespace

bool ChoosePlatform(bool unattended) {
  if (IsSet("QT_QPA_PLATFORM") || IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY")) return true;
  if (!unattended) return false;
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  return true;
}

bool OnOffscreenPlatform() {
  // The platform name may carry options after a colon ("offscreen:fontengine=...").
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  return platform != nullptr && std::strncmp(platform, "offscreen", 9) == 0;
}

void DropQtRemarks() { previous_handler = qInstallMessageHandler(DropRemarks); }

}  // namespace larkspire
