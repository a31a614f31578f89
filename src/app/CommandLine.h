// The command line: COM registration words (accepted and ignored here) and the unattended flag.
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

}  // namespace larkspire
