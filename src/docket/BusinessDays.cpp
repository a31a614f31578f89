#include "docket/BusinessDays.h"

#include <algorithm>

#include "rules/Dates.h"

namespace larkspire {
namespace {

// 1899-12-30, day 0, was a Saturday.
int Weekday(int32_t day) {  // 0 Sunday .. 6 Saturday
  return static_cast<int>(((day + 6) % 7 + 7) % 7);
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

int32_t Date(int year, int month, int day) {
  return DayNumberFromCalendar(year, month, day).value_or(0);
}

// The nth (1-based) weekday of a month; n = -1 for the last one.
int32_t NthWeekday(int year, int month, int weekday, int n) {
  if (n < 0) {
    const int32_t last = Date(year, month, DaysInMonth(year, month));
    return last - (Weekday(last) - weekday + 7) % 7;
  }
  const int32_t first = Date(year, month, 1);
  return first + (weekday - Weekday(first) + 7) % 7 + 7 * (n - 1);
}

// A fixed-date holiday on the day it is observed.
int32_t Observed(int32_t day) {
  switch (Weekday(day)) {
    case 6:
      return day - 1;
    case 0:
      return day + 1;
    default:
      return day;
  }
}

// The days the holidays of a year are observed on (New Year's Day may fall on December 31 of
// the year before).
std::vector<int32_t> HolidaysOfYear(int year) {
  constexpr int kMonday = 1;
  constexpr int kThursday = 4;
  std::vector<int32_t> days = {
      Observed(Date(year, 1, 1)),          // New Year's Day
      NthWeekday(year, 2, kMonday, 3),     // Washington's Birthday
      NthWeekday(year, 5, kMonday, -1),    // Memorial Day
      Observed(Date(year, 7, 4)),          // Independence Day
      NthWeekday(year, 9, kMonday, 1),     // Labor Day
      NthWeekday(year, 10, kMonday, 2),    // Columbus Day
      Observed(Date(year, 11, 11)),        // Veterans Day
      NthWeekday(year, 11, kThursday, 4),  // Thanksgiving Day
      Observed(Date(year, 12, 25)),        // Christmas Day
  };
  if (year >= 1986) days.push_back(NthWeekday(year, 1, kMonday, 3));  // Martin Luther King Jr.
  if (year >= 2021) days.push_back(Observed(Date(year, 6, 19)));      // Juneteenth
  // Inauguration Day: a Sunday one moves to the Monday; a Saturday one has no day in its
  // place (it is not one of the holidays observed on the Friday before).
  if (year >= 1965 && (year - 1965) % 4 == 0) {
    const int32_t inauguration = Date(year, 1, 20);
    const int weekday = Weekday(inauguration);
    if (weekday != 6) days.push_back(weekday == 0 ? inauguration + 1 : inauguration);
  }
  return days;
}

bool IsHolidayComputed(int32_t day) {
  int year = 0;
  int month = 0;
  int mday = 0;
  CalendarFromDayNumber(day, year, month, mday);
  for (int of : {year, year + 1}) {
    const std::vector<int32_t> days = HolidaysOfYear(of);
    if (std::find(days.begin(), days.end(), day) != days.end()) return true;
  }
  return false;
}

}  // namespace

int32_t AddMonths(int32_t day, int months) {
  int year = 0;
  int month = 0;
  int mday = 0;
  CalendarFromDayNumber(day, year, month, mday);
  const int index = year * 12 + (month - 1) + months;
  year = index / 12;
  month = index % 12 + 1;
  return Date(year, month, std::min(mday, DaysInMonth(year, month)));
}

int32_t AddYears(int32_t day, int years) { return AddMonths(day, years * 12); }

int32_t AddPeriod(int32_t day, const CPeriod& period) {
  return AddMonths(day, period.years * 12 + period.months) + period.days;
}

bool IsFederalHoliday(int32_t day) {
  // Deadlines are counted again for every entry an update touches, so the holidays of the
  // years deadlines fall in are worked out once, a bit per day.
  static const int32_t kTableFirst = Date(1965, 1, 1);
  static const int32_t kTableEnd = Date(2200, 1, 1);
  static const std::vector<bool> kTable = [] {
    std::vector<bool> table(static_cast<std::size_t>(kTableEnd - kTableFirst));
    for (int year = 1964; year < 2200; ++year) {
      for (int32_t d : HolidaysOfYear(year)) {
        if (d >= kTableFirst && d < kTableEnd) {
          table[static_cast<std::size_t>(d - kTableFirst)] = true;
        }
      }
    }
    return table;
  }();
  if (day >= kTableFirst && day < kTableEnd) {
    return kTable[static_cast<std::size_t>(day - kTableFirst)];
  }
  return IsHolidayComputed(day);
}

bool IsBusinessDay(int32_t day, const std::vector<int32_t>& closures) {
  const int weekday = Weekday(day);
  if (weekday == 0 || weekday == 6) return false;
  if (IsFederalHoliday(day)) return false;
  return std::find(closures.begin(), closures.end(), day) == closures.end();
}

int32_t NextBusinessDay(int32_t day, const std::vector<int32_t>& closures) {
  while (!IsBusinessDay(day, closures)) ++day;
  return day;
}

}  // namespace larkspire
