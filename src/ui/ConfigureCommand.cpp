#include "ui/ConfigureCommand.h"

#include "app/ConfigureFlow.h"
#include "app/Installation.h"
#include "ui/ConfigureDialog.h"
#include "ui/HandOver.h"
#include "ui/QtUiHost.h"

namespace larkspire {
namespace {

CInstallHooks InstallHooks(AppCore& app, QWidget* parent) {
  CInstallHooks hooks;
  hooks.configure = [&app, parent] { return RunConfigure(app, parent); };
  hooks.hand_over = ScheduleProgramStart;
  return hooks;
}

}  // namespace

bool RunConfigure(AppCore& app, QWidget* parent) {
  CConfigureHooks hooks;
  hooks.run_dialog = [&app, parent] {
    // Nobody could answer the dialog; the checks then find nothing configured.
    if (IsHeadless()) return;
    CConfigureDialog dialog(app, parent);
    dialog.exec();
  };
  hooks.install = InstallHooks(app, parent);
  return ConfigureProgram(app, hooks);
}

bool RunInstallationStep(AppCore& app, QWidget* parent, bool forced) {
  return RunInstallation(app, forced, InstallHooks(app, parent)) == InstallResult::kInstalled;
}

}  // namespace larkspire
