// The Configure command around its dialog: the disclaimer of a first configuration, the
// welcome report, the test e-mail offer and the installation that follows.
#pragma once

#include <functional>

#include "app/Installation.h"

namespace larkspire {

class AppCore;

// Shown before the first configuration; the help page pictures it.
extern const char* const kDisclaimer;

struct CConfigureHooks {
  // Shows the Configure dialog, which stores the configuration when the user confirms it.
  std::function<void()> run_dialog;
  CInstallHooks install;
};

// Returns false when the window is to close (the disclaimer refused, the user quit, or the
// installation ended the run); the close has then been requested through the UiHost.
bool ConfigureProgram(AppCore& app, const CConfigureHooks& hooks);

}  // namespace larkspire
