#include "app/CommandLine.h"

#include <strings.h>

#include <string_view>

#include "platform/ProgramInfo.h"
#include "run/Run.h"

namespace larkspire {
namespace {

// The switch's word without its "-", "--" or "/"; empty for an argument that is no switch.
std::string SwitchWord(const std::string& arg) {
  if (arg.rfind("--", 0) == 0) return arg.substr(2);
  if (!arg.empty() && (arg[0] == '-' || arg[0] == '/')) return arg.substr(1);
  return std::string();
}

bool IsOneOf(const std::string& word, std::initializer_list<const char*> names) {
  for (const char* name : names) {
    if (strcasecmp(word.c_str(), name) == 0) return true;
  }
  return false;
}

CommandLineRequest Request(CommandRequest request) {
  CommandLineRequest result;
  result.request = request;
  return result;
}

}  // namespace

std::string JoinArguments(const std::vector<std::string>& args) {
  std::string line;
  for (const std::string& arg : args) {
    if (!line.empty()) line += ' ';
    line += arg;
  }
  return line;
}

RegistrationCommand ParseRegistration(const std::string& command_line) {
  std::string word = command_line;
  if (!word.empty() && (word[0] == '-' || word[0] == '/')) word.erase(0, 1);
  if (strcasecmp(word.c_str(), "RegServer") == 0) return RegistrationCommand::kRegServer;
  if (strcasecmp(word.c_str(), "UnregServer") == 0) return RegistrationCommand::kUnregServer;
  return RegistrationCommand::kNone;
}

bool HasAutoFlag(const std::string& command_line) {
  for (std::size_t i = 0; i < command_line.size(); ++i) {
    if (command_line[i] != '-' && command_line[i] != '/') continue;
    std::size_t end = command_line.find(' ', i + 1);
    if (end == std::string::npos) end = command_line.size();
    if (strcasecmp(command_line.substr(i + 1, end - i - 1).c_str(), "auto") == 0) return true;
  }
  return false;
}

CommandLineRequest ParseCommandRequest(const std::vector<std::string>& args) {
  CommandLineRequest result;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string word = SwitchWord(args[i]);
    if (IsOneOf(word, {"help", "h", "?"})) return Request(CommandRequest::kHelp);
    if (IsOneOf(word, {"version"})) {
      result = Request(CommandRequest::kVersion);
    } else if (IsOneOf(word, {"export", "schedule"}) &&
               result.request != CommandRequest::kVersion) {
      const bool is_export = IsOneOf(word, {"export"});
      if (i + 1 >= args.size()) {
        result = Request(CommandRequest::kUsageError);
        result.missing_argument_of = is_export ? "-export" : "-schedule";
      } else if (is_export) {
        result = Request(CommandRequest::kExport);
        result.export_path = args[++i];
      } else {
        result = Request(CommandRequest::kSchedule);
        result.schedule = args[++i];
      }
    } else if (IsOneOf(word, {"deadlines"}) && result.request != CommandRequest::kVersion) {
      const bool has_file = i + 1 < args.size() && !args[i + 1].starts_with('-');
      result = Request(CommandRequest::kDeadlines);
      if (has_file) result.export_path = args[++i];
    }
  }
  return result;
}

std::string UsageText() {
  const std::string program = kProgramFileName;
  std::string text = "Usage: " + program + " [-auto]\n";
  text += "       " + program + " -export FILE.csv\n";
  text += "       " + program + " -deadlines [FILE.csv]\n";
  text += "       " + program + " -schedule HH:MM|off\n";
  text += "       " + program + " --help | --version\n\n";
  text += kCaption;
  text +=
      " watches the status of US patent applications, patents and published\n"
      "applications and mails every change.\n"
      "\n"
      "  (nothing)          open the window\n"
      "  -auto, /auto       unattended: update every due entry, send the e-mail, write the\n"
      "                     reports and exit\n"
      "  -export FILE.csv   write the list as last saved to FILE.csv (UTF-8, a header row of\n"
      "                     the list's columns) and exit\n"
      "  -deadlines         print the open deadlines, earliest first, and exit\n"
      "  -deadlines FILE.csv\n"
      "                     write the open deadlines to FILE.csv (UTF-8, a header row) and\n"
      "                     exit\n"
      "  -schedule HH:MM    run -auto every day at HH:MM (a systemd user timer; without\n"
      "                     systemd, the crontab line to use is printed) and exit\n"
      "  -schedule off      stop the daily run and exit\n"
      "  RegServer, UnregServer\n"
      "                     accepted for compatibility with the Windows program; exit at once\n"
      "  --help             print this text and exit\n"
      "  --version          print the version and exit\n"
      "\n"
      "Settings: $XDG_CONFIG_HOME/Calverin/Larkspire.ini, or the file named by\n"
      "LARKSPIRE_SETTINGS. A run without a display exits with 1 when an entry or an\n"
      "e-mail failed.\n";
  return text;
}

std::string VersionLine() { return std::string(kCaption) + " " + ProgramVersionText(); }

}  // namespace larkspire
