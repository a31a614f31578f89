#include <gtest/gtest.h>

#include <set>
#include <string>

#include "docket/BusinessDays.h"
#include "rules/Dates.h"

namespace larkspire {
namespace {

int32_t Day(const std::string& text) { return ParseDayNumber(text); }

// The weekdays named in the comments were read off a calendar.
struct CPeriodCase {
  const char* what;
  const char* start;
  CPeriod period;
  const char* computed;  // the period counted from start
  const char* due;       // moved to the next business day
};

const std::vector<int32_t> kClosures = {Day("2024-12-24")};

TEST(BusinessDays, PeriodsEndOnTheSameDayOfTheMonthAndMoveOffClosedDays) {
  const CPeriodCase cases[] = {
      {"Nov 30 + 3 months in a common year", "2022-11-30", {0, 3, 0}, "2023-02-28", "2023-02-28"},
      {"Nov 30 + 3 months in a leap year", "2023-11-30", {0, 3, 0}, "2024-02-29", "2024-02-29"},
      {"Aug 31 + 6 months", "2022-08-31", {0, 6, 0}, "2023-02-28", "2023-02-28"},
      {"Aug 31 + 6 months into a leap year", "2023-08-31", {0, 6, 0}, "2024-02-29", "2024-02-29"},
      {"Jan 31 + 1 month", "2023-01-31", {0, 1, 0}, "2023-02-28", "2023-02-28"},
      {"a Saturday", "2024-03-15", {0, 3, 0}, "2024-06-15", "2024-06-17"},
      {"a Sunday", "2027-05-29", {0, 3, 0}, "2027-08-29", "2027-08-30"},
      {"Memorial Day, a Monday holiday", "2024-02-27", {0, 3, 0}, "2024-05-27", "2024-05-28"},
      // July 4, 2026 is a Saturday: the Friday before is the holiday, then the weekend.
      {"the observed Friday of a Saturday holiday",
       "2026-04-03",
       {0, 3, 0},
       "2026-07-03",
       "2026-07-06"},
      {"Inauguration Day 2033, a Thursday", "2032-10-20", {0, 3, 0}, "2033-01-20", "2033-01-21"},
      // Then Christmas Day, so the day after.
      {"a closure day the rules list", "2024-09-24", {0, 3, 0}, "2024-12-24", "2024-12-26"},
      {"days", "2024-06-01", {0, 0, 30}, "2024-07-01", "2024-07-01"},
      {"years and months together", "2020-08-31", {1, 6, 0}, "2022-02-28", "2022-02-28"},
  };
  for (const CPeriodCase& c : cases) {
    SCOPED_TRACE(c.what);
    const int32_t computed = AddPeriod(Day(c.start), c.period);
    EXPECT_EQ(FormatDayNumber(computed), c.computed);
    EXPECT_EQ(FormatDayNumber(NextBusinessDay(computed, kClosures)), c.due);
  }
}

TEST(BusinessDays, MaintenanceWindowsOfAPatentGrantedOnFebruary29) {
  struct CWindow {
    int years;
    const char* opens;     // years after the grant
    const char* due;       // years and six months after, moved off a weekend
    const char* last_day;  // a year after the window opens, moved off a weekend
  };
  const int32_t grant = Day("2024-02-29");
  const CWindow windows[] = {
      // Aug 29, 2027 is a Sunday.
      {3, "2027-02-28", "2027-08-30", "2028-02-29"},
      // Feb 29, 2032 is a Sunday.
      {7, "2031-02-28", "2031-08-29", "2032-03-01"},
      {11, "2035-02-28", "2035-08-29", "2036-02-29"},
  };
  for (const CWindow& w : windows) {
    SCOPED_TRACE(w.years);
    EXPECT_EQ(FormatDayNumber(AddYears(grant, w.years)), w.opens);
    EXPECT_EQ(FormatDayNumber(NextBusinessDay(AddPeriod(grant, {w.years, 6, 0}), {})), w.due);
    EXPECT_EQ(FormatDayNumber(NextBusinessDay(AddYears(grant, w.years + 1), {})), w.last_day);
  }
}

std::set<std::string> HolidaysOf(int year) {
  std::set<std::string> found;
  const int32_t first = *DayNumberFromCalendar(year, 1, 1);
  const int32_t last = *DayNumberFromCalendar(year, 12, 31);
  for (int32_t day = first; day <= last; ++day) {
    if (IsFederalHoliday(day)) found.insert(FormatDayNumber(day));
  }
  return found;
}

// The observed dates as the Office of Personnel Management's federal holiday tables list them
// (opm.gov, "Pay & Leave > Federal Holidays", the tables for each year), with Inauguration Day
// for the District of Columbia added in inauguration years.
TEST(BusinessDays, FederalHolidaysOfAYearAsObserved) {
  const std::pair<int, std::set<std::string>> years[] = {
      // Inauguration Day a Sunday: the Monday after, which is also the birthday of Martin
      // Luther King Jr.
      {2013,
       {"2013-01-01", "2013-01-21", "2013-02-18", "2013-05-27", "2013-07-04", "2013-09-02",
        "2013-10-14", "2013-11-11", "2013-11-28", "2013-12-25"}},
      // No Juneteenth yet.
      {2020,
       {"2020-01-01", "2020-01-20", "2020-02-17", "2020-05-25", "2020-07-03", "2020-09-07",
        "2020-10-12", "2020-11-11", "2020-11-26", "2020-12-25"}},
      // Juneteenth and Christmas on Saturdays, Independence Day on a Sunday, and New Year's Day
      // 2022 (a Saturday) observed on December 31, 2021.
      {2021,
       {"2021-01-01", "2021-01-18", "2021-01-20", "2021-02-15", "2021-05-31", "2021-06-18",
        "2021-07-05", "2021-09-06", "2021-10-11", "2021-11-11", "2021-11-25", "2021-12-24",
        "2021-12-31"}},
      {2022,
       {"2022-01-17", "2022-02-21", "2022-05-30", "2022-06-20", "2022-07-04", "2022-09-05",
        "2022-10-10", "2022-11-11", "2022-11-24", "2022-12-26"}},
      // Veterans Day on a Saturday: the Friday before.
      {2023,
       {"2023-01-02", "2023-01-16", "2023-02-20", "2023-05-29", "2023-06-19", "2023-07-04",
        "2023-09-04", "2023-10-09", "2023-11-10", "2023-11-23", "2023-12-25"}},
      // Inauguration Day on a Saturday has no day in its place.
      {2029,
       {"2029-01-01", "2029-01-15", "2029-02-19", "2029-05-28", "2029-06-19", "2029-07-04",
        "2029-09-03", "2029-10-08", "2029-11-12", "2029-11-22", "2029-12-25"}},
  };
  for (const auto& [year, expected] : years) {
    SCOPED_TRACE(year);
    EXPECT_EQ(HolidaysOf(year), expected);
  }
}

}  // namespace
}  // namespace larkspire
