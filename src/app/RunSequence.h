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

// Window destruction's saving, in order: data file, downloaded rules, HTML and XML reports.
void SaveAtExit(AppCore& app);

}  // namespace larkspire
