#include "rules/Dates.h"

#include <array>
#include <cmath>
#include <cstdio>

#include "platform/Clock.h"
#include "rules/PageText.h"

namespace larkspire {

namespace {

constexpr int64_t kSecondsPerDay = 86400;
// 1970-01-01 as a day number.
constexpr int64_t kUnixEpochDay = 25569;
// The automation-date range: 0100-01-01 to 9999-12-31.
constexpr int kFirstYear = 100;
constexpr int kLastYear = 9999;
constexpr double kFirstAutomationDate = -657434.0;
constexpr double kLastAutomationDate = 2958466.0;

constexpr std::array<const char*, 12> kMonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days since 1970-01-01 of a proleptic Gregorian date (era arithmetic, exact for any year).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = FloorDiv(y, 400);
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = FloorDiv(z, 146097);
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

// Seconds since 1899-12-30 00:00 of an automation date, to the nearest second. Before that day
// the integer part counts days back while the fraction still runs forward within the day, so
// -1.25 is 1899-12-29 06:00. Nothing outside the years 100 to 9999.
std::optional<int64_t> SecondsFromAutomation(double value) {
  if (!(value >= kFirstAutomationDate && value < kLastAutomationDate)) return std::nullopt;
  const double whole = std::trunc(value);
  const double fraction = std::fabs(value - whole);
  return static_cast<int64_t>(whole) * kSecondsPerDay +
         std::llround(fraction * static_cast<double>(kSecondsPerDay));
}

double AutomationFromUnixMillis(int64_t unix_millis) {
  return static_cast<double>(unix_millis) / (1000.0 * kSecondsPerDay) +
         static_cast<double>(kUnixEpochDay);
}

int64_t NowUnixSeconds() { return FloorDiv(NowUnixMillis(), 1000); }

// A decimal number as the C library's atoi reads it: leading white space, a sign, then digits;
// no digits gives 0. Saturates rather than overflowing on absurdly long digit runs.
int ReadNumber(std::string_view text, std::size_t pos) {
  while (pos < text.size() && (text[pos] == ' ' || (text[pos] >= '\t' && text[pos] <= '\r'))) {
    ++pos;
  }
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  int64_t value = 0;
  for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
    value = value * 10 + (text[pos] - '0');
    if (value > INT32_MAX) value = INT32_MAX;
  }
  return static_cast<int>(negative ? -value : value);
}

std::string FormatYmd(int year, int month, int day) {
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
  return text;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && UpperAnsi(a) == UpperAnsi(b);
}

// The next space at or after pos and the first non-space after it.
std::optional<std::size_t> NextWord(const std::string& text, std::size_t pos) {
  const std::size_t space = text.find(' ', pos);
  if (space == std::string::npos) return std::nullopt;
  const std::size_t word = text.find_first_not_of(' ', space);
  if (word == std::string::npos) return std::nullopt;
  return word;
}

// A month name found in a date: its month (1 to 12) and where it stands.
struct MonthHit {
  int month;
  std::size_t pos;
};

// The first of "Jan" ... "Dec" (in that order, not by position) that the text holds; with
// case_tolerant the search retries upper-cased as FindText does.
std::optional<MonthHit> FindMonth(const std::string& text, bool case_tolerant) {
  for (std::size_t i = 0; i < kMonthNames.size(); ++i) {
    std::optional<std::size_t> pos;
    if (case_tolerant) {
      pos = FindText(text, kMonthNames[i]);
    } else if (std::size_t exact = text.find(kMonthNames[i]); exact != std::string::npos) {
      pos = exact;
    }
    if (pos) return MonthHit{static_cast<int>(i) + 1, *pos};
  }
  return std::nullopt;
}

std::string ConvertMonthDayYear(const std::string& text) {
  std::optional<MonthHit> hit = FindMonth(text, false);
  if (!hit) return kUnknownDate;
  std::optional<std::size_t> pos = NextWord(text, hit->pos);
  if (!pos) return kUnknownDate;
  const int day = ReadNumber(text, *pos);
  for (;;) {
    pos = NextWord(text, *pos);
    if (!pos) return kUnknownDate;
    if (IsDigit(text[*pos])) return FormatYmd(ReadNumber(text, *pos), hit->month, day);
  }
}

std::string ConvertDayMonthYear(const std::string& text) {
  std::optional<MonthHit> hit = FindMonth(text, true);
  if (!hit) return kUnknownDate;
  const int day = ReadNumber(text, 0);
  int year = 0;
  if (std::optional<std::size_t> pos = NextWord(text, hit->pos)) {
    year = ReadNumber(text, *pos);
  } else {
    // Pages print recent dates without a year: the latest such date not after this month.
    const CalendarTime now = LocalCalendar(NowUnixSeconds());
    year = hit->month > now.month ? now.year - 1 : now.year;
  }
  return FormatYmd(year, hit->month, day);
}

// The numeric formats read two-character fields at 0 and 3 and the year from position 6 on; a
// text too short to hold a year has no date in it.
std::string ConvertNumeric(const std::string& text, std::size_t month_at, std::size_t day_at) {
  if (text.size() < 7) return kUnknownDate;
  return text.substr(6) + "-" + text.substr(month_at, 2) + "-" + text.substr(day_at, 2);
}

}  // namespace

std::optional<int32_t> DayNumberFromCalendar(int year, int month, int day) {
  if (year < kFirstYear || year > kLastYear || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month)) {
    return std::nullopt;
  }
  return static_cast<int32_t>(DaysFromCivil(year, month, day) + kUnixEpochDay);
}

void CalendarFromDayNumber(int32_t day_number, int& year, int& month, int& day) {
  CivilFromDays(static_cast<int64_t>(day_number) - kUnixEpochDay, year, month, day);
}

double NowUtcAutomation() { return AutomationFromUnixMillis(NowUnixMillis()); }

double NowLocalAutomation() {
  const int64_t millis = NowUnixMillis();
  return AutomationFromUnixMillis(millis +
                                  int64_t{UtcOffsetSeconds(FloorDiv(millis, 1000))} * 1000);
}

int32_t TodayDayNumber() {
  const CalendarTime now = LocalCalendar(NowUnixSeconds());
  return DayNumberFromCalendar(now.year, now.month, now.day).value_or(0);
}

std::string ConvertDate(std::string_view text, std::string_view format_name) {
  const std::string clean = TrimDash(CollapseSpace(PlainText(text)));
  if (clean.empty()) return kUnknownDate;
  if (EqualsIgnoringCase(format_name, "dmy")) return ConvertDayMonthYear(clean);
  if (EqualsIgnoringCase(format_name, "mdy")) return ConvertMonthDayYear(clean);
  if (EqualsIgnoringCase(format_name, "dd?mm?yyyy")) return ConvertNumeric(clean, 3, 0);
  if (EqualsIgnoringCase(format_name, "mm?dd?yyyy")) return ConvertNumeric(clean, 0, 3);
  return kUnknownDate;
}

int32_t ParseDayNumber(std::string_view text) {
  if (text.size() < 10 || text[4] != '-' || text[7] != '-') return 0;
  if (text.substr(0, 10) == kUnknownDate) return kUnknownDayNumber;
  for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
    if (!IsDigit(text[i])) return 0;
  }
  const int year = ReadNumber(text.substr(0, 4), 0);
  const int month = ReadNumber(text.substr(5, 2), 0);
  const int day = ReadNumber(text.substr(8, 2), 0);
  return DayNumberFromCalendar(year, month, day).value_or(0);
}

std::string FormatDateTime(double automation_date, bool keep_as_is, bool date_only) {
  if (automation_date == 0) return "";
  std::optional<int64_t> seconds = SecondsFromAutomation(automation_date);
  if (!seconds) return "";
  if (!keep_as_is) {
    // The offset in force at that instant, so a winter time read in summer is still right.
    *seconds += UtcOffsetSeconds(*seconds - kUnixEpochDay * kSecondsPerDay);
  }
  const int64_t day_number = FloorDiv(*seconds, kSecondsPerDay);
  const int64_t second_of_day = *seconds - day_number * kSecondsPerDay;
  int year = 0, month = 0, day = 0;
  CivilFromDays(day_number - kUnixEpochDay, year, month, day);
  std::string text = FormatYmd(year, month, day);
  if (date_only) return text;

  int hour = static_cast<int>(second_of_day / 3600);
  const char* suffix = "";
  if (!keep_as_is) {
    suffix = hour < 12 ? " AM" : " PM";
    hour %= 12;
    if (hour == 0) hour = 12;
  }
  char clock[32];
  std::snprintf(clock, sizeof clock, " %02d:%02d:%02d%s", hour,
                static_cast<int>(second_of_day / 60 % 60), static_cast<int>(second_of_day % 60),
                suffix);
  return text + clock;
}

std::string FormatDayNumber(int32_t day_number) {
  return FormatDateTime(static_cast<double>(day_number), true, true);
}

bool MatchMask(std::string_view text, std::string_view mask) {
  std::size_t m = 0;
  for (char c : text) {
    if (m == mask.size()) return false;
    switch (mask[m]) {
      case '#':
        if (!IsDigit(c)) return false;
        break;
      case '?':
        break;
      case 'x':
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return false;
        break;
      case '*':
        return true;
      default:
        if (c != mask[m]) return false;
    }
    ++m;
  }
  return m == mask.size();
}

}  // namespace larkspire
