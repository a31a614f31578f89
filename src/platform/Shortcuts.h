// The program's shortcuts: freedesktop desktop entries in the shortcut folder, where the
// Windows program wrote shell links (.lnk) and Internet shortcuts (.url).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace larkspire {

inline constexpr const char* kShortcutExtension = ".desktop";
// The icon every shortcut names, looked up in the icon theme (hicolor, where InstallIcon puts it).
inline constexpr const char* kIconName = "larkspire";
// The sizes, in pixels, of the icon drawn for the theme.
inline constexpr int kIconSizes[] = {16, 24, 32, 48, 64, 128, 256};

// folder/name.desktop starting target with arguments (each blank-separated word one argument),
// with the program icon, in the Office category, the description as its comment (none when
// empty). Failures are silent, as the shell-link writer's were.
void WriteShortcut(const std::string& folder, const std::string& name, const std::string& target,
                   const std::string& arguments, const std::string& description);
// folder/name.desktop of type Link opening the address, with the program icon and category.
void WriteInternetShortcut(const std::string& folder, const std::string& name,
                           const std::string& address);
void DeleteShortcut(const std::string& folder, const std::string& name);

// The user's data directory: $XDG_DATA_HOME, else ~/.local/share.
std::string XdgDataHome();
// Where the desktop looks for the icons of shortcuts in folder: the data directory that holds
// the applications folder they are in (the default folder is XdgDataHome()/applications/...),
// else the user's data directory.
std::string IconDataHome(const std::string& shortcut_folder);

// The user's configuration directory: $XDG_CONFIG_HOME, else ~/.config.
std::string XdgConfigHome();
// Makes the shortcut folder a submenu of the desktop's applications menu, named after the
// folder: a merged menu file (XdgConfigHome()/menus/applications-merged/) that lists the named
// shortcuts, and the submenu's directory entry with the program icon. Only a folder below the
// user's own applications folder is the user's menu; for any other folder nothing is written
// and true returned. False when a file could not be written.
bool WriteMenuFolder(const std::string& shortcut_folder, const std::vector<std::string>& names);

// Puts the program icon of one size into the user's hicolor theme under data_home (the
// XDG data directory, beside the applications folder of the shortcuts):
// data_home/icons/hicolor/<size>x<size>/apps/larkspire.png, folders made as needed, an older
// icon replaced. False when it could not be written.
bool InstallIcon(const std::string& data_home, int size, std::string_view png);
// The drawing itself, for any size: data_home/icons/hicolor/scalable/apps/larkspire.svg.
bool InstallScalableIcon(const std::string& data_home, std::string_view svg);

// The Exec value for a program and its arguments: every word quoted where the desktop-entry
// rules need it, and the value escaped as a desktop-entry string.
std::string DesktopExecValue(const std::string& target, const std::string& arguments);

}  // namespace larkspire
