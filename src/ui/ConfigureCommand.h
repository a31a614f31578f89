// Options > Configure... and the installation step, with their dialogs. The main window calls
// these; the steps themselves live in the core (app/ConfigureFlow.h, app/Installation.h).
#pragma once

class QWidget;

namespace larkspire {

class AppCore;

// Options > Configure..., and the first show of an unconfigured program. Returns false when the
// window is to close (its close has been requested through the UiHost).
bool RunConfigure(AppCore& app, QWidget* parent);

// The installation step: not forced from the first show of a configured program. An upgrade
// run hands over to the installed copy, which starts when this run has ended. Returns false
// when the window is to close (the user cancelled, or the run handed over), so the first show
// starts no unattended work then.
bool RunInstallationStep(AppCore& app, QWidget* parent, bool forced);

}  // namespace larkspire
