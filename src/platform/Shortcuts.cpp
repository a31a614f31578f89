#include "platform/Shortcuts.h"

#include "platform/Files.h"

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
                     "[Desktop Entry]\nVersion=1.0\nName=" + EscapeValue(name) + "\n" + lines);
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
  WriteEntry(folder, name,
             "Type=Application\nComment=" + EscapeValue(description) +
                 "\nExec=" + DesktopExecValue(target, arguments) + "\nTerminal=false\n");
}

void WriteInternetShortcut(const std::string& folder, const std::string& name,
                           const std::string& address) {
  WriteEntry(folder, name, "Type=Link\nURL=" + EscapeValue(address) + "\n");
}

void DeleteShortcut(const std::string& folder, const std::string& name) {
  RemoveFile(ShortcutPath(folder, name));
}

}  // namespace larkspire
