// Running another program to its end: for short system commands (systemctl) whose answer the
// caller waits for.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace larkspire {

struct CProgramResult {
  int exit_code = 0;   // 128 + the signal when a signal ended it
  std::string output;  // standard output and standard error, in the order written
};

// Runs argv[0], found on PATH, without a shell and with standard input closed; nothing when it
// could not be started (not found, not executable).
std::optional<CProgramResult> RunProgram(const std::vector<std::string>& argv);

}  // namespace larkspire
