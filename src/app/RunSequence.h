// The steps around the main window's life that are not about widgets: what its initialisation
// loads, what its first show starts, and what its destruction saves.
#pragma once

namespace larkspire {

class AppCore;

// Loads the data file and the rules, and sorts the list by the stored sort.
void InitializeRun(AppCore& app);

// What the first show of the window should do next.
enum class FirstShowAction { kClose, kConfigure, kRunInstallationAndUpdate };
FirstShowAction DecideFirstShow(const AppCore& app);

// After the first show's installation step: an unattended run updates every entry and then
// asks the window to close (which sends the e-mail and saves).
void StartUnattendedWork(AppCore& app);

// The close request: while busy the work is told to stop and the window closes when it ends
// (false now); otherwise the pending e-mail decides whether the window may close.
bool ConfirmClose(AppCore& app);

// Window destruction's saving, in order: data file, downloaded rules, HTML and XML reports.
void SaveAtExit(AppCore& app);

}  // namespace larkspire
