// The program's shortcuts: freedesktop desktop entries in the shortcut folder, where the
// Windows program wrote shell links (.lnk) and Internet shortcuts (.url).
#pragma once

#include <string>

namespace larkspire {

inline constexpr const char* kShortcutExtension = ".desktop";

// folder/name.desktop starting target with arguments (each blank-separated word one argument).
// Failures are silent, as the shell-link writer's were.
void WriteShortcut(const std::string& folder, const std::string& name, const std::string& target,
                   const std::string& arguments, const std::string& description);
// folder/name.desktop of type Link opening the address.
void WriteInternetShortcut(const std::string& folder, const std::string& name,
                           const std::string& address);
void DeleteShortcut(const std::string& folder, const std::string& name);

// The Exec value for a program and its arguments: every word quoted where the desktop-entry
// rules need it, and the value escaped as a desktop-entry string.
std::string DesktopExecValue(const std::string& target, const std::string& arguments);

}  // namespace larkspire
