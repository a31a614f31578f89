// The command line: COM registration words (accepted and ignored here), the unattended flag, and
// the requests answered without a window (usage, version, the list as CSV).
#pragma once

#include <string>
#include <vector>

namespace larkspire {

enum class RegistrationCommand { kNone, kRegServer, kUnregServer };

// The arguments (without the program path) joined by blanks, as Windows hands over a line.
std::string JoinArguments(const std::vector<std::string>& args);
// "RegServer" or "UnregServer", ignoring case, with or without a leading "-" or "/", and
// nothing else on the line.
RegistrationCommand ParseRegistration(const std::string& command_line);
// True when the text after any "-" or "/", up to the next blank, is "auto" ignoring case.
bool HasAutoFlag(const std::string& command_line);

// What a run is asked to do before anything is read or written.
enum class CommandRequest {
  kRun,         // the window (unattended with -auto)
  kHelp,        // --help, -help, -h, -? or /? anywhere: print the usage
  kVersion,     // --version or -version anywhere: print the version
  kExport,      // -export FILE: write the saved list to FILE as CSV
  kDeadlines,   // -deadlines [FILE]: the open deadlines as a table, or to FILE as CSV
  kSchedule,    // -schedule HH:MM or -schedule off: the daily unattended run
  kUsageError,  // -export or -schedule without its argument
};
struct CommandLineRequest {
  CommandRequest request = CommandRequest::kRun;
  std::string export_path;          // -export's file, or -deadlines' ("" for the terminal)
  std::string schedule;             // the word after -schedule
  std::string missing_argument_of;  // the switch a usage error lacks the argument of
};
// Switches ignore case and take "-", "--" or "/"; help wins over version, and both over export,
// deadlines and schedule (of those the last given counts). The word after -export is its file
// whatever it looks like; the word after -deadlines is its file unless it starts with "-".
CommandLineRequest ParseCommandRequest(const std::vector<std::string>& args);

// The usage: every switch the program takes. Windows-1252, lines ended by LF.
std::string UsageText();
// "Larkspire\xAE " and the version.
std::string VersionLine();

}  // namespace larkspire
