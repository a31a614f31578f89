#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <string>

#include "platform/Clock.h"
#include "rules/Dates.h"

namespace larkspire {
namespace {

constexpr int64_t kMillisPerDay = 86400000;

int32_t Day(int year, int month, int day) {
  std::optional<int32_t> n = DayNumberFromCalendar(year, month, day);
  EXPECT_TRUE(n.has_value()) << year << "-" << month << "-" << day;
  return n.value_or(0);
}

// Unix milliseconds of a UTC calendar time.
int64_t UtcMillis(int year, int month, int day, int hour, int minute = 0) {
  return (int64_t{Day(year, month, day)} - 25569) * kMillisPerDay +
         (int64_t{hour} * 60 + minute) * 60000;
}

// Automation date of a UTC calendar time.
double Automation(int year, int month, int day, int hour, int minute = 0, int second = 0) {
  return Day(year, month, day) + (hour * 3600 + minute * 60 + second) / 86400.0;
}

// Fixes "now" and the time zone for one test and puts both back afterwards.
class ClockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tz = std::getenv("TZ");
    if (tz) saved_tz_ = tz;
    SetZone("UTC0");
  }
  void TearDown() override {
    SetFakeClockForTesting(std::nullopt);
    if (saved_tz_) {
      setenv("TZ", saved_tz_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  static void SetZone(const char* tz) {
    setenv("TZ", tz, 1);
    tzset();
  }
  static constexpr const char* kNewYork = "EST5EDT,M3.2.0,M11.1.0";

 private:
  std::optional<std::string> saved_tz_;
};

TEST(Dates, DayNumbersCountFrom30December1899) {
  EXPECT_EQ(DayNumberFromCalendar(1899, 12, 30), 0);
  EXPECT_EQ(DayNumberFromCalendar(1899, 12, 31), 1);
  // 1900 is no leap year: 1 March follows 28 February.
  EXPECT_EQ(*DayNumberFromCalendar(1900, 3, 1) - *DayNumberFromCalendar(1900, 2, 28), 1);
  EXPECT_EQ(DayNumberFromCalendar(1970, 1, 1), 25569);
  EXPECT_EQ(DayNumberFromCalendar(2007, 1, 5), 39087);
  EXPECT_EQ(DayNumberFromCalendar(100, 1, 1), -657434);
  EXPECT_EQ(DayNumberFromCalendar(9999, 12, 31), 2958465);
}

TEST(Dates, CalendarRejectsDatesThatDoNotExist) {
  const int kInvalid[][3] = {{2007, 2, 29}, {1900, 2, 29}, {2007, 4, 31},
                             {2007, 0, 1},  {2007, 13, 1}, {2007, 1, 0},
                             {2007, 1, 32}, {99, 12, 31},  {10000, 1, 1}};
  for (const auto& d : kInvalid) {
    EXPECT_EQ(DayNumberFromCalendar(d[0], d[1], d[2]), std::nullopt)
        << d[0] << "-" << d[1] << "-" << d[2];
  }
  EXPECT_TRUE(DayNumberFromCalendar(2008, 2, 29));
  EXPECT_TRUE(DayNumberFromCalendar(2000, 2, 29));
}

TEST(Dates, EveryDayNumberRoundTripsThroughTheCalendar) {
  const int32_t first = *DayNumberFromCalendar(100, 1, 1);
  const int32_t last = *DayNumberFromCalendar(9999, 12, 31);
  int prev_year = 99, prev_month = 12, prev_day = 31;
  for (int32_t n = first; n <= last; ++n) {
    int year = 0, month = 0, day = 0;
    CalendarFromDayNumber(n, year, month, day);
    // Each day is the calendar successor of the one before.
    const bool next_in_month = year == prev_year && month == prev_month && day == prev_day + 1;
    const bool next_month = year == prev_year && month == prev_month + 1 && day == 1;
    const bool next_year = year == prev_year + 1 && month == 1 && day == 1 && prev_month == 12;
    ASSERT_TRUE(next_in_month || next_month || next_year) << n;
    ASSERT_EQ(DayNumberFromCalendar(year, month, day), n);
    prev_year = year;
    prev_month = month;
    prev_day = day;
  }
}

TEST(Dates, ParseDayNumberReadsOnlyWellFormedDates) {
  const struct {
    const char* text;
    int32_t expected;
  } kCases[] = {
      {"1899-12-31", 1},
      {"2007-01-05", 39087},
      {"2007-01-05 extra text", 39087},
      {"????-??-??", kUnknownDayNumber},
      {"????-??-?? 12:00", kUnknownDayNumber},
      {"2007-13-01", 0},
      {"2007-02-30", 0},
      {"2007-1-05", 0},
      {"2007-01-5", 0},
      {"2007/01/05", 0},
      {"2007-01-0x", 0},
      {"+007-01-05", 0},
      {"0000-01-01", 0},
      {"", 0},
      {"2007-01-0", 0},
  };
  for (const auto& c : kCases) EXPECT_EQ(ParseDayNumber(c.text), c.expected) << c.text;
  EXPECT_EQ(kUnknownDayNumber, 0x10000000);
}

TEST(Dates, FormatDayNumberShowsTheDateOrNothing) {
  EXPECT_EQ(FormatDayNumber(0), "");
  EXPECT_EQ(FormatDayNumber(1), "1899-12-31");
  EXPECT_EQ(FormatDayNumber(-1), "1899-12-29");
  EXPECT_EQ(FormatDayNumber(39087), "2007-01-05");
  for (const char* date : {"1900-03-01", "2000-02-29", "2007-12-31", "9999-12-31"}) {
    EXPECT_EQ(FormatDayNumber(ParseDayNumber(date)), date);
  }
}

TEST_F(ClockTest, FormatDateTimeAsStoredUsesA24HourClock) {
  const double t = Automation(2007, 1, 7, 21, 5);
  EXPECT_EQ(FormatDateTime(t, true, false), "2007-01-07 21:05:00");
  EXPECT_EQ(FormatDateTime(t, true, true), "2007-01-07");
  EXPECT_EQ(FormatDateTime(0, true, false), "");
  EXPECT_EQ(FormatDateTime(0, false, false), "");
  // Seconds are rounded, carrying into the next minute and day.
  EXPECT_EQ(FormatDateTime(Automation(2007, 1, 7, 0, 0, 59) + 0.6 / 86400, true, false),
            "2007-01-07 00:01:00");
  EXPECT_EQ(FormatDateTime(Automation(2007, 1, 7, 23, 59, 59) + 0.6 / 86400, true, false),
            "2007-01-08 00:00:00");
  // Before 1899-12-30 the fraction still counts forward from the start of the day.
  EXPECT_EQ(FormatDateTime(-1.25, true, false), "1899-12-29 06:00:00");
}

TEST_F(ClockTest, FormatDateTimeRejectsValuesNoCalendarHolds) {
  EXPECT_EQ(FormatDateTime(1e300, true, false), "");
  EXPECT_EQ(FormatDateTime(-1e300, false, false), "");
  EXPECT_EQ(FormatDateTime(std::numeric_limits<double>::quiet_NaN(), true, false), "");
  EXPECT_EQ(FormatDateTime(std::numeric_limits<double>::infinity(), true, true), "");
}

TEST_F(ClockTest, FormatDateTimeShowsUtcInLocalTimeWithAmPm) {
  SetZone(kNewYork);
  const struct {
    double utc;
    const char* expected;
  } kCases[] = {
      {Automation(2007, 1, 8, 2, 5), "2007-01-07 09:05:00 PM"},   // EST, back over midnight
      {Automation(2007, 1, 8, 5, 0), "2007-01-08 12:00:00 AM"},   // local midnight
      {Automation(2007, 1, 8, 17, 0), "2007-01-08 12:00:00 PM"},  // local noon
      {Automation(2007, 1, 8, 16, 59, 59), "2007-01-08 11:59:59 AM"},
      {Automation(2007, 7, 1, 12, 0), "2007-07-01 08:00:00 AM"},  // EDT in summer
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(FormatDateTime(c.utc, false, false), c.expected);
    EXPECT_EQ(FormatDateTime(c.utc, false, true), std::string(c.expected).substr(0, 10));
  }
}

TEST_F(ClockTest, NowFollowsTheClockAndTheZone) {
  SetZone(kNewYork);
  // 02:00 UTC on 15 March 2007 is still the 14th in New York (EDT since 11 March).
  SetFakeClockForTesting(UtcMillis(2007, 3, 15, 2));
  EXPECT_NEAR(NowUtcAutomation(), Automation(2007, 3, 15, 2), 1e-9);
  EXPECT_NEAR(NowLocalAutomation(), Automation(2007, 3, 14, 22), 1e-9);
  EXPECT_EQ(TodayDayNumber(), Day(2007, 3, 14));
  EXPECT_EQ(FormatDateTime(NowUtcAutomation(), false, false), "2007-03-14 10:00:00 PM");
  EXPECT_EQ(FormatDateTime(NowUtcAutomation(), true, false), "2007-03-15 02:00:00");

  SetFakeClockForTesting(UtcMillis(2007, 3, 15, 5));
  EXPECT_EQ(TodayDayNumber(), Day(2007, 3, 15));
}

struct ConvertCase {
  const char* text;
  const char* format;
  const char* expected;
};

class ConvertDateCases : public ClockTest, public ::testing::WithParamInterface<ConvertCase> {};

TEST_P(ConvertDateCases, GiveDateText) {
  SetFakeClockForTesting(UtcMillis(2007, 3, 15, 12));
  const ConvertCase& c = GetParam();
  EXPECT_EQ(ConvertDate(c.text, c.format), c.expected) << c.text << " as " << c.format;
}

INSTANTIATE_TEST_SUITE_P(
    Dates, ConvertDateCases,
    ::testing::Values(
        ConvertCase{"Jan 5, 2007", "mdy", "2007-01-05"},
        ConvertCase{"Dec 31, 2006", "mdy", "2006-12-31"},
        ConvertCase{"<td>Jan&nbsp;5,\t2007 </td>", "mdy", "2007-01-05"},
        ConvertCase{"Jan 5, filed 2007", "mdy", "2007-01-05"},
        ConvertCase{"jan 5, 2007", "mdy", kUnknownDate}, ConvertCase{"Jan 5", "mdy", kUnknownDate},
        ConvertCase{"Jan", "mdy", kUnknownDate}, ConvertCase{"5 Jan 2007", "dmy", "2007-01-05"},
        ConvertCase{"5 jan 2007", "dmy", "2007-01-05"},
        ConvertCase{"05 JAN 2007", "DMY", "2007-01-05"},
        // Without a year: this year, unless the month is still to come (clock: 15 March 2007).
        ConvertCase{"5 Dec", "dmy", "2006-12-05"}, ConvertCase{"5 Mar", "dmy", "2007-03-05"},
        ConvertCase{"31 Mar", "dmy", "2007-03-31"}, ConvertCase{"5 Apr", "dmy", "2006-04-05"},
        ConvertCase{"5 Feb", "dmy", "2007-02-05"}, ConvertCase{"5 Sept", "dmy", "2006-09-05"},
        ConvertCase{"01/05/2007", "mm?dd?yyyy", "2007-01-05"},
        ConvertCase{"01-05-2007", "mm?dd?yyyy", "2007-01-05"},
        ConvertCase{"01.05.2007", "MM?DD?YYYY", "2007-01-05"},
        ConvertCase{"05/01/2007", "dd?mm?yyyy", "2007-01-05"},
        ConvertCase{"05/01/2007", "DD?MM?YYYY", "2007-01-05"},
        // Too short to hold a year: no date rather than a read past the end.
        ConvertCase{"01/05", "mm?dd?yyyy", kUnknownDate},
        ConvertCase{"01/05/", "dd?mm?yyyy", kUnknownDate},
        ConvertCase{"1", "mm?dd?yyyy", kUnknownDate}, ConvertCase{"", "mdy", kUnknownDate},
        ConvertCase{" - ", "dmy", kUnknownDate},
        ConvertCase{"<b></b>&nbsp;", "mm?dd?yyyy", kUnknownDate},
        ConvertCase{"2007-01-05", "ymd", kUnknownDate}));

TEST_F(ClockTest, ConvertDateTakesThePreviousYearFromTheLocalDate) {
  // 03:00 UTC on 1 January 2007 is still New Year's Eve in New York: December is this month.
  SetZone(kNewYork);
  SetFakeClockForTesting(UtcMillis(2007, 1, 1, 3));
  EXPECT_EQ(ConvertDate("5 Dec", "dmy"), "2006-12-05");
  EXPECT_EQ(ConvertDate("5 Jan", "dmy"), "2006-01-05");
  SetZone("UTC0");
  EXPECT_EQ(ConvertDate("5 Dec", "dmy"), "2006-12-05");
  EXPECT_EQ(ConvertDate("5 Jan", "dmy"), "2007-01-05");
}

TEST(Dates, MatchMaskFollowsTheMaskCharacters) {
  const struct {
    const char* text;
    const char* mask;
    bool expected;
  } kCases[] = {
      {"12", "##*", false}, {"123", "##*", true}, {"123456", "##*", true}, {"", "", true},
      {"", "#", false},     {"1", "", false},     {"12", "#", false},      {"1", "##", false},
      {"a", "x", true},     {"Z", "x", true},     {"1", "x", false},       {"\xE9", "x", false},
      {"RE", "??", true},   {"A", "a", false},    {"a/b", "x/x", true},    {"a-b", "x/x", false},
      {"5", "#", true},     {"/", "#", false},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(MatchMask(c.text, c.mask), c.expected) << c.text << " ~ " << c.mask;
  }
}

}  // namespace
}  // namespace larkspire
