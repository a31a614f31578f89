// Program entry: registration words end the run at once, and so do the requests answered on the
// terminal (usage, version, the list as CSV); otherwise AppCore is built, the instance lock
// taken, and the main window runs until it is closed.
#include <cstdio>

#include "app/AppCore.h"
#include "app/CommandLine.h"
#include "platform/ProgramInfo.h"
#include "platform/qt/QtSecretStore.h"
#include "platform/qt/QtSettingsBackend.h"
#include "run/SecretSettings.h"
#include "run/Terminal.h"
#include "ui/Application.h"
#include "ui/ConsoleCommands.h"
#include "ui/HandOver.h"
#include "ui/HeadlessRun.h"
#include "ui/MainWindow.h"
#include "ui/QtUiHost.h"
#include "ui/TerminationSignals.h"

int main(int argc, char** argv) {
  using namespace larkspire;
  std::vector<std::string> args(argv + 1, argv + argc);
  const std::string command_line = JoinArguments(args);
  // There is no COM server here: registering and unregistering succeed and do nothing.
  if (ParseRegistration(command_line) != RegistrationCommand::kNone) return 0;
  if (std::optional<int> exit_code = RunConsoleCommand(args)) return *exit_code;

  if (!ChoosePlatform(HasAutoFlag(command_line))) {
    PrintLine(stderr, std::string(kCaption) +
                          ": there is no display to show the window on. Start it in a desktop "
                          "session, or with -auto for an unattended run.");
    return 1;
  }
  if (OnOffscreenPlatform()) DropQtRemarks();
  CApplication app(argc, argv);
  CQtSettingsBackend backend(DefaultSettingsPath());
  CQtSecretStore secrets(DefaultSettingsPath(),
                         KeyringPatience(HasAutoFlag(command_line) || IsHeadless()));
  int exit_code = 0;
  {
    AppCore core(backend, RunningProgramPath(), command_line);
    core.Status().headless = IsHeadless();
    core.SetSecretStore(&secrets);
    if (const std::string refusal = core.AcquireInstanceLock(); !refusal.empty()) {
      CQtUiHost host(nullptr, core.Log());
      core.SetUi(&host);
      core.MessageBox(refusal, MsgButtons::kOk, MsgAnswer::kOk, "", std::nullopt,
                      MsgIcon::kWarning);
      core.SetUi(nullptr);
      exit_code = 1;
    } else {
      LoadSecrets(core);
      {
        // The window saves the data file and reports as it is destroyed: still under the lock.
        CMainWindow window(core);
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        RouteTerminationSignalsTo(&window);
        window.Start();
        exit_code = app.exec();
      }
      core.ReleaseInstanceLock();
    }
    // Nobody watches a run without a display: its exit code tells whether anything failed.
    if (core.Status().headless && core.Status().had_failures && exit_code == 0) exit_code = 1;
  }
  backend.Flush();
  // An upgrade hands over to the new copy only now, with everything saved and the lock free.
  StartScheduledProgram();
  return exit_code;
}
