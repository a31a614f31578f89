#include "platform/Shortcuts.h"

#include <cstdlib>

#include "platform/Files.h"
#include "platform/Markup.h"

namespace larkspire {
namespace {

constexpr const char* kReservedInExec = " \t\n\"'\\><~|&;$*?#()`";

std::string ShortcutPath(const std::string& folder, const std::string& name) {
  return JoinPath(folder, name + kShortcutExtension);
}

// One argument as the Exec rules want it: quoted when it holds a reserved character, with
// '"', '`', '$' and '\' escaped inside the quotes; '%' doubled everywhere (field codes).
std::string QuoteArgument(const std::string& word) {
  const bool quote = word.empty() || word.find_first_of(kReservedInExec) != std::string::npos;
  std::string out;
  if (quote) out += '"';
  for (char c : word) {
    if (c == '%') {
      out += "%%";
      continue;
    }
    if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) out += '\\';
    out += c;
  }
  if (quote) out += '"';
  return out;
}

// Desktop-entry strings escape backslashes and control characters once more.
std::string EscapeValue(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
    }
  }
  return out;
}

void WriteEntry(const std::string& folder, const std::string& name, const std::string& lines) {
  SaveFileAtomically(ShortcutPath(folder, name),
                     "[Desktop Entry]\nVersion=1.0\nName=" + EscapeValue(name) + "\n" + lines +
                         "Icon=" + kIconName + "\nCategories=Office;\n");
}

bool InstallThemeIcon(const std::string& data_home, const std::string& size_folder,
                      const std::string& extension, std::string_view bytes) {
  const std::string folder = JoinPath(data_home, "icons/hicolor/" + size_folder + "/apps");
  return MakeDirectories(folder) &&
         SaveFileAtomically(JoinPath(folder, std::string(kIconName) + extension), bytes);
}

}  // namespace

std::string DesktopExecValue(const std::string& target, const std::string& arguments) {
  std::string exec = QuoteArgument(target);
  std::size_t at = 0;
  while ((at = arguments.find_first_not_of(' ', at)) != std::string::npos) {
    const std::size_t end = arguments.find(' ', at);
    exec += ' ' + QuoteArgument(arguments.substr(at, end - at));
    at = end;
  }
  return EscapeValue(exec);
}

void WriteShortcut(const std::string& folder, const std::string& name, const std::string& target,
                   const std::string& arguments, const std::string& description) {
  const std::string comment =
      description.empty() ? std::string() : "Comment=" + EscapeValue(description) + "\n";
  WriteEntry(folder, name,
             "Type=Application\n" + comment + "Exec=" + DesktopExecValue(target, arguments) +
                 "\nTerminal=false\n");
}

void WriteInternetShortcut(const std::string& folder, const std::string& name,
                           const std::string& address) {
  WriteEntry(folder, name, "Type=Link\nURL=" + EscapeValue(address) + "\n");
}

void DeleteShortcut(const std::string& folder, const std::string& name) {
  RemoveFile(ShortcutPath(folder, name));
}

std::string XdgDataHome() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data != nullptr && *data != '\0') return data;
  const char* home = std::getenv("HOME");
  return JoinPath(home != nullptr ? home : "", ".local/share");
}

std::string XdgConfigHome() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && *config != '\0') return config;
  const char* home = std::getenv("HOME");
  return JoinPath(home != nullptr ? home : "", ".config");
}

bool WriteMenuFolder(const std::string& shortcut_folder, const std::vector<std::string>& names) {
  std::string folder = shortcut_folder;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  const std::string applications = JoinPath(XdgDataHome(), "applications") + "/";
  if (folder.size() <= applications.size() ||
      folder.compare(0, applications.size(), applications) != 0) {
    return true;
  }
  // Desktop-file IDs of files in subfolders join the folders with '-'.
  std::string id_prefix = folder.substr(applications.size());
  const std::string title = id_prefix.substr(id_prefix.rfind('/') + 1);
  for (char& c : id_prefix) {
    if (c == '/') c = '-';
  }
  const std::string directory_file = "larkspire-" + id_prefix + ".directory";
  std::string menu = "<Menu>\n  <Name>Applications</Name>\n  <Menu>\n    <Name>" +
                     EncodeEntities(title) + "</Name>\n    <Directory>" +
                     EncodeEntities(directory_file) + "</Directory>\n    <Include>\n";
  for (const std::string& name : names) {
    menu += "      <Filename>" + EncodeEntities(id_prefix + "-" + name + kShortcutExtension) +
            "</Filename>\n";
  }
  menu += "    </Include>\n  </Menu>\n</Menu>\n";
  const std::string directories = JoinPath(XdgDataHome(), "desktop-directories");
  const std::string merged = JoinPath(XdgConfigHome(), "menus/applications-merged");
  return MakeDirectories(directories) && MakeDirectories(merged) &&
         SaveFileAtomically(JoinPath(directories, directory_file),
                            "[Desktop Entry]\nVersion=1.0\nType=Directory\nName=" +
                                EscapeValue(title) + "\nIcon=" + kIconName + "\n") &&
         SaveFileAtomically(JoinPath(merged, "larkspire-" + id_prefix + ".menu"), menu);
}

std::string IconDataHome(const std::string& shortcut_folder) {
  std::string folder = shortcut_folder;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  for (std::size_t end = folder.size(); end != std::string::npos && end > 0;) {
    const std::size_t slash = folder.rfind('/', end - 1);
    if (slash == std::string::npos) break;
    if (folder.compare(slash + 1, end - slash - 1, "applications") == 0) {
      return slash == 0 ? "/" : folder.substr(0, slash);
    }
    end = slash;
  }
  return XdgDataHome();
}

bool InstallIcon(const std::string& data_home, int size, std::string_view png) {
  const std::string pixels = std::to_string(size);
  return InstallThemeIcon(data_home, pixels + "x" + pixels, ".png", png);
}

bool InstallScalableIcon(const std::string& data_home, std::string_view svg) {
  return InstallThemeIcon(data_home, "scalable", ".svg", svg);
}

}  // namespace larkspire
