// The requests answered on the terminal without a window, before anything else runs: the
// usage, the version, the saved list as CSV, the open deadlines and the daily run's schedule.
// None of them takes the instance lock or writes the settings, the log, the data file or the
// docket.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace larkspire {

// The exit code when the arguments ask for one of these requests; nothing for a run.
std::optional<int> RunConsoleCommand(const std::vector<std::string>& args);

}  // namespace larkspire
