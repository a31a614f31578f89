// The bearer token for an XOAUTH2 sign-in, printed by a command the user configures (an OAuth
// helper such as command-line mail clients use). The command runs without a shell: no
// expansion, no redirection, nothing a stored setting could turn into a second command.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "net/CancelFlag.h"
#include "net/FlowLog.h"

namespace larkspire {

// Within the send's own 30 seconds, so a stuck helper is reported as itself.
inline constexpr int kTokenCommandTimeoutMs = 20000;

// The words of a command line: separated by blanks and tabs; a double-quoted part may hold
// blanks and loses its quotes ("C:\My Tools\helper" style paths). No other character is
// special.
std::vector<std::string> SplitCommandLine(std::string_view line);

// Runs the command (the program found on PATH when its name has no slash) with no input, no
// descriptor of this process but the standard three, and this process's environment less the
// Open Data Portal's key (USPTO_API_KEY) and the program's own LARKSPIRE_ variables; returns the
// first line it prints, without its line end and surrounding blanks. A command that cannot
// start, fails, prints no token or runs past the time-out is killed if need be, with every
// process it started (those that left its process group too), and raised as an "SMTP: The token
// command ..." CAppError; a cancel raises the cancel message. The flow log names the program and
// never shows what it printed.
std::string RunTokenCommand(const std::string& command_line, const CCancelFlag* cancel,
                            CFlowLog* flow_log, const std::string& label,
                            int timeout_ms = kTokenCommandTimeoutMs);

}  // namespace larkspire
