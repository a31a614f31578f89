// Dates as the program carries them (yyyy-mm-dd text, day numbers, automation dates) and the
// recognition of application, patent and publication numbers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace larkspire {

inline constexpr const char* kUnknownDate = "????-??-??";
inline constexpr int32_t kUnknownDayNumber = 268435456;

// Days since 1899-12-30 of a calendar date (proleptic Gregorian); nothing for an invalid date or
// a year outside 100 to 9999, the range of automation dates.
std::optional<int32_t> DayNumberFromCalendar(int year, int month, int day);
// Calendar fields of a day number.
void CalendarFromDayNumber(int32_t day_number, int& year, int& month, int& day);

// Automation dates: days since 1899-12-30 00:00 as a double, the fraction the time of day.
double NowUtcAutomation();
double NowLocalAutomation();
// Today's local date as a day number, read afresh at every call.
int32_t TodayDayNumber();

// A captured page date to yyyy-mm-dd by format name ("mm?dd?yyyy", "dd?mm?yyyy", "mdy", "dmy").
std::string ConvertDate(std::string_view text, std::string_view format_name);
// yyyy-mm-dd to a day number; 0 when not a date; kUnknownDayNumber for "????-??-??".
int32_t ParseDayNumber(std::string_view text);
// With keep_as_is clear the value is UTC and shown in local time, 12-hour clock with AM/PM;
// set, it is shown as stored on a 24-hour clock. 0, or a value outside the years 100 to 9999,
// gives "". Local time uses the UTC offset in force at that instant.
std::string FormatDateTime(double automation_date, bool keep_as_is, bool date_only);
// yyyy-mm-dd of a nonzero day number; "" for 0.
std::string FormatDayNumber(int32_t day_number);

bool MatchMask(std::string_view text, std::string_view mask);
}  // namespace larkspire
