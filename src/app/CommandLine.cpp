#include "app/CommandLine.h"

#include <strings.h>

namespace larkspire {

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

}  // namespace larkspire
