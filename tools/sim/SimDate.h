// Calendar arithmetic for the simulator: dates are whole days since 1899-12-30, as everywhere
// in the program, so a simulated date and the dates in the data file compare as integers.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace larkspire::sim {

// yyyy-mm-dd (exactly ten characters, a real calendar day) to a day number.
std::optional<int> ParseIsoDate(std::string_view text);
std::string FormatIsoDate(int day);
// mm-dd-yyyy, the way the status site prints every date.
std::string FormatSiteDate(int day);
std::optional<int> ParseSiteDate(std::string_view text);
// The RFC 1123 form of the day at noon, for the Date header.
std::string FormatHttpDate(int day);
int TodayUtc();

}  // namespace larkspire::sim
