// How the patent office counts a period: months end on the same day of the month, and a last
// day that falls on a Saturday, a Sunday, a federal holiday in the District of Columbia or a
// day the office was closed moves to the next business day. Day numbers are days since
// 1899-12-30, as rules/Dates.h carries them.
#pragma once

#include <cstdint>
#include <vector>

namespace larkspire {

// A period as the rules file states it.
struct CPeriod {
  int years = 0;
  int months = 0;
  int days = 0;
  bool operator==(const CPeriod&) const = default;
};

// The same day of the month, months later; the month's last day where that day does not exist
// (Nov 30 + 3 months is Feb 28 or 29).
int32_t AddMonths(int32_t day, int months);
// As AddMonths by twelve a year: Feb 29 becomes Feb 28 in a common year.
int32_t AddYears(int32_t day, int years);
// Years and months together as months (so Feb 29 + 3 years 6 months is Aug 29), then days.
int32_t AddPeriod(int32_t day, const CPeriod& period);

// The federal holidays of 5 U.S.C. 6103 on the day they are observed (a Saturday holiday the
// Friday before, a Sunday one the Monday after), Juneteenth from 2021, and Inauguration Day,
// a holiday in the District of Columbia (January 20 every fourth year from 1965, January 21
// when the 20th is a Sunday).
bool IsFederalHoliday(int32_t day);
// Not a Saturday, Sunday, federal holiday or one of the closure days (sorted or not).
bool IsBusinessDay(int32_t day, const std::vector<int32_t>& closures);
// The day itself when it is a business day, else the next one that is.
int32_t NextBusinessDay(int32_t day, const std::vector<int32_t>& closures);

}  // namespace larkspire
