#include "app/Installation.h"

#include "app/AppCore.h"
#include "app/Sites.h"
#include "platform/Files.h"
#include "platform/ProgramFiles.h"
#include "platform/ProgramInfo.h"
#include "platform/Resources.h"
#include "platform/Shortcuts.h"

namespace larkspire {
namespace {

constexpr int kUpgradeCopyAttempts = 10;
constexpr int kUpgradeCopyPauseMs = 1000;

void RequestClose(AppCore& app) {
  if (app.Ui()) app.Ui()->RequestClose();
}

// True when the copy succeeded. An upgrade run waits for the old copy to let go of the file
// and never complains; any other run tells the user.
bool CopyIntoPlace(AppCore& app, const std::string& target, bool upgrade_run,
                   const CInstallHooks& hooks) {
  const int attempts = upgrade_run ? kUpgradeCopyAttempts : 1;
  for (int attempt = 1; attempt <= attempts; ++attempt) {
    if (CopyProgramFile(app.ProgramPath(), target)) return true;
    if (attempt == attempts) break;
    if (hooks.wait) {
      hooks.wait(kUpgradeCopyPauseMs);
    } else {
      app.PumpEvents(kUpgradeCopyPauseMs);
    }
  }
  return false;
}

// The icon the shortcuts name, in every drawn size and as the drawing itself, so the menu shows
// it sharp at any size. A failure leaves the desktop's generic icon, nothing worse.
void InstallIcons(const std::string& shortcut_folder) {
  const std::string data_home = IconDataHome(shortcut_folder);
  for (int size : kIconSizes) {
    const std::string name = "LARKSPIRE_" + std::to_string(size) + "_PNG";
    if (std::optional<std::string_view> png = FindResource("ICON", name)) {
      InstallIcon(data_home, size, *png);
    }
  }
  if (std::optional<std::string_view> svg = FindResource("ICON", "LARKSPIRE_SVG")) {
    InstallScalableIcon(data_home, *svg);
  }
}

void WriteShortcuts(AppCore& app, const std::string& target, bool packaged) {
  const std::string folder = app.Settings().ShortcutFolder.Text();
  MakeDirectories(folder);
  WriteShortcut(folder, kShortcutName, target, "", "Watch the status of US patent applications");
  WriteShortcut(folder, kAutoShortcutName, target, "-auto",
                "Update every entry unattended and send the notifications");
  WriteInternetShortcut(folder, kPublisherSiteName, kPublisherSiteAddress);
  WriteInternetShortcut(folder, kMakerSiteName, kMakerSiteAddress);
  DeleteShortcut(folder, kHelpShortcutName);
  // The package brings the icon into the system's theme.
  if (!packaged) InstallIcons(folder);
  WriteMenuFolder(folder, {kShortcutName, kAutoShortcutName, kPublisherSiteName, kMakerSiteName});
}

}  // namespace

bool IsUpgradeRun(const std::string& program_path) {
  const std::size_t slash = program_path.rfind('/');
  const std::string name = program_path.substr(slash == std::string::npos ? 0 : slash + 1);
  return name.find("_temp") != std::string::npos;
}

std::string InstalledProgramPath(const AppCore& app) {
  return JoinPath(app.Settings().Install.Text(), kProgramFileName);
}

InstallResult RunInstallation(AppCore& app, bool forced, const CInstallHooks& hooks) {
  const std::string running = app.ProgramPath();
  const std::string running_dir = DirectoryOf(running);
  const bool upgrade_run = IsUpgradeRun(running);
  const bool packaged = IsPackagedProgram(running);
  // The package manager owns the installed program; the step writes only the user's files.
  if (packaged) app.Settings().Install.Set(running_dir);
  std::string target = InstalledProgramPath(app);
  if (running != target) {
    bool copy = true;
    if (!forced && !upgrade_run) {
      const MsgAnswer answer = app.MessageBox(
          "You are running " + running + "\nPreviously you ran " + target +
              "\n\nDo you want to overwrite the previous copy of " + kProgramFileName +
              "?\n\nIf you choose NO the Application Directory will be changed to " + running_dir +
              ".",
          MsgButtons::kYesNoCancel, MsgAnswer::kYes);
      if (answer == MsgAnswer::kCancel) {
        RequestClose(app);
        return InstallResult::kWindowClosing;
      }
      if (answer == MsgAnswer::kNo) {
        app.Settings().Install.Set(running_dir);
        copy = false;
      }
    }
    if (copy && !CopyIntoPlace(app, target, upgrade_run, hooks) && !upgrade_run) {
      app.MessageBox("Couldn't copy the application exe file to the new application directory.",
                     MsgButtons::kOk, MsgAnswer::kOk, "", std::nullopt, MsgIcon::kWarning);
      app.Settings().Install.Set(running_dir);
      if (hooks.configure && !hooks.configure()) return InstallResult::kWindowClosing;
    }
    // The shortcuts must lead to the copy that is really there.
    target = InstalledProgramPath(app);
  }

  app.Settings().SaveInstallationSettings();
  WriteShortcuts(app, target, packaged);

  if (upgrade_run) {
    if (hooks.hand_over) hooks.hand_over(target);
    RequestClose(app);
    return InstallResult::kHandedOver;
  }
  return InstallResult::kInstalled;
}

}  // namespace larkspire
