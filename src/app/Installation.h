// The installation step: keeps the program file in the application directory, writes the
// settings that tell where things are, and creates the program's shortcuts. A run of an
// unpacked upgrade copies itself into place and hands over to the installed copy. A program
// installed from the package stays where the package put it.
#pragma once

#include <functional>
#include <string>

namespace larkspire {

class AppCore;

inline constexpr const char* kShortcutName = "Larkspire";
inline constexpr const char* kAutoShortcutName = "Larkspire (auto)";
// An old shortcut to the help file, no longer written.
inline constexpr const char* kHelpShortcutName = "help";

// What the step needs from the window.
struct CInstallHooks {
  // Runs the Configure command; false when it closed the window.
  std::function<bool()> configure;
  // Starts the program at path once this run has ended and saved everything.
  std::function<void(const std::string& program)> hand_over;
  // Waits between copy attempts of an upgrade run; the event pump when empty.
  std::function<void(int ms)> wait;
};

enum class InstallResult { kInstalled, kWindowClosing, kHandedOver };

// A run of the file an upgrade unpacked (its name has "_temp" in it).
bool IsUpgradeRun(const std::string& program_path);
// Install + the program file name.
std::string InstalledProgramPath(const AppCore& app);

// forced skips the question before an older copy is overwritten (the Configure command has
// just chosen the directory). Window closes are requested through the UiHost.
InstallResult RunInstallation(AppCore& app, bool forced, const CInstallHooks& hooks);

}  // namespace larkspire
